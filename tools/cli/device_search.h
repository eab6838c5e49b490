// The search as the command line does it: one broadcast, then every reply within the wait,
// merged by MAC, and the ways to print the list.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "link/discovery.h"
#include "link/transfer_port.h"

namespace quillon::cli {

// Firmware below this major version carries line texts inside commands 3 and 4.
constexpr int kFirstDictionaryMajor = 32;
// Firmware below this major version is the first generation, which this program does not serve.
constexpr int kFirstServedMajor = 2;

// One device, however many times it answered.
struct FoundDevice {
  DeviceRecord record;
  // The PC's addresses its replies came in through, in the order first seen; a device on a
  // network that two of the PC's addresses reach answers through both.
  std::vector<uint32_t> localAddresses;

  std::string Mac() const { return record.MacText(); }
  bool FirstGeneration() const { return record.Major() < kFirstServedMajor; }
  bool LegacyLineText() const { return record.Major() < kFirstDictionaryMajor; }
};

// Broadcasts the search and collects the replies that arrive within `wait`. When `wanted` names
// devices, the search ends as soon as each of them has answered, and when `enough` is not 0, as
// soon as that many devices have. The list is ordered by IP address, then MAC. False when the
// search could not be sent.
bool SearchDevices(TransferPort& port, std::chrono::milliseconds wait,
                   const std::vector<std::string>& wanted, std::vector<FoundDevice>& found,
                   size_t enough = 0);

// The device of `mac` in the list, or nullptr.
const FoundDevice* FindDevice(const std::vector<FoundDevice>& devices, const std::string& mac);

// The list as a table, as JSON or as CSV.
std::string FormatDevices(const std::vector<FoundDevice>& devices, OutputFormat format);

}  // namespace quillon::cli
