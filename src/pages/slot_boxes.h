// How the RS-485 page and the gear dialog move values between their edit boxes and the fields of
// the RS-485 block: GBK texts within a byte limit, integers as the dialog-integer reading keeps
// them, reals with three decimals. Every text field of both goes through the two text helpers.
#pragma once

#include <cstddef>
#include <cstdint>

class QLineEdit;

namespace quillon {

// A text field (up to its terminator or its end) into a box.
void TextFieldToBox(QLineEdit* box, const char* field, size_t fieldSize);
// A box into a text field: while the box still shows what it was given, the field's bytes as
// they were (even bytes GBK cannot show); otherwise at most `limit` GBK bytes, never half a
// character, then a terminator. `limit` must be below `fieldSize`.
void BoxToTextField(const QLineEdit* box, char* field, size_t fieldSize, size_t limit);

// The zero-extended value in decimal.
void IntegerToBox(QLineEdit* box, uint32_t value);
// The signed decimal reading of a box; the caller keeps the low 8 or 16 bits.
int32_t BoxToInteger(const QLineEdit* box);

// "%.03f" and the decimal-prefix reading to the nearest float.
void RealToBox(QLineEdit* box, float value);
float BoxToReal(const QLineEdit* box);

}  // namespace quillon
