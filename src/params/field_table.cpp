#include "params/field_table.h"

#include <charconv>
#include <cstring>

#include "text/gbk.h"
#include "text/ipv4_text.h"
#include "text/number_text.h"

namespace quillon {

namespace {

constexpr size_t kOsd = offsetof(DeviceParameterBlock, osd);
constexpr size_t kModbus = offsetof(DeviceParameterBlock, modbus);

class TableBuilder {
 public:
  explicit TableBuilder(std::vector<NamedField>& table) : table_(table) {}

  void Ipv4(std::string name, size_t offset) { Add(std::move(name), offset, 4, FieldKind::Ipv4); }
  void Number(std::string name, size_t offset, size_t size, uint32_t min, uint32_t max,
              uint16_t id = 0) {
    NamedField& field = Add(std::move(name), offset, size, FieldKind::Number, id);
    field.min = min;
    field.max = max;
  }
  void Real(std::string name, size_t offset, uint16_t id) {
    Add(std::move(name), offset, 4, FieldKind::Real, id);
  }
  void Text(std::string name, size_t offset, size_t size, size_t limit, uint16_t id = 0) {
    Add(std::move(name), offset, size, FieldKind::Text, id).textLimit = limit;
  }
  void List(std::string name, size_t offset, size_t size, std::span<const ListItem> items,
            uint16_t id = 0) {
    Add(std::move(name), offset, size, FieldKind::List, id).items = items;
  }
  // Fields added from now on travel by dictionary entries of their own.
  void Dictionary() { transfer_ = FieldTransfer::Dictionary; }

 private:
  NamedField& Add(std::string name, size_t offset, size_t size, FieldKind kind, uint16_t id = 0) {
    NamedField& field = table_.emplace_back();
    field.name = std::move(name);
    field.offset = offset;
    field.size = size;
    field.kind = kind;
    field.id = id;
    field.transfer = transfer_;
    if (transfer_ == FieldTransfer::Download && id != 0) field.transfer = FieldTransfer::LineText;
    return field;
  }

