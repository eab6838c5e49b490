// The vocabulary of the RS-485 slots: the port's protocol, the fifteen data types, and which
// controls of the RS-485 page the user may edit for a chosen protocol and data type. Without Qt,
// so that the rules can be checked apart from the page, which only applies them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace quillon {

// byProtocol: the index in the protocol list.
enum Protocol : uint8_t {
  PROTOCOL_INTERNAL = 0,  // "内部规约"
  PROTOCOL_MODBUS = 1,    // "标准ModBus规约"
};

// dwDataType: the index in kDataTypeNames. Thirteen ways of forming a number from the registers,
// then the two kinds that are no plain number.
enum DataType : uint32_t {
  DT_U16_BE = 0,
  DT_U16_LE = 1,
  DT_S16_BE = 2,
  DT_S16_LE = 3,
  DT_U32_BE = 4,
  DT_U32_LE = 5,
  DT_U32_CDAB = 6,
  DT_S32_BE = 7,
  DT_S32_LE = 8,
  DT_S32_CDAB = 9,
  DT_F32_BE = 10,
  DT_F32_LE = 11,
  DT_F32_CDAB = 12,
  DT_SWITCH = 13,         // an on/off quantity with an alarm and a normal text
  DT_REMOTE_ADJUST = 14,  // a value shown through the gear table
};

inline constexpr int kDataTypeCount = 15;

// The labels of the data-type list, in index order.
inline constexpr const char* kDataTypeNames[kDataTypeCount] = {
    "16位无符号整型-大端",
    "16位无符号整型-小端",
    "16位有符号整型-大端",
    "16位有符号整型-小端",
    "32位无符号整型-大端",
    "32位无符号整型-小端",
    "32位无符号整型-低Word高Byte",
    "32位有符号整型-大端",
    "32位有符号整型-小端",
    "32位有符号整型-低Word高Byte",
    "浮点型-大端",
    "浮点型-小端",
    "浮点型-低Word高Byte",
    "开关量",
    "遥调",
};

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
