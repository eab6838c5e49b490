// The RS-485 page's and the gear dialog's rules on their forms: what Fill shows, what Store and
// a slot change write (byte for byte), the control states, and the gear table of the shown slot;
// and every text field of every page kept within its byte limit.
#include "forms/rs485_form.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "forms/dialog_layout.h"
#include "forms/gear_form.h"
#include "forms/page_forms.h"
#include "support/block_bytes.h"
#include "support/list_items.h"
#include "support/slot_values.h"
#include "text/gbk.h"

namespace quillon {
namespace {

using fakes::Image;
using fakes::ListItems;
using fakes::SetPort;
using fakes::SetSlot;
using fakes::WalkEveryItem;

class Rs485FormTest : public testing::Test {
 protected:
  // A user's choice in a list.
  static void Pick(ListChoice& list, int index) { list.Select(index); }

  sModBusPara model{};
  Rs485Form form;
};

TEST_F(Rs485FormTest, ShowsTheBlockAndStoresBackWhatTheListsCanHold) {
  // A baud rate and a parity that are not in the lists.
  SetPort(model, {1, 1000, 65535, 0, 1200, 5});
  sSlotPara& s = model.asSlot[0];
  SetSlot(s, {2, 8, 255, 6, 65535, 0, 0, 20, 3, 0.0004f, -0.5f});
  s.fAlarmValue = 12.3456f;
  StoreGbkText(s.szName, 30, "一号泵站出口压力变送器");
  std::memcpy(s.szUnit, "12345678", 9);
  StoreGbkText(s.szAlarmText, 10, "超压告警");
  s.byDataBits = 200;
  model.asSlot[1].byEnable = 1;
  form.Fill(model);

  EXPECT_EQ(form.protocol.Text(), "标准ModBus规约");
  EXPECT_EQ(form.pollInterval, "1000");
  EXPECT_EQ(form.timeout, "65535");
  EXPECT_EQ(form.retryLimit, "0");
  EXPECT_EQ(form.baudRate.Text(), "2400");
  EXPECT_EQ(form.parity.Selected(), -1);
  EXPECT_EQ(form.slot.Text(), "槽位1");
  EXPECT_TRUE(form.enable);
  EXPECT_EQ(form.channel.Selected(), -1);
  EXPECT_EQ(form.slaveAddr, "255");
  EXPECT_EQ(form.funcCode.Text(), "03");
  EXPECT_EQ(form.startReg, "65535");
  EXPECT_EQ(form.dataType.Selected(), -1);
  EXPECT_EQ(form.decimals.Text(), "3");
  EXPECT_EQ(form.scaleA, "0.000");
  EXPECT_EQ(form.offsetB, "-0.500");
  EXPECT_EQ(form.alarmValue, "12.346");
  EXPECT_EQ(form.name.text, "一号泵站出口压力变送器");
  EXPECT_EQ(form.unit.text, "12345678");
  EXPECT_EQ(form.alarmText.text, "超压告警");
  EXPECT_EQ(form.dataBits, "200");

  // Storing back untouched: what a list cannot show comes back as its own value or as none.
  const sModBusPara before = model;
  EXPECT_FALSE(form.Store(model));
  EXPECT_EQ(model.dwBaudRate, 2400u);
  EXPECT_EQ(model.byParity, 255);
  EXPECT_EQ(s.byEnable, 1);
  EXPECT_EQ(s.byChannel, 255);
  EXPECT_EQ(s.byFuncCode, 3);
  EXPECT_EQ(s.dwDataType, 0xFFFFFFFFu);
  EXPECT_EQ(s.fScaleA, 0.0f);  // rounded to three decimals on the way
  EXPECT_EQ(s.fAlarmValue, 12.346f);
  EXPECT_EQ(Image(&s, 28, 40), Image(&before.asSlot[0], 28, 40));  // name and unit
  EXPECT_EQ(Image(&s, 72, 22), Image(&before.asSlot[0], 72, 22));  // switch texts
  EXPECT_EQ(Image(&model.asSlot[1], 0, sizeof(sSlotPara)),
            Image(&before.asSlot[1], 0, sizeof(sSlotPara)));
}

TEST_F(Rs485FormTest, StoresEveryFieldAtItsOffset) {
  form.Fill(model);
  ASSERT_FALSE(form.ChangeSlot(2, model));
  Pick(form.protocol, 1);
  form.pollInterval = "70000";
  form.timeout = "-1";
  form.retryLimit = "abc";
  Pick(form.baudRate, 6);
  Pick(form.parity, 2);
  form.enable = true;
  Pick(form.channel, 7);
  form.slaveAddr = "300";
  Pick(form.funcCode, 1);
  form.startReg = "40001";
  form.regCount = "2";
  form.dataOffset = "12abc";
  Pick(form.dataType, 14);
  Pick(form.decimals, 3);
  form.scaleA = "1.5e2";
  form.offsetB = "abc";
  form.name.text = "AB";
  form.unit.text = "℃";
  form.alarmValue = "-0.5";
  form.alarmText.text = "报警";
  form.normalText.text = "正常";
  form.dataBits = "-1";

  sModBusPara stored;
  std::memset(&stored, 0xEE, sizeof stored);
  EXPECT_FALSE(form.Store(stored));
  EXPECT_EQ(Image(&stored, 0, 16), std::string("\x01\xEE\x70\x11\xFF\xFF\x00\x00"
                                               "\x00\xC2\x01\x00\x02\xEE\xEE\xEE",
                                               16));
  const size_t slot3 = 16 + 2 * 228;
  EXPECT_EQ(Image(&stored, slot3, 32), std::string("\x01\x07\x2C\x04\x41\x9C\x02\x00"
                                                   "\x0C\x00\xEE\xEE\x0E\x00\x00\x00"
                                                   "\x03\xEE\xEE\xEE\x00\x00\x16\x43"
                                                   "\x00\x00\x00\x00\x41\x42\x00\xEE",
                                                   32));
  EXPECT_EQ(Image(&stored, slot3 + 59, 3), std::string("\xA1\xE6\x00", 3));
  EXPECT_EQ(Image(&stored, slot3 + 68, 20), std::string("\x00\x00\x00\xBF\xB1\xA8\xBE\xAF\x00"
                                                        "\xEE\xEE\xEE\xEE\xEE\xEE"
                                                        "\xD5\xFD\xB3\xA3\x00",
                                                        20));
  EXPECT_EQ(Image(&stored, slot3 + 96, 4), std::string(4, '\xEE'));  // gears: not the page's
  EXPECT_EQ(Image(&stored, slot3 + 227, 1), "\xFF");
  // Only the shown slot is stored.
  EXPECT_EQ(Image(&stored, 16, 228), std::string(228, '\xEE'));
}

TEST_F(Rs485FormTest, AFormNeverFilledStoresNothing) {
  sModBusPara stored;
  std::memset(&stored, 0xEE, sizeof stored);
  const sModBusPara before = stored;
  EXPECT_FALSE(form.Store(stored));
  EXPECT_EQ(Image(&stored, 0, sizeof stored), Image(&before, 0, sizeof stored));
  EXPECT_EQ(form.CurrentSlot(), 15);
  // Nor does a slot change on a form that never showed one.
  std::memset(&model, 0x31, sizeof model);
  const sModBusPara shown = model;
  EXPECT_FALSE(form.ChangeSlot(3, model));
  EXPECT_EQ(Image(&model, 0, sizeof model), Image(&shown, 0, sizeof model));
  EXPECT_EQ(form.CurrentSlot(), 3);
}

// Each value as the page shows it, written out here apart from the program's tables.
TEST_F(Rs485FormTest, EveryListItemBothWays) {
  std::vector<ListItems> lists = {
      {&form.protocol, 0, 1, {{0, "内部规约"}, {1, "标准ModBus规约"}}},
      {&form.baudRate,
       8,
       4,
       {{2400, "2400"},
        {4800, "4800"},
        {9600, "9600"},
        {19200, "19200"},
        {38400, "38400"},
        {57600, "57600"},
        {115200, "115200"}}},
      {&form.parity, 12, 1, {{0, "无校验"}, {1, "奇校验"}, {2, "偶校验"}}},
      {&form.channel, 16 + 1, 1, {}},
      {&form.funcCode, 16 + 3, 1, {{3, "03"}, {4, "04"}}},
      {&form.dataType, 16 + 12, 4, {}},
      {&form.decimals, 16 + 16, 1, {{0, "0"}, {1, "1"}, {2, "2"}, {3, "3"}}},
  };
  for (uint32_t c = 0; c < 8; ++c) lists[3].items.push_back({c, "通道" + std::to_string(c + 1)});
  const char* const types[] = {"16位无符号整型-大端",
                               "16位无符号整型-小端",
                               "16位有符号整型-大端",
                               "16位有符号整型-小端",
                               "32位无符号整型-大端",
                               "32位无符号整型-小端",
                               "32位无符号整型-低Word高Byte",
                               "32位有符号整型-大端",
                               "32位有符号整型-小端",
                               "32位有符号整型-低Word高Byte",
                               "浮点型-大端",
                               "浮点型-小端",
                               "浮点型-低Word高Byte",
                               "开关量",
                               "遥调"};
  for (uint32_t t = 0; t < 15; ++t) lists[5].items.push_back({t, types[t]});
  WalkEveryItem(
      model, lists, [&] { form.Fill(model); }, [&] { form.Store(model); });
  for (int k = 0; k < 16; ++k)
    EXPECT_EQ(form.slot.Items()[k].label, "槽位" + std::to_string(k + 1));
}

// Text typed into a list is its item when it is an item's text; any other text is refused: the
// form names the list and stores nothing, and leaving the slot keeps it shown.
TEST_F(Rs485FormTest, TypedTextInAListIsAnItemOrRefused) {
  model.byProtocol = 1;
  form.Fill(model);
  EXPECT_EQ(form.dataType.Type("遥调"), 14);
  form.UpdateControlStates();
  EXPECT_TRUE(form.Enabled(IDC_SLOT_REMOTE_ADJUST));
  EXPECT_FALSE(form.dataType.Type("遥调x"));
  form.UpdateControlStates();
  EXPECT_FALSE(form.Enabled(IDC_SLOT_REMOTE_ADJUST));  // the states follow what is typed
  EXPECT_FALSE(form.dataType.Type("遥调"));  // the item that stayed selected: no new choice
  EXPECT_EQ(form.slot.Type("槽位3"), 2);     // a slot's label picks it
  ASSERT_FALSE(form.ChangeSlot(2, model));
  EXPECT_EQ(form.CurrentSlot(), 2);

  form.parity.Type(" 无校验");
  sModBusPara stored = model;
  const std::optional<RefusedList> refused = form.Store(stored);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->name, "奇偶校验");
  EXPECT_EQ(refused->text, " 无校验");
  EXPECT_EQ(Image(&stored, 0, sizeof stored), Image(&model, 0, sizeof stored));
  form.parity.Type("无校验");

