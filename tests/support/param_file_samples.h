// A parameter file written out by hand, and the images it holds, for the tests of the file
// format, the session's export and import, and the main window. The text is put together from
// literal pieces and runs of zeros; its CRCs were computed apart from the program.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "files/param_file.h"
#include "params/parameter_block.h"

namespace quillon::fakes {

// The moment the tests' exports are made: 2026-12-06 07:52, local time.
inline std::tm ExportMoment() {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 6;
  local.tm_hour = 7;
  local.tm_min = 52;
  return local;
}

// All zero but for a few bytes in each half, the dictionary bookkeeping included.
inline ParamImages KnownImages() {
  ParamImages images{};
  sOSDCommPara& osd = images.osd;
  osd.byDHCP = 1;
  osd.abyIP[0] = 192;
  osd.abyIP[1] = 168;
  osd.abyIP[2] = 1;
  osd.abyIP[3] = 64;
  osd.asCamera[0].wCameraPort = 8000;  // bytes 118 and 119: 40 1F
  osd.asCamera[3].byLineCount = 8;     // the last byte
  sModBusPara& modbus = images.modbus;
  modbus.byProtocol = 1;
  modbus.dwBaudRate = 9600;  // bytes 8 to 11: 80 25 00 00
  modbus.wDictCount = 566;   // bytes 5712 and 5713: 36 02
  modbus.abyDictWrite[0] = 1;
  return images;
}

inline std::string Zeros(size_t bytes) { return std::string(2 * bytes, '0'); }

// The 5656 digits of KnownImages().osd: DHCP and the address, then the camera port.
inline std::string KnownOsdDigits() {
  return "01C0A80140" + Zeros(113) + "401F" + Zeros(2707) + "08";
}
// The 15528 digits of KnownImages().modbus: the protocol, the baud rate, then the count and the
// first write mark.
inline std::string KnownModBusDigits() {
  return "01" + Zeros(7) + "80250000" + Zeros(5700) + "360201" + Zeros(2049);
}
inline const std::string kKnownOsdCrc = "1438";
inline const std::string kKnownModBusCrc = "0620";

// The lines of the file an export of KnownImages() makes from nothing, without their CRLF.
inline std::vector<std::string> KnownFileLines() {
  return {"[sOSDCommPara]", "sOSDCommPara=" + KnownOsdDigits(),   "wCRCResult=" + kKnownOsdCrc,
          "[sModBusPara]",  "sModBusPara=" + KnownModBusDigits(), "wCRCResult=" + kKnownModBusCrc};
}

// The lines joined, each ending in `end`.
inline std::string JoinLines(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

inline std::string KnownFileText() { return JoinLines(KnownFileLines(), "\r\n"); }

}  // namespace quillon::fakes
