// Dictionary values as a simulated device answers them, read through the simulator's own
// identifier table (written apart from the program's codec), so that end-to-end tests compare
// what arrived on either side entry by entry.
#pragma once

#include <cstdint>
#include <vector>

#include "device_dictionary.h"
#include "params/parameter_block.h"

namespace quillon::fakes {

// The value of `id`; a text up to its terminator, since what follows the terminator is whatever
// the field held before.
inline std::vector<uint8_t> DeviceValue(const sOSDCommPara& osd, const sModBusPara& modbus,
                                        uint16_t id) {
  std::vector<uint8_t> value = devsim::ItemValue(osd, modbus, id);
  if (devsim::FindItem(id).kind == devsim::ItemKind::Text)
    for (size_t i = 0; i < value.size(); ++i)
      if (value[i] == 0) {
        value.resize(i);
        break;
      }
  return value;
}

// The positions of the program's dictionary index (`index`, whose awDictId and wDictCount are
// used) at which `device` does not hold what it should: the value of `sent` below position
// `taken`, the value of `before` from there on. Empty when the device holds exactly that.
inline std::vector<int> EntriesNotHolding(const sModBusPara& index, const sModBusPara& device,
                                          const sModBusPara& sent, const sModBusPara& before,
                                          int taken) {
  static const sOSDCommPara noTexts{};  // the index holds no camera line text
  std::vector<int> wrong;
  for (int i = 0; i < index.wDictCount && i < kDictCapacity; ++i) {
    const uint16_t id = index.awDictId[i];
    const sModBusPara& want = i < taken ? sent : before;
    if (DeviceValue(noTexts, device, id) != DeviceValue(noTexts, want, id)) wrong.push_back(i);
  }
  return wrong;
}

}  // namespace quillon::fakes
