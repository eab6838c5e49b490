// The dictionary: device parameters addressed by 16-bit identifiers, carried by command 9.
// Identifier numbering and field mapping, the index, entry encoding, request chunks, camera text
// payloads and the parsing of replies.
#pragma once

#include <cstddef>
#include <cstdint>
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

// How many value bytes StoreEntry takes for a fixed-size field whatever the entry's length byte
// says (2, 4, 1, 11, 30 or 8); 0 where the length byte alone counts (camera texts) or nothing is
// stored (no field, foreign, the "other" gear value).
size_t StoredValueLength(uint16_t id);

// Chunks of at most 31 pending entries, walking the index from position 0; payload length.
// `dest` holds kDictFrameBufferSize bytes, and a chunk never outgrows it whatever the index
// holds: a write chunk ends before the first entry that would not fit.
size_t BuildWriteChunk(const DeviceParameterBlock& block, uint8_t* dest);
size_t BuildReadChunk(const DeviceParameterBlock& block, uint8_t* dest);
int CountPendingWrites(const sModBusPara& modbus);
int CountPendingReads(const sModBusPara& modbus);

// Camera c (0 to 3): 8001, count 8, identifiers 5000 + 8c .. 5007 + 8c (19 bytes).
size_t BuildCameraTextReadPayload(int camera, uint8_t* dest);
// Camera c: 8002, count 8, then the eight line texts without terminator.
size_t BuildCameraTextWritePayload(const DeviceParameterBlock& block, int camera, uint8_t* dest);

// What parsing one command 9 reply did; the caller logs, refreshes pages and sets b485Read.
struct DictionaryReplyResult {
  enum class Kind { Ignored, ReadReply, WriteAck } kind = Kind::Ignored;
  bool carriedCameraText = false;
  std::vector<std::string> logLines;  // UTF-8, each ending in "\r\n", in order
};

// Parses the payload of a command 9 reply (frame offset 10 on, `count` bytes): stores values,
// clears acknowledged marks and byDictBusy. Never reads beyond `count` bytes.
DictionaryReplyResult ParseDictionaryReply(DeviceParameterBlock& block, const uint8_t* payload,
                                           size_t count);

}  // namespace quillon
