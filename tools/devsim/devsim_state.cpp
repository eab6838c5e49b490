#include "devsim_state.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "files/file_bytes.h"

namespace quillon::devsim {
namespace {

std::string Hex(const void* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* p = static_cast<const uint8_t*>(data);
  std::string text(2 * size, '0');
  for (size_t i = 0; i < size; ++i) {
    text[2 * i] = kDigits[p[i] >> 4];
    text[2 * i + 1] = kDigits[p[i] & 15];
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unhex(const std::string& text, void* data, size_t size) {
  if (text.size() != 2 * size) return false;
  auto* p = static_cast<uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    p[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return true;
}

}  // namespace

bool WriteDevsimDump(const std::string& path, const std::vector<DeviceState>& devices) {
  std::string text;
  for (const DeviceState& device : devices) {
    text += "device " + device.mac + "\n";
    text += "osd " + Hex(&device.osd, sizeof device.osd) + "\n";
    text += "modbus " + Hex(&device.modbus, sizeof device.modbus) + "\n";
  }
  // Whole for the tests that read it, but no wait for the disk before the replies go out.
  return ReplaceFileBytes(path, text, false);
}

std::map<std::string, DeviceState> LoadDevsimDump(const std::string& path) {
  std::map<std::string, DeviceState> devices;
  // A dump of 1000 devices is about 21 MB.
  std::istringstream in(ReadFileBytes(path, size_t{1} << 30).bytes);
  std::string line;
  DeviceState current{};
  bool haveOsd = false, haveModbus = false;
  auto finish = [&] {
    if (!current.mac.empty() && haveOsd && haveModbus) devices[current.mac] = current;
    current = DeviceState{};
    haveOsd = haveModbus = false;
  };
  while (std::getline(in, line)) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank), value = line.substr(blank + 1);
    if (key == "device") {
      finish();
      current.mac = value;
    } else if (key == "osd") {
      haveOsd = Unhex(value, &current.osd, sizeof current.osd);
    } else if (key == "modbus") {
      haveModbus = Unhex(value, &current.modbus, sizeof current.modbus);
    }
  }
  finish();
  return devices;
}

}  // namespace quillon::devsim
