// The simulated device's own dictionary: which of its parameters each identifier names, and how
// a value is answered and taken. It is written from the device's side, as a table of identifier
// ranges with the byte offsets of the parameter images spelled out, and shares nothing with the
// program's codec, so that a mapping error on either side shows against the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "params/parameter_block.h"

namespace quillon::devsim {

inline constexpr uint16_t kOpReadItems = 8001;
inline constexpr uint16_t kOpWriteItems = 8002;

enum class ItemKind : uint8_t {
  Foreign,    // outside the device's seven identifier ranges
  Unnamed,    // inside a range, but names nothing
  Number,     // an integer or a float, `wireSize` bytes
  Text,       // `wireSize` bytes of a text field of `fieldSize` bytes, terminated on receipt
  TypeByte,   // a slot's data type: one byte on the wire, 32 bits on the device
  OtherGear,  // the value of the "other" gear: four zero bytes, never kept
  LineText,   // a camera's overlay line: the text without its terminator, up to 72 bytes
};

enum class Image : uint8_t { None, Osd, Modbus };

struct DeviceItem {
  ItemKind kind = ItemKind::Foreign;
  Image image = Image::None;
  size_t offset = 0;  // inside the image
  size_t fieldSize = 0;
  size_t wireSize = 0;  // for LineText the most it takes
};

DeviceItem FindItem(uint16_t id);

// The value bytes the device answers a read of `id` with.
std::vector<uint8_t> ItemValue(const sOSDCommPara& osd, const sModBusPara& modbus, uint16_t id);

// Takes a written value. A number or text takes its own size and is dropped when fewer value
// bytes arrived; a line text takes what arrived, at most 72 bytes.
void StoreItem(sOSDCommPara& osd, sModBusPara& modbus, uint16_t id, std::span<const uint8_t> value);

}  // namespace quillon::devsim
