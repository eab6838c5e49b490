// The GBK codec on Windows: code page 936 through MultiByteToWideChar and WideCharToMultiByte,
// with the replacements of the iconv codec in gbk.cpp: a UTF-8 unit that is not a character, or
// a character that GBK lacks, becomes one '?'; a GBK byte that begins no character becomes one
// U+FFFD. Code page 936 is the devices' own encoding, so where its table and glibc's GBK differ
// (the euro sign at 0x80), this one is right.
#ifdef _WIN32

#include <windows.h>

#include <cstdint>

#include "text/gbk.h"
#include "text/utf16.h"

namespace quillon {

namespace {

constexpr UINT kGbkCodePage = 936;

// The code point of the UTF-8 unit at the start of `s` and the bytes it spans; -1 when the unit
// is not a character (a stray continuation byte, a cut or overlong sequence, a surrogate, a value
// beyond U+10FFFF). The span follows the rule of the iconv codec: the lead byte's length, cut at
// the first byte that does not continue it.
int32_t DecodeUtf8(std::string_view s, size_t& span) {
  const auto lead = static_cast<unsigned char>(s[0]);
  const size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  span = 1;
  while (span < n && span < s.size() && (static_cast<unsigned char>(s[span]) & 0xC0) == 0x80)
    ++span;
  if (lead < 0x80) return lead;
  if (n == 1 || span < n || lead >= 0xF8) return -1;
  int32_t value = lead & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) value = value << 6 | (static_cast<unsigned char>(s[i]) & 0x3F);
  static constexpr int32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return -1;
  return value;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  // Characters beyond the 16-bit plane have no GBK code either; they become '?' here already.
  std::wstring wide;
  wide.reserve(utf8.size());
  while (!utf8.empty()) {
    size_t span = 1;
    const int32_t c = DecodeUtf8(utf8, span);
    wide.push_back(c < 0 || c > 0xFFFF ? L'?' : static_cast<wchar_t>(c));
    utf8.remove_prefix(span);
  }
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int size = ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                         nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(), size,
                          "?", nullptr);
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  if (gbk.empty()) return {};
  // Most texts are valid GBK and go in one call; otherwise character by character.
  const int length = static_cast<int>(gbk.size());
  const int whole =
      ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), length, nullptr, 0);
  if (whole > 0) {
    std::wstring wide(static_cast<size_t>(whole), L'\0');
    ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), length, wide.data(),
                          whole);
    return Utf8(wide);
  }
  std::wstring wide;
  size_t i = 0;
  while (i < gbk.size()) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    const int width = lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size() ? 2 : 1;
    wchar_t one[2];
    const int got = lead < 0x80 ? (one[0] = lead, 1)
                                : ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS,
                                                        gbk.data() + i, width, one, 2);
    if (got == 1) {
      wide.push_back(one[0]);
      i += static_cast<size_t>(width);
    } else {
      // The lead byte alone is replaced; what follows it may begin a character of its own.
      wide.push_back(L'\xFFFD');
      ++i;
    }
  }
  return Utf8(wide);
}

}  // namespace quillon

#endif
