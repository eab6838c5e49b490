#include "params/dictionary.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>

namespace quillon {

// Values are copied as the bytes of the block's fields: the block's image is little-endian by
// definition (it is also the parameter file format), and so is every dictionary value.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr int kSlots = 16;

// How the value of one identifier maps onto the block.
enum class ValueType {
  None,        // inside a range, no field
  Foreign,     // outside every range
  Plain,       // integer or float, `size` bytes both ways
  Text,        // `size` bytes of a text field both ways, terminated at `terminator` on receive
  DataType,    // dwDataType: low byte sent, received byte zero-extended
  GearOther,   // the "other" gear value: 4 zero bytes sent, nothing stored
  CameraText,  // a line text of `camera`, `line`
};

struct FieldRef {
  ValueType type = ValueType::None;
  size_t offset = 0;  // byte offset of the field inside DeviceParameterBlock
  uint8_t size = 0;
  uint8_t terminator = 0;
  uint8_t camera = 0;
  uint8_t line = 0;
};

constexpr size_t kModBus = offsetof(DeviceParameterBlock, modbus);
constexpr size_t kSlot0 = kModBus + offsetof(sModBusPara, asSlot);

constexpr size_t SlotField(int k, size_t fieldOffset) {
  return kSlot0 + static_cast<size_t>(k) * sizeof(sSlotPara) + fieldOffset;
}

FieldRef Plain(size_t offset, uint8_t size) { return {ValueType::Plain, offset, size, 0, 0, 0}; }

FieldRef Text(size_t offset, uint8_t size, uint8_t terminator) {
  return {ValueType::Text, offset, size, terminator, 0, 0};
}

FieldRef NoField() { return {}; }

FieldRef Resolve(uint16_t id) {
  if (id >= 61 && id <= 140) {
    const int k = (id - 61) / 5;
    switch ((id - 61) % 5) {
      case 0:
        return Plain(SlotField(k, offsetof(sSlotPara, bySlaveAddr)), 1);
      case 1:
        return Plain(SlotField(k, offsetof(sSlotPara, byEnable)), 1);
      case 3:
        return Plain(SlotField(k, offsetof(sSlotPara, wStartReg)), 2);
      case 4:
        return Plain(SlotField(k, offsetof(sSlotPara, wRegCount)), 2);
      default:
        return NoField();
    }
  }
  if (id >= 245 && id <= 629) {
    const int k = (id - 245) / 25;
    switch ((id - 245) % 25) {
      case 6:
        return Plain(SlotField(k, offsetof(sSlotPara, fScaleA)), 4);
      case 7:
        return Plain(SlotField(k, offsetof(sSlotPara, fOffsetB)), 4);
      case 8:
        return Text(SlotField(k, offsetof(sSlotPara, szName)), 30, 30);
      case 9:
        return Text(SlotField(k, offsetof(sSlotPara, szUnit)), 8, 8);
      default:
        return NoField();
    }
  }
  if (id >= 3473 && id <= 3541) {
    switch (id) {
      case 3473:
        return Plain(kModBus + offsetof(sModBusPara, wPollInterval), 2);
      case 3474:
        return Plain(kModBus + offsetof(sModBusPara, wTimeout), 2);
      case 3475:
        return Plain(kModBus + offsetof(sModBusPara, wRetryLimit), 2);
      case 3476:
        return Plain(kModBus + offsetof(sModBusPara, dwBaudRate), 4);
      case 3477:
        return Plain(kModBus + offsetof(sModBusPara, byParity), 1);
      default:
        break;
    }
    const int k = (id - 3478) / 4;
    switch ((id - 3478) % 4) {
      case 0:
        return Plain(SlotField(k, offsetof(sSlotPara, byChannel)), 1);
      case 1:
        return Plain(SlotField(k, offsetof(sSlotPara, byFuncCode)), 1);
      case 2:
        return Plain(SlotField(k, offsetof(sSlotPara, byDecimals)), 1);
      default:
        return Plain(SlotField(k, offsetof(sSlotPara, wDataOffset)), 2);
    }
  }
  if (id >= 3606 && id <= 4197) {
    const int k = (id - 3606) / 37;
    const int pos = (id - 3606) % 37;
    if (pos == 0) return Plain(SlotField(k, offsetof(sSlotPara, fAlarmValue)), 4);
    if (pos == 1) return Text(SlotField(k, offsetof(sSlotPara, szAlarmText)), 11, 10);
    if (pos == 2) return Text(SlotField(k, offsetof(sSlotPara, szNormalText)), 11, 10);
    if (pos <= 18) {
      const int j = (pos - 3) / 2;
      if ((pos - 3) % 2 == 0) {
        return Plain(SlotField(k, offsetof(sSlotPara, afGearValue) + 4 * j), 4);
      }
      return Text(SlotField(k, offsetof(sSlotPara, aszGearText) + 11 * j), 11, 10);
    }
    if (pos == 35) return {ValueType::GearOther, 0, 4, 0, 0, 0};
    if (pos == 36) return Text(SlotField(k, offsetof(sSlotPara, aszGearText) + 11 * 8), 11, 10);
    return NoField();
  }
  if (id >= 4790 && id <= 4822) {
    if (id == 4790) return Plain(kModBus + offsetof(sModBusPara, byProtocol), 1);
    // 4807 .. 4822 would be slots 16 to 31, which the block does not have.
    if (id <= 4806) {
      return {
          ValueType::DataType, SlotField(id - 4791, offsetof(sSlotPara, dwDataType)), 1, 0, 0, 0};
    }
    return NoField();
  }
  if (id >= kCameraTextFirstId && id <= kCameraTextLastId) {
    const int n = id - kCameraTextFirstId;
    return {ValueType::CameraText,      0, 0, 0, static_cast<uint8_t>(n / 8),
            static_cast<uint8_t>(n % 8)};
  }
  if (id >= 7548 && id <= 7563) {
    return Plain(SlotField(id - 7548, offsetof(sSlotPara, byDataBits)), 1);
  }
  return {ValueType::Foreign, 0, 0, 0, 0, 0};
}

EntryKind KindOf(const FieldRef& f) {
  switch (f.type) {
    case ValueType::None:
      return EntryKind::NoField;
    case ValueType::Foreign:
      return EntryKind::Foreign;
    case ValueType::CameraText:
      return EntryKind::CameraText;
    default:
      return EntryKind::Field;
  }
}

// Marks and byDictBusy are shared with the worker thread; they are only touched whole.
uint8_t LoadShared(const uint8_t& byte) {
  return std::atomic_ref<uint8_t>(const_cast<uint8_t&>(byte)).load();
}

void StoreShared(uint8_t& byte, uint8_t value) { std::atomic_ref<uint8_t>(byte).store(value); }

size_t IndexCount(const sModBusPara& modbus) {
  return std::min<size_t>(modbus.wDictCount, kDictCapacity);
}

int CountMarks(const sModBusPara& modbus, const uint8_t* marks) {
  int pending = 0;
  const size_t n = IndexCount(modbus);
  for (size_t i = 0; i < n; ++i) {
    if (LoadShared(marks[i]) != 0) ++pending;
  }
  return pending;
}

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutHeader(uint8_t* dest, uint16_t op, uint8_t count) {
  PutU16(dest, op);
  dest[2] = count;
}

std::string Format(const char* format, int a, int b, int c) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// Clears the mark of the first index position holding `id`; an identifier the index does not
// know is reported unless it is a camera line text, which never has a position.
void Acknowledge(sModBusPara& modbus, uint16_t id, uint16_t op, DictionaryReplyResult& result) {
  const size_t n = IndexCount(modbus);
  for (size_t i = 0; i < n; ++i) {
    if (modbus.awDictId[i] == id) {
      StoreShared(op == kDictOpRead ? modbus.abyDictRead[i] : modbus.abyDictWrite[i], 0);
      return;
    }
  }
  if (id >= kCameraTextFirstId && id <= kCameraTextLastId) return;
  result.logLines.push_back(
      Format("解析字典错误, 命令:%d 错误字典 十进制%d 十六进制%04X\r\n", op, id, id));
}

// Whether a reply names at least one identifier of the request, walking it as the parser does
// and never beyond `count` bytes.
bool NamesRequestedId(const uint8_t* payload, size_t count, const DictionaryRequest& request) {
  const bool write = GetU16(payload) == kDictOpWrite;
  const size_t entries = count >= 3 ? payload[2] : 0;
  size_t pos = 3;
  for (size_t i = 0; i < entries && pos + 2 <= count; ++i) {
    if (request.Names(GetU16(payload + pos))) return true;
    if (write) {
      pos += 2;
    } else {
      if (pos + 3 > count) break;
      pos += 3 + payload[pos + 2];
    }
  }
  return false;
}

}  // namespace

