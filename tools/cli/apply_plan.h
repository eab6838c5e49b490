// What apply puts onto a device and how it checks the result: the chosen parts of a parameter
// file over what was read from the device, the static addresses of a batch, and the comparison
// of a device read back after the transfer with what was sent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Plans the static addresses of `targets` (MACs, in the order they are served). Without
// `ipFrom`, the network part keeps the file's address, which only one device may get. With it,
// the targets get ipFrom, ipFrom + 1, ... Refused: the network part for more than one device
// without ipFrom; an address outside the file's subnet, or its network or broadcast address, or
// the file's gateway; an address that a device found by the search holds and that is meant for
// another device.
AddressPlan PlanAddresses(const ParamImages& file, unsigned parts,
                          const std::vector<std::string>& targets, std::optional<uint32_t> ipFrom,
                          const std::vector<FoundDevice>& found);

// Sets the static IP of the block's network settings.
void SetStaticIp(sOSDCommPara& osd, uint32_t address);
uint32_t StaticIp(const sOSDCommPara& osd);

// Every field of the chosen parts in which the device, as read back, differs from what was sent,
// as the device stores what it was sent: texts up to their terminator and within what travels
// (29 bytes of a camera login, 17 of a legacy line text), RS-485 entries as they come back
// through the dictionary. Empty when everything arrived.
std::vector<std::string> CompareApplied(const DeviceParameterBlock& sent,
                                        const DeviceParameterBlock& device, unsigned parts,
                                        bool legacyLineText);

}  // namespace quillon::cli
