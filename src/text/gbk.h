// GBK (code page 936), the devices' text encoding. The program works in UTF-8 and converts at
// the edge: when a text enters or leaves a fixed-size field of the parameter block or a frame.
// Every byte limit counts GBK bytes, and a cut never leaves half of a double-byte character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// UTF-8 text as GBK bytes. A character that GBK cannot represent becomes '?'.
std::string Utf8ToGbk(std::string_view utf8);

// GBK bytes as UTF-8. Bytes that are not valid GBK become U+FFFD, one per byte.
std::string GbkToUtf8(std::string_view gbk);

// The text of a fixed field: up to its first zero byte or the end of the field.
std::string_view FieldText(const char* field, size_t fieldSize);

// The longest prefix of `gbk` of at most `limit` bytes that does not split a character.
std::string_view CutGbk(std::string_view gbk, size_t limit);

// Writes UTF-8 text into a fixed GBK field: at most `limit` bytes of the text, then a zero
// byte. Bytes behind the terminator keep what they held. `limit` must be below the field size.
void StoreGbkText(char* field, size_t limit, std::string_view utf8);

// The UTF-8 text of a fixed GBK field (up to its first zero byte or its end).
std::string LoadGbkText(const char* field, size_t fieldSize);

}  // namespace quillon
