// Which controls of the RS-485 page the user may edit for a chosen protocol and data type. The
// rules depend on the two selections alone, so they are computed apart from any window, which
// only applies them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "params/page_lists.h"

namespace quillon {

// The controls of the RS-485 page whose state follows the rules. The protocol list and the
// "读取" and "下载" buttons are never disabled and are not among them.
enum class Rs485Control : uint8_t {
  PollInterval,
  Timeout,
  RetryLimit,
  BaudRate,
  Parity,
  SlotSelector,
  Enable,
  Channel,
  SlaveAddr,
  FuncCode,
  StartReg,
  RegCount,
  DataOffset,
  DataType,
  ScaleA,
  OffsetB,
  Decimals,
  RemoteAdjust,  // the "遥调参数设置" button
  Name,
  Unit,
  DataBits,
  AlarmValue,
  AlarmText,
  NormalText,
};

inline constexpr int kRs485ControlCount = 24;

// A set of those controls.
class ControlSet {
 public:
  constexpr ControlSet() = default;
  constexpr ControlSet(std::initializer_list<Rs485Control> controls) {
    for (Rs485Control control : controls) bits_ |= Bit(control);
  }
  static constexpr ControlSet All() {
    ControlSet all;
    all.bits_ = (uint32_t{1} << kRs485ControlCount) - 1;
    return all;
  }

  constexpr bool Has(Rs485Control control) const { return (bits_ & Bit(control)) != 0; }
  constexpr ControlSet Without(ControlSet other) const {
    ControlSet rest;
    rest.bits_ = bits_ & ~other.bits_;
    return rest;
  }
  constexpr bool operator==(const ControlSet&) const = default;

 private:
  static constexpr uint32_t Bit(Rs485Control control) {
    return uint32_t{1} << static_cast<int>(control);
  }
  uint32_t bits_ = 0;
};

// The controls that are enabled for the selections of the protocol and the data-type lists (each
// an index, or none). The internal protocol leaves only the port's line settings; any other
// choice enables everything but what belongs to another kind of slot than the chosen type.
constexpr ControlSet EnabledControls(std::optional<int> protocol, std::optional<int> dataType) {
  using enum Rs485Control;
  if (protocol == PROTOCOL_INTERNAL) return {BaudRate, Parity};
  const ControlSet all = ControlSet::All();
  if (dataType == DT_SWITCH) return all.Without({Decimals, Unit, DataBits, RemoteAdjust});
  if (dataType == DT_REMOTE_ADJUST)
    return all.Without({Decimals, Unit, DataBits, AlarmValue, AlarmText, NormalText});
  return all.Without({AlarmValue, AlarmText, NormalText, RemoteAdjust});
}

}  // namespace quillon
