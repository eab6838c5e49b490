// The GBK codec: glibc's iconv here, code page 936 of Windows in gbk_windows.cpp; the cuts and
// fields, the same on both, at the end.
#include "text/gbk.h"

#include <cstring>

#ifndef _WIN32

#include <iconv.h>

#include <cerrno>

namespace quillon {

namespace {

// One conversion through iconv; `onInvalid` is what replaces an input unit that cannot be
// converted, and `invalidUnitLength` tells how many input bytes that unit spans.
template <typename UnitLength>
std::string Convert(const char* to, const char* from, std::string_view in,
                    std::string_view onInvalid, UnitLength invalidUnitLength) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  out.reserve(in.size() * 2);
  char buffer[256];
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace the offending unit and go on after it.
    size_t skip = invalidUnitLength(std::string_view(inPtr, inLeft));
    if (skip == 0 || skip > inLeft) skip = 1;
    out.append(onInvalid);
    inPtr += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

size_t Utf8UnitLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  // Stop at the first byte that is not a continuation byte.
  for (size_t i = 1; i < n; ++i)
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
  return n;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  return Convert("GBK", "UTF-8", utf8, "?", Utf8UnitLength);
}

std::string GbkToUtf8(std::string_view gbk) {
  return Convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

}  // namespace quillon

#endif

namespace quillon {

std::string_view FieldText(const char* field, size_t fieldSize) {
  const void* zero = std::memchr(field, 0, fieldSize);
  return {field, zero ? static_cast<size_t>(static_cast<const char*>(zero) - field) : fieldSize};
}

std::string_view CutGbk(std::string_view gbk, size_t limit) {
  size_t i = 0;
  while (i < gbk.size()) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    const size_t width = (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
    if (i + width > limit) break;
    i += width;
  }
  return gbk.substr(0, i);
}

void StoreGbkText(char* field, size_t limit, std::string_view utf8) {
  const std::string gbk = Utf8ToGbk(utf8);
  const std::string_view cut = CutGbk(gbk, limit);
  std::memcpy(field, cut.data(), cut.size());
  field[cut.size()] = '\0';
}

std::string LoadGbkText(const char* field, size_t fieldSize) {
  return GbkToUtf8(FieldText(field, fieldSize));
}

}  // namespace quillon
