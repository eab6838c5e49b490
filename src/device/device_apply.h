// A parameter set onto one device: the chosen parts of it over what was read from the device,
// the comparison of the device read back after the transfer with what was sent, and one
// device's whole apply with its check.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_batch.h"
#include "device/device_search.h"
#include "device/device_transfer.h"
#include "device/param_parts.h"
#include "files/param_file.h"
#include "link/transfer_port.h"
#include "params/parameter_block.h"

namespace quillon {

// Copies the chosen parts of a file's images onto `block` (what was read from the device);
// everything else keeps the device's values. The RS-485 part is the settings and the sixteen
// slots, not the file's dictionary bookkeeping.
void ApplyParts(const ParamImages& file, unsigned parts, DeviceParameterBlock& block);

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
// part gives it (nullopt: the file's). First-generation firmware is refused unless
// forceFirstGeneration.
DeviceOutcome ApplyToDevice(TransferPort& port, const FoundDevice& device, const ParamImages& file,
                            const ApplySettings& settings, std::optional<uint32_t> staticIp,
                            const TransferProgress& progress);

}  // namespace quillon
