#include "link/discovery.h"

#include <cstdio>

#include "text/gbk.h"
#include "text/ipv4_text.h"

namespace quillon {

std::string DeviceRecord::IpText() const { return Ipv4Text(ip); }

std::string DeviceRecord::MacText() const { return FormatMac(mac); }

std::string DeviceRecord::VersionText() const {
  char text[8];
  std::snprintf(text, sizeof text, "%02u.%02u", unsigned{Major()}, unsigned{Minor()});
  return text;
}

std::optional<DeviceRecord> ParseSearchReply(std::span<const uint8_t> frame) {
  if (frame.size() < kSearchReplyNameOffset) return std::nullopt;
  DeviceRecord record;
  record.ip = uint32_t{frame[8]} | uint32_t{frame[9]} << 8 | uint32_t{frame[10]} << 16 |
              uint32_t{frame[11]} << 24;
  for (int i = 0; i < 6; ++i) record.mac[i] = frame[12 + i];
  record.version = static_cast<uint16_t>(frame[18] | frame[19] << 8);
  const size_t nameEnd = frame.size() - 1;  // the checksum byte
  std::string gbk;
  for (size_t i = kSearchReplyNameOffset; i < nameEnd && frame[i] != 0; ++i)
    gbk.push_back(static_cast<char>(frame[i]));
  record.name = GbkToUtf8(gbk);
  return record;
}

std::string FormatMac(const uint8_t mac[6]) {
  char text[13];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return text;
}

uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  return 255;
}

void ParseMacText(std::string_view text, uint8_t mac[6]) {
  for (size_t i = 0; i < 6; ++i) {
    mac[i] = 0;
    if (2 * i + 1 < text.size())
      mac[i] =
          static_cast<uint8_t>(HexDigitValue(text[2 * i]) * 16 + HexDigitValue(text[2 * i + 1]));
  }
}

}  // namespace quillon