void BuildDictionaryIndex(sModBusPara& modbus) {
  int n = 0;
  auto add = [&](int id) { modbus.awDictId[n++] = static_cast<uint16_t>(id); };
  for (int id = 3473; id <= 3541; ++id) add(id);
  for (int k = 0; k < kSlots; ++k) {
    for (int id = 3606 + 37 * k; id <= 3624 + 37 * k; ++id) add(id);
    add(3641 + 37 * k);
    add(3642 + 37 * k);
  }
  for (int k = 0; k < kSlots; ++k) {
    add(61 + 5 * k);
    add(62 + 5 * k);
    add(64 + 5 * k);
    add(65 + 5 * k);
  }
  for (int k = 0; k < kSlots; ++k) {
    for (int id = 251 + 25 * k; id <= 254 + 25 * k; ++id) add(id);
  }
  add(4790);
  for (int id = 4791; id <= 4806; ++id) add(id);
  for (int id = 7548; id <= 7563; ++id) add(id);
  // Positions beyond the count hold no identifier.
  std::fill(modbus.awDictId + n, modbus.awDictId + kDictCapacity, uint16_t{0});
  modbus.wDictCount = static_cast<uint16_t>(n);
}

EntryKind ClassifyIdentifier(uint16_t id) { return KindOf(Resolve(id)); }

