// The simulator's state dump: what every simulated device holds after the requests so far, so
// that end-to-end tests can compare what arrived with what the program sent.
//
// The file is text, one block per device:
//   device 0011223344AB
//   osd <sOSDCommPara image as 5656 hex digits>
//   modbus <sModBusPara image as 15528 hex digits>
// It is written whole to a temporary file and renamed, so a reader never sees half of it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "params/parameter_block.h"

namespace quillon::devsim {

struct DeviceState {
  std::string mac;   // "0011223344AB"
  sOSDCommPara osd;  // camera line texts included
  sModBusPara modbus;
};

// Writes the dump atomically; false when the file cannot be written.
bool WriteDevsimDump(const std::string& path, const std::vector<DeviceState>& devices);

// Reads a dump, keyed by MAC text. Devices whose lines are missing or malformed are left out;
// an unreadable file gives an empty map.
std::map<std::string, DeviceState> LoadDevsimDump(const std::string& path);

}  // namespace quillon::devsim

namespace quillon {
using devsim::DeviceState;
using devsim::LoadDevsimDump;
}  // namespace quillon
