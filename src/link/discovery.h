// Device discovery: the search reply and the texts of a device-list row.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

// Search replies carry the name from this offset on.
constexpr size_t kSearchReplyNameOffset = 22;

// The firmware generations, by the major version a search reply gives. Below 2: the first
// generation, which this program does not serve (the window warns, the command line refuses).
// Below 32: the camera line texts travel inside the parameter frames; from 32 on, as dictionary
// entries.
constexpr int kFirstServedMajor = 2;
constexpr int kFirstDictionaryMajor = 32;

// The decoded identity of one search reply.
struct DeviceRecord {
  uint32_t ip = 0;  // most significant byte = first dotted number
  uint8_t mac[6] = {};
  uint16_t version = 0;  // major * 256 + minor
  std::string name;      // UTF-8

  uint8_t Major() const { return static_cast<uint8_t>(version >> 8); }
  uint8_t Minor() const { return static_cast<uint8_t>(version); }
  bool FirstGeneration() const { return Major() < kFirstServedMajor; }
  bool LegacyLineText() const { return Major() < kFirstDictionaryMajor; }
  std::string IpText() const;       // "192.168.1.100"
  std::string MacText() const;      // "0011223344AB"
  std::string VersionText() const;  // "03.07"
};

// Decodes an accepted search reply. A reply shorter than 22 bytes gives nothing. The name ends
// at its zero byte or at the checksum byte, whichever comes first.
std::optional<DeviceRecord> ParseSearchReply(std::span<const uint8_t> frame);

// Twelve upper-case hex digits, first byte first.
std::string FormatMac(const uint8_t mac[6]);

// 0..15 for 0-9, a-f, A-F; 255 for anything else.
uint8_t HexDigitValue(char c);

// The MAC text of a device-list row as six bytes: one byte per pair of digits, at most six
// pairs, only while both digits of a pair are there; bytes without a pair stay 0.
void ParseMacText(std::string_view text, uint8_t mac[6]);

}  // namespace quillon
