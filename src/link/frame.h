// The envelope shared by every datagram between the program and a device:
//   start (0xAA request / 0x55 reply), length (big-endian, frame size - 4), command,
//   MAC (6 bytes), payload from offset 10, and an additive checksum over offset 3 .. N-2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

constexpr uint16_t kDevicePort = 1901;
constexpr size_t kMaxDatagram = 2048;

constexpr uint8_t kRequestStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;

constexpr uint8_t CMD_SEARCH = 0x02;
constexpr uint8_t CMD_READ_PARAMS = 0x03;
constexpr uint8_t CMD_DOWNLOAD_PARAMS = 0x04;
constexpr uint8_t CMD_DICTIONARY = 0x09;

constexpr size_t kFrameMacOffset = 4;
constexpr size_t kFramePayloadOffset = 10;
constexpr size_t kFrameOverhead = 11;  // start, length, command, MAC, checksum

using Bytes = std::vector<uint8_t>;
using Mac = uint8_t[6];

// Sum modulo 256 of the given bytes.
uint8_t FrameChecksum(const uint8_t* bytes, size_t count);

// A request frame: 0xAA, length, command, MAC, payload, checksum.
Bytes BuildRequestFrame(uint8_t command, const uint8_t mac[6], const uint8_t* payload,
                        size_t payloadLength);

// The five-byte search request AA 00 01 02 02.
Bytes BuildSearchRequest();

// A reply frame built the way a device builds it (start 0x55); used by the simulator and tests.
Bytes BuildReplyFrame(uint8_t command, const uint8_t* body, size_t bodyLength);

// True when a received datagram may be dispatched: start byte 0x55, at least 5 bytes, and a
// checksum that matches. The length field is not read; the datagram's own size counts.
bool IsAcceptableReply(std::span<const uint8_t> frame);

// True for a well-formed request (start 0xAA, length field and checksum right). The simulator
// uses it to accept what the program sends.
bool IsWellFormedRequest(std::span<const uint8_t> frame);

}  // namespace quillon
