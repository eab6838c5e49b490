#include "params/osd_wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

using namespace quillon;

namespace {

const uint8_t kMac[6] = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};

void Put(Bytes& frame, size_t offset, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) frame.at(offset++) = b;
}

void Fill(Bytes& frame, size_t offset, size_t count, uint8_t value) {
  for (size_t i = 0; i < count; ++i) frame.at(offset + i) = value;
}

// A read reply as a device of current firmware sends it, written out at its frame offsets.
Bytes CurrentReadReply() {
  Bytes f(446, 0);
  Put(f, 0, {0x55, 0x01, 0xBA, 0x03, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6});
  Put(f, 10, {0x01});                                     // byDHCP
  Put(f, 11, {192, 168, 1, 100});                         // abyIP
  Put(f, 15, {192, 168, 1, 1});                           // abyGateway
  Put(f, 19, {255, 255, 255, 0});                         // abyNetMask
  Put(f, 23, {0x78, 0x56, 0x34, 0x12});                   // dwAux
  Put(f, 27, {0xCD, 0xAB});                               // wAux
  Put(f, 29, {0x90, 0x1F, 0x2A, 0x02, 192, 168, 1, 64});  // camera 1 ports and address
  Put(f, 53, {0x01, 0x02, 0x03, 0x04, 10, 0, 0, 4});      // camera 4
  Put(f, 61, {0x34, 0x12, 0x78, 0x56, 10, 1, 2, 3});      // upgrade ports and address
  // Camera 1 block at 69.
  Put(f, 69, {'a', 'd', 'm', 'i', 'n'});
  Fill(f, 99, 30, 'p');                   // password without a terminator
  Put(f, 129, {0xD0, 0x02, 0x40, 0x01});  // line 1: X 720, Y 320
  Put(f, 157, {0x01, 0x00, 0x02, 0x00});  // line 8
  Put(f, 161, {2, 8});                    // brand, line count
  // Camera 4 block at 351.
  Fill(f, 351, 30, 'u');
  Put(f, 443, {4, 3});
  return f;
}

