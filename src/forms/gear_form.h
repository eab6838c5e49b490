// The gear table of one RS-485 slot ("遥调参数设置") as plain values: eight gear values with the
// texts the device shows for them, and one text for any other value. Each opening fills it from
// the slot the RS-485 page shows; a save stores it into that same slot.
#pragma once

#include <array>
#include <string>

#include "forms/form_fields.h"
#include "params/parameter_block.h"

namespace quillon {

class GearForm {
 public:
  static constexpr int kGears = 8;
  static constexpr int kTexts = 9;  // the eight gears, then the text for any other value

  // Loads slot `slot` (taken modulo 16) of the block.
  void Fill(const sModBusPara& modbus, int slot);
  // Stores into the slot that was loaded: a read reply that arrives while the dialog is open
  // moves the page back to slot 1, and the table must not land there. The caller holds the
  // model mutex.
  void Store(sModBusPara& modbus) const;
  int Slot() const { return slot_; }

  FormControls Controls();

  std::array<std::string, kGears> values;
  std::array<GbkTextBox, kTexts> texts;

 private:
  int slot_ = 0;
};

}  // namespace quillon
