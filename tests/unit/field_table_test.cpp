// The named fields: where each lives, pinned by literal offsets and identifiers and by the
// simulator's own identifier table; what each takes and how it shows, by literal cases; the
// range of every number; and every name through show and set.
#include "params/field_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "device_dictionary.h"
#include "forms/control_states.h"
#include "params/osd_wire.h"

using namespace quillon;

namespace {

// Offsets inside DeviceParameterBlock, written out from the record layouts: camera c at
// 52 + 694(c-1), its line l at + 68 + 78(l-1); the RS-485 image at 2828, slot k at
// 2844 + 228(k-1). Transfer: 'D' download, 'L' line text, 'E' dictionary entry.
struct Place {
  const char* name;
  size_t offset, size;
  char transfer;
  uint16_t id;
};
// clang-format off
constexpr Place kPlaces[] = {
    {"network.ip", 1, 4, 'D', 0},            {"network.mask", 9, 4, 'D', 0},
    {"network.gateway", 5, 4, 'D', 0},       {"network.dhcp", 0, 1, 'D', 0},
    {"network.upgrade_server", 28, 4, 'D', 0},
    {"network.upgrade_target_port", 34, 2, 'D', 0},
    {"network.upgrade_source_port", 32, 2, 'D', 0},
    {"camera1.ip", 112, 4, 'D', 0},          {"camera1.port", 118, 2, 'D', 0},
    {"camera1.source_port", 116, 2, 'D', 0}, {"camera1.user", 52, 30, 'D', 0},
    {"camera1.password", 82, 30, 'D', 0},    {"camera1.line_count", 745, 1, 'D', 0},
    {"camera1.brand", 744, 1, 'D', 0},       {"camera1.line1.text", 125, 73, 'L', 5000},
    {"camera1.line1.x", 120, 2, 'D', 0},     {"camera1.line1.y", 122, 2, 'D', 0},
    {"camera2.line3.text", 975, 73, 'L', 5010},
    {"camera4.user", 2134, 30, 'D', 0},      {"camera4.brand", 2826, 1, 'D', 0},
    {"camera4.line8.text", 2753, 73, 'L', 5031},
    {"camera4.line8.y", 2750, 2, 'D', 0},
    {"rs485.protocol", 2828, 1, 'E', 4790},  {"rs485.poll_interval", 2830, 2, 'E', 3473},
    {"rs485.timeout", 2832, 2, 'E', 3474},   {"rs485.retry_limit", 2834, 2, 'E', 3475},
    {"rs485.baud", 2836, 4, 'E', 3476},      {"rs485.parity", 2840, 1, 'E', 3477},
    {"slot1.enable", 2844, 1, 'E', 62},      {"slot1.channel", 2845, 1, 'E', 3478},
    {"slot1.slave_address", 2846, 1, 'E', 61}, {"slot1.function", 2847, 1, 'E', 3479},
    {"slot1.start_register", 2848, 2, 'E', 64}, {"slot1.register_count", 2850, 2, 'E', 65},
    {"slot1.data_offset", 2852, 2, 'E', 3481}, {"slot1.data_type", 2856, 4, 'E', 4791},
    {"slot1.decimals", 2860, 1, 'E', 3480},  {"slot1.scale_a", 2864, 4, 'E', 251},
    {"slot1.offset_b", 2868, 4, 'E', 252},   {"slot1.name", 2872, 31, 'E', 253},
    {"slot1.unit", 2903, 9, 'E', 254},       {"slot1.alarm_value", 2912, 4, 'E', 3606},
    {"slot1.alarm_text", 2916, 11, 'E', 3607}, {"slot1.normal_text", 2927, 11, 'E', 3608},
    {"slot1.gear1.value", 2940, 4, 'E', 3609}, {"slot1.gear1.text", 2972, 11, 'E', 3610},
    {"slot1.data_bits", 3071, 1, 'E', 7548}, {"slot5.data_type", 3768, 4, 'E', 4795},
    {"slot5.gear3.text", 3906, 11, 'E', 3762}, {"slot16.gear8.value", 6388, 4, 'E', 4178},
    {"slot16.gear8.text", 6469, 11, 'E', 4179}, {"slot16.other_text", 6480, 11, 'E', 4197},
};
// clang-format on

// Every number field's range, from the hints beside the pages' boxes ("100-65535ms",
// "1-65535次") and otherwise the field's width, with how many fields each pattern names.
struct Bounds {
  const char* pattern;
  uint32_t min, max;
  int fields;
};
// clang-format off
constexpr Bounds kNumberBounds[] = {
    {"network.dhcp", 0, 1, 1},                 {"network.upgrade_target_port", 0, 65535, 1},
    {"network.upgrade_source_port", 0, 65535, 1},
    {"camera?.port", 0, 65535, 4},             {"camera?.source_port", 0, 65535, 4},
    {"camera?.line?.x", 0, 65535, 32},         {"camera?.line?.y", 0, 65535, 32},
    {"rs485.poll_interval", 100, 65535, 1},    {"rs485.timeout", 100, 65535, 1},
    {"rs485.retry_limit", 1, 65535, 1},
    {"slot*.enable", 0, 1, 16},                {"slot*.slave_address", 0, 255, 16},
    {"slot*.start_register", 0, 65535, 16},    {"slot*.register_count", 0, 65535, 16},
    {"slot*.data_offset", 0, 65535, 16},       {"slot*.data_bits", 0, 255, 16},
};
// clang-format on

const NamedField& Field(const char* name) {
  const NamedField* field = FindField(name);
  if (!field) throw std::invalid_argument(name);
  return *field;
}

}  // namespace

