// The lists the pages offer (each item's label and the value it stores in the block) and the
// byte limits of every text field, written once for the pages' forms, the field table of the
// command-line tool and anything else that shows or checks a field as the pages do.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon {

// An item of a list as the page's drop-down list shows it, and the value it stores.
struct ListItem {
  const char* label;
  uint32_t value;
};

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

namespace lists_detail {
template <size_t N>
constexpr std::array<ListItem, N> Indexed(const char* const (&labels)[N]) {
  std::array<ListItem, N> items{};
  for (size_t i = 0; i < N; ++i) items[i] = {labels[i], static_cast<uint32_t>(i)};
  return items;
}
inline constexpr const char* kBrandLabels[] = {"海康威视", "大华", "宇视科技", "中维世纪", "华为"};
inline constexpr const char* kProtocolLabels[] = {"内部规约", "标准ModBus规约"};
inline constexpr const char* kParityLabels[] = {"无校验", "奇校验", "偶校验"};
inline constexpr const char* kChannelLabels[] = {"通道1", "通道2", "通道3", "通道4",
                                                 "通道5", "通道6", "通道7", "通道8"};
inline constexpr const char* kDecimalLabels[] = {"0", "1", "2", "3"};
}  // namespace lists_detail

// The camera page: byBrand is the brand's index, byLineCount the count itself.
inline constexpr auto kBrands = lists_detail::Indexed(lists_detail::kBrandLabels);
inline constexpr ListItem kLineCounts[] = {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4},
                                           {"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}};

// The RS-485 page.
inline constexpr auto kProtocols = lists_detail::Indexed(lists_detail::kProtocolLabels);
inline constexpr ListItem kBaudRates[] = {{"2400", 2400},    {"4800", 4800},   {"9600", 9600},
                                          {"19200", 19200},  {"38400", 38400}, {"57600", 57600},
                                          {"115200", 115200}};
inline constexpr auto kParities = lists_detail::Indexed(lists_detail::kParityLabels);
inline constexpr auto kChannels = lists_detail::Indexed(lists_detail::kChannelLabels);
inline constexpr ListItem kFunctionCodes[] = {{"03", 3}, {"04", 4}};
inline constexpr auto kDataTypes = lists_detail::Indexed(kDataTypeNames);
inline constexpr auto kDecimals = lists_detail::Indexed(lists_detail::kDecimalLabels);

// What the RS-485 page stores for a list it cannot show: a baud rate without a selection, and a
// function code that is not the first item.
inline constexpr uint32_t kBaudRateOfNoSelection = 4800;

// GBK bytes of each text field before its terminator.
inline constexpr size_t kLoginTextLimit = 29;   // szUser, szPassword (30 bytes)
inline constexpr size_t kLineTextLimit = 72;    // szText of an overlay line (73 bytes)
inline constexpr size_t kSlotNameLimit = 30;    // szName (31 bytes)
inline constexpr size_t kSlotUnitLimit = 8;     // szUnit (9 bytes)
inline constexpr size_t kSwitchTextLimit = 10;  // szAlarmText, szNormalText (11 bytes)
inline constexpr size_t kGearTextLimit = 10;    // each of aszGearText (11 bytes)

}  // namespace quillon