Bytes LegacyReadReply() {
  Bytes f(990, 0);
  Put(f, 0, {0x55, 0x03, 0xDA, 0x03});
  Put(f, 11, {10, 0, 0, 9});
  // Camera 1 block at 69, line groups of 21 bytes from 129.
  Put(f, 129,
      {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q'});
  Put(f, 146, {0x10, 0x00, 0x20, 0x00});  // line 1: X 16, Y 32
  Put(f, 297, {1, 5});                    // brand, line count
  // Camera 4 block at 759; its line 8 group at 966.
  Put(f, 966, {'x', 'y'});
  Put(f, 983, {0x34, 0x12, 0x78, 0x56});
  Put(f, 987, {3, 7});
  return f;
}

}  // namespace

TEST(OsdWire, ReadRequestIsTheElevenKnownBytes) {
  EXPECT_EQ(BuildReadRequest(kMac),
            (Bytes{0xAA, 0x00, 0x07, 0x03, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xC8}));
}

TEST(OsdWire, CurrentReadReplyFillsEveryField) {
  DeviceParameterBlock block;
  ClearBlock(block);
  std::strcpy(block.osd.asCamera[0].asLine[0].szText, "keep me");
  block.osd.abyReserved1[0] = 0x5A;

  ASSERT_TRUE(MapReadReply(block.osd, CurrentReadReply(), false));
  const sOSDCommPara& o = block.osd;
  EXPECT_EQ(+o.byDHCP, 1);
  EXPECT_EQ(0, std::memcmp(o.abyIP, "\xC0\xA8\x01\x64", 4));
  EXPECT_EQ(0, std::memcmp(o.abyGateway, "\xC0\xA8\x01\x01", 4));
  EXPECT_EQ(0, std::memcmp(o.abyNetMask, "\xFF\xFF\xFF\x00", 4));
  EXPECT_EQ(+o.dwAux, 0x12345678u);
  EXPECT_EQ(+o.wAux, 0xABCD);
  EXPECT_EQ(+o.asCamera[0].wSourcePort, 8080);
  EXPECT_EQ(+o.asCamera[0].wCameraPort, 554);
  EXPECT_EQ(0, std::memcmp(o.asCamera[0].abyCameraIP, "\xC0\xA8\x01\x40", 4));
  EXPECT_EQ(+o.asCamera[3].wSourcePort, 0x0201);
  EXPECT_EQ(+o.asCamera[3].wCameraPort, 0x0403);
  EXPECT_EQ(0, std::memcmp(o.asCamera[3].abyCameraIP, "\x0A\x00\x00\x04", 4));
  EXPECT_EQ(+o.wUpgradeSrcPort, 0x1234);
  EXPECT_EQ(+o.wUpgradeDstPort, 0x5678);
  EXPECT_EQ(0, std::memcmp(o.abyUpgradeIP, "\x0A\x01\x02\x03", 4));

  EXPECT_STREQ(o.asCamera[0].szUser, "admin");
  EXPECT_EQ(std::string(o.asCamera[0].szPassword), std::string(29, 'p'));
  EXPECT_EQ(+o.asCamera[0].asLine[0].wX, 720);
  EXPECT_EQ(+o.asCamera[0].asLine[0].wY, 320);
  EXPECT_EQ(+o.asCamera[0].asLine[7].wX, 1);
  EXPECT_EQ(+o.asCamera[0].asLine[7].wY, 2);
  EXPECT_EQ(+o.asCamera[0].byBrand, 2);
  EXPECT_EQ(+o.asCamera[0].byLineCount, 8);
  EXPECT_EQ(std::string(o.asCamera[3].szUser), std::string(29, 'u'));
  EXPECT_EQ(+o.asCamera[3].byBrand, 4);
  EXPECT_EQ(+o.asCamera[3].byLineCount, 3);

  // Line texts of current firmware come as dictionary entries; the reserved bytes never travel.
  EXPECT_STREQ(o.asCamera[0].asLine[0].szText, "keep me");
  EXPECT_EQ(+o.abyReserved1[0], 0x5A);
}

TEST(OsdWire, LegacyReadReplyReplacesSeventeenTextBytes) {
  DeviceParameterBlock block;
  ClearBlock(block);
  char* text = block.osd.asCamera[0].asLine[0].szText;
  std::memset(text, 'z', 40);

  ASSERT_TRUE(MapReadReply(block.osd, LegacyReadReply(), true));
  EXPECT_EQ(0, std::memcmp(text, "ABCDEFGHIJKLMNOPQ\0zzzz", 22));
  EXPECT_EQ(text[39], 'z');
  EXPECT_EQ(+block.osd.asCamera[0].asLine[0].wX, 16);
  EXPECT_EQ(+block.osd.asCamera[0].asLine[0].wY, 32);
  EXPECT_EQ(+block.osd.asCamera[0].byBrand, 1);
  EXPECT_EQ(+block.osd.asCamera[0].byLineCount, 5);
  EXPECT_STREQ(block.osd.asCamera[3].asLine[7].szText, "xy");
  EXPECT_EQ(+block.osd.asCamera[3].asLine[7].wX, 0x1234);
  EXPECT_EQ(+block.osd.asCamera[3].asLine[7].wY, 0x5678);
  EXPECT_EQ(+block.osd.asCamera[3].byBrand, 3);
  EXPECT_EQ(+block.osd.asCamera[3].byLineCount, 7);
  EXPECT_EQ(0, std::memcmp(block.osd.abyIP, "\x0A\x00\x00\x09", 4));
}

TEST(OsdWire, ShortReadRepliesChangeNothing) {
  DeviceParameterBlock block;
  ClearBlock(block);
  block.osd.byDHCP = 7;
  std::strcpy(block.osd.asCamera[2].szUser, "before");
  DeviceParameterBlock before = block;

  Bytes current = CurrentReadReply();
  current.pop_back();  // 445 bytes
  EXPECT_FALSE(MapReadReply(block.osd, current, false));
  // A full current reply is still too short when the device is expected to carry line texts.
  EXPECT_FALSE(MapReadReply(block.osd, CurrentReadReply(), true));
  Bytes legacy = LegacyReadReply();
  legacy.resize(989);
  EXPECT_FALSE(MapReadReply(block.osd, legacy, true));
  EXPECT_FALSE(MapReadReply(block.osd, Bytes{}, false));
  EXPECT_EQ(0, std::memcmp(&before, &block, sizeof block));
}

namespace {

void FillDownloadBlock(DeviceParameterBlock& block) {
  ClearBlock(block);
  sOSDCommPara& o = block.osd;
  o.byDHCP = 1;
  std::memcpy(o.abyIP, "\xC0\xA8\x01\x64", 4);
  std::memcpy(o.abyGateway, "\xC0\xA8\x01\x01", 4);
  std::memcpy(o.abyNetMask, "\xFF\xFF\xFF\x00", 4);
  o.dwAux = 0xEEEEEEEE;
  o.wAux = 0xEEEE;
  o.asCamera[0].wSourcePort = 8080;
  o.asCamera[0].wCameraPort = 554;
  std::memcpy(o.asCamera[0].abyCameraIP, "\xC0\xA8\x01\x40", 4);
  o.asCamera[3].wSourcePort = 0x0201;
  o.asCamera[3].wCameraPort = 0x0403;
  std::memcpy(o.asCamera[3].abyCameraIP, "\x0A\x00\x00\x04", 4);
  o.wUpgradeSrcPort = 0x1234;
  o.wUpgradeDstPort = 0x5678;
  std::memcpy(o.abyUpgradeIP, "\x0A\x01\x02\x03", 4);
  // Bytes behind a terminator go as they are.
  std::memcpy(o.asCamera[0].szUser, "ab\0XYZ", 6);
  std::memset(o.asCamera[0].szPassword, 'p', 30);
  std::memset(o.asCamera[0].asLine[0].szText, 'T', 20);
  o.asCamera[0].asLine[0].wX = 720;
  o.asCamera[0].asLine[0].wY = 320;
  o.asCamera[0].byBrand = 2;
  o.asCamera[0].byLineCount = 8;
  o.asCamera[3].asLine[7].wX = 0x0605;
  o.asCamera[3].asLine[7].wY = 0x0807;
  o.asCamera[3].byBrand = 4;
  o.asCamera[3].byLineCount = 3;
}

uint8_t SumFrom3(const Bytes& f) {
  unsigned sum = 0;
  for (size_t i = 3; i + 1 < f.size(); ++i) sum += f[i];
  return static_cast<uint8_t>(sum);
}

}  // namespace

TEST(OsdWire, CurrentDownloadFrameLayout) {
  DeviceParameterBlock block;
  FillDownloadBlock(block);
  const Bytes f = BuildDownloadFrame(block.osd, kMac, false);
  ASSERT_EQ(f.size(), 440u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 31),
            (Bytes{0xAA, 0x01, 0xB4, 0x04, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6,  // header, MAC
                   0x01, 192,  168,  1,    100,  192,  168,  1,    1,    255,
                   255,  255,  0,  // no dwAux/wAux
                   0x90, 0x1F, 0x2A, 0x02, 192,  168,  1,    64}));
  EXPECT_EQ(Bytes(f.begin() + 47, f.begin() + 63),
            (Bytes{0x01, 0x02, 0x03, 0x04, 10, 0, 0, 4, 0x34, 0x12, 0x78, 0x56, 10, 1, 2, 3}));
  EXPECT_EQ(Bytes(f.begin() + 63, f.begin() + 69), (Bytes{'a', 'b', 0, 'X', 'Y', 'Z'}));
  EXPECT_EQ(f[92], 0);
  EXPECT_EQ(f[93], 'p');
  EXPECT_EQ(f[122], 'p');  // all 30 password bytes, no terminator forced
  EXPECT_EQ(Bytes(f.begin() + 123, f.begin() + 127), (Bytes{0xD0, 0x02, 0x40, 0x01}));
  EXPECT_EQ(f[155], 2);
  EXPECT_EQ(f[156], 8);
  EXPECT_EQ(Bytes(f.begin() + 433, f.begin() + 439), (Bytes{0x05, 0x06, 0x07, 0x08, 4, 3}));
  EXPECT_EQ(f[439], SumFrom3(f));
}

