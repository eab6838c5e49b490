#include "files/ini_profile.h"

#include <cstddef>

namespace quillon {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
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
      : text_(text), pos_(text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0) {}

  bool Next(Line& line) {
    if (pos_ >= text_.size()) return false;
    line.begin = pos_;
    // The first CR or LF: one search per character, each at memchr speed, rather than a test of
    // every byte against both (a file is read four times over on import).
    size_t at = text_.find('\n', pos_);
    const size_t cr = text_.substr(0, at).find('\r', pos_);
    if (cr != std::string_view::npos) at = cr;
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
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// What one line is to the profile.
struct Parsed {
  enum class Kind { Other, Section, Key } kind = Kind::Other;
  std::string_view name;   // the section's or the key's name, trimmed
  std::string_view value;  // a key's value, trimmed
};

Parsed ParseLine(std::string_view content) {
  const std::string_view line = Trim(content);
  Parsed parsed;
  if (line.starts_with('[')) {
    // A header runs to the last closing bracket of the line; without one the line is no header.
    const size_t close = line.rfind(']');
    if (close == std::string_view::npos) return parsed;
    parsed.kind = Parsed::Kind::Section;
    parsed.name = Trim(line.substr(1, close - 1));
    return parsed;
  }
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return parsed;
  parsed.kind = Parsed::Kind::Key;
  parsed.name = Trim(line.substr(0, equals));
  parsed.value = Trim(line.substr(equals + 1));
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

}  // namespace

std::optional<std::string> IniProfile::Get(std::string_view section, std::string_view key) const {
  const std::string_view text = text_;
  LineWalker walker(text);
  Line line;
  bool inSection = false;
  while (walker.Next(line)) {
    const Parsed parsed = ParseLine(text.substr(line.begin, line.contentEnd - line.begin));
    if (parsed.kind == Parsed::Kind::Section) {
      if (inSection) return std::nullopt;  // only the first section of the name counts
      inSection = SameName(parsed.name, section);
    } else if (inSection && parsed.kind == Parsed::Kind::Key && SameName(parsed.name, key)) {
      return std::string(Unquote(parsed.value));
    }
  }
  return std::nullopt;
}

void IniProfile::Set(std::string_view section, std::string_view key, std::string_view value) {
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