TEST(FieldTable, EveryNameHasItsPlaceAndTransfer) {
  EXPECT_EQ(FieldTable().size(), 681u);  // 7 network, 4 x 31 camera, 6 RS-485, 16 x 34 slot
  for (const Place& want : kPlaces) {
    SCOPED_TRACE(want.name);
    const NamedField& field = Field(want.name);
    EXPECT_EQ(field.offset, want.offset);
    EXPECT_EQ(field.size, want.size);
    EXPECT_EQ("DLE"[static_cast<int>(field.transfer)], want.transfer);
    EXPECT_EQ(field.id, want.id);
  }
  // No two fields share a byte, and no name is given twice.
  std::vector<int> owner(sizeof(DeviceParameterBlock), -1);
  for (size_t i = 0; i < FieldTable().size(); ++i) {
    const NamedField& field = FieldTable()[i];
    EXPECT_EQ(FindField(field.name), &field);
    for (size_t b = field.offset; b < field.offset + field.size; ++b) {
      ASSERT_LT(b, owner.size()) << field.name;
      EXPECT_EQ(owner[b], -1) << field.name << " overlaps " << FieldTable()[owner[b]].name;
      owner[b] = static_cast<int>(i);
    }
  }
}

TEST(FieldTable, EachTransferCarriesItsFields) {
  // Entries against the simulator's own identifier table; the rest against the download frame:
  // a download field's bytes change the frame, and so does a line text's on legacy firmware.
  auto block = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*block);
  const uint8_t mac[6] = {};
  for (const NamedField& field : FieldTable()) {
    SCOPED_TRACE(field.name);
    if (field.transfer != FieldTransfer::Download) {
      const devsim::DeviceItem item = devsim::FindItem(field.id);
      const bool text = field.transfer == FieldTransfer::LineText;
      EXPECT_EQ(item.image, text ? devsim::Image::Osd : devsim::Image::Modbus);
      EXPECT_EQ(item.offset + (text ? 0 : 2828), field.offset);
      EXPECT_EQ(item.fieldSize, field.size);
    }
    if (field.transfer == FieldTransfer::Dictionary) continue;
    const bool legacy = field.transfer == FieldTransfer::LineText;
    const Bytes before = BuildDownloadFrame(block->osd, mac, legacy);
    reinterpret_cast<uint8_t*>(block.get())[field.offset] ^= 0x5A;
    EXPECT_NE(BuildDownloadFrame(block->osd, mac, legacy), before);
    reinterpret_cast<uint8_t*>(block.get())[field.offset] ^= 0x5A;
  }
}

