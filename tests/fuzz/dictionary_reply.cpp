#include "dictionary_reply.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

#include "params/dictionary.h"

namespace quillon::fuzz {

namespace {

void MarkPattern(sModBusPara& modbus, uint8_t* marks, uint8_t pattern) {
  if (pattern == 0) return;
  const int step = (pattern & 15) + 1;
  for (int i = pattern >> 4; i < modbus.wDictCount; i += step) marks[i] = 1;
}

bool SameRequest(const DictionaryRequest& a, const DictionaryRequest& b) {
  return a.outstanding == b.outstanding && a.op == b.op && a.count == b.count &&
         a.answered == b.answered && std::memcmp(a.ids, b.ids, sizeof a.ids) == 0;
}

// One block for every run: building the index is the costly part, so the index is built once
// and each run starts from a copy.
const DeviceParameterBlock& Fresh() {
  static const std::unique_ptr<DeviceParameterBlock> fresh = [] {
    auto block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*block);
    BuildDictionaryIndex(block->modbus);
    return block;
  }();
  return *fresh;
}

}  // namespace

Bytes DictionaryReplyInput(uint8_t request, uint8_t readMarks, uint8_t writeMarks,
                           const Bytes& payload) {
  Bytes input(3 + payload.size());
  input[0] = request;
  input[1] = readMarks;
  input[2] = writeMarks;
  std::copy(payload.begin(), payload.end(), input.begin() + 3);
  return input;
}

std::string RunDictionaryReply(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t requestKind = in.Byte();
  const uint8_t readMarks = in.Byte();
  const uint8_t writeMarks = in.Byte();

  auto block = std::make_unique<DeviceParameterBlock>(Fresh());
  sModBusPara& modbus = block->modbus;
  MarkPattern(modbus, modbus.abyDictRead, readMarks);
  MarkPattern(modbus, modbus.abyDictWrite, writeMarks);
  modbus.byDictBusy = (requestKind & 0x10) ? 1 : 0;

  // The request as the worker would have recorded it from what was pending.
  DictionaryRequest request;
  uint8_t sent[kDictFrameBufferSize];
  switch (requestKind & 3) {
    case 1:
      request.Record(sent, BuildReadChunk(*block, sent, sizeof sent));
      break;
    case 2:
      request.Record(sent, BuildWriteChunk(*block, sent, sizeof sent));
      break;
    case 3:
      request.Record(sent, BuildCameraTextReadPayload((requestKind >> 2) & 3, sent));
      break;
    default:
      break;
  }
  if (requestKind & 0x20) request.outstanding = false;

  const DeviceParameterBlock before = *block;
  const DictionaryRequest requestBefore = request;
  // The payload in a buffer of its own size, so that a read beyond it is caught.
  const Bytes payload = in.Rest();
  const DictionaryReplyResult result =
      ParseDictionaryReply(*block, payload.data(), payload.size(), request);

  if (result.kind == DictionaryReplyResult::Kind::Ignored) {
    if (std::string broken = CheckBlockUnchanged(before, *block); !broken.empty())
      return "an ignored reply changed the block: " + broken;
    if (!SameRequest(request, requestBefore)) return "an ignored reply changed the request";
    if (!result.logLines.empty()) return "an ignored reply was logged";
  } else {
    if (!requestBefore.outstanding) return "a reply was taken with no request outstanding";
    const uint16_t op = static_cast<uint16_t>(payload[0] | payload[1] << 8);
    if (op != requestBefore.op) return "a reply of the other operation was taken";
    if (result.kind == DictionaryReplyResult::Kind::WriteAck &&
        (std::memcmp(&before.osd, &block->osd, sizeof before.osd) != 0 ||
         std::memcmp(&before.modbus, &block->modbus, offsetof(sModBusPara, awDictId)) != 0))
      return "a write acknowledgement changed a value";
  }
  if (block->modbus.byDictBusy != 0 && before.modbus.byDictBusy == 0)
    return "the busy byte was set by a reply";
  if (before.modbus.byDictBusy != 0 && block->modbus.byDictBusy == 0 && request.outstanding)
    return "the busy byte was cleared while the request still waits";
  for (const std::string& line : result.logLines)
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0)
      return "a log line does not end its line";

  std::string broken = CheckIndexKept(block->modbus, before.modbus);
  if (broken.empty()) broken = CheckNoMarkSet(before.modbus, block->modbus);
  if (broken.empty()) broken = CheckTextsTerminated(*block);
  return broken;
}

}  // namespace quillon::fuzz
