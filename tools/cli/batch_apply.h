// One device of an apply: read it, put the chosen parts of the file onto what was read, write the
// RS-485 entries, download the network and camera parameters last, and check what arrived. And
// the report of a whole batch, as text or JSON.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device_search.h"
#include "files/param_file.h"
#include "link/transfer_port.h"
#include "session/device_transfer.h"

namespace quillon::cli {

struct ApplySettings {
  unsigned parts = kAllParts;
  bool verify = false;
  // How long a device may take to answer again, and to hold what was sent, after the download
  // that restarts it.
  std::chrono::milliseconds verifyWait{30000};
  bool forceFirstGeneration = false;
};

// What happened to one device.
struct DeviceReport {
  std::string mac;
  std::string name;  // UTF-8, as the device gives it
  std::string ip;    // as the search saw it
  std::string version;
  bool ok = false;
  std::string failedStep;  // search, firmware, read, rs485, download, verify
  std::string error;
  unsigned written = 0;  // the parts that the device acknowledged
  std::optional<uint32_t> staticIp;
  int rs485Entries = 0;
  int lineTextFrames = 0;  // line-text frames sent after the download
  int lineTextFramesAcknowledged = 0;
  bool verified = false;
  std::vector<std::string> mismatches;
  std::vector<std::string> notes;
  int retries = 0;
  std::chrono::milliseconds time{0};
  std::chrono::milliseconds devicePauses{0};
};

// A block for one device's transfers: zero, with the dictionary index, addressed to the device.
std::unique_ptr<DeviceParameterBlock> NewDeviceBlock(const FoundDevice& device);

// Serves one device found by the search. `staticIp` is the address the network part gives it
// (nullopt: the file's). Progress goes to `progress`.
DeviceReport ApplyToDevice(TransferPort& port, const FoundDevice& device, const ParamImages& file,
                           const ApplySettings& settings, std::optional<uint32_t> staticIp,
                           const TransferProgress& progress);

// The report of a device that did not answer the search.
DeviceReport NotFoundReport(const std::string& mac, std::chrono::milliseconds wait);

// The batch as text (one line per device, mismatches below it, then a summary) or as JSON.
std::string FormatReports(const std::vector<DeviceReport>& reports, const std::string& file,
                          const ApplySettings& settings, OutputFormat format);

}  // namespace quillon::cli
