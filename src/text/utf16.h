// UTF-8, the program's own text, and UTF-16, the text of Windows' W functions. Used only by the
// Windows build: its file names, command line, system messages and window.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// A unit that is not a character becomes U+FFFD (Windows' own rule for these calls).
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace quillon
