#include "device/device_search.h"

#include <algorithm>
#include <cstring>

namespace quillon {

constexpr int kSearchRequests = 3;

bool SearchDevices(TransferPort& port, std::chrono::milliseconds wait,
                   const std::vector<std::string>& wanted, std::vector<FoundDevice>& found,
                   size_t enough) {
  found.clear();
  const Bytes request = BuildSearchRequest();
  const TransferPort::Clock::time_point sentAt = port.Now();
  if (!port.Send(request)) return false;
  const TransferPort::Clock::time_point deadline = sentAt + wait;

  auto allWantedSeen = [&] {
    if (enough != 0 && found.size() >= enough) return true;
    if (wanted.empty()) return false;
    return std::all_of(wanted.begin(), wanted.end(),
                       [&](const std::string& mac) { return FindDevice(found, mac) != nullptr; });
  };
  // A request or a reply lost on the way costs one copy of the request, not the device.
  for (int sent = 1; !allWantedSeen();) {
    const TransferPort::Clock::time_point again = sentAt + wait * sent / kSearchRequests;
    const bool more = sent < kSearchRequests && again < deadline;
    if (more && port.Now() >= again) {
      port.Send(request);
      ++sent;
      continue;
    }
    std::optional<PortDatagram> datagram = port.Receive(more ? again : deadline);
    if (!datagram) {
      if (more) continue;
      break;
    }
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

}  // namespace quillon
