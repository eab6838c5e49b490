// The text of an INI file, read and changed one key of one section at a time, as the Windows
// private-profile functions treat such files on a Chinese Windows (ANSI code page 936, GBK):
// section and key names match whatever the letter case of their ASCII letters and the blanks
// around them, a value loses the blanks around it (and one pair of quotes around it), names and
// values end at a zero byte, keys before the first header belong to a section without a name,
// and the first section of a name is the one that counts. Lines may end in CRLF, LF or a lone CR;
// a double-byte character's second byte ends nothing, whatever it is. A file with a UTF-16 byte
// order mark (either byte order) or a UTF-8 one is read in its encoding, its values turned into
// GBK; a character that GBK lacks reads as '?' (where Windows may pick a look-alike instead).
//
// A change leaves every other byte of the text as it was; lines this class adds end in CRLF. A
// UTF-8 byte order mark is kept; a UTF-16 text is turned into GBK by its first change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

class IniProfile {
 public:
  IniProfile() = default;
  explicit IniProfile(std::string text);

  // The value of `key` in the first section called `section`; nullopt when the section or the
  // key is not there.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // What GetPrivateProfileStringA puts into a buffer of `bufferSize` bytes: the value, or
  // `fallback` when the section or key is missing, cut to at most bufferSize - 1 bytes without
  // splitting a character.
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        size_t bufferSize) const;

  // Replaces the key's line in place, or adds the key after the last line of its section that is
  // not blank, or adds the section with the key at the end of the text. `value` is one line.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

 private:
  void Change(std::string_view section, std::string_view key, std::string_view value);

  std::string text_;  // the file's bytes
  std::string read_;  // the text as Windows reads it
};

}  // namespace quillon
