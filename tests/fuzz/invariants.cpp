#include "invariants.h"

#include <cstring>

namespace quillon::fuzz {

namespace {

bool Terminated(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

std::string Where(const char* what, int outer, int inner) {
  return std::string(what) + " " + std::to_string(outer) + "/" + std::to_string(inner) +
         " has no terminator inside its field";
}

}  // namespace

std::string CheckTextsTerminated(const DeviceParameterBlock& block) {
  for (int c = 0; c < 4; ++c) {
    const sCameraPara& cam = block.osd.asCamera[c];
    if (!Terminated(cam.szUser, sizeof cam.szUser)) return Where("camera user", c, 0);
    if (!Terminated(cam.szPassword, sizeof cam.szPassword)) return Where("camera password", c, 0);
    for (int l = 0; l < 8; ++l)
      if (!Terminated(cam.asLine[l].szText, sizeof cam.asLine[l].szText))
        return Where("line text", c, l);
  }
  for (int s = 0; s < 16; ++s) {
    const sSlotPara& slot = block.modbus.asSlot[s];
    if (!Terminated(slot.szName, sizeof slot.szName)) return Where("slot name", s, 0);
    if (!Terminated(slot.szUnit, sizeof slot.szUnit)) return Where("slot unit", s, 0);
    if (!Terminated(slot.szAlarmText, sizeof slot.szAlarmText)) return Where("alarm text", s, 0);
    if (!Terminated(slot.szNormalText, sizeof slot.szNormalText)) return Where("normal text", s, 0);
    for (int g = 0; g < 9; ++g)
      if (!Terminated(slot.aszGearText[g], sizeof slot.aszGearText[g]))
        return Where("gear text", s, g);
  }
  return {};
}

std::string CheckIndexKept(const sModBusPara& modbus, const sModBusPara& index) {
  if (modbus.wDictCount > kDictCapacity) return "the dictionary count exceeds the index";
  if (modbus.wDictCount != index.wDictCount) return "the dictionary count changed";
  if (std::memcmp(modbus.awDictId, index.awDictId, sizeof modbus.awDictId) != 0)
    return "the dictionary index changed";
  return {};
}

std::string CheckNoMarkSet(const sModBusPara& before, const sModBusPara& after) {
  for (int i = 0; i < kDictCapacity; ++i) {
    if (after.abyDictWrite[i] && !before.abyDictWrite[i])
      return "write mark " + std::to_string(i) + " was set by a reply";
    if (after.abyDictRead[i] && !before.abyDictRead[i])
      return "read mark " + std::to_string(i) + " was set by a reply";
  }
  return {};
}

std::string CheckBlockUnchanged(const DeviceParameterBlock& before,
                                const DeviceParameterBlock& after) {
  if (std::memcmp(&before.osd, &after.osd, sizeof before.osd) != 0) return "sOSDCommPara changed";
  if (std::memcmp(&before.modbus, &after.modbus, sizeof before.modbus) != 0)
    return "sModBusPara changed";
  if (std::memcmp(before.abySelectedMac, after.abySelectedMac, 6) != 0)
    return "the selected MAC changed";
  if (before.bLegacyLineText != after.bLegacyLineText) return "the legacy flag changed";
  return {};
}

void RepairReply(Bytes& frame) {
  if (frame.size() < 5) frame.resize(5);
  frame[0] = 0x55;
  const size_t lengthField = frame.size() - 4;
  frame[1] = static_cast<uint8_t>(lengthField >> 8);
  frame[2] = static_cast<uint8_t>(lengthField);
  uint8_t sum = 0;
  for (size_t i = 3; i + 1 < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame.back() = sum;
}

}  // namespace quillon::fuzz
