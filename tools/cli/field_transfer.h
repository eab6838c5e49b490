// Fields of one device by name: the least a set of fields takes to read, and a change of one
// device in which only what changed is written.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device_search.h"
#include "params/field_table.h"
#include "session/device_transfer.h"

namespace quillon::cli {

using FieldList = std::vector<const NamedField*>;

// What reading a set of fields takes from a device.
struct FieldReads {
  bool params = false;        // the parameter read (command 3)
  bool lineTexts = false;     // the line texts as dictionary entries (current firmware)
  std::vector<uint16_t> ids;  // RS-485 entries
};

// The reads that show `fields`; with `download`, also all that a parameter download of them
// sends back unchanged (the network settings, the cameras and every line text).
FieldReads ReadsFor(const FieldList& fields, bool legacyLineText, bool download);

// Reads them into a block made by NewDeviceBlock.
TransferResult ReadFields(DeviceTransfer& transfer, const FieldReads& reads,
                          DeviceParameterBlock& block);

// A value for a field, checked by CheckFieldValue.
struct FieldValue {
  const NamedField* field;
  std::string text;
};

struct SetSettings {
  bool verify = false;
  std::chrono::milliseconds verifyWait{30000};
  bool forceFirstGeneration = false;
};

// What a set did to one device.
struct SetReport {
  std::string mac;
  std::string name;  // UTF-8, as the device gives it
  std::string ip;    // as the search saw it
  std::string version;
  bool ok = false;
  std::string failedStep;  // search, firmware, read, rs485, download, verify
  std::string error;
  std::vector<std::string> written;  // the fields that changed, by name
  int entries = 0;                   // RS-485 dictionary entries written
  bool downloaded = false;           // the parameter download went out and was taken
  std::optional<uint32_t> staticIp;  // network.ip as downloaded
  bool verified = false;
  std::vector<std::string> mismatches;
  std::vector<std::string> notes;
  int retries = 0;
  std::chrono::milliseconds time{0};
};

// Sets `values` on a device found by the search: reads what the change needs, writes changed
// RS-485 fields as their dictionary entries alone, then downloads changed network and camera
// fields (the device restarts), and with `verify` reads the fields back. `staticIp` is the
// address plan's value of network.ip for this device.
SetReport SetOnDevice(TransferPort& port, const FoundDevice& device,
                      const std::vector<FieldValue>& values, const SetSettings& settings,
                      std::optional<uint32_t> staticIp, const TransferProgress& progress);

}  // namespace quillon::cli
