// Parameter files: the CRC, hex pairs, names, the INI profile, and the file format against files
// written out by hand.
#include "files/param_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "files/crc16.h"
#include "files/ini_profile.h"
#include "support/ends_within.h"
#include "support/param_file_samples.h"
#include "support/temp_folder.h"

using namespace quillon;
using fakes::JoinLines;
using fakes::KnownFileLines;
using fakes::KnownFileText;
using fakes::KnownImages;
using fakes::TempFolder;

namespace {

bool SameImages(const ParamImages& a, const ParamImages& b) {
  return std::memcmp(&a.osd, &b.osd, sizeof a.osd) == 0 &&
         std::memcmp(&a.modbus, &b.modbus, sizeof a.modbus) == 0;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The known file with one line replaced (or removed, for an empty replacement).
std::string WithLine(size_t index, const std::string& line) {
  std::vector<std::string> lines = KnownFileLines();
  if (line.empty())
    lines.erase(lines.begin() + static_cast<long>(index));
  else
    lines[index] = line;
  return JoinLines(lines, "\r\n");
}

}  // namespace

TEST(Crc16, CheckValuesAndTableHeads) {
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x4B37);
  EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
  const std::vector<uint8_t> zeros(7764, 0);
  EXPECT_EQ(Crc16(zeros.data(), 2828), 0x671F);
  EXPECT_EQ(Crc16(zeros.data(), 7764), 0x300F);
  EXPECT_EQ((std::vector<int>(kCrc16HighTable.begin(), kCrc16HighTable.begin() + 4)),
            (std::vector<int>{0x00, 0xC1, 0x81, 0x40}));
  EXPECT_EQ((std::vector<int>(kCrc16LowTable.begin(), kCrc16LowTable.begin() + 4)),
            (std::vector<int>{0x00, 0xC0, 0xC1, 0x01}));
}

TEST(HexPairToByte, DigitsInEitherCaseAndZeroForAnythingElse) {
  const struct {
    const char pair[2];
    int value;
  } cases[] = {{{'0', '0'}, 0x00}, {{'F', 'F'}, 0xFF}, {{'f', 'a'}, 0xFA},   {{'9', 'A'}, 0x9A},
               {{'7', 'e'}, 0x7E}, {{'0', 'G'}, 0x00}, {{'G', '1'}, 0x01},   {{'a', '\0'}, 0xA0},
               {{' ', '5'}, 0x05}, {{'g', 'z'}, 0x00}, {{'\xFF', 'C'}, 0x0C}};
  for (const auto& c : cases) EXPECT_EQ(HexPairToByte(c.pair), c.value) << std::string(c.pair, 2);
}

TEST(ParamFileNames, TheExtensionMustBeIniOrINIExactly) {
  const struct {
    const char* path;
    bool accepted;
  } cases[] = {{"/home/u/params.ini", true}, {"VRN20261206_0752.INI", true},
               {"a.tar.ini", true},          {"params.Ini", false},
               {"params.iNI", false},        {"params.txt", false},
               {"params.ini.bak", false},    {"params", false},
               {"/tmp/x.ini/params", false}, {"params.ini ", false}};
  for (const auto& c : cases) EXPECT_EQ(HasParamFileExtension(c.path), c.accepted) << c.path;

  EXPECT_EQ(DefaultParamFileName(fakes::ExportMoment()), "VRN20261206_0752.ini");
}

