// The dictionary reply parser under hostile payloads, from any state of the marks, of the busy
// byte and of the request the worker waits for.
//
// Input: one byte for the request (bits 0-1: none, a read chunk, a write chunk or a camera's line
// texts; bits 2-3: the camera; bit 4: busy byte set; bit 5: the request was already answered),
// one byte each for the read and the write marks (high half: first marked position, low half + 1:
// the step between marked positions; 0: none marked), then the reply payload.
#pragma once

#include <cstdint>
#include <string>

#include "invariants.h"

namespace quillon::fuzz {

// The first broken rule, or empty.
std::string RunDictionaryReply(const uint8_t* data, size_t size);

// An input from its parts, for the seeds.
Bytes DictionaryReplyInput(uint8_t request, uint8_t readMarks, uint8_t writeMarks,
                           const Bytes& payload);

}  // namespace quillon::fuzz