std::optional<FieldLocation> LocateField(uint16_t id) {
  const FieldRef f = Resolve(id);
  switch (f.type) {
    case ValueType::Plain:
      return FieldLocation{f.offset, f.size};
    case ValueType::Text:
      return FieldLocation{f.offset, f.terminator + size_t{1}};
    case ValueType::DataType:
      return FieldLocation{f.offset, sizeof(uint32_t)};
    case ValueType::CameraText:
      return FieldLocation{offsetof(DeviceParameterBlock, osd) + offsetof(sOSDCommPara, asCamera) +
                               f.camera * sizeof(sCameraPara) + offsetof(sCameraPara, asLine) +
                               f.line * sizeof(sOverlayLine) + offsetof(sOverlayLine, szText),
                           sizeof(sOverlayLine::szText)};
    default:
      return std::nullopt;
  }
}

size_t StoredValueLength(uint16_t id) {
  const FieldRef f = Resolve(id);
  switch (f.type) {
    case ValueType::Plain:
    case ValueType::Text:
    case ValueType::DataType:
      return f.size;
    default:
      return 0;
  }
}

size_t EncodeEntry(const DeviceParameterBlock& block, uint16_t id, uint8_t* dest) {
  const FieldRef f = Resolve(id);
  const auto* base = reinterpret_cast<const uint8_t*>(&block);
  PutU16(dest, id);
  uint8_t* value = dest + 3;
  size_t length = 0;
  switch (f.type) {
    case ValueType::Plain:
    case ValueType::Text:
      // Texts go as their first `size` bytes, whatever follows the terminator.
      length = f.size;
      std::memcpy(value, base + f.offset, length);
      break;
    case ValueType::DataType:
      length = 1;
      value[0] = base[f.offset];  // low byte of the little-endian dwDataType
      break;
    case ValueType::GearOther:
      length = 4;
      std::memset(value, 0, length);
      break;
    case ValueType::CameraText: {
      const char* text = block.osd.asCamera[f.camera].asLine[f.line].szText;
      length = strnlen(text, 72);
      std::memcpy(value, text, length);
      break;
    }
    case ValueType::None:
    case ValueType::Foreign:
      break;
  }
  dest[2] = static_cast<uint8_t>(length);
  return 3 + length;
}