TEST(IniProfile, ReadsNamesAndValuesAsThePrivateProfileFunctionsDo) {
  const struct {
    const char* text;
    const char* section;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"[S]\r\nK=v\r\n", "S", "K", "v"},
      {"  [ s ]  \nk\t = \t two words \t\n", "S", "K", "two words"},
      {"[S]\rA=1\rK=2\r", "S", "K", "2"},
      {"\xEF\xBB\xBF[S]\r\nK=v\r\n", "S", "K", "v"},
      {"[S]\r\nK=\"quoted\"\r\n", "S", "K", "quoted"},
      {"[S]\r\nK='x\"\r\n", "S", "K", "'x\""},
      {"[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
      {"[S]\r\nK=\r\n", "S", "K", ""},
      {"K=outside\r\n[S]\r\n", "S", "K", std::nullopt},
      {"[S]\r\nx=1\r\n[S]\r\nK=second\r\n", "S", "K", std::nullopt},  // the first one counts
      {"[T]\r\nK=1\r\n[S]\r\nK=2\r\n", "S", "K", "2"},
      {"[S]\r\n[T\r\nK=1\r\n", "S", "K", "1"},  // no closing bracket: no header
      {"[S]\r\nKK=1\r\n", "S", "K", std::nullopt},
      {"[S]\r\nK\r\n", "S", "K", std::nullopt},
      {"", "S", "K", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IniProfile(c.text).Get(c.section, c.key), c.value) << c.text;
}

// What GetPrivateProfileStringA of a Chinese Windows (code page 936) makes of the encodings, zero
// bytes and double-byte characters of a file; each case was answered so by Wine.
TEST(IniProfile, ReadsAFileAsAChineseWindowsDoes) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    const char* section;
    const char* key;
    const char* value;  // a 20000-byte buffer's C string
  } cases[] = {
      {"\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0-N\x00\xD8\0\0"s, "S", "K", "\xD6\xD0?"},   // 中, lone half
      {"\xFE\xFF\0[\0S\0]\0\n\0K\0=N-\xD8\x3D\xDE\x00"s, "S", "K", "\xD6\xD0??"},  // 中, 😀
      {"\xEF\xBB\xBF[S]\r\nK=\xE4\xB8\xAD\xC0\x80\xE4\xB8x\r\n", "S", "K", "\xD6\xD0???x"},
      // Characters GBK lacks: ¢ À U+E000 U+E4C6 U+E765 U+E766 U+F900 ª 中, as Windows fits them.
      {"\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0\xA2\0\xC0\0\0\xE0\xC6\xE4\x65\xE7\x66\xE7\0\xF9\xAA\0-N"s,
       "S", "K",
       "\xA1\xE9\xA8\xA4\xAA\xA1\xA1\x40\xA7\xA0\xA2\xAB\xD8\x4D"
       "a"
       "\xD6\xD0"},
      {"[S]\r\nK=\"ab\0c\"\r\n"s, "S", "K", "\"ab"},
      {"[S]\r\nK \0x=v\r\n"s, "S", "K", "ERROR"},
      {"[S \0x]\r\nK\0x=v\r\n"s, "S ", "K", "ERROR"},
      {"[S]\r\nK\0x=v\r\n"s, "S", "K", "v"},
      {"[S]\r\nA=\xD6\nK=1\r\nB=\xD6\x7F\r\n", "S", "A", "?K=1"},  // a lead byte takes the line end
      {"[S]\r\nA=\xD6\nK=1\r\n", "S", "K", "ERROR"},
      {"[S]\r\nB=x\xD6\x7Fy\xD6", "S", "B", "x?y?"},
      {"[S]\r\nB=x\xD6\0y\r\n"s, "S", "B", "x?"},  // but a zero byte it leaves
      {"[\xD6]]\r\nK=1\r\n", "\xD6]", "K", "1"},   // the ] inside a character closes nothing
      {"[S]\r\n\xB0\x41=1\r\n", "S", "\xB0\x61", "ERROR"},  // nor does its letter change case
      {"K=top\r\n[S]\r\nK=s\r\n", "", "K", "top"},
      {"[S]\r\n[K=1\r\n", "S", "[K", "1"},
      {"[S]\r\nK=\x1A\v v \f\r\n", "S", "K", "v"},
      {"[S]\r\n K \r\nK=1\r\n", "S", "K", "ERROR"},  // a line without '=' is K without a value
      {"[S]\r\nK\0\x04[x]\r\nK=1\r\n"s, "S", "K", "ERROR"},
      {"[S]\r\nK2\r\nK=1\r\n", "S", "K", "1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IniProfile(c.text).GetString(c.section, c.key, "ERROR", 20000), c.value) << c.text;
  // A cut never leaves half a character.
  EXPECT_EQ(IniProfile("[S]\r\nK=\xD6\xD0\xD6\xD0\xD6\xD0\r\n").GetString("S", "K", "", 6),
            "\xD6\xD0\xD6\xD0");
  EXPECT_EQ(IniProfile("").GetString("S", "K", "ERROR", 4), "ERR");
}

TEST(IniProfile, ChangesOneKeyAndKeepsEveryOtherByte) {
  const struct {
    const char* before;
    const char* section;
    const char* after;
  } cases[] = {
      {"", "S", "[S]\r\nK=v\r\n"},
      {"\xEF\xBB\xBF", "S", "\xEF\xBB\xBF[S]\r\nK=v\r\n"},
      {"; note\n[a]\nx=1", "S", "; note\n[a]\nx=1\r\n[S]\r\nK=v\r\n"},
      {"[ s ]\n k = old \nx=1\n", "S", "[ s ]\nK=v\nx=1\n"},
      {"[S]\rK=old\rz=2", "S", "[S]\rK=v\rz=2"},
      {"[S]\r\nx=1\r\n\r\n[T]\r\ny=2\r\n", "S", "[S]\r\nx=1\r\nK=v\r\n\r\n[T]\r\ny=2\r\n"},
      {"[S]\nx=1", "S", "[S]\nx=1\r\nK=v\r\n"},
      {"[S]", "S", "[S]\r\nK=v\r\n"},
      {"[S]\r\nx=1\r\n[S]\r\nK=1\r\n", "S", "[S]\r\nx=1\r\nK=v\r\n[S]\r\nK=1\r\n"},
      {"\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "\xEF\xBB\xBF[S]\r\nK=v\r\n"},
      {"[S]\r\n k \r\nK=1\r\n", "S", "[S]\r\nK=v\r\nK=1\r\n"},  // the key without a value
  };
  for (const auto& c : cases) {
    IniProfile profile(c.before);
    profile.Set(c.section, "K", "v");
    EXPECT_EQ(profile.Text(), c.after) << c.before;
  }
}

TEST(ParamFile, ANewFileHoldsTheFourKeysInOrder) {
  IniProfile profile;
  EncodeParamFile(KnownImages(), profile);
  const std::string& text = profile.Text();
  const std::vector<std::string> want = KnownFileLines();
  size_t at = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    const size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "line " << i;
    EXPECT_EQ(text.substr(at, end - at), want[i]) << "line " << i;
    at = end + 2;
  }
  EXPECT_EQ(at, text.size());
  // Zero blocks, as the program starts: 671F and 300F.
  IniProfile zeros;
  EncodeParamFile(ParamImages{}, zeros);
  EXPECT_EQ(zeros.Get("sOSDCommPara", "wCRCResult"), "671F");
  EXPECT_EQ(zeros.Get("sModBusPara", "wCRCResult"), "300F");
}

// Files that say the same as the known file in other ways, as other editors and Windows write
// them.
TEST(ParamFile, FilesThatReadAsTheKnownImages) {
  const std::string known = KnownFileText();
  const std::vector<std::string> lines = KnownFileLines();
  const std::string osdDigits = fakes::KnownOsdDigits();
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"as exported", known},
      {"all in lower case", Lower(known)},
      {"digits and CRCs in lower case", WithLine(1, "sOSDCommPara=" + Lower(osdDigits))},
      {"LF only", JoinLines(lines, "\n")},
      {"a lone CR", JoinLines(lines, "\r")},
      {"Windows with a byte order mark and a last line without end",
       "\xEF\xBB\xBF" + known.substr(0, known.size() - 2)},
      {"blanks around names and values",
       JoinLines({"  [ sOSDCommPara ] ", " SOSDCOMMPARA = " + osdDigits + " ", lines[2], lines[3],
                  lines[4], "\twCRCResult\t=\t0620"},
                 "\r\n")},
      {"other sections and comments around", "; kept by hand\r\n[Other]\r\nwCRCResult=0000\r\n" +
                                                 JoinLines(lines, "\r\n\r\n") +
                                                 "[Tail]\r\nx=1\r\n"},
      {"the halves the other way round",
       JoinLines({lines[3], lines[4], lines[5], lines[0], lines[1], lines[2]}, "\r\n")},
      {"quoted values", WithLine(2, "wCRCResult=\"1438\"")},
      {"digits beyond the image", WithLine(1, lines[1] + std::string(30000, '7'))},
      {"a later section of the same name",
       known + "[sOSDCommPara]\r\nsOSDCommPara=FF\r\nwCRCResult=0000\r\n"},
  };
  for (const auto& c : cases) {
    const std::optional<ParamImages> images = DecodeParamFile(IniProfile(c.text));
    ASSERT_TRUE(images) << c.what;
    EXPECT_TRUE(SameImages(*images, KnownImages())) << c.what;
  }
}

