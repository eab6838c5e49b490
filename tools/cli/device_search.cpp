#include "device_search.h"

#include <algorithm>
#include <cstring>

#include "cli_text.h"
#include "command_support.h"
#include "link/broadcast_port.h"

namespace quillon::cli {

namespace {

std::string Addresses(const std::vector<uint32_t>& addresses, const char* separator) {
  std::string text;
  for (const uint32_t address : addresses) {
    if (!text.empty()) text += separator;
    text += Ipv4Text(address);
  }
  return text;
}

std::string Flags(const FoundDevice& device) {
  if (device.FirstGeneration()) return "first-gen";
  if (device.LegacyLineText()) return "legacy-texts";
  return "-";
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

bool SearchDevices(TransferPort& port, std::chrono::milliseconds wait,
                   const std::vector<std::string>& wanted, std::vector<FoundDevice>& found,
                   size_t enough) {
  found.clear();
  const TransferPort::Clock::time_point sentAt = port.Now();
  if (!port.Send(BuildSearchRequest())) return false;
  const TransferPort::Clock::time_point deadline = sentAt + wait;

  auto allWantedSeen = [&] {
    if (enough != 0 && found.size() >= enough) return true;
    if (wanted.empty()) return false;
    return std::all_of(wanted.begin(), wanted.end(),
                       [&](const std::string& mac) { return FindDevice(found, mac) != nullptr; });
  };
  while (!allWantedSeen()) {
    std::optional<PortDatagram> datagram = port.Receive(deadline);
    if (!datagram) break;
    // Only replies to this search: a reply that reached the PC before it went out answers
    // someone else's.
    if (datagram->received < sentAt || !IsAcceptableReply(datagram->bytes) ||
        datagram->bytes[3] != CMD_SEARCH)
      continue;
    const std::optional<DeviceRecord> record = ParseSearchReply(datagram->bytes);
    if (!record) continue;
    const std::string mac = record->MacText();
    auto it = std::find_if(found.begin(), found.end(),
                           [&](const FoundDevice& device) { return device.Mac() == mac; });
    if (it == found.end()) {
      found.push_back(FoundDevice{*record, {}});
      it = found.end() - 1;
    }
    const uint32_t local = datagram->localAddress;
    if (local != 0 && std::find(it->localAddresses.begin(), it->localAddresses.end(), local) ==
                          it->localAddresses.end())
      it->localAddresses.push_back(local);
  }
  std::sort(found.begin(), found.end(), [](const FoundDevice& a, const FoundDevice& b) {
    if (a.record.ip != b.record.ip) return a.record.ip < b.record.ip;
    return std::memcmp(a.record.mac, b.record.mac, 6) < 0;
  });
  return true;
}

const FoundDevice* FindDevice(const std::vector<FoundDevice>& devices, const std::string& mac) {
  for (const FoundDevice& device : devices)
    if (device.Mac() == mac) return &device;
  return nullptr;
}

std::string FormatDevices(const std::vector<FoundDevice>& devices, OutputFormat format) {
  std::string out;
  switch (format) {
    case OutputFormat::Json: {
      Json list = Json::array();
      for (const FoundDevice& d : devices) {
        Json addresses = Json::array();
        for (const uint32_t address : d.localAddresses) addresses.push_back(Ipv4Text(address));
        list.push_back({{"mac", d.Mac()},
                        {"ip", d.record.IpText()},
                        {"name", d.record.name},
                        {"version", d.record.VersionText()},
                        {"first_generation", d.FirstGeneration()},
                        {"legacy_line_text", d.LegacyLineText()},
                        {"local_addresses", addresses}});
      }
      out = JsonText(list);
      break;
    }
    case OutputFormat::Csv:
      out = "mac,ip,name,version,first_generation,legacy_line_text,local_addresses\n";
      for (const FoundDevice& d : devices) {
        out += d.Mac() + "," + d.record.IpText() + "," + CsvField(d.record.name) + "," +
               d.record.VersionText() + "," + (d.FirstGeneration() ? "true" : "false") + "," +
               (d.LegacyLineText() ? "true" : "false") + "," +
               CsvField(Addresses(d.localAddresses, ";")) + "\n";
      }
      break;
    case OutputFormat::Text:
      out = "MAC           IP               VERSION  FLAGS         VIA              NAME\n";
      for (const FoundDevice& d : devices) {
        out += d.Mac() + "  " + Pad(d.record.IpText(), 15) + "  " + Pad(d.record.VersionText(), 7) +
               "  " + Pad(Flags(d), 12) + "  " + Pad(Addresses(d.localAddresses, ","), 15) + "  " +
               PrintableText(d.record.name) + "\n";
      }
      break;
  }
  return out;
}

}  // namespace quillon::cli
