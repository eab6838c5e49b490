#include "files/ini_profile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "text/best_fit_936.h"
#include "text/gbk.h"

namespace quillon {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kNewLine = "\r\n";

// One line of the text: [begin, contentEnd) is its content, [contentEnd, end) its terminator.
struct Line {
  size_t begin;
  size_t contentEnd;
  size_t end;
};

// Walks the lines of a text one at a time; a lone CR ends a line as LF and CRLF do.
class LineWalker {
 public:
  explicit LineWalker(std::string_view text)
      : text_(text),
        pos_(text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0),
        nextLf_(text.find('\n', pos_)),
        nextCr_(text.find('\r', pos_)) {}

  bool Next(Line& line) {
    if (pos_ >= text_.size()) return false;
    line.begin = pos_;
    // The first CR or LF: one search per character, each at memchr speed, rather than a test of
    // every byte against both (a file is read four times over on import). Each search goes on
    // from where the last one stopped, so a text of a million CRs and no LF is walked once, not
    // a million times.
    if (nextLf_ < pos_) nextLf_ = text_.find('\n', pos_);
    if (nextCr_ < pos_) nextCr_ = text_.find('\r', pos_);
    const size_t at = std::min(nextLf_, nextCr_);
    if (at == std::string_view::npos) {
      line.contentEnd = line.end = text_.size();
    } else {
      line.contentEnd = at;
      line.end = at + 1;
      if (text_[at] == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n') ++line.end;
    }
    pos_ = line.end;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_;
  size_t nextLf_;  // npos: none from here on
  size_t nextCr_;
};

// The blanks that Windows trims around names and values: space, tab, vertical tab, form feed,
// and Ctrl-Z (an old end-of-file mark).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Windows keeps names and values as C strings: each ends at its first zero byte.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

bool IsLead(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}

bool IsTrail(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// The width of the character at `i` of GBK text: 2 for a lead byte with a byte after it.
size_t Width(std::string_view text, size_t i) {
  return IsLead(text[i]) && i + 1 < text.size() ? 2 : 1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names match whatever the letter case of their ASCII letters; the bytes of a double-byte
// character match exactly (its second byte may look like a letter).
bool SameName(std::string_view name, std::string_view wanted) {
  wanted = UpToZero(Trim(UpToZero(wanted)));
  if (name.size() != wanted.size()) return false;
  for (size_t i = 0; i < name.size();) {
    const size_t width = Width(name, i);
    if (width == 2 ? name.substr(i, 2) != wanted.substr(i, 2) : Lower(name[i]) != Lower(wanted[i]))
      return false;
    i += width;
  }
  return true;
}

// What one line is to the profile.
struct Parsed {
  enum class Kind { Other, Section, Key } kind = Kind::Other;
  std::string_view name;  // the section's or the key's name, trimmed, up to a zero byte
  std::optional<std::string_view> value;  // a key's value, trimmed, up to a zero byte
};

Parsed ParseLine(std::string_view content) {
  const std::string_view line = Trim(content);
  Parsed parsed;
  if (line.starts_with('[')) {
    // A header runs to the last closing bracket of the line (not the second byte of a
    // character); a line without one is read as a key.
    size_t close = std::string_view::npos;
    for (size_t i = 0; i < line.size(); i += Width(line, i))
      if (line[i] == ']') close = i;
    if (close != std::string_view::npos) {
      parsed.kind = Parsed::Kind::Section;
      parsed.name = UpToZero(Trim(line.substr(1, close - 1)));
      return parsed;
    }
  }
  if (line.empty()) return parsed;
  // A line without '=' is a key without a value: it is found by its name, and gives the caller's
  // default, however many lines of the same name follow it.
  parsed.kind = Parsed::Kind::Key;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    parsed.name = UpToZero(line);
    return parsed;
  }
  parsed.name = UpToZero(Trim(line.substr(0, equals)));
  parsed.value = UpToZero(Trim(line.substr(equals + 1)));
  return parsed;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool EndsLine(const std::string& text) {
  return text.empty() || text == kUtf8Bom || text.back() == '\n' || text.back() == '\r';
}

// ANSI text (code page 936) as Windows reads it: a lead byte takes the byte after it, whatever it
// is, a line end too, but for a zero byte, which stays and ends the name or value; a pair that is
// no character, and a lead byte at the very end or before a zero byte, read as '?'.
std::string ReadAnsi(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    if (!IsLead(bytes[i])) {
      text += bytes[i++];
    } else if (i + 1 < bytes.size() && IsTrail(bytes[i + 1])) {
      text.append(bytes.substr(i, 2));
      i += 2;
    } else {
      text += '?';
      i += i + 1 < bytes.size() && bytes[i + 1] == '\0' ? 1 : 2;
    }
  }
  return text;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-8 after its byte order mark, as Windows decodes it into 16-bit units: a sequence stops at
// the first byte that cannot go on with it, and what it took so far reads as one '?'; a byte that
// begins nothing (C0, C1, F5 to FF, a lone continuation byte) reads as '?' alone. A character
// beyond 16 bits takes two units, which no ANSI code page holds: "??".
std::string DecodeUtf8(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i++]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      continue;
    }
    const int more = lead < 0xC2 ? -1 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : -1;
    if (more < 0) {
      out += '?';
      continue;
    }
    if (i + static_cast<size_t>(more) > bytes.size()) {  // cut off by the end of the text
      out += '?';
      break;
    }
    uint32_t c = lead & (0x7F >> (more + 1));
    bool whole = true;
    for (int k = 0; k < more && whole; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i]);
      whole = (next & 0xC0) == 0x80;
      if (!whole) break;
      c = c << 6 | (next & 0x3F);
      ++i;
      // Too short a form, beyond U+10FFFF, or a surrogate: stop with what was taken.
      const int left = more - k - 1;
      if ((more == 2 && k == 0 && c < 0x20) || (more == 3 && k == 0 && c < 0x10) ||
          (left >= 1 && c >= (0x110000u >> (6 * left))) ||
          (left == 1 && c >= (0xD800u >> 6) && c <= (0xDFFFu >> 6)))
        whole = false;
    }
    if (!whole) {
      out += '?';
    } else if (c >= 0x10000) {
      out += "??";
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

// UTF-16 after its byte order mark; a lone surrogate reads as '?', a pair as "??" (no ANSI code
// page holds it), and an odd last byte as a unit of its own with a zero other half.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  auto unit = [&](size_t i) -> uint32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 2 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      out += "??";
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += '?';
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

// Decoded text (well-formed UTF-8) in the ANSI code page as Windows converts it: GBK, and where
// GBK has no code for a character, Windows' look-alike, else '?'.
std::string ToAnsi(std::string_view utf8) {
  std::string out;
  size_t run = 0;  // the start of the characters not yet converted
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t c = width == 1 ? lead : lead & (0x7F >> width);
    for (size_t k = 1; k < width && i + k < utf8.size(); ++k)
      c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    const std::string fit = width > 1 ? BestFit936(c) : std::string();
    if (!fit.empty()) {
      if (i > run) out += Utf8ToGbk(utf8.substr(run, i - run));
      out += fit;
      run = i + width;
    }
    i += width;
  }
  return out + Utf8ToGbk(utf8.substr(std::min(run, utf8.size())));
}

// The text as Windows reads the file: UTF-16 (either byte order) and UTF-8 by their byte order
// marks, their characters in the ANSI code page; anything else as ANSI.
std::string WindowsText(std::string_view bytes) {
  if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom))
    return ToAnsi(DecodeUtf16(bytes.substr(2), bytes.starts_with(kUtf16BeBom)));
  if (bytes.starts_with(kUtf8Bom)) return ToAnsi(DecodeUtf8(bytes.substr(kUtf8Bom.size())));
  return ReadAnsi(bytes);
}

}  // namespace

