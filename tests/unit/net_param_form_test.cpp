// The network page's and the camera pages' rules on their forms: what Fill shows and what Store
// writes, byte for byte.
#include "forms/net_param_form.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/list_items.h"

namespace quillon {
namespace {

using fakes::ListItems;
using fakes::WalkEveryItem;

std::string Image(const void* data, size_t offset, size_t size) {
  return std::string(static_cast<const char*>(data) + offset, size);
}

// Offset of camera k, line j inside the network block.
size_t LineOffset(int k, int j) { return 52 + 694 * k + 68 + 78 * j; }
constexpr size_t kCamera2 = 52 + 694 * 2;

class NetParamFormTest : public testing::Test {
 protected:
  NetParamFormTest() { form.Fill(osd); }  // a form stores only once it has been filled

  sOSDCommPara osd{};
  NetParamForm form;
};

TEST(NetParamForm, StartsEmptyAndStoresNothingUntilFilled) {
  NetParamForm fresh;
  EXPECT_FALSE(fresh.Filled());
  fresh.staticIp = {1, 2, 3, 4};
  sOSDCommPara osd;
  std::memset(&osd, 0xEE, sizeof osd);
  const sOSDCommPara before = osd;
  EXPECT_FALSE(fresh.Store(osd));
  EXPECT_EQ(Image(&osd, 0, sizeof osd), Image(&before, 0, sizeof osd));
}

TEST_F(NetParamFormTest, ZeroBlockShowsZeros) {
  for (const Ipv4Value* address : {&form.staticIp, &form.netMask, &form.gateway, &form.upgradeIp})
    EXPECT_EQ(*address, (Ipv4Value{0, 0, 0, 0}));
  EXPECT_FALSE(form.dhcp);
  EXPECT_EQ(form.targetPort, "0");
  EXPECT_EQ(form.sourcePort, "0");
}

TEST_F(NetParamFormTest, StoresEveryFieldAtItsOffset) {
  form.staticIp = {192, 168, 1, 100};
  form.gateway = {192, 168, 1, 1};
  form.netMask = {255, 255, 255, 0};
  form.upgradeIp = {10, 0, 7, 0};
  form.dhcp = true;
  form.targetPort = "65535";
  form.sourcePort = "00080";
  std::memset(&osd, 0xEE, sizeof osd);
  EXPECT_FALSE(form.Store(osd));
  EXPECT_EQ(Image(&osd, 0, 13),
            std::string("\x01\xC0\xA8\x01\x64\xC0\xA8\x01\x01\xFF\xFF\xFF\x00", 13));
  EXPECT_EQ(Image(&osd, 28, 8), std::string("\x0A\x00\x07\x00\x50\x00\xFF\xFF", 8));
}

TEST_F(NetParamFormTest, RoundTripKeepsValuesAndUntouchedBytes) {
  auto* bytes = reinterpret_cast<uint8_t*>(&osd);
  for (size_t i = 13; i < 28; ++i) bytes[i] = static_cast<uint8_t>(0x80 + i);
  for (size_t i = 36; i < 52; ++i) bytes[i] = static_cast<uint8_t>(0x40 + i);
  const sOSDCommPara reserved = osd;
  form.staticIp = {1, 2, 3, 4};
  form.netMask = {255, 255, 0, 0};
  form.gateway = {1, 2, 0, 254};
  form.upgradeIp = {8, 8, 4, 4};
  form.targetPort = "007";
  form.sourcePort = "65535";
  form.Store(osd);
  EXPECT_EQ(Image(&osd, 13, 15), Image(&reserved, 13, 15));
  EXPECT_EQ(Image(&osd, 36, 16), Image(&reserved, 36, 16));

  NetParamForm shown;
  shown.Fill(osd);
  EXPECT_EQ(shown.staticIp, (Ipv4Value{1, 2, 3, 4}));
  EXPECT_EQ(shown.netMask, (Ipv4Value{255, 255, 0, 0}));
  EXPECT_EQ(shown.gateway, (Ipv4Value{1, 2, 0, 254}));
  EXPECT_EQ(shown.upgradeIp, (Ipv4Value{8, 8, 4, 4}));
  EXPECT_EQ(shown.targetPort, "7");  // leading zeros are gone
  EXPECT_EQ(shown.sourcePort, "65535");
  shown.Store(osd);
  EXPECT_EQ(Image(&osd, 13, 15), Image(&reserved, 13, 15));
  EXPECT_EQ(Image(&osd, 36, 16), Image(&reserved, 36, 16));
}

TEST_F(NetParamFormTest, PortTextConversions) {
  const struct {
    const char* typed;
    int stored;
  } cases[] = {{"65535", 0xFFFF}, {"65536", 0},     {"70000", 4464}, {"abc", 0},
               {"", 0},           {"  1901", 1901}, {"80a", 80}};
  for (const auto& c : cases) {
    form.targetPort = form.sourcePort = c.typed;
    osd.wUpgradeDstPort = 0x1234;
    form.Store(osd);
    EXPECT_EQ(osd.wUpgradeDstPort, c.stored) << c.typed;
    EXPECT_EQ(osd.wUpgradeSrcPort, c.stored) << c.typed;
  }
}

TEST_F(NetParamFormTest, DhcpValues) {
  osd.byDHCP = 1;
  form.Fill(osd);
  EXPECT_TRUE(form.dhcp);
  osd.byDHCP = 2;  // anything but 0 shows checked and is stored back as 1
  form.Fill(osd);
  EXPECT_TRUE(form.dhcp);
  form.Store(osd);
  EXPECT_EQ(osd.byDHCP, 1);
  form.dhcp = false;
  form.Store(osd);
  EXPECT_EQ(osd.byDHCP, 0);
}

TEST_F(NetParamFormTest, CameraFormsFollowTheirIndex) {
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(form.cameras[k].CameraIndex(), k);
    form.cameras[k].user.text = "user" + std::to_string(k);
  }
  form.Store(osd);
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(Image(&osd, 52 + 694 * k, 6), "user" + std::to_string(k) + '\0');
  std::memcpy(osd.asCamera[3].szPassword, "pw3", 4);
  form.Fill(osd);
  EXPECT_EQ(form.cameras[3].password.text, "pw3");
}

// A camera form on its own, camera 2.
class CameraFormTest : public testing::Test {
 protected:
  sOSDCommPara osd{};
  CameraForm form{2};
  sCameraPara& cam = osd.asCamera[2];
};

TEST_F(CameraFormTest, FreshFormStoresEmptyValues) {
  EXPECT_EQ(form.brand.Selected(), -1);
  EXPECT_EQ(form.lineCount.Selected(), -1);
  std::memset(&cam, 0x77, sizeof cam);
  form.Store(osd);
  EXPECT_EQ(cam.wCameraPort, 0);
  EXPECT_EQ(cam.wSourcePort, 0);
  for (uint8_t b : cam.abyCameraIP) EXPECT_EQ(b, 0);
  EXPECT_EQ(cam.szUser[0], '\0');
  EXPECT_EQ(cam.szPassword[0], '\0');
  EXPECT_EQ(cam.asLine[5].szText[0], '\0');
  EXPECT_EQ(cam.byLineCount, 0);
  EXPECT_EQ(cam.byBrand, 255);
}

// Each value as the page shows it, written out here apart from the program's tables.
TEST_F(CameraFormTest, EveryListItemBothWays) {
  std::vector<ListItems> lists = {
      {&form.lineCount, kCamera2 + 693, 1, {}},
      {&form.brand,
       kCamera2 + 692,
       1,
       {{0, "海康威视"}, {1, "大华"}, {2, "宇视科技"}, {3, "中维世纪"}, {4, "华为"}}}};
  for (uint32_t n = 1; n <= 8; ++n) lists[0].items.push_back({n, std::to_string(n)});
  WalkEveryItem(
      osd, lists, [&] { form.Fill(osd); }, [&] { form.Store(osd); });
  EXPECT_EQ(form.brand.Count(), 5);
  EXPECT_EQ(form.lineCount.Count(), 8);
}

TEST_F(CameraFormTest, ValuesBeyondTheListsShowNoSelection) {
  const struct { int count, brand; } cases[] = {{0, 255}, {9, 5}};
  for (const auto& c : cases) {
    // A form that showed a selection before must drop it.
    cam.byLineCount = 8;
    cam.byBrand = 4;
    form.Fill(osd);
    cam.byLineCount = static_cast<uint8_t>(c.count);
    cam.byBrand = static_cast<uint8_t>(c.brand);
    form.Fill(osd);
    EXPECT_EQ(form.lineCount.Selected(), -1);
    EXPECT_EQ(form.brand.Selected(), -1);
    EXPECT_EQ(form.lineCount.Text(), "");
    EXPECT_FALSE(form.Refusal());
    form.Store(osd);
    EXPECT_EQ(cam.byLineCount, 0);
    EXPECT_EQ(cam.byBrand, 255);
  }
}

TEST_F(CameraFormTest, TypedTextThatIsNoItemIsNamed) {
  cam.byLineCount = 2;
  form.Fill(osd);
  EXPECT_FALSE(form.Refusal());
  EXPECT_FALSE(form.lineCount.Type("12"));
  form.brand.Type("大华 ");
  EXPECT_EQ(form.Refusal()->name, "行数");
  EXPECT_EQ(form.Refusal()->text, "12");
  form.lineCount.Type("");  // emptied by the user: no item either
  EXPECT_EQ(form.Refusal()->text, "");
  EXPECT_EQ(form.lineCount.Type("5"), 4);  // an item's text picks the item
  EXPECT_EQ(form.Refusal()->name, "品牌");
  // The network form names the camera of the list.
  NetParamForm net;
  net.Fill(osd);
  net.cameras[2].brand.Type("大华 ");
  EXPECT_EQ(net.Refusal()->name, "摄像头三 品牌");
  std::memset(&osd, 0x44, sizeof osd);
  const sOSDCommPara before = osd;
  EXPECT_EQ(net.Store(osd)->text, "大华 ");
  EXPECT_EQ(Image(&osd, 0, sizeof osd), Image(&before, 0, sizeof osd));
}

TEST_F(CameraFormTest, LongTextsAreCutAtTheirByteLimits) {
  form.user.text = std::string(35, 'a');
  form.password.text = std::string(40, 'p');
  form.texts[7].text = std::string(80, 't');
  std::memset(&cam, 0x55, sizeof cam);
  form.Store(osd);
  EXPECT_EQ(std::string(cam.szUser, 30), std::string(29, 'a') + '\0');
  EXPECT_EQ(std::string(cam.szPassword, 30), std::string(29, 'p') + '\0');
  EXPECT_EQ(std::string(cam.asLine[7].szText, 73), std::string(72, 't') + '\0');
}

TEST_F(CameraFormTest, ChineseTextIsCutBetweenCharacters) {
  // 大 is B4 F3 and 华 is BB AA in GBK.
  form.texts[0].text = "大华";
  // "a" and 36 two-byte characters make 73 bytes: the last character no longer fits.
  form.texts[1].text = "a";
  for (int i = 0; i < 36; ++i) form.texts[1].text += "华";
  // "ab" and 14 two-byte characters make 30 bytes against a limit of 29.
  form.user.text = "ab";
  for (int i = 0; i < 14; ++i) form.user.text += "大";
  std::memset(&cam, 0x55, sizeof cam);
  form.Store(osd);
  EXPECT_EQ(std::string(cam.asLine[0].szText, 5), std::string("\xB4\xF3\xBB\xAA\x00", 5));
  std::string expected = "a";
  for (int i = 0; i < 35; ++i) expected += "\xBB\xAA";
  EXPECT_EQ(std::string(cam.asLine[1].szText, 72), expected + '\0');
  EXPECT_EQ(static_cast<uint8_t>(cam.asLine[1].szText[72]), 0x55);
  std::string user = "ab";
  for (int i = 0; i < 13; ++i) user += "\xB4\xF3";
  EXPECT_EQ(std::string(cam.szUser, 29), user + '\0');
  EXPECT_EQ(static_cast<uint8_t>(cam.szUser[29]), 0x55);
}

TEST_F(CameraFormTest, TextsAreShownFromGbkUpToTheirFieldsEnd) {
  std::memcpy(cam.asLine[3].szText,
              "\xB4\xF3\xBB\xAA"
              "A",
              6);
  std::memset(cam.szUser, 'u', 30);  // no terminator: all 30 bytes, nothing of the password
  std::memcpy(cam.szPassword, "secret", 7);
  form.Fill(osd);
  EXPECT_EQ(form.texts[3].text, "大华A");
  EXPECT_EQ(form.user.text, std::string(30, 'u'));
  EXPECT_EQ(form.password.text, "secret");
}

TEST_F(CameraFormTest, NumbersKeepTheirLow16Bits) {
  form.xs[0] = "65536";
  form.xs[1] = "720";
  form.ys[1] = "70000";
  form.ys[2] = "abc";
  form.port = "65535";
  form.sourcePort = " 0080";
  std::memset(&osd, 0xEE, sizeof osd);
  form.Store(osd);
  EXPECT_EQ(Image(&osd, LineOffset(2, 0), 2), std::string("\x00\x00", 2));
  // 720 is D0 02; 70000 & 0xFFFF = 4464 = 0x1170.
  EXPECT_EQ(Image(&osd, LineOffset(2, 1), 4), std::string("\xD0\x02\x70\x11", 4));
  EXPECT_EQ(Image(&osd, LineOffset(2, 2) + 2, 2), std::string("\x00\x00", 2));
  EXPECT_EQ(Image(&osd, kCamera2 + 64, 4), std::string("\x50\x00\xFF\xFF", 4));
}

TEST_F(CameraFormTest, NumbersAndAddressShowAsDecimal) {
  const uint8_t ip[4] = {192, 168, 1, 64};
  std::memcpy(cam.abyCameraIP, ip, 4);
  cam.wCameraPort = 8000;
  cam.wSourcePort = 65535;
  cam.asLine[6].wX = 1920;
  form.Fill(osd);
  EXPECT_EQ(form.address, (Ipv4Value{192, 168, 1, 64}));
  EXPECT_EQ(form.port, "8000");
  EXPECT_EQ(form.sourcePort, "65535");
  EXPECT_EQ(form.xs[6], "1920");
  EXPECT_EQ(form.ys[6], "0");
  sOSDCommPara back{};
  form.Store(back);
  EXPECT_EQ(Image(back.asCamera[2].abyCameraIP, 0, 4), "\xC0\xA8\x01\x40");
}

TEST_F(CameraFormTest, ShorterUserNameKeepsBytesBehindTerminator) {
  std::memcpy(cam.szUser, "administrator_of_camera_three", 30);  // 29 letters and a zero
  form.Fill(osd);
  form.user.text = "root";
  form.Store(osd);
  EXPECT_EQ(std::string(cam.szUser, 30), std::string("root\0istrator_of_camera_three\0", 30));
}

// Bytes that are not GBK (a password byte 0xE9 alone, a user-defined character) cannot be shown;
// a field the user did not touch goes back exactly as it was read, while an edited field is
// stored as the text typed.
TEST_F(CameraFormTest, UntouchedTextsGoBackByteForByte) {
  const char password[] = "pw\xE9\0tail";
  std::memcpy(cam.szPassword, password, sizeof password);
  const char line[] = "\xAA\xA1\xFE\xFE\x80";  // user-defined area, a lone 0x80
  std::memcpy(cam.asLine[3].szText, line, sizeof line);
  // No terminator at all, as a file may hold: what goes back ends inside the field, cut at a
  // character boundary ("u" and fourteen times "啊" fill 29 bytes, the 30th is half of one).
  std::memset(cam.szUser, 'u', 30);
  std::memcpy(cam.asLine[5].szText, "u", 1);
  for (int i = 0; i < 36; ++i) std::memcpy(cam.asLine[5].szText + 1 + 2 * i, "\xB0\xA1", 2);
  const sOSDCommPara before = osd;
  form.Fill(osd);
  form.Store(osd);
  const sCameraPara& was = before.asCamera[2];
  EXPECT_EQ(std::string(cam.szPassword, 30), std::string(was.szPassword, 30));
  EXPECT_EQ(std::string(cam.asLine[3].szText, 73), std::string(was.asLine[3].szText, 73));
  EXPECT_EQ(std::string(cam.szUser, 30), std::string(29, 'u') + '\0');
  EXPECT_EQ(std::string(cam.asLine[5].szText, 73),
            std::string(was.asLine[5].szText, 71) + std::string("\0\xA1", 2));

  form.password.text = "新";  // edited: stored as typed
  form.Store(osd);
  EXPECT_EQ(std::string(cam.szPassword, 3), std::string("\xD0\xC2\0", 3));
  // Shown again, it is the new text's bytes that are remembered.
  form.Fill(osd);
  form.Store(osd);
  EXPECT_EQ(std::string(cam.szPassword, 3), std::string("\xD0\xC2\0", 3));
}

TEST_F(CameraFormTest, LineAuxAndOtherCamerasAreNeverWritten) {
  for (int j = 0; j < 8; ++j) cam.asLine[j].byLineAux = static_cast<uint8_t>(0xA0 + j);
  std::memset(&osd.asCamera[1], 0x31, sizeof osd.asCamera[1]);
  std::memset(&osd.asCamera[3], 0x33, sizeof osd.asCamera[3]);
  const sOSDCommPara before = osd;
  form.Fill(osd);
  for (int j = 0; j < 8; ++j) form.texts[j].text = "line " + std::to_string(j);
  form.Store(osd);
  for (int j = 0; j < 8; ++j) {
    EXPECT_EQ(cam.asLine[j].byLineAux, 0xA0 + j);
    EXPECT_EQ(std::string(cam.asLine[j].szText), "line " + std::to_string(j));
  }
  EXPECT_EQ(Image(&osd, 0, kCamera2), Image(&before, 0, kCamera2));
  EXPECT_EQ(Image(&osd.asCamera[3], 0, 694), Image(&before.asCamera[3], 0, 694));
}

}  // namespace
}  // namespace quillon
