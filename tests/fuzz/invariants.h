// What must hold of the parameter block whatever a device or a file sent, checked by the fuzz
// targets after every step. Each check returns an empty string when it holds, or what broke.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "params/parameter_block.h"

namespace quillon::fuzz {

using Bytes = std::vector<uint8_t>;

// Reads a fuzz input front to back; past its end every read gives zeros, so a short input is
// still a whole program.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  size_t Left() const { return Empty() ? 0 : size_ - pos_; }
  uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
  uint16_t U16() {
    const uint16_t high = Byte();
    return static_cast<uint16_t>(high << 8 | Byte());
  }
  // Up to `count` bytes, fewer when the input ends first.
  Bytes Take(size_t count) {
    const size_t n = count < Left() ? count : Left();
    Bytes out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }
  Bytes Rest() { return Take(Left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Every text field of both images (user names, passwords, line texts, slot names, units, alarm
// and gear texts) ends inside its own bytes.
std::string CheckTextsTerminated(const DeviceParameterBlock& block);

// The dictionary index is the one the program built: the count and every identifier as in
// `index`, and never more entries than the index holds.
std::string CheckIndexKept(const sModBusPara& modbus, const sModBusPara& index);

// Marks only ever go from pending to done outside the user's own actions: no position of `after`
// is marked that `before` did not mark.
std::string CheckNoMarkSet(const sModBusPara& before, const sModBusPara& after);

// Byte comparison of whole blocks, naming the first image that differs.
std::string CheckBlockUnchanged(const DeviceParameterBlock& before,
                                const DeviceParameterBlock& after);

// A frame's checksum as the devices compute it (the sum of command, MAC and payload bytes),
// written here apart from the program's encoder; sets start byte, length field and checksum.
void RepairReply(Bytes& frame);

}  // namespace quillon::fuzz
