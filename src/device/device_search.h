// The search as a batch does it: the request three times over the wait, every reply within it,
// merged by MAC.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/discovery.h"
#include "link/transfer_port.h"

namespace quillon {

// One device, however many times it answered.
struct FoundDevice {
  DeviceRecord record;
  // The PC's addresses its replies came in through, in the order first seen; a device on a
  // network that two of the PC's addresses reach answers through both.
  std::vector<uint32_t> localAddresses;

  std::string Mac() const { return record.MacText(); }
  bool FirstGeneration() const { return record.FirstGeneration(); }
  bool LegacyLineText() const { return record.LegacyLineText(); }
};

// Broadcasts the search at the start and at each third of `wait`, and collects the replies that
// arrive within it, each device once whichever requests it answered. When `wanted` names
// devices, the search ends as soon as each of them has answered, and when `enough` is not 0, as
// soon as that many devices have (and the request is not sent again). The list is ordered by IP
// address, then MAC. False when the search could not be sent.
bool SearchDevices(TransferPort& port, std::chrono::milliseconds wait,
                   const std::vector<std::string>& wanted, std::vector<FoundDevice>& found,
                   size_t enough = 0);

// The device of `mac` in the list, or nullptr.
const FoundDevice* FindDevice(const std::vector<FoundDevice>& devices, const std::string& mac);

}  // namespace quillon
