#include "files/crc16.h"

namespace quillon {

uint16_t Crc16(const uint8_t* bytes, size_t length) {
  uint8_t hi = 0xFF;
  uint8_t lo = 0xFF;
  for (size_t n = 0; n < length; ++n) {
    const uint8_t i = static_cast<uint8_t>(bytes[n] ^ hi);
    hi = static_cast<uint8_t>(kCrc16HighTable[i] ^ lo);
    lo = kCrc16LowTable[i];
  }
  return static_cast<uint16_t>(lo << 8 | hi);
}

}  // namespace quillon