  form.channel.Type("通道9");
  form.name.text = "kept";
  const sModBusPara before = model;
  const std::optional<RefusedList> leaving = form.ChangeSlot(5, model);
  ASSERT_TRUE(leaving);
  EXPECT_EQ(leaving->name, "视频通道显示位置");
  EXPECT_EQ(form.CurrentSlot(), 2);
  EXPECT_EQ(form.slot.Selected(), 2);
  EXPECT_EQ(form.name.text, "kept");
  EXPECT_EQ(form.channel.Text(), "通道9");
  EXPECT_EQ(Image(&model, 0, sizeof model), Image(&before, 0, sizeof model));
}

TEST_F(Rs485FormTest, LeavingASlotStoresItWhole) {
  StoreGbkText(model.asSlot[1].szName, 30, "二号");
  form.Fill(model);
  const std::string eleven = "一号泵站出口压力变送器";  // 22 bytes
  form.name.text = eleven;
  form.unit.text = "1234567";
  form.pollInterval = "900";
  ASSERT_FALSE(form.ChangeSlot(1, model));
  EXPECT_EQ(LoadGbkText(model.asSlot[0].szName, 31), eleven);
  EXPECT_EQ(LoadGbkText(model.asSlot[0].szUnit, 9), "1234567");
  EXPECT_EQ(model.wPollInterval, 0);  // the port settings wait for the download
  EXPECT_EQ(form.name.text, "二号");
  ASSERT_FALSE(form.ChangeSlot(0, model));
  EXPECT_EQ(form.name.text, eleven);

  // A label typed into the selector's edit field does not move the shown slot.
  form.slot.SetState(0, "槽位9");
  form.name.text = "三号";
  form.Store(model);
  EXPECT_EQ(LoadGbkText(model.asSlot[0].szName, 31), "三号");
  EXPECT_EQ(model.asSlot[8].szName[0], '\0');
  EXPECT_EQ(model.asSlot[15].szName[0], '\0');
}

TEST_F(Rs485FormTest, ShowingTheBlockStoresNothing) {
  // Floats of many decimals and texts without terminators: any store would change them.
  std::memset(&model.asSlot[4], 0x41, sizeof(sSlotPara));
  form.Fill(model);
  ASSERT_FALSE(form.ChangeSlot(4, model));
  const sModBusPara before = model;
  form.Fill(model);  // back to slot 1 by the form's own selection
  EXPECT_EQ(Image(&model, 0, sizeof model), Image(&before, 0, sizeof model));
  EXPECT_EQ(form.slot.Text(), "槽位1");
  EXPECT_EQ(form.CurrentSlot(), 0);
}

TEST_F(Rs485FormTest, ControlStatesFollowTheUsersChoice) {
  using enum Rs485Control;
  auto enabled = [&](Rs485Control c) { return form.Enabled(Rs485ControlId(c)); };
  for (int c = 0; c < kRs485ControlCount; ++c)
    EXPECT_TRUE(enabled(static_cast<Rs485Control>(c)));  // as made
  model.byProtocol = 1;
  model.asSlot[0].dwDataType = DT_U32_BE;
  form.Fill(model);
  EXPECT_FALSE(enabled(RemoteAdjust));
  EXPECT_FALSE(enabled(AlarmText));
  EXPECT_TRUE(enabled(Unit));
  Pick(form.dataType, DT_SWITCH);
  form.UpdateControlStates();
  EXPECT_TRUE(enabled(AlarmText));
  EXPECT_FALSE(enabled(Unit));
  Pick(form.dataType, DT_REMOTE_ADJUST);
  form.UpdateControlStates();
  EXPECT_TRUE(enabled(RemoteAdjust));
  EXPECT_FALSE(enabled(AlarmValue));

  Pick(form.protocol, PROTOCOL_INTERNAL);
  form.UpdateControlStates();
  for (int c = 0; c < kRs485ControlCount; ++c) {
    const auto control = static_cast<Rs485Control>(c);
    EXPECT_EQ(enabled(control), control == BaudRate || control == Parity) << c;
  }
  for (int always : {IDC_RS485_PROTOCOL, IDC_RS485_READ, IDC_RS485_DOWNLOAD})
    EXPECT_TRUE(form.Enabled(always));
  // Disabled controls keep their text, and it is stored.
  form.name.text = "温度";
  form.Store(model);
  EXPECT_EQ(LoadGbkText(model.asSlot[0].szName, 31), "温度");
  EXPECT_EQ(model.asSlot[0].dwDataType, uint32_t{DT_REMOTE_ADJUST});

  Pick(form.protocol, PROTOCOL_MODBUS);
  form.UpdateControlStates();
  EXPECT_TRUE(enabled(SlotSelector));
  EXPECT_TRUE(enabled(RemoteAdjust));
  EXPECT_FALSE(enabled(Unit));
  // Every rule names a control of the page.
  for (int c = 0; c < kRs485ControlCount; ++c)
    EXPECT_NO_THROW(Rs485PageLayout().Control(Rs485ControlId(static_cast<Rs485Control>(c))));
}

TEST(GearForm, TableOfTheSlotIsLoadedAndSavedThere) {
  sModBusPara model{};
  sSlotPara& s = model.asSlot[4];
  s.afGearValue[0] = 12.3456f;
  StoreGbkText(s.aszGearText[8], 10, "其他");
  StoreGbkText(s.szName, 30, "not the dialog's");
  GearForm form;
  form.Fill(model, 4 + 16);  // the slot modulo 16
  EXPECT_EQ(form.Slot(), 4);
  EXPECT_EQ(form.values[0], "12.346");
  EXPECT_EQ(form.values[7], "0.000");
  EXPECT_EQ(form.texts[8].text, "其他");
  form.values[1] = "12.3456";
  form.values[2] = "abc";
  form.values[3] = "1.5e1x";
  form.texts[0].text = "一二三四五六";  // 12 bytes: the first ten are kept
  const sModBusPara before = model;
  form.Store(model);
  EXPECT_EQ(s.afGearValue[0], 12.346f);
  EXPECT_EQ(s.afGearValue[1], 12.3456f);
  EXPECT_EQ(s.afGearValue[2], 0.0f);
  EXPECT_EQ(s.afGearValue[3], 15.0f);
  EXPECT_EQ(LoadGbkText(s.aszGearText[0], 11), "一二三四五");
  EXPECT_EQ(LoadGbkText(s.aszGearText[8], 11), "其他");
  // Nothing but the slot's gear table changes.
  const size_t gears = 16 + 4 * 228 + 96, end = 16 + 5 * 228;
  EXPECT_EQ(Image(&model, 0, gears), Image(&before, 0, gears));
  EXPECT_EQ(Image(&model, end, sizeof model - end), Image(&before, end, sizeof model - end));
}

// The nine rows of the gear table, each both ways: what the block holds shows in its box, and what
// is typed there is stored into that row, none into its neighbour's.
TEST(GearForm, EveryRowBothWays) {
  struct Row {
    float held;
    const char* shown;
    const char* typed;
    float stored;
    const char* heldText;
    const char* typedText;
  };
  const Row rows[GearForm::kTexts] = {
      {1.0f, "1.000", "-1", -1.0f, "停止", "关闭"},
      {2.5f, "2.500", "25", 25.0f, "低速", "一档"},
      {-3.25f, "-3.250", "0.125", 0.125f, "中速", "二档"},
      {4096.0f, "4096.000", "7.5", 7.5f, "高速", "三档"},
      {0.001f, "0.001", "100000", 100000.0f, "正转", "四档"},
      {-0.5f, "-0.500", "3", 3.0f, "反转", "五档"},
      {65535.0f, "65535.000", "-65535", -65535.0f, "检修", "六档"},
      {8.0f, "8.000", "9", 9.0f, "急停", "七档"},
      {0.0f, "", "", 0.0f, "其他数值", "未知档"},  // the text for any other value: no value
  };
  sModBusPara model{};
  sSlotPara& s = model.asSlot[9];
  for (int j = 0; j < GearForm::kTexts; ++j) {
    if (j < GearForm::kGears) s.afGearValue[j] = rows[j].held;
    StoreGbkText(s.aszGearText[j], 10, rows[j].heldText);
  }
  GearForm form;
  form.Fill(model, 9);
  for (int j = 0; j < GearForm::kTexts; ++j) {
    if (j < GearForm::kGears) {
      EXPECT_EQ(form.values[j], rows[j].shown) << j;
    }
    EXPECT_EQ(form.texts[j].text, rows[j].heldText) << j;
  }
  for (int j = 0; j < GearForm::kTexts; ++j) {
    if (j < GearForm::kGears) form.values[j] = rows[j].typed;
    form.texts[j].text = rows[j].typedText;
  }
  form.Store(model);
  for (int j = 0; j < GearForm::kTexts; ++j) {
    if (j < GearForm::kGears) {
      EXPECT_EQ(s.afGearValue[j], rows[j].stored) << j;
    }
    EXPECT_EQ(LoadGbkText(s.aszGearText[j], 11), rows[j].typedText) << j;
  }
}

// Each text field of the pages given a text longer than the field: it keeps at most its limit,
// cut between two characters, and its terminator lies inside the field.
TEST(FormTexts, EveryTextFieldKeepsItsLimitAndTerminator) {
  enum Field { SlotName, SlotUnit, AlarmText, NormalText, GearText, User, Password, LineText };
  struct Case {
    Field field;
    int count;          // how many fields of the kind: the gears, the cameras, their lines
    const char* typed;  // more GBK bytes than the field holds
    const char* kept;
    size_t keptBytes;
  };
  const Case cases[] = {
      {SlotName, 1, "1一二三四五六七八九十甲乙丙丁戊己", "1一二三四五六七八九十甲乙丙丁", 29},
      {SlotUnit, 1, "1单位名称号", "1单位名", 7},
      {AlarmText, 1, "1超压告警啊啊", "1超压告警", 9},
      {NormalText, 1, "1运行正常状态", "1运行正常", 9},
      {GearText, 9, "1低速档位一二", "1低速档位", 9},
      {User, 4, "管理员账号甲乙丙丁戊己庚辛壬癸子", "管理员账号甲乙丙丁戊己庚辛壬", 28},
      {Password, 4, "密码密码密码密码密码密码密码密码", "密码密码密码密码密码密码密码", 28},
      {LineText, 32, "1东门入口通道东门入口通道东门入口通道东门入口通道东门入口通道东门入口通道甲",
       "1东门入口通道东门入口通道东门入口通道东门入口通道东门入口通道东门入口通", 71},
  };
  for (const Case& c : cases) {
    for (int k = 0; k < c.count; ++k) {
      PageForms forms;
      sOSDCommPara osd{};
      sModBusPara modbus{};
      forms.net.Fill(osd);
      forms.rs485.Fill(modbus);
      forms.gear.Fill(modbus, 0);
      sSlotPara& s = modbus.asSlot[0];
      sCameraPara& camera = osd.asCamera[k % 4];
      const std::pair<GbkTextBox*, std::span<char>> fields[] = {
          {&forms.rs485.name, s.szName},
          {&forms.rs485.unit, s.szUnit},
          {&forms.rs485.alarmText, s.szAlarmText},
          {&forms.rs485.normalText, s.szNormalText},
          {&forms.gear.texts[k % 9], s.aszGearText[k % 9]},
          {&forms.net.cameras[k % 4].user, camera.szUser},
          {&forms.net.cameras[k % 4].password, camera.szPassword},
          {&forms.net.cameras[k / 8].texts[k % 8], osd.asCamera[k / 8].asLine[k % 8].szText},
      };
      const auto [box, field] = fields[c.field];
      box->text = c.typed;
      std::memset(&osd, 0xEE, sizeof osd);
      std::memset(&modbus, 0xEE, sizeof modbus);
      ASSERT_FALSE(forms.net.Store(osd));
      ASSERT_FALSE(forms.rs485.Store(modbus));
      forms.gear.Store(modbus);
      const std::string what = std::to_string(c.field) + "/" + std::to_string(k);
      EXPECT_LT(c.keptBytes, field.size()) << what;
      EXPECT_EQ(std::string(field.data(), c.keptBytes + 1), Utf8ToGbk(c.kept) + '\0') << what;
    }
  }
}

}  // namespace
}  // namespace quillon