IniProfile::IniProfile(std::string text) : text_(std::move(text)), read_(WindowsText(text_)) {}

std::optional<std::string> IniProfile::Get(std::string_view section, std::string_view key) const {
  const std::string_view text = read_;
  LineWalker walker(text);
  Line line;
  // Keys before the first header belong to a section without a name.
  bool inSection = SameName("", section);
  while (walker.Next(line)) {
    const Parsed parsed = ParseLine(text.substr(line.begin, line.contentEnd - line.begin));
    if (parsed.kind == Parsed::Kind::Section) {
      if (inSection) return std::nullopt;  // only the first section of the name counts
      inSection = SameName(parsed.name, section);
    } else if (inSection && parsed.kind == Parsed::Kind::Key && SameName(parsed.name, key)) {
      if (!parsed.value) return std::nullopt;
      return std::string(Unquote(*parsed.value));
    }
  }
  return std::nullopt;
}

std::string IniProfile::GetString(std::string_view section, std::string_view key,
                                  std::string_view fallback, size_t bufferSize) const {
  const std::optional<std::string> value = Get(section, key);
  return std::string(CutGbk(value ? std::string_view(*value) : UpToZero(fallback),
                            bufferSize > 0 ? bufferSize - 1 : 0));
}

void IniProfile::Set(std::string_view section, std::string_view key, std::string_view value) {
  // A UTF-16 file goes on in the ANSI code page, as this class writes it; its other sections and
  // keys stay.
  if (text_.starts_with(kUtf16LeBom) || text_.starts_with(kUtf16BeBom)) text_ = read_;
  Change(section, key, value);
  read_ = WindowsText(text_);
}

void IniProfile::Change(std::string_view section, std::string_view key, std::string_view value) {
  std::string keyLine;
  keyLine.append(key).append("=").append(value);

  const std::string_view text = text_;
  LineWalker walker(text);
  Line line;
  bool inSection = false;
  size_t insertAt = 0;  // after the section's last line that is not blank
  while (walker.Next(line)) {
    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    const Parsed parsed = ParseLine(content);
    if (parsed.kind == Parsed::Kind::Section) {
      if (inSection) break;
      inSection = SameName(parsed.name, section);
      insertAt = line.end;
      continue;
    }
    if (!inSection) continue;
    if (parsed.kind == Parsed::Kind::Key && SameName(parsed.name, key)) {
      text_.replace(line.begin, line.contentEnd - line.begin, keyLine);
      return;
    }
    if (!Trim(content).empty()) insertAt = line.end;
  }

  if (inSection) {
    // The line before the new one may be the last of the text, without a terminator.
    const bool terminated =
        insertAt > 0 && (text_[insertAt - 1] == '\n' || text_[insertAt - 1] == '\r');
    std::string added = terminated ? "" : std::string(kNewLine);
    added.append(keyLine).append(kNewLine);
    text_.insert(insertAt, added);
    return;
  }
  if (!EndsLine(text_)) text_.append(kNewLine);
  text_.append("[").append(section).append("]").append(kNewLine);
  text_.append(keyLine).append(kNewLine);
}

}  // namespace quillon
