// The CRC-16 that guards each half of a parameter file (the Modbus serial-line CRC: reflected
// polynomial 0xA001, start value 0xFFFF, no final XOR), computed byte by byte with a table of
// high bytes and a table of low bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillon {

namespace crc16_detail {

// The remainder of one byte, shifted through the reflected polynomial.
constexpr uint16_t ByteRemainder(unsigned byte) {
  unsigned crc = byte;
  for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
  return static_cast<uint16_t>(crc);
}

constexpr std::array<uint8_t, 256> MakeTable(bool high) {
  std::array<uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    const uint16_t r = ByteRemainder(i);
    table[i] = static_cast<uint8_t>(high ? r & 0xFF : r >> 8);
  }
  return table;
}

}  // namespace crc16_detail

// The table of high bytes begins 0x00, 0xC1, 0x81, 0x40; the table of low bytes 0x00, 0xC0,
// 0xC1, 0x01.
inline constexpr std::array<uint8_t, 256> kCrc16HighTable = crc16_detail::MakeTable(true);
inline constexpr std::array<uint8_t, 256> kCrc16LowTable = crc16_detail::MakeTable(false);

// The CRC of `length` bytes: "123456789" gives 0x4B37, no bytes 0xFFFF. The running low byte
// ends up in the result's high half, which is the order the files hold.
uint16_t Crc16(const uint8_t* bytes, size_t length);

}  // namespace quillon
