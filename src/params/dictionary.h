// The dictionary: device parameters addressed by 16-bit identifiers, carried by command 9.
// Identifier numbering and field mapping, the index, entry encoding, request chunks, camera text
// payloads and the parsing of replies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "params/parameter_block.h"

namespace quillon {

constexpr uint16_t kDictOpRead = 8001;   // bytes 0x41 0x1F
constexpr uint16_t kDictOpWrite = 8002;  // bytes 0x42 0x1F
constexpr int kDictIndexSize = 566;
constexpr int kMaxChunkEntries = 31;
constexpr uint16_t kCameraTextFirstId = 5000;
constexpr uint16_t kCameraTextLastId = 5031;
constexpr size_t kDictFrameBufferSize = 1024;  // holds any request the program builds
constexpr size_t kMaxEntrySize = 3 + 255;      // identifier, length byte, value

// Fills awDictId and wDictCount with the 566 identifiers in transfer order.
void BuildDictionaryIndex(sModBusPara& modbus);

// Writes identifier, length byte and value of one entry from the block; returns 3 + L.
// An identifier without a field gives L = 0.
size_t EncodeEntry(const DeviceParameterBlock& block, uint16_t id, uint8_t* dest);

// Stores a received value into the block by identifier (texts terminated inside their field,
// camera texts of more than 72 bytes cut to 72). Returns what the identifier is.
// Reads at most `length` bytes from `value`: a fixed-size field takes StoredValueLength(id)
// bytes and stores nothing when `length` is smaller; a camera text takes `length` bytes.
enum class EntryKind { Field, CameraText, NoField, Foreign };
EntryKind StoreEntry(DeviceParameterBlock& block, uint16_t id, const uint8_t* value, size_t length);

// The kind of an identifier without storing anything.
EntryKind ClassifyIdentifier(uint16_t id);

// Where the value of an identifier lives: the byte offset of its field inside
// DeviceParameterBlock and the size of the whole field (texts with their terminator, the data
// type as its 32 bits). None for an identifier without a field of its own: inside a range but
// unnamed, the "other" gear value, or foreign.
struct FieldLocation {
  size_t offset;
  size_t size;
};
std::optional<FieldLocation> LocateField(uint16_t id);

// How many value bytes StoreEntry takes for a fixed-size field whatever the entry's length byte
// says (2, 4, 1, 11, 30 or 8); 0 where the length byte alone counts (camera texts) or nothing is
// stored (no field, foreign, the "other" gear value).
size_t StoredValueLength(uint16_t id);

// Chunks of at most 31 pending entries, walking the index from position 0; payload length.
// Never more than `capacity` bytes are written, whatever the index holds: an entry that would
// not fit ends the chunk (an index from elsewhere may name 31 long camera texts).
size_t BuildWriteChunk(const DeviceParameterBlock& block, uint8_t* dest, size_t capacity);
size_t BuildReadChunk(const DeviceParameterBlock& block, uint8_t* dest, size_t capacity);
// The same into a buffer of kDictFrameBufferSize bytes.
inline size_t BuildWriteChunk(const DeviceParameterBlock& block, uint8_t* dest) {
  return BuildWriteChunk(block, dest, kDictFrameBufferSize);
}
inline size_t BuildReadChunk(const DeviceParameterBlock& block, uint8_t* dest) {
  return BuildReadChunk(block, dest, kDictFrameBufferSize);
}
int CountPendingWrites(const sModBusPara& modbus);
int CountPendingReads(const sModBusPara& modbus);

// Camera c (0 to 3): 8001, count 8, identifiers 5000 + 8c .. 5007 + 8c (19 bytes).
size_t BuildCameraTextReadPayload(int camera, uint8_t* dest);
// Camera c: 8002, count 8, then the eight line texts without terminator.
size_t BuildCameraTextWritePayload(const DeviceParameterBlock& block, int camera, uint8_t* dest);

// The command 9 request the worker waits for an answer to: its operation and the identifiers it
// named. The worker records it when it sends and the reply parser ends it when a whole reply has
// answered; both hold the model mutex. A reply counts only while a request is outstanding, with
// the same operation, and when it names at least one of the request's identifiers: so a late
// reply, a duplicate (through a second network card) or another PC's traffic changes nothing.
//
// A read of camera line texts is answered only once every line it asked for has come, in one
// reply or several: unlike RS-485 entries, the lines have no marks that would ask again for one
// left out, so the camera would be logged as read while the page kept, and a later download sent
// back, what the block held before.
struct DictionaryRequest {
  bool outstanding = false;
  uint16_t op = 0;
  uint8_t count = 0;
  uint16_t ids[kMaxChunkEntries] = {};
  uint32_t answered = 0;  // bit i: ids[i] has come in a reply

  // Records the request held in a payload that the program built (operation, count, then
  // identifiers or entries), as outstanding and not yet answered.
  void Record(const uint8_t* payload, size_t length);
  bool Names(uint16_t id) const;
  // Notes that a reply carried `id`.
  void Answer(uint16_t id);
  // Whether a reply that answers the request ends it: always, but for a read of camera line
  // texts, which ends only once every line asked for has come.
  bool Complete() const;
};
static_assert(kMaxChunkEntries <= 32, "DictionaryRequest::answered has a bit per identifier");

// What parsing one command 9 reply did; the caller logs, refreshes pages and sets b485Read.
struct DictionaryReplyResult {
  enum class Kind { Ignored, ReadReply, WriteAck } kind = Kind::Ignored;
  bool carriedCameraText = false;
  std::vector<std::string> logLines;  // UTF-8, each ending in "\r\n", in order
};

// Parses the payload of a command 9 reply (frame offset 10 on, `count` bytes) that answers the
// outstanding `request`: stores values, clears acknowledged marks, and once the reply is whole
// (and a read of line texts has all its lines), byDictBusy and the request. A reply that does
// not answer it is ignored and changes nothing.
// Never reads beyond `count` bytes.
DictionaryReplyResult ParseDictionaryReply(DeviceParameterBlock& block, const uint8_t* payload,
                                           size_t count, DictionaryRequest& request);

}  // namespace quillon
