// Fields of one device by name: the least a set of fields takes to read, and whether a device
// read back holds what it was sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_transfer.h"
#include "params/field_table.h"
#include "params/parameter_block.h"

namespace quillon {

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

// Whether a device, read back, holds in the field what it was sent, as a device keeps it: a text
// up to its terminator and within its limit, and on legacy firmware a line text as far as it
// travels (the whole characters of its first 17 bytes); everything else byte for byte.
bool HoldsAsSent(const NamedField& field, const DeviceParameterBlock& sent,
                 const DeviceParameterBlock& back, bool legacyLineText);
// "network.ip: device has 192.168.1.64, sent 192.168.1.65", as a check reports a field.
std::string FieldDiffers(const NamedField& field, const DeviceParameterBlock& sent,
                         const DeviceParameterBlock& back);

// Marks the index positions of `ids` in `marks` (abyDictRead or abyDictWrite).
void MarkEntries(sModBusPara& modbus, const std::vector<uint16_t>& ids, uint8_t* marks);

}  // namespace quillon
