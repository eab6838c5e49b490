#include <gtest/gtest.h>

#include <string>

#include "forms/control_states.h"

using namespace quillon;

namespace {

using enum Rs485Control;

// The states with the Modbus protocol, control by control: enabled for a numeric type (0 to 12
// or none), for "开关量" and for "遥调".
const struct {
  Rs485Control control;
  const char* name;
  bool numeric, onOff, gears;
} kModbusStates[] = {
    {PollInterval, "poll interval", true, true, true},
    {Timeout, "timeout", true, true, true},
    {RetryLimit, "retry limit", true, true, true},
    {BaudRate, "baud rate", true, true, true},
    {Parity, "parity", true, true, true},
    {SlotSelector, "slot selector", true, true, true},
    {Enable, "enable", true, true, true},
    {Channel, "channel", true, true, true},
    {SlaveAddr, "slave address", true, true, true},
    {FuncCode, "function code", true, true, true},
    {StartReg, "start register", true, true, true},
    {RegCount, "register count", true, true, true},
    {DataOffset, "data offset", true, true, true},
    {DataType, "data type", true, true, true},
    {ScaleA, "A", true, true, true},
    {OffsetB, "B", true, true, true},
    {Decimals, "decimal places", true, false, false},
    {RemoteAdjust, "gear button", false, false, true},
    {Name, "name", true, true, true},
    {Unit, "unit", true, false, false},
    {DataBits, "digit count", true, false, false},
    {AlarmValue, "alarm value", false, true, false},
    {AlarmText, "alarm text", false, true, false},
    {NormalText, "normal text", false, true, false},
};
static_assert(std::size(kModbusStates) == kRs485ControlCount);

}  // namespace

TEST(DataTypes, FifteenLabelsInIndexOrder) {
  EXPECT_STREQ(kDataTypeNames[DT_U16_BE], "16位无符号整型-大端");
  EXPECT_STREQ(kDataTypeNames[DT_S16_LE], "16位有符号整型-小端");
  EXPECT_STREQ(kDataTypeNames[DT_U32_CDAB], "32位无符号整型-低Word高Byte");
  EXPECT_STREQ(kDataTypeNames[DT_S32_BE], "32位有符号整型-大端");
  EXPECT_STREQ(kDataTypeNames[DT_F32_CDAB], "浮点型-低Word高Byte");
  EXPECT_STREQ(kDataTypeNames[13], "开关量");
  EXPECT_STREQ(kDataTypeNames[14], "遥调");
}

TEST(DataTypes, ControlStatesFollowTheProtocolAndTheKindOfTheType) {
  const std::optional<int> types[] = {std::nullopt, 0, 1, 5, 9, 12, 13, 14, 15, 20, -1};
  for (const std::optional<int> protocol : {std::optional<int>(1), std::optional<int>(),
                                            std::optional<int>(2), std::optional<int>(255)}) {
    for (const std::optional<int> type : types) {
      const ControlSet enabled = EnabledControls(protocol, type);
      for (const auto& row : kModbusStates) {
        const bool want = type == 13 ? row.onOff : type == 14 ? row.gears : row.numeric;
        EXPECT_EQ(enabled.Has(row.control), want)
            << row.name << ", protocol " << protocol.value_or(-99) << ", type "
            << type.value_or(-99);
      }
    }
  }
  // The internal protocol leaves only the port's line settings, whatever the type.
  for (const std::optional<int> type : types)
    EXPECT_EQ(EnabledControls(PROTOCOL_INTERNAL, type), (ControlSet{BaudRate, Parity}));
}
