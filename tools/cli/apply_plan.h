// What apply puts onto a device and how it checks the result: the chosen parts of a parameter
// file over what was read from the device, the static addresses of a batch, the comparison of a
// device read back after the transfer with what was sent, and one device's apply.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/address_plan.h"
#include "device_batch.h"
#include "device_search.h"
#include "files/param_file.h"
#include "params/parameter_block.h"

namespace quillon::cli {

// Copies the chosen parts of a file's images onto `block` (what was read from the device);
// everything else keeps the device's values. The RS-485 part is the settings and the sixteen
// slots, not the file's dictionary bookkeeping.
void ApplyParts(const ParamImages& file, unsigned parts, DeviceParameterBlock& block);

// The static address each device of a batch gets.
struct AddressPlan {
  std::vector<std::optional<uint32_t>> addresses;  // per target, nullopt: left as it is
  std::string error;                               // why the batch is refused; empty if not
};

// Counts addresses up from `first` for `targets` (MACs, in the order they are served), each
// within its own rule, as every batch does (device/address_plan.h), with a refusal in words.
AddressPlan CountAddresses(const std::vector<std::string>& targets, uint32_t first,
                           const std::vector<SubnetRule>& rules,
                           const std::vector<FoundDevice>& found);

// Plans the static addresses of `targets` for apply. Without `ipFrom`, the network part keeps
// the file's address, which only one device may get, and which no other device may hold. With
// it, the targets get ipFrom, ipFrom + 1, ... within the subnet of the file's own address and
// mask (CountAddresses). Refused too: the network part for more than one device without ipFrom.
AddressPlan PlanAddresses(const ParamImages& file, unsigned parts,
                          const std::vector<std::string>& targets, std::optional<uint32_t> ipFrom,
                          const std::vector<FoundDevice>& found);

// Every field of the chosen parts in which the device, as read back, differs from what was sent,
// as the device stores what it was sent: texts up to their terminator and within what travels
// (29 bytes of a camera login, 17 of a legacy line text), RS-485 entries as they come back
// through the dictionary. Empty when everything arrived.
std::vector<std::string> CompareApplied(const DeviceParameterBlock& sent,
                                        const DeviceParameterBlock& device, unsigned parts,
                                        bool legacyLineText);

struct ApplySettings {
  unsigned parts = kAllParts;
  bool verify = false;
  // How long a device may take to answer again, and to hold what was sent, after the download
  // that restarts it.
  std::chrono::milliseconds verifyWait{30000};
  bool forceFirstGeneration = false;
};

// Serves one device found by the search: reads it, puts the chosen parts of the file onto what
// was read, writes the RS-485 entries, downloads the network and camera parameters last (the
// device restarts), and with `verify` checks what arrived. `staticIp` is the address the network
// part gives it (nullopt: the file's).
DeviceOutcome ApplyToDevice(TransferPort& port, const FoundDevice& device, const ParamImages& file,
                            const ApplySettings& settings, std::optional<uint32_t> staticIp,
                            const TransferProgress& progress);

}  // namespace quillon::cli