TEST(ParamFile, FilesThatFailTheirCheck) {
  const std::vector<std::string> lines = KnownFileLines();
  std::string changedDigit = lines[1];
  changedDigit[13 + 2 * 1000] = '1';  // byte 1000 of sOSDCommPara
  std::string withZero = lines[1];
  withZero[13 + 50] = '\0';  // the buffer ends there: the rest reads as zeros
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"one digit changed", WithLine(1, changedDigit)},
      {"a bad second CRC", WithLine(5, "wCRCResult=0621")},
      {"no sModBusPara section", JoinLines({lines[0], lines[1], lines[2]}, "\r\n")},
      {"no first CRC", WithLine(2, "")},
      {"a value cut short", WithLine(1, lines[1].substr(0, 3000))},
      {"a zero byte inside a value", WithLine(1, withZero)},
      {"the CRC under another key", WithLine(5, "wCRC=0620")},
      {"an empty file", ""},
      {"names without brackets",
       JoinLines({"sOSDCommPara", lines[1], lines[2], "sModBusPara", lines[4], lines[5]}, "\r\n")},
  };
  for (const auto& c : cases) EXPECT_FALSE(DecodeParamFile(IniProfile(c.text))) << c.what;
}

// Whatever a file holds, an import ends in the images or in a failed check, quickly.
TEST(ParamFile, HostileFilesEndInAFailedCheck) {
  TempFolder folder;
  ASSERT_TRUE(folder.Made());
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>((i * 7919) % 256));
  std::string bracketed;
  for (int i = 0; i < 100000; ++i) bracketed += "[\r";
  const struct {
    const char* name;
    std::string bytes;
  } files[] = {
      {"binary.ini", binary},
      {"zeros.ini", std::string(30000, '\0')},
      {"crs.ini", std::string(200000, '\r')},
      {"brackets.ini", bracketed},
      {"one-line.ini", std::string(kMaxParamFileBytes, 'A')},
      {"huge.ini", KnownFileText() + std::string(kMaxParamFileBytes, ' ')},
      {"sections-only.ini", "[sOSDCommPara]\n[sModBusPara]\n"},
  };
  for (const auto& f : files)
    EXPECT_FALSE(ImportParamFile(folder.Write(f.name, f.bytes))) << f.name;
  folder.MakeFolder("folder.ini");
  folder.MakePipe("pipe.ini");  // opening it must not wait for a writer
  fakes::EndsWithin(
      std::chrono::seconds(30),
      [&] {
        for (const char* name : {"folder.ini", "pipe.ini", "missing.ini"})
          EXPECT_FALSE(ImportParamFile(folder / name)) << name;
      },
      "imports of a folder, a pipe and a missing file");

  // The same bytes within bounds import.
  EXPECT_TRUE(ImportParamFile(folder.Write("good.ini", KnownFileText())));
}