TEST(OsdWire, LegacyDownloadFrameCarriesSeventeenTextBytes) {
  DeviceParameterBlock block;
  FillDownloadBlock(block);
  const Bytes f = BuildDownloadFrame(block.osd, kMac, true);
  ASSERT_EQ(f.size(), 984u);
  EXPECT_EQ(f[1], 0x03);
  EXPECT_EQ(f[2], 0xD4);  // 980
  EXPECT_EQ(f[3], 0x04);
  EXPECT_EQ(Bytes(f.begin() + 123, f.begin() + 144),
            (Bytes{'T', 'T', 'T', 'T', 'T', 'T', 'T',  'T',  'T',  'T', 'T',
                   'T', 'T', 'T', 'T', 'T', 'T', 0xD0, 0x02, 0x40, 0x01}));
  EXPECT_EQ(f[291], 2);
  EXPECT_EQ(f[292], 8);
  EXPECT_EQ(Bytes(f.begin() + 977, f.begin() + 983), (Bytes{0x05, 0x06, 0x07, 0x08, 4, 3}));
  EXPECT_EQ(f[983], SumFrom3(f));
}

// A legacy line text carries 17 bytes. Cut there, a text of nine Chinese characters would end in
// the first half of the ninth; it goes as the eight whole characters (16 bytes) instead, so the
// device never shows half a character. Shorter and ASCII texts go as stored.
TEST(OsdWire, LegacyLineTextsEndOnACharacterBoundary) {
  DeviceParameterBlock block{};
  // "一二三四五六七八九" in GBK: D2 BB B6 FE C8 FD CB C4 CE E5 C1 F9 C6 DF B0 CB BE C5.
  const uint8_t nine[] = {0xD2, 0xBB, 0xB6, 0xFE, 0xC8, 0xFD, 0xCB, 0xC4, 0xCE, 0xE5,
                          0xC1, 0xF9, 0xC6, 0xDF, 0xB0, 0xCB, 0xBE, 0xC5, 0x00};
  std::memcpy(block.osd.asCamera[0].asLine[0].szText, nine, sizeof nine);
  // "A" and eight characters: the 17th byte ends the eighth character, all 17 go.
  const uint8_t whole[] = {'A',  0xD2, 0xBB, 0xB6, 0xFE, 0xC8, 0xFD, 0xCB, 0xC4, 0xCE,
                           0xE5, 0xC1, 0xF9, 0xC6, 0xDF, 0xB0, 0xCB, 0xBE, 0xC5, 0x00};
  std::memcpy(block.osd.asCamera[0].asLine[1].szText, whole, sizeof whole);
  std::memcpy(block.osd.asCamera[0].asLine[2].szText, "short\0garbage-kept", 19);
  const Bytes f = BuildDownloadFrame(block.osd, kMac, true);
  const size_t line0 = 123, line1 = 123 + 21, line2 = 123 + 42;
  EXPECT_EQ(Bytes(f.begin() + line0, f.begin() + line0 + 17),
            (Bytes{0xD2, 0xBB, 0xB6, 0xFE, 0xC8, 0xFD, 0xCB, 0xC4, 0xCE, 0xE5, 0xC1, 0xF9, 0xC6,
                   0xDF, 0xB0, 0xCB, 0x00}));
  EXPECT_EQ(Bytes(f.begin() + line1, f.begin() + line1 + 17),
            (Bytes{'A', 0xD2, 0xBB, 0xB6, 0xFE, 0xC8, 0xFD, 0xCB, 0xC4, 0xCE, 0xE5, 0xC1, 0xF9,
                   0xC6, 0xDF, 0xB0, 0xCB}));
  EXPECT_EQ(
      Bytes(f.begin() + line2, f.begin() + line2 + 17),
      (Bytes{'s', 'h', 'o', 'r', 't', 0, 'g', 'a', 'r', 'b', 'a', 'g', 'e', '-', 'k', 'e', 'p'}));
  // The block itself is not changed.
  EXPECT_EQ(0, std::memcmp(block.osd.asCamera[0].asLine[0].szText, nine, sizeof nine));
}