EntryKind StoreEntry(DeviceParameterBlock& block, uint16_t id, const uint8_t* value,
                     size_t length) {
  const FieldRef f = Resolve(id);
  auto* base = reinterpret_cast<uint8_t*>(&block);
  switch (f.type) {
    case ValueType::Plain:
      if (length >= f.size) std::memcpy(base + f.offset, value, f.size);
      break;
    case ValueType::Text:
      if (length >= f.size) {
        std::memcpy(base + f.offset, value, f.size);
        base[f.offset + f.terminator] = 0;
      }
      break;
    case ValueType::DataType:
      if (length >= 1) {
        const uint32_t dataType = value[0];
        std::memcpy(base + f.offset, &dataType, sizeof dataType);
      }
      break;
    case ValueType::CameraText: {
      // A text longer than the field keeps its first 72 bytes; the field always ends in a
      // terminator.
      char* text = block.osd.asCamera[f.camera].asLine[f.line].szText;
      const size_t n = std::min<size_t>(length, 72);
      if (n) std::memcpy(text, value, n);
      text[n] = 0;
      break;
    }
    case ValueType::GearOther:
    case ValueType::None:
    case ValueType::Foreign:
      break;
  }
  return KindOf(f);
}

size_t BuildWriteChunk(const DeviceParameterBlock& block, uint8_t* dest, size_t capacity) {
  const sModBusPara& modbus = block.modbus;
  const size_t n = IndexCount(modbus);
  if (capacity < 3) return 0;
  size_t length = 3;
  uint8_t entries = 0;
  uint8_t entry[3 + 255];
  for (size_t i = 0; i < n && entries < kMaxChunkEntries; ++i) {
    if (LoadShared(modbus.abyDictWrite[i]) == 0) continue;
    const size_t size = EncodeEntry(block, modbus.awDictId[i], entry);
    if (length + size > capacity) break;
    std::memcpy(dest + length, entry, size);
    length += size;
    ++entries;
  }
  PutHeader(dest, kDictOpWrite, entries);
  return length;
}

size_t BuildReadChunk(const DeviceParameterBlock& block, uint8_t* dest, size_t capacity) {
  const sModBusPara& modbus = block.modbus;
  const size_t n = IndexCount(modbus);
  if (capacity < 3) return 0;
  size_t length = 3;
  uint8_t entries = 0;
  for (size_t i = 0; i < n && entries < kMaxChunkEntries && length + 2 <= capacity; ++i) {
    if (LoadShared(modbus.abyDictRead[i]) == 0) continue;
    PutU16(dest + length, modbus.awDictId[i]);
    length += 2;
    ++entries;
  }
  PutHeader(dest, kDictOpRead, entries);
  return length;
}

void DictionaryRequest::Record(const uint8_t* payload, size_t length) {
  outstanding = length >= 3;
  op = length >= 2 ? GetU16(payload) : 0;
  count = 0;
  answered = 0;
  size_t pos = 3;
  const size_t entries = length >= 3 ? payload[2] : 0;
  for (size_t i = 0; i < entries && count < kMaxChunkEntries && pos + 2 <= length; ++i) {
    ids[count++] = GetU16(payload + pos);
    pos += op == kDictOpWrite ? 3 + (pos + 3 <= length ? payload[pos + 2] : 0) : 2;
  }
}

bool DictionaryRequest::Names(uint16_t id) const {
  return std::find(ids, ids + count, id) != ids + count;
}

void DictionaryRequest::Answer(uint16_t id) {
  for (size_t i = 0; i < count && i < kMaxChunkEntries; ++i)
    if (ids[i] == id) answered |= uint32_t{1} << i;
}

bool DictionaryRequest::Complete() const {
  const size_t n = std::min<size_t>(count, kMaxChunkEntries);
  const bool lineTexts = op == kDictOpRead && n > 0 && std::all_of(ids, ids + n, [](uint16_t id) {
                           return id >= kCameraTextFirstId && id <= kCameraTextLastId;
                         });
  if (!lineTexts) return true;
  const uint32_t all = n == 32 ? ~uint32_t{0} : (uint32_t{1} << n) - 1;
  return (answered & all) == all;
}

