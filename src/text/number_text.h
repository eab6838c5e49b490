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

// The dialog-integer reading of a box: leading blanks, an optional '+' or '-', then the leading
// digits ("12abc" gives 12). Text without digits gives 0, and so does a number outside the
// signed 32-bit range. Callers keep the low 8 or 16 bits, so -1 stores 0xFFFF.
int32_t ParseSignedDecimal(std::string_view text);

// Unsigned decimal text of a number, as the boxes show it.
std::string FormatUnsigned(uint32_t value);

// A real number as the boxes show it: "%.03f".
std::string FormatReal(float value);

// Decimal-prefix conversion of a real typed into a box: leading blanks, an optional sign, digits
// with an optional decimal point, an optional exponent; the conversion stops at the first
// character that does not fit ("1.5e2" gives 150, "12abc" 12) and takes the nearest float.
// Text without digits gives 0 ("inf", "nan" and "abc" among them), and so does a number beyond
// the range of a float.
float ParseReal(std::string_view text);

}  // namespace quillon