TEST(FieldTable, ListsHoldThePagesItemsAndValues) {
  const struct {
    const char* name;
    const char* items;  // label=value, in list order
  } cases[] = {
      {"camera1.brand", "海康威视=0 大华=1 宇视科技=2 中维世纪=3 华为=4"},
      {"camera4.line_count", "1=1 2=2 3=3 4=4 5=5 6=6 7=7 8=8"},
      {"rs485.protocol", "内部规约=0 标准ModBus规约=1"},
      {"rs485.baud",
       "2400=2400 4800=4800 9600=9600 19200=19200 38400=38400 57600=57600 "
       "115200=115200"},
      {"rs485.parity", "无校验=0 奇校验=1 偶校验=2"},
      {"slot16.channel", "通道1=0 通道2=1 通道3=2 通道4=3 通道5=4 通道6=5 通道7=6 通道8=7"},
      {"slot1.function", "03=3 04=4"},
      {"slot1.decimals", "0=0 1=1 2=2 3=3"},
  };
  for (const auto& c : cases) {
    std::string items;
    for (const ListItem& item : Field(c.name).items)
      items +=
          (items.empty() ? "" : " ") + std::string(item.label) + "=" + std::to_string(item.value);
    EXPECT_EQ(items, c.items) << c.name;
  }
  // The data types against the RS-485 page's own table, by index.
  const NamedField& type = Field("slot7.data_type");
  ASSERT_EQ(type.items.size(), size_t{kDataTypeCount});
  for (int i = 0; i < kDataTypeCount; ++i) {
    EXPECT_STREQ(type.items[i].label, kDataTypeNames[i]);
    EXPECT_EQ(type.items[i].value, static_cast<uint32_t>(i));
  }
}

TEST(FieldTable, ValuesAreTakenAndShownAsThePagesDo) {
  const struct {
    const char* name;
    std::string text;
    std::vector<uint8_t> bytes;  // stored at the field's offset; empty: refused
    const char* shown;
  } cases[] = {
      {"network.ip", "192.168.001.010", {192, 168, 1, 10}, "192.168.1.10"},
      {"network.ip", "256.1.1.1", {}, nullptr},
      {"network.ip", "1.2.3", {}, nullptr},
      {"network.upgrade_source_port", "-1", {}, nullptr},
      {"rs485.baud", "57600", {0x00, 0xE1, 0, 0}, "57600"},
      {"rs485.baud", "6", {0x00, 0xC2, 0x01, 0}, "115200"},  // by index
      {"rs485.baud", "1200", {}, nullptr},
      {"rs485.parity", "偶校验", {2}, "偶校验"},
      {"slot5.data_type", "遥调", {14, 0, 0, 0}, "遥调"},
      {"slot5.data_type", "13", {13, 0, 0, 0}, "开关量"},
      {"slot5.data_type", "15", {}, nullptr},
      {"slot2.function", "04", {4}, "04"},
      {"slot2.function", "0", {3}, "03"},
      {"slot2.channel", "通道8", {7}, "通道8"},
      {"camera1.line_count", "8", {8}, "8"},
      {"camera1.line_count", "0", {1}, "1"},  // no item "0": the index
      {"camera3.brand", "华为", {4}, "华为"},
      {"slot1.scale_a", "1.5e2", {0x00, 0x00, 0x16, 0x43}, "150.000"},
      {"slot1.scale_a", "-0.0005", {0x6F, 0x12, 0x03, 0xBA}, "-0.001"},
      {"slot1.scale_a", "12abc", {}, nullptr},
      {"slot1.scale_a", "inf", {}, nullptr},
      {"slot1.scale_a", "1e39", {}, nullptr},
      {"slot3.unit", "MPa", {'M', 'P', 'a', 0}, "MPa"},
      {"slot3.unit", "温度℃", {0xCE, 0xC2, 0xB6, 0xC8, 0xA1, 0xE6, 0}, "温度℃"},
      {"slot3.unit", "一二三四五", {}, nullptr},  // 10 bytes, at most 8
      {"slot3.unit", "a\tb", {}, nullptr},
      {"camera2.user", std::string(29, 'u'), std::vector<uint8_t>(29, 'u'), nullptr},
      {"camera2.user", std::string(30, 'u'), {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + ("=" + c.text));
    const NamedField& field = Field(c.name);
    const std::string why = CheckFieldValue(field, c.text);
    if (c.bytes.empty()) {
      EXPECT_NE(why.find(std::string(c.name) + "="), std::string::npos) << why;
      EXPECT_NE(why.find(AllowedValues(field)), std::string::npos) << why;
      continue;
    }
    ASSERT_EQ(why, "");
    auto block = std::make_unique<DeviceParameterBlock>();
    std::memset(block.get(), 0xEE, sizeof *block);
    StoreFieldValue(field, c.text, *block);
    const auto* bytes = reinterpret_cast<const uint8_t*>(block.get()) + field.offset;
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + c.bytes.size()), c.bytes);
    EXPECT_EQ(FieldValueText(field, *block), c.shown ? c.shown : c.text);
  }
  // A value that no item stands for shows as its number.
  auto block = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*block);
  block->osd.asCamera[0].byBrand = 255;
  EXPECT_EQ(FieldValueText(Field("camera1.brand"), *block), "255");
}

