// The conversions between number fields of the block and the text of edit boxes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// Reads an unsigned decimal number the way the number boxes do: leading blanks are skipped,
// then the leading digits count ("80a" gives 80); text that does not begin with a digit gives 0.
// The result keeps the low 32 bits; callers keep the low 8 or 16 bits of it (70000 -> 4464).
uint32_t ParseUnsignedDecimal(std::string_view text);

// The same for a signed number: an optional '+' or '-' before the digits. Low 32 bits, two's
// complement, so a field that keeps the low 16 bits of -1 stores 0xFFFF.
int32_t ParseSignedDecimal(std::string_view text);

// Unsigned decimal text of a number, as the boxes show it.
std::string FormatUnsigned(uint32_t value);

// A real number as the boxes show it: "%.03f".
std::string FormatReal(float value);

// Decimal-prefix conversion of a real typed into a box, to the nearest float; no number gives 0.
float ParseReal(std::string_view text);

}  // namespace quillon