int CountPendingWrites(const sModBusPara& modbus) {
  return CountMarks(modbus, modbus.abyDictWrite);
}

int CountPendingReads(const sModBusPara& modbus) { return CountMarks(modbus, modbus.abyDictRead); }

size_t BuildCameraTextReadPayload(int camera, uint8_t* dest) {
  PutHeader(dest, kDictOpRead, 8);
  for (int l = 0; l < 8; ++l) {
    PutU16(dest + 3 + 2 * l, static_cast<uint16_t>(kCameraTextFirstId + 8 * camera + l));
  }
  return 3 + 2 * 8;
}

size_t BuildCameraTextWritePayload(const DeviceParameterBlock& block, int camera, uint8_t* dest) {
  PutHeader(dest, kDictOpWrite, 8);
  size_t length = 3;
  for (int l = 0; l < 8; ++l) {
    length += EncodeEntry(block, static_cast<uint16_t>(kCameraTextFirstId + 8 * camera + l),
                          dest + length);
  }
  return length;
}

DictionaryReplyResult ParseDictionaryReply(DeviceParameterBlock& block, const uint8_t* payload,
                                           size_t count, DictionaryRequest& request) {
  DictionaryReplyResult result;
  if (count < 2) return result;
  const uint16_t op = GetU16(payload);
  if (op != kDictOpRead && op != kDictOpWrite) return result;
  if (!request.outstanding || op != request.op || !NamesRequestedId(payload, count, request))
    return result;

  sModBusPara& modbus = block.modbus;
  // A reply cut short (fewer entries than its count byte promises, or an entry running past the
  // end of the frame) is not an answer: what arrived whole is stored and acknowledged, but
  // byDictBusy stays set, so the worker times out and asks again for what is still pending.
  // Taking it as an answer would have the worker ask again at once, forever, when a device
  // always cuts its replies; this way the usual retries end in the failure box.
  bool cut = count < 3;
  const size_t entries = count >= 3 ? payload[2] : 0;
  size_t pos = 3;

  if (op == kDictOpWrite) {
    result.kind = DictionaryReplyResult::Kind::WriteAck;
    for (size_t i = 0; i < entries; ++i, pos += 2) {
      if (pos + 2 > count) {
        cut = true;
        break;
      }
      Acknowledge(modbus, GetU16(payload + pos), kDictOpWrite, result);
    }
  } else {
    result.kind = DictionaryReplyResult::Kind::ReadReply;
    for (size_t i = 0; i < entries; ++i) {
      // The walk ends at the end of what was received: an entry whose header or value would run
      // past `count` is dropped together with everything after it.
      const uint16_t id = pos + 2 <= count ? GetU16(payload + pos) : 0;
      const size_t declared = pos + 3 <= count ? payload[pos + 2] : 0;
      // A fixed-size field takes its own size even when the length byte is smaller, as devices
      // have always been read; the missing bytes then come from what follows in the payload.
      // That is only done when they were actually received, otherwise the entry is cut off.
      const size_t used = std::max(declared, StoredValueLength(id));
      if (pos + 3 > count || pos + 3 + used > count) {
        cut = true;
        break;
      }
      const EntryKind kind = StoreEntry(block, id, payload + pos + 3, used);
      if (kind == EntryKind::Foreign) result.logLines.push_back("未收到任何读取应答合法字典\r\n");
      if (kind == EntryKind::CameraText) result.carriedCameraText = true;
      Acknowledge(modbus, id, kDictOpRead, result);
      request.Answer(id);
      pos += 3 + declared;
    }
  }
  // What came is kept either way; a read of line texts still missing some keeps waiting too, and
  // the worker's wait ends in its failure box.
  if (!cut && request.Complete()) {
    StoreShared(modbus.byDictBusy, 0);
    request.outstanding = false;
  }
  return result;
}

}  // namespace quillon