  std::vector<NamedField>& table_;
  FieldTransfer transfer_ = FieldTransfer::Download;
};

std::vector<NamedField> BuildTable() {
  std::vector<NamedField> table;
  table.reserve(700);
  TableBuilder t(table);

  t.Ipv4("network.ip", kOsd + offsetof(sOSDCommPara, abyIP));
  t.Ipv4("network.mask", kOsd + offsetof(sOSDCommPara, abyNetMask));
  t.Ipv4("network.gateway", kOsd + offsetof(sOSDCommPara, abyGateway));
  t.Number("network.dhcp", kOsd + offsetof(sOSDCommPara, byDHCP), 1, 0, 1);
  t.Ipv4("network.upgrade_server", kOsd + offsetof(sOSDCommPara, abyUpgradeIP));
  t.Number("network.upgrade_target_port", kOsd + offsetof(sOSDCommPara, wUpgradeDstPort), 2, 0,
           65535);
  t.Number("network.upgrade_source_port", kOsd + offsetof(sOSDCommPara, wUpgradeSrcPort), 2, 0,
           65535);

  for (int c = 0; c < 4; ++c) {
    const size_t base = kOsd + offsetof(sOSDCommPara, asCamera) + c * sizeof(sCameraPara);
    const std::string camera = "camera" + std::to_string(c + 1) + ".";
    t.Ipv4(camera + "ip", base + offsetof(sCameraPara, abyCameraIP));
    t.Number(camera + "port", base + offsetof(sCameraPara, wCameraPort), 2, 0, 65535);
    t.Number(camera + "source_port", base + offsetof(sCameraPara, wSourcePort), 2, 0, 65535);
    t.Text(camera + "user", base + offsetof(sCameraPara, szUser), 30, kLoginTextLimit);
    t.Text(camera + "password", base + offsetof(sCameraPara, szPassword), 30, kLoginTextLimit);
    t.List(camera + "line_count", base + offsetof(sCameraPara, byLineCount), 1, kLineCounts);
    t.List(camera + "brand", base + offsetof(sCameraPara, byBrand), 1, kBrands);
    for (int l = 0; l < 8; ++l) {
      const size_t line = base + offsetof(sCameraPara, asLine) + l * sizeof(sOverlayLine);
      const std::string prefix = camera + "line" + std::to_string(l + 1) + ".";
      t.Text(prefix + "text", line + offsetof(sOverlayLine, szText), 73, kLineTextLimit,
             static_cast<uint16_t>(5000 + 8 * c + l));
      t.Number(prefix + "x", line + offsetof(sOverlayLine, wX), 2, 0, 65535);
      t.Number(prefix + "y", line + offsetof(sOverlayLine, wY), 2, 0, 65535);
    }
  }

  t.Dictionary();
  t.List("rs485.protocol", kModbus + offsetof(sModBusPara, byProtocol), 1, kProtocols, 4790);
  t.Number("rs485.poll_interval", kModbus + offsetof(sModBusPara, wPollInterval), 2, 100, 65535,
           3473);
  t.Number("rs485.timeout", kModbus + offsetof(sModBusPara, wTimeout), 2, 100, 65535, 3474);
  t.Number("rs485.retry_limit", kModbus + offsetof(sModBusPara, wRetryLimit), 2, 1, 65535, 3475);
  t.List("rs485.baud", kModbus + offsetof(sModBusPara, dwBaudRate), 4, kBaudRates, 3476);
  t.List("rs485.parity", kModbus + offsetof(sModBusPara, byParity), 1, kParities, 3477);

  for (int k = 0; k < 16; ++k) {
    const size_t base = kModbus + offsetof(sModBusPara, asSlot) + k * sizeof(sSlotPara);
    const std::string slot = "slot" + std::to_string(k + 1) + ".";
    auto id = [](int first, int step, int k) { return static_cast<uint16_t>(first + step * k); };
    t.Number(slot + "enable", base + offsetof(sSlotPara, byEnable), 1, 0, 1, id(62, 5, k));
    t.List(slot + "channel", base + offsetof(sSlotPara, byChannel), 1, kChannels, id(3478, 4, k));
    t.Number(slot + "slave_address", base + offsetof(sSlotPara, bySlaveAddr), 1, 0, 255,
             id(61, 5, k));
    t.List(slot + "function", base + offsetof(sSlotPara, byFuncCode), 1, kFunctionCodes,
           id(3479, 4, k));
    t.Number(slot + "start_register", base + offsetof(sSlotPara, wStartReg), 2, 0, 65535,
             id(64, 5, k));
    t.Number(slot + "register_count", base + offsetof(sSlotPara, wRegCount), 2, 0, 65535,
             id(65, 5, k));
    t.Number(slot + "data_offset", base + offsetof(sSlotPara, wDataOffset), 2, 0, 65535,
             id(3481, 4, k));
    t.List(slot + "data_type", base + offsetof(sSlotPara, dwDataType), 4, kDataTypes,
           id(4791, 1, k));
    t.Real(slot + "scale_a", base + offsetof(sSlotPara, fScaleA), id(251, 25, k));
    t.Real(slot + "offset_b", base + offsetof(sSlotPara, fOffsetB), id(252, 25, k));
    t.Number(slot + "data_bits", base + offsetof(sSlotPara, byDataBits), 1, 0, 255, id(7548, 1, k));
    t.List(slot + "decimals", base + offsetof(sSlotPara, byDecimals), 1, kDecimals, id(3480, 4, k));
    t.Text(slot + "name", base + offsetof(sSlotPara, szName), 31, kSlotNameLimit, id(253, 25, k));
    t.Text(slot + "unit", base + offsetof(sSlotPara, szUnit), 9, kSlotUnitLimit, id(254, 25, k));
    t.Real(slot + "alarm_value", base + offsetof(sSlotPara, fAlarmValue), id(3606, 37, k));
    t.Text(slot + "alarm_text", base + offsetof(sSlotPara, szAlarmText), 11, kSwitchTextLimit,
           id(3607, 37, k));
    t.Text(slot + "normal_text", base + offsetof(sSlotPara, szNormalText), 11, kSwitchTextLimit,
           id(3608, 37, k));
    for (int g = 0; g < 8; ++g) {
      const std::string gear = slot + "gear" + std::to_string(g + 1) + ".";
      t.Real(gear + "value", base + offsetof(sSlotPara, afGearValue) + 4 * g,
             static_cast<uint16_t>(3609 + 37 * k + 2 * g));
      t.Text(gear + "text", base + offsetof(sSlotPara, aszGearText) + 11 * g, 11, kGearTextLimit,
             static_cast<uint16_t>(3610 + 37 * k + 2 * g));
    }
    t.Text(slot + "other_text", base + offsetof(sSlotPara, aszGearText) + 11 * 8, 11,
           kGearTextLimit, id(3642, 37, k));
  }
  return table;
}

const uint8_t* Bytes(const DeviceParameterBlock& block, const NamedField& field) {
  return reinterpret_cast<const uint8_t*>(&block) + field.offset;
}
uint8_t* Bytes(DeviceParameterBlock& block, const NamedField& field) {
  return reinterpret_cast<uint8_t*>(&block) + field.offset;
}

uint32_t LoadNumber(const uint8_t* bytes, size_t size) {
  uint32_t value = 0;
  for (size_t i = size; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

void StoreNumber(uint8_t* bytes, size_t size, uint32_t value) {
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A whole decimal number without sign or blanks, as long as it stays below 2^32.
bool ParseWhole(std::string_view text, uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFF) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

// A real number written in full: an optional sign, digits with an optional point and fraction,
// an optional exponent, nothing else, within the range of a float.
bool ParseStrictReal(std::string_view text, float& value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  if (text.empty() || !((text[0] >= '0' && text[0] <= '9') || text[0] == '.')) return false;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
  if (negative) value = -value;
  return true;
}

const ListItem* FindItem(const NamedField& field, std::string_view text) {
  for (const ListItem& item : field.items)
    if (text == item.label) return &item;
  uint32_t index = 0;
  if (ParseWhole(text, index) && index < field.items.size()) return &field.items[index];
  return nullptr;
}

}  // namespace

const std::vector<NamedField>& FieldTable() {
  static const std::vector<NamedField> table = BuildTable();
  return table;
}

const NamedField* FindField(std::string_view name) {
  for (const NamedField& field : FieldTable())
    if (field.name == name) return &field;
  return nullptr;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  // Greedy with one backtrack point: the last '*' seen and where in the name it stands.
  size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string FieldValueText(const NamedField& field, const DeviceParameterBlock& block) {
  const uint8_t* bytes = Bytes(block, field);
  switch (field.kind) {
    case FieldKind::Ipv4:
      return Ipv4Text(Ipv4FromBytes(bytes));
    case FieldKind::Number:
      return FormatUnsigned(LoadNumber(bytes, field.size));
    case FieldKind::Real: {
      float value;
      std::memcpy(&value, bytes, sizeof value);
      return FormatReal(value);
    }
    case FieldKind::Text:
      return LoadGbkText(reinterpret_cast<const char*>(bytes), field.size);
    case FieldKind::List: {
      const uint32_t value = LoadNumber(bytes, field.size);
      for (const ListItem& item : field.items)
        if (item.value == value) return item.label;
      return FormatUnsigned(value);
    }
  }
  return {};
}

std::string CheckFieldValue(const NamedField& field, std::string_view text) {
  auto refuse = [&](const std::string& why) {
    return field.name + "=" + std::string(text) + ": " + why + "; it takes " + AllowedValues(field);
  };
  switch (field.kind) {
    case FieldKind::Ipv4:
      return ParseIpv4(text) ? "" : refuse("not an IPv4 address");
    case FieldKind::Number: {
      uint32_t value = 0;
      if (!ParseWhole(text, value)) return refuse("not a whole number");
      return value >= field.min && value <= field.max ? "" : refuse("out of range");
    }
    case FieldKind::Real: {
      float value;
      return ParseStrictReal(text, value) ? "" : refuse("not a real number");
    }
    case FieldKind::Text: {
      for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
          return refuse("holds a control character");
      const std::string gbk = Utf8ToGbk(text);
      if (GbkToUtf8(gbk) != text) return refuse("not UTF-8 text that GBK can hold");
      if (gbk.size() > field.textLimit)
        return refuse(std::to_string(gbk.size()) + " GBK bytes (a Chinese character takes two)");
      return "";
    }
    case FieldKind::List:
      return FindItem(field, text) ? "" : refuse("not an item of the list");
  }
  return refuse("unknown kind");
}

void StoreFieldValue(const NamedField& field, std::string_view text, DeviceParameterBlock& block) {
  uint8_t* bytes = Bytes(block, field);
  switch (field.kind) {
    case FieldKind::Ipv4:
      if (const std::optional<uint32_t> address = ParseIpv4(text)) Ipv4ToBytes(*address, bytes);
      break;
    case FieldKind::Number: {
      uint32_t value = 0;
      if (ParseWhole(text, value)) StoreNumber(bytes, field.size, value);
      break;
    }
    case FieldKind::Real: {
      float value;
      if (ParseStrictReal(text, value)) std::memcpy(bytes, &value, sizeof value);
      break;
    }
    case FieldKind::Text:
      StoreGbkText(reinterpret_cast<char*>(bytes), field.textLimit, text);
      break;
    case FieldKind::List:
      if (const ListItem* item = FindItem(field, text)) StoreNumber(bytes, field.size, item->value);
      break;
  }
}

bool SameFieldValue(const NamedField& field, const DeviceParameterBlock& a,
                    const DeviceParameterBlock& b) {
  const uint8_t* x = Bytes(a, field);
  const uint8_t* y = Bytes(b, field);
  if (field.kind == FieldKind::Text)
    return FieldText(reinterpret_cast<const char*>(x), field.size) ==
           FieldText(reinterpret_cast<const char*>(y), field.size);
  return std::memcmp(x, y, field.size) == 0;
}

std::string AllowedValues(const NamedField& field) {
  switch (field.kind) {
    case FieldKind::Ipv4:
      return "an IPv4 address";
    case FieldKind::Number:
      return std::to_string(field.min) + " to " + std::to_string(field.max);
    case FieldKind::Real:
      return "a real number (shown with 3 decimals)";
    case FieldKind::Text:
      return "UTF-8 text of at most " + std::to_string(field.textLimit) + " GBK bytes";
    case FieldKind::List: {
      std::string text = "one of ";
      for (size_t i = 0; i < field.items.size(); ++i)
        text += (i ? ", " : "") + std::string(field.items[i].label);
      return text + " (or the index 0 to " + std::to_string(field.items.size() - 1) + ")";
    }
  }
  return {};
}

std::string TransferText(const NamedField& field) {
  switch (field.transfer) {
    case FieldTransfer::Download:
      return "download";
    case FieldTransfer::LineText:
      return "line text " + std::to_string(field.id);
    case FieldTransfer::Dictionary:
      return "dictionary " + std::to_string(field.id);
  }
  return {};
}

}  // namespace quillon
