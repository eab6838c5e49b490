// Edit boxes that show a GBK text field of the parameter block and store it back.
//
// A box remembers the field's bytes as it showed them. Stored back while its text is still the
// one it showed, it gives those bytes back exactly, even bytes that GBK cannot show (a password
// byte 0xE9, a user-defined character): turned into Unicode and back they would become "?" in a
// field the user never touched. Text the user changed is stored as GBK, cut at `limit` bytes
// without splitting a character.
#pragma once

#include <cstddef>

class QLineEdit;

namespace quillon {

// Shows the field's text (up to its first zero byte or its end) in the box.
void ShowGbkField(QLineEdit* box, const char* field, size_t fieldSize);

// Stores the box into the field: the remembered bytes while the text is unchanged (cut at a
// character boundary to leave room for the terminator), else at most `limit` bytes of the text;
// then a zero byte, always inside the field. Bytes behind the terminator keep what they held.
// `limit` must be below `fieldSize`.
void StoreGbkField(const QLineEdit* box, char* field, size_t fieldSize, size_t limit);

}  // namespace quillon
