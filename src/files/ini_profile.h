// The text of an INI file, read and changed one key of one section at a time, as the Windows
// private-profile functions treat such files: section and key names match whatever their letter
// case and the blanks around them, a value loses the blanks around it (and one pair of quotes
// around it), the first section of a name is the one that counts, and a change leaves every other
// byte of the text as it was. Lines may end in CRLF, LF or a lone CR; lines this class adds end
// in CRLF. A UTF-8 byte order mark at the start is kept and not taken for part of a name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

class IniProfile {
 public:
  IniProfile() = default;
  explicit IniProfile(std::string text) : text_(std::move(text)) {}

  // The value of `key` in the first section called `section`; nullopt when the section or the
  // key is not there.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the key's line in place, or adds the key after the last line of its section that is
  // not blank, or adds the section with the key at the end of the text. `value` is one line.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace quillon
