#include "forms/gear_form.h"

#include "forms/dialog_layout.h"
#include "text/number_text.h"

namespace quillon {

void GearForm::Fill(const sModBusPara& modbus, int slot) {
  slot_ = slot & 15;
  const sSlotPara& s = modbus.asSlot[slot_];
  for (int j = 0; j < kGears; ++j) values[j] = FormatReal(s.afGearValue[j]);
  for (int j = 0; j < kTexts; ++j) texts[j].Show(s.aszGearText[j], sizeof s.aszGearText[j]);
}

void GearForm::Store(sModBusPara& modbus) const {
  sSlotPara& s = modbus.asSlot[slot_];
  for (int j = 0; j < kGears; ++j) s.afGearValue[j] = ParseReal(values[j]);
  for (int j = 0; j < kTexts; ++j)
    texts[j].Store(s.aszGearText[j], sizeof s.aszGearText[j], kGearTextLimit);
}

FormControls GearForm::Controls() {
  FormControls controls;
  for (int j = 0; j < kGears; ++j) controls.push_back({GearValueId(j), &values[j]});
  for (int j = 0; j < kTexts; ++j) controls.push_back({GearTextId(j), &texts[j]});
  return controls;
}

}  // namespace quillon
