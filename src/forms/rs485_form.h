// The RS-485 page as plain values: the port's settings and the one slot shown of the sixteen.
// Fill shows the port and slot 1; Store writes the port and the shown slot back; a slot change
// stores the slot being left before it shows the next one. Which controls the user may edit
// follows the protocol and data-type lists.
#pragma once

#include <optional>
#include <string>

#include "forms/control_states.h"
#include "forms/form_fields.h"
#include "params/parameter_block.h"

namespace quillon {

class Rs485Form {
 public:
  static constexpr int kSlots = 16;

  Rs485Form();

  // Shows the port settings and slot 1, then applies the control states.
  void Fill(const sModBusPara& modbus);
  // Stores the port settings and the shown slot; the caller holds the model mutex. A form never
  // filled stores nothing: its empty boxes and lists would overwrite the block with blanks and
  // "no selection" values. With a list that holds what it cannot store it stores nothing and
  // names that list.
  std::optional<RefusedList> Store(sModBusPara& modbus);
  std::optional<RefusedList> Refusal() const;
  // The user chose slot `index`: the slot being left is stored into `modbus` (the caller holds
  // the model mutex), then the new one is shown. When one of the slot's lists holds what it
  // cannot store, nothing is stored, the selector goes back to the slot shown, and that list is
  // named.
  std::optional<RefusedList> ChangeSlot(int index, sModBusPara& modbus);
  // Recomputes which controls are enabled from the protocol and data-type lists.
  void UpdateControlStates();

  // Whether the control of `id` is enabled; controls that no rule governs always are.
  bool Enabled(int id) const;
  // The slot whose values the form shows: the one last shown, or slot 16 before any was.
  int CurrentSlot() const { return shownSlot_.value_or(kSlots - 1); }

  FormControls Controls();

  ListChoice protocol;
  std::string pollInterval, timeout, retryLimit;
  ListChoice baudRate, parity, slot;
  bool enable = false;
  ListChoice channel;
  std::string slaveAddr;
  ListChoice funcCode;
  std::string startReg, regCount, dataOffset;
  ListChoice dataType;
  std::string scaleA, offsetB, dataBits;
  ListChoice decimals;
  GbkTextBox name, unit;
  std::string alarmValue;
  GbkTextBox alarmText, normalText;

 private:
  void ShowSlot(const sSlotPara& slot);
  void StoreSlot(sSlotPara& slot) const;

  std::optional<int> shownSlot_;
  bool filled_ = false;
  ControlSet enabled_ = ControlSet::All();  // as the page was created, until the rules first run
};

// The id of a control that the state rules govern.
int Rs485ControlId(Rs485Control control);

}  // namespace quillon