// Both edges of every number field are taken and stored as they are; one beyond either edge is
// refused, naming the range.
TEST(FieldTable, EveryNumberTakesItsRangeAndNothingBeyond) {
  std::vector<int> named(std::size(kNumberBounds));
  for (const NamedField& field : FieldTable()) {
    SCOPED_TRACE(field.name);
    const Bounds* bounds = nullptr;
    for (size_t i = 0; i < std::size(kNumberBounds); ++i) {
      if (!MatchesPattern(kNumberBounds[i].pattern, field.name)) continue;
      EXPECT_EQ(bounds, nullptr) << "named by two rows";
      bounds = &kNumberBounds[i];
      ++named[i];
    }
    EXPECT_EQ(field.kind == FieldKind::Number, bounds != nullptr);
    if (!bounds || field.kind != FieldKind::Number) continue;
    std::vector<std::pair<uint64_t, bool>> edges = {
        {bounds->min, true}, {bounds->max, true}, {uint64_t{bounds->max} + 1, false}};
    if (bounds->min > 0) edges.push_back({bounds->min - 1, false});
    for (const auto& [value, taken] : edges) {
      const std::string text = std::to_string(value);
      const std::string why = CheckFieldValue(field, text);
      if (!taken) {
        EXPECT_NE(why.find(std::to_string(bounds->min) + " to " + std::to_string(bounds->max)),
                  std::string::npos)
            << text << " taken: " << why;
        continue;
      }
      ASSERT_EQ(why, "") << text;
      auto block = std::make_unique<DeviceParameterBlock>();
      std::memset(block.get(), 0xEE, sizeof *block);
      StoreFieldValue(field, text, *block);
      const auto* bytes = reinterpret_cast<const uint8_t*>(block.get()) + field.offset;
      for (size_t b = 0; b < field.size; ++b)
        EXPECT_EQ(bytes[b], (value >> (8 * b)) & 0xFF) << text << " byte " << b;
      EXPECT_EQ(FieldValueText(field, *block), text);
    }
  }
  for (size_t i = 0; i < std::size(kNumberBounds); ++i)
    EXPECT_EQ(named[i], kNumberBounds[i].fields) << kNumberBounds[i].pattern;
}

TEST(FieldTable, EveryNameRoundTripsThroughShowAndSet) {
  for (const NamedField& field : FieldTable()) {
    SCOPED_TRACE(field.name);
    std::string value;
    switch (field.kind) {
      case FieldKind::Ipv4:
        value = "10.20.30.40";
        break;
      case FieldKind::Number:
        value = std::to_string(field.max);
        break;
      case FieldKind::Real:
        value = "-12.500";
        break;
      case FieldKind::Text:
        for (size_t i = 0; i + 2 <= field.textLimit; i += 2) value += "甲";
        break;
      case FieldKind::List:
        value = field.items.back().label;
        break;
    }
    ASSERT_EQ(CheckFieldValue(field, value), "");
    auto block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*block);
    StoreFieldValue(field, value, *block);
    EXPECT_EQ(FieldValueText(field, *block), value);
    auto copy = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*copy);
    StoreFieldValue(field, FieldValueText(field, *block), *copy);
    EXPECT_TRUE(SameFieldValue(field, *block, *copy));
  }
}

TEST(FieldTable, PatternsNarrowTheNames) {
  const struct {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"slot5.*", "slot5.gear3.text", true},
      {"slot5.*", "slot15.name", false},
      {"camera*.line1.text", "camera3.line1.text", true},
      {"camera*.line1.text", "camera3.line1.x", false},
      {"slot?.name", "slot12.name", false},
      {"slot??.name", "slot12.name", true},
      {"*", "network.ip", true},
      {"*.ip", "camera4.ip", true},
      {"network.ip", "network.ip", true},
      {"network.i", "network.ip", false},
      {"*a*b*c", "xaxbxcx", false},
      {"*a*b*c", "xaxbxc", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}
