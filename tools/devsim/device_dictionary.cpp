#include "device_dictionary.h"

#include <algorithm>
#include <cstring>

namespace quillon::devsim {
namespace {

// One run of identifiers: `groups` slots (or cameras) of `items` items each. Offsets are those of
// the device's parameter images: the RS-485 image has its settings first and slot 1 at byte 16,
// 228 bytes per slot; the network image has camera 1 at byte 52, 694 bytes per camera, and in
// each camera line 1 at byte 68, 78 bytes per line, its text at byte 5 of the line.
struct Run {
  uint16_t firstId;
  int groups;
  int idsPerGroup;
  int items;
  int idsPerItem;
  Image image;
  size_t offset;
  size_t bytesPerGroup;
  size_t bytesPerItem;
  ItemKind kind;
  size_t fieldSize;
  size_t wireSize;
};

using enum ItemKind;
constexpr Image M = Image::Modbus;
constexpr size_t S = 16;  // slot 1 in the RS-485 image
constexpr size_t kSlot = 228;

// clang-format off
constexpr Run kRuns[] = {
  // id  slots step items step image offset     per slot per item kind     field wire
  // The port.
  {4790,  1,  1,   1,  1,  M,   0,          0,    0,  Number,    1,  1},  // protocol
  {3473,  1,  1,   1,  1,  M,   2,          0,    0,  Number,    2,  2},  // poll interval
  {3474,  1,  1,   1,  1,  M,   4,          0,    0,  Number,    2,  2},  // timeout
  {3475,  1,  1,   1,  1,  M,   6,          0,    0,  Number,    2,  2},  // retry limit
  {3476,  1,  1,   1,  1,  M,   8,          0,    0,  Number,    4,  4},  // baud rate
  {3477,  1,  1,   1,  1,  M,  12,          0,    0,  Number,    1,  1},  // parity
  // The slots, field by field in the order of the slot record.
  {  62, 16,  5,   1,  1,  M,   S + 0,  kSlot,    0,  Number,    1,  1},  // enabled
  {3478, 16,  4,   1,  1,  M,   S + 1,  kSlot,    0,  Number,    1,  1},  // video channel
  {  61, 16,  5,   1,  1,  M,   S + 2,  kSlot,    0,  Number,    1,  1},  // slave address
  {3479, 16,  4,   1,  1,  M,   S + 3,  kSlot,    0,  Number,    1,  1},  // function code
  {  64, 16,  5,   1,  1,  M,   S + 4,  kSlot,    0,  Number,    2,  2},  // first register
  {  65, 16,  5,   1,  1,  M,   S + 6,  kSlot,    0,  Number,    2,  2},  // register count
  {3481, 16,  4,   1,  1,  M,   S + 8,  kSlot,    0,  Number,    2,  2},  // data offset
  {4791, 16,  1,   1,  1,  M,   S + 12, kSlot,    0,  TypeByte,  4,  1},  // data type
  {3480, 16,  4,   1,  1,  M,   S + 16, kSlot,    0,  Number,    1,  1},  // decimal places
  { 251, 16, 25,   1,  1,  M,   S + 20, kSlot,    0,  Number,    4,  4},  // factor A
  { 252, 16, 25,   1,  1,  M,   S + 24, kSlot,    0,  Number,    4,  4},  // offset B
  { 253, 16, 25,   1,  1,  M,   S + 28, kSlot,    0,  Text,     31, 30},  // name
  { 254, 16, 25,   1,  1,  M,   S + 59, kSlot,    0,  Text,      9,  8},  // unit
  {3606, 16, 37,   1,  1,  M,   S + 68, kSlot,    0,  Number,    4,  4},  // alarm value
  {3607, 16, 37,   1,  1,  M,   S + 72, kSlot,    0,  Text,     11, 11},  // alarm text
  {3608, 16, 37,   1,  1,  M,   S + 83, kSlot,    0,  Text,     11, 11},  // normal text
  {3609, 16, 37,   8,  2,  M,   S + 96, kSlot,    4,  Number,    4,  4},  // gear values 1-8
  {3610, 16, 37,   8,  2,  M,   S + 128, kSlot,  11,  Text,     11, 11},  // gear texts 1-8
  {3641, 16, 37,   1,  1,  Image::None, 0,  0,    0,  OtherGear, 0,  4},  // other gear value
  {3642, 16, 37,   1,  1,  M,   S + 216, kSlot,   0,  Text,     11, 11},  // other gear text
  {7548, 16,  1,   1,  1,  M,   S + 227, kSlot,   0,  Number,    1,  1},  // digit count
  // The overlay lines of the four cameras.
  {5000,  4,  8,   8,  1,  Image::Osd, 125, 694, 78,  LineText,  73, 72},
};
// clang-format on

struct IdRange {
  uint16_t first, last;
};
constexpr IdRange kRanges[] = {{61, 140},    {245, 629},   {3473, 3541}, {3606, 4197},
                               {4790, 4822}, {5000, 5031}, {7548, 7563}};

uint8_t* At(sOSDCommPara& osd, sModBusPara& modbus, const DeviceItem& item) {
  auto* base = reinterpret_cast<uint8_t*>(item.image == Image::Osd ? static_cast<void*>(&osd)
                                                                   : static_cast<void*>(&modbus));
  return base + item.offset;
}

}  // namespace

DeviceItem FindItem(uint16_t id) {
  for (const Run& run : kRuns) {
    if (id < run.firstId) continue;
    const int distance = id - run.firstId;
    const int group = distance / run.idsPerGroup;
    const int within = distance % run.idsPerGroup;
    if (group >= run.groups || within % run.idsPerItem != 0) continue;
    const int item = within / run.idsPerItem;
    if (item >= run.items) continue;
    return {run.kind, run.image,
            run.offset + static_cast<size_t>(group) * run.bytesPerGroup +
                static_cast<size_t>(item) * run.bytesPerItem,
            run.fieldSize, run.wireSize};
  }
  for (const IdRange& range : kRanges)
    if (id >= range.first && id <= range.last) return {Unnamed, Image::None, 0, 0, 0};
  return {};
}

std::vector<uint8_t> ItemValue(const sOSDCommPara& osd, const sModBusPara& modbus, uint16_t id) {
  const DeviceItem item = FindItem(id);
  // The images are only read here.
  const uint8_t* field = item.image == Image::None ? nullptr
                                                   : At(const_cast<sOSDCommPara&>(osd),
                                                        const_cast<sModBusPara&>(modbus), item);
  switch (item.kind) {
    case Number:
    case Text:
      return {field, field + item.wireSize};
    case TypeByte:
      return {field[0]};  // the low byte of the little-endian 32-bit type
    case OtherGear:
      return std::vector<uint8_t>(4, 0);
    case LineText: {
      const size_t length = strnlen(reinterpret_cast<const char*>(field), item.wireSize);
      return {field, field + length};
    }
    case Unnamed:
    case Foreign:
      break;
  }
  return {};
}

void StoreItem(sOSDCommPara& osd, sModBusPara& modbus, uint16_t id,
               std::span<const uint8_t> value) {
  const DeviceItem item = FindItem(id);
  if (item.image == Image::None) return;
  uint8_t* field = At(osd, modbus, item);
  switch (item.kind) {
    case Number:
      if (value.size() >= item.wireSize) std::memcpy(field, value.data(), item.wireSize);
      break;
    case Text:
      if (value.size() >= item.wireSize) {
        std::memcpy(field, value.data(), item.wireSize);
        field[item.fieldSize - 1] = 0;
      }
      break;
    case TypeByte:
      if (!value.empty()) {
        std::memset(field, 0, item.fieldSize);
        field[0] = value[0];
      }
      break;
    case LineText: {
      const size_t length = std::min(value.size(), item.wireSize);
      if (length != 0) std::memcpy(field, value.data(), length);
      field[length] = 0;
      break;
    }
    default:
      break;
  }
}

}  // namespace quillon::devsim
