#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "text/gbk.h"
#include "text/ipv4_text.h"
#include "text/number_text.h"

using namespace quillon;

TEST(Gbk, ConvertsBothWaysWithTwoBytesPerChineseCharacter) {
  EXPECT_EQ(Utf8ToGbk("大门A"),
            "\xB4\xF3\xC3\xC5"
            "A");
  EXPECT_EQ(GbkToUtf8("\xB4\xF3\xC3\xC5"
                      "A"),
            "大门A");
  EXPECT_EQ(Utf8ToGbk("摄像头1 第1行℃").size(), 15u);
}

TEST(Gbk, UnrepresentableCharactersBecomeQuestionMarksAndTheRestIsKept) {
  EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToGbk("\xFF"
                      "c"),
            "?c");  // not even UTF-8
  // Bytes that are not GBK do not stop the decoding.
  EXPECT_EQ(GbkToUtf8("A\xFF"
                      "B"),
            "A\xEF\xBF\xBD"
            "B");
}

TEST(Gbk, CutsNeverSplitADoubleByteCharacter) {
  const std::string gbk = Utf8ToGbk("a大门");  // 61 B4 F3 C3 C5
  EXPECT_EQ(CutGbk(gbk, 5), gbk);
  EXPECT_EQ(CutGbk(gbk, 4), gbk.substr(0, 3));  // the lone first byte of 门 is dropped
  EXPECT_EQ(CutGbk(gbk, 2), "a");
  EXPECT_EQ(CutGbk(gbk, 0), "");
}

TEST(Gbk, StoringIntoAFieldTerminatesAndKeepsTheBytesBehind) {
  char field[30];
  std::memset(field, 'x', sizeof field);
  StoreGbkText(field, 29, std::string(35, 'u'));
  EXPECT_EQ(std::string(field, 29), std::string(29, 'u'));
  EXPECT_EQ(field[29], '\0');

  StoreGbkText(field, 29, "ab");
  EXPECT_STREQ(field, "ab");
  EXPECT_EQ(field[3], 'u');  // behind the terminator: unchanged

  // Fourteen Chinese characters fill 28 bytes; a fifteenth does not fit into 29.
  StoreGbkText(field, 29, "一二三四五六七八九十一二三四五");
  EXPECT_EQ(std::strlen(field), 28u);
  EXPECT_EQ(LoadGbkText(field, sizeof field), "一二三四五六七八九十一二三四");
}

TEST(Gbk, LoadingAFieldWithoutTerminatorStopsAtItsEnd) {
  char fields[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
  EXPECT_EQ(LoadGbkText(fields, 3), "abc");
}

TEST(NumberText, UnsignedDecimalKeepsLowBitsAndGivesZeroForNoNumber) {
  EXPECT_EQ(ParseUnsignedDecimal("720"), 720u);
  EXPECT_EQ(static_cast<uint16_t>(ParseUnsignedDecimal("70000")), 4464);
  EXPECT_EQ(static_cast<uint16_t>(ParseUnsignedDecimal("65536")), 0);
  EXPECT_EQ(static_cast<uint16_t>(ParseUnsignedDecimal("65535")), 0xFFFF);
  EXPECT_EQ(ParseUnsignedDecimal("  0080"), 80u);
  EXPECT_EQ(ParseUnsignedDecimal("80a"), 80u);
  EXPECT_EQ(ParseUnsignedDecimal("abc"), 0u);
  EXPECT_EQ(ParseUnsignedDecimal(""), 0u);
  EXPECT_EQ(ParseUnsignedDecimal("-5"), 0u);
}

TEST(NumberText, DialogIntegersAreSignedAndZeroOutsideThe32BitRange) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"-1", -1},
      {" +12x", 12},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"70000", 70000},
      {"2147483647", 2147483647},
      {"2147483648", 0},
      {"-2147483648", INT32_MIN},
      {"-2147483649", 0},
      {"99999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSignedDecimal(c.text), c.value) << c.text;
  // What a 16-bit field keeps of them.
  EXPECT_EQ(static_cast<uint16_t>(ParseSignedDecimal("-1")), 0xFFFF);
  EXPECT_EQ(static_cast<uint16_t>(ParseSignedDecimal("70000")), 4464);
}

TEST(NumberText, RealsShowThreeDecimalsAndReadTheirDecimalPrefix) {
  EXPECT_EQ(FormatReal(2.0f), "2.000");
  EXPECT_EQ(FormatReal(-0.5f), "-0.500");
  EXPECT_EQ(FormatReal(0.0004f), "0.000");
  EXPECT_EQ(FormatReal(12.3456f), "12.346");
  EXPECT_EQ(FormatReal(-0.0625f), "-0.062");
  EXPECT_EQ(FormatReal(1.0e7f), "10000000.000");

  const struct {
    const char* text;
    float value;
  } cases[] = {
      {"1.5e2", 150.0f},   {"abc", 0.0f},     {"12abc", 12.0f},
      {" 3.25abc", 3.25f}, {"-.5", -0.5f},    {"+7.", 7.0f},
      {"1e", 1.0f},        {"2E-3x", 0.002f}, {"inf", 0.0f},
      {"-nan", 0.0f},      {"0x1A", 0.0f},    {".", 0.0f},
      {"+-5", 0.0f},       {"1e39", 0.0f},    {"-1e39", 0.0f},
      {"1e-50", 0.0f},     {"0.1", 0.1f},     {"16777217", 16777216.0f},  // the nearest float
  };
  for (const auto& c : cases) EXPECT_EQ(ParseReal(c.text), c.value) << c.text;
  EXPECT_EQ(ParseReal("3.4028235e38"), 3.4028235e38f);
  EXPECT_GT(ParseReal("1e-40"), 0.0f);  // a subnormal float is still a float
}

// Every place a user types an address reads it so: a leading zero is decimal, as the window's
// address box reads each byte; anything else is no address at all.
TEST(Ipv4Text, FourDecimalNumbersWithLeadingZerosReadAsDecimal) {
  const struct {
    const char* text;
    std::optional<uint32_t> address;
  } cases[] = {{"10.77.0.1", 0x0A4D0001},
               {"255.255.255.255", 0xFFFFFFFF},
               {"0.0.0.0", 0},
               {"192.168.1.070", 0xC0A80146},
               {"010.0.0.1", 0x0A000001},
               {"000.00.0.009", 9},
               {"192.168.1.256", std::nullopt},
               {"0010.0.0.1", std::nullopt},
               {"192.168.1", std::nullopt},
               {"192.168.1.1.", std::nullopt},
               {" 192.168.1.1", std::nullopt},
               {"1.2.3.4x", std::nullopt},
               {"1..3.4", std::nullopt},
               {"1234.1.1.1", std::nullopt},
               {"", std::nullopt},
               {"+1.2.3.4", std::nullopt},
               {"1.2.3.-4", std::nullopt},
               {"0x1.2.3.4", std::nullopt},
               {"1.2.3.4 ", std::nullopt},
               {"1,2,3,4", std::nullopt},
               {"1.2.3.4.5", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseIpv4(c.text), c.address) << c.text;
  for (const char* text : {"10.77.0.1", "255.255.255.255", "0.0.0.0", "192.168.1.70"})
    EXPECT_EQ(Ipv4Text(*ParseIpv4(text)), text);
  uint8_t bytes[4];
  Ipv4ToBytes(0xC0A80146, bytes);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{192, 168, 1, 70}));
  EXPECT_EQ(Ipv4FromBytes(bytes), 0xC0A80146u);
}
