#include "link/frame.h"

namespace quillon {

uint8_t FrameChecksum(const uint8_t* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum;
}

static void FinishFrame(Bytes& frame) {
  const size_t lengthField = frame.size() + 1 - 4;  // +1 for the checksum still to come
  frame[1] = static_cast<uint8_t>(lengthField >> 8);
  frame[2] = static_cast<uint8_t>(lengthField);
  frame.push_back(FrameChecksum(frame.data() + 3, frame.size() - 3));
}

Bytes BuildRequestFrame(uint8_t command, const uint8_t mac[6], const uint8_t* payload,
                        size_t payloadLength) {
  Bytes frame{kRequestStart, 0, 0, command};
  frame.insert(frame.end(), mac, mac + 6);
  if (payloadLength) frame.insert(frame.end(), payload, payload + payloadLength);
  FinishFrame(frame);
  return frame;
}

Bytes BuildSearchRequest() {
  Bytes frame{kRequestStart, 0, 0, CMD_SEARCH};
  FinishFrame(frame);
  return frame;
}

Bytes BuildReplyFrame(uint8_t command, const uint8_t* body, size_t bodyLength) {
  Bytes frame{kReplyStart, 0, 0, command};
  if (bodyLength) frame.insert(frame.end(), body, body + bodyLength);
  FinishFrame(frame);
  return frame;
}

bool IsAcceptableReply(std::span<const uint8_t> frame) {
  if (frame.size() < 5 || frame[0] != kReplyStart) return false;
  return FrameChecksum(frame.data() + 3, frame.size() - 4) == frame.back();
}

bool IsWellFormedRequest(std::span<const uint8_t> frame) {
  if (frame.size() < 5 || frame[0] != kRequestStart) return false;
  const size_t lengthField = (size_t{frame[1]} << 8) | frame[2];
  if (lengthField != frame.size() - 4) return false;
  return FrameChecksum(frame.data() + 3, frame.size() - 4) == frame.back();
}

}  // namespace quillon
