// The RS-485 page of the real main window against a simulated device, over real sockets inside
// the private network of scripts/netns-run.sh: "读取" fills the page, what is typed into every
// slot and gear table reaches the device with "下载", and the protocol decides which controls a
// user can reach. What arrived is read back through the simulator's own identifier table.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <optional>
#include <string>
#include <vector>

#include "qt/pages/remote_adjust_dlg.h"
#include "qt/pages/rs485_page.h"
#include "qt/widgets/tab_control.h"
#include "support/device_values.h"
#include "support/file_dialog_answers.h"
#include "support/main_window_run.h"
#include "support/modal_watch.h"
#include "support/qt_control.h"
#include "support/simulator_run.h"
#include "support/slot_values.h"
#include "text/gbk.h"
#include "text/number_text.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::MainWindowRun;
using fakes::SimulatorRun;

namespace {

constexpr const char* kMac = SimulatorRun::kCurrentMac;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// A choice made in a list, as the list reports a user's.
void Choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

// The main window with the current device read and the "485参数" tab in front.
struct Rs485Window : MainWindowRun {
  explicit Rs485Window(size_t devices = 1) {
    Search(devices);
    DoubleClick(kMac);
    EXPECT_TRUE(Until([&] {
      return LogHas("摄像头4字典读取成功...\r\n") && !CameraTextRequested();
    })) << Log();
    fakes::ById<CTabControl>(dlg, IDC_TABS)->TabBar()->setCurrentIndex(1);
  }
  CRs485Page& Page() { return *dlg.Rs485Page(); }
  // "读取", then the whole dictionary read.
  void ReadRs485() {
    QTest::mouseClick(fakes::ById<QPushButton>(Page(), IDC_RS485_READ), Qt::LeftButton);
    ASSERT_TRUE(Until([&] { return LogHas("正在读取字典,已完成100%\r\n"); })) << Log();
    Settle();
  }
};

// The window with the RS-485 page read from the device.
struct ReadRs485Window : Rs485Window {
  ReadRs485Window() { ReadRs485(); }
};

// The page shows slot `k` of `modbus` as the device holds it.
void ExpectPageShows(CRs485Page& page, const sSlotPara& s, int k) {
  SCOPED_TRACE("slot " + std::to_string(k + 1));
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_RS485_SLOT)->currentText(),
            QStringLiteral("槽位%1").arg(k + 1));
  EXPECT_EQ(fakes::ById<QCheckBox>(page, IDC_SLOT_ENABLE)->isChecked(), s.byEnable != 0);
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_SLOT_CHANNEL)->currentIndex(), s.byChannel);
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_SLAVE_ADDR)->text(),
            QString::number(s.bySlaveAddr));
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_SLOT_FUNC_CODE)->currentText(),
            s.byFuncCode == 4 ? "04" : "03");
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_START_REG)->text(), QString::number(s.wStartReg));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_REG_COUNT)->text(), QString::number(s.wRegCount));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_DATA_OFFSET)->text(),
            QString::number(s.wDataOffset));
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_SLOT_DATA_TYPE)->currentIndex(),
            static_cast<int>(s.dwDataType));
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_SLOT_DECIMALS)->currentIndex(), s.byDecimals);
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_SCALE_A)->text(), Q(FormatReal(s.fScaleA)));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_OFFSET_B)->text(), Q(FormatReal(s.fOffsetB)));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_NAME)->text(),
            Q(LoadGbkText(s.szName, sizeof s.szName)));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_UNIT)->text(),
            Q(LoadGbkText(s.szUnit, sizeof s.szUnit)));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_DATA_BITS)->text(),
            QString::number(s.byDataBits));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_ALARM_VALUE)->text(),
            Q(FormatReal(s.fAlarmValue)));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_ALARM_TEXT)->text(),
            Q(LoadGbkText(s.szAlarmText, sizeof s.szAlarmText)));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_NORMAL_TEXT)->text(),
            Q(LoadGbkText(s.szNormalText, sizeof s.szNormalText)));
}

TEST(Rs485E2e, ReadFillsThePageFromTheDevice) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  Rs485Window w;
  // Download stays refused until the RS-485 parameters were read.
  QTest::mouseClick(fakes::ById<QPushButton>(w.Page(), IDC_RS485_DOWNLOAD), Qt::LeftButton);
  ASSERT_EQ(w.notifier.Count(), 1u);
  EXPECT_EQ(w.notifier.Boxes()[0].text, "请先读取485参数后下载");

  w.ReadRs485();
  EXPECT_EQ(w.notifier.Count(), 1u);
  const auto device = sim.State(kMac);
  ASSERT_TRUE(device);
  const sModBusPara& m = device->modbus;
  CRs485Page& page = w.Page();
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL)->currentIndex(), m.byProtocol);
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_RS485_POLL_INTERVAL)->text(),
            QString::number(m.wPollInterval));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_RS485_TIMEOUT)->text(), QString::number(m.wTimeout));
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_RS485_RETRY_LIMIT)->text(),
            QString::number(m.wRetryLimit));
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_RS485_BAUD_RATE)->currentText(),
            QString::number(m.dwBaudRate));
  EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_RS485_PARITY)->currentIndex(), m.byParity);
  for (int k = 0; k < 16; ++k) {
    if (k > 0)
      QTest::keyClick(fakes::ById<QComboBox>(page, IDC_RS485_SLOT), Qt::Key_Down);  // the next slot
    ExpectPageShows(page, m.asSlot[k], k);
  }
  EXPECT_EQ(sim.CountLogLines("dict-write"), 0);
}

// What is typed into slot k: a distinct value for every field, the gear table included.
struct SlotInput {
  explicit SlotInput(int k)
      : enable(k % 2 == 0),
        channel((k + 3) % 8),
        slave(10 + k),
        funcIndex(k % 2),
        startReg(40001 + 37 * k),
        regCount(1 + k % 4),
        dataOffset(100 + k),
        dataType(14 - k % 15),
        decimals(k % 4),
        scaleA(-2.5f + 0.125f * static_cast<float>(k)),
        offsetB(1000.5f - static_cast<float>(k)),
        alarmValue(50.25f + static_cast<float>(k)),
        dataBits(3 + k % 6),
        name("测点" + std::to_string(k + 1) + "号出口压力变送器"),
        unit(k % 2 ? "立方米" : "kPa"),
        alarmText("超限" + std::to_string(k)),
        normalText("正常" + std::to_string(k)) {
    for (int j = 0; j < 8; ++j) {
      gearValue[j] = static_cast<float>(10 * k) + 0.5f * static_cast<float>(j);
      gearText[j] = "档" + std::to_string(k) + "-" + std::to_string(j);
    }
    gearText[8] = "其他" + std::to_string(k);
  }
  bool enable;
  int channel, slave, funcIndex, startReg, regCount, dataOffset, dataType, decimals;
  float scaleA, offsetB, alarmValue;
  int dataBits;
  std::string name, unit, alarmText, normalText;
  float gearValue[8];
  std::string gearText[9];
};

// Opens the gear dialog with the page's button and saves the table, as a user does.
void TypeGearTable(CRs485Page& page, const SlotInput& in) {
  bool saved = false;
  fakes::ModalWatch watch([&](QWidget* modal) {
    auto* dlg = qobject_cast<CRemoteAdjustDlg*>(modal);
    ASSERT_TRUE(dlg);
    for (int j = 0; j < 8; ++j)
      fakes::ById<QLineEdit>(dlg, GearValueId(j))->setText(Q(FormatReal(in.gearValue[j])));
    for (int j = 0; j < 9; ++j)
      fakes::ById<QLineEdit>(dlg, GearTextId(j))->setText(Q(in.gearText[j]));
    QTest::mouseClick(fakes::ById<QPushButton>(dlg, IDC_GEAR_SAVE), Qt::LeftButton);
    saved = true;
  });
  QTest::mouseClick(fakes::ById<QPushButton>(page, IDC_SLOT_REMOTE_ADJUST), Qt::LeftButton);
  ASSERT_TRUE(saved);
}

void TypeSlot(CRs485Page& page, const SlotInput& in) {
  fakes::ById<QCheckBox>(page, IDC_SLOT_ENABLE)->setChecked(in.enable);
  Choose(fakes::ById<QComboBox>(page, IDC_SLOT_CHANNEL), in.channel);
  fakes::ById<QLineEdit>(page, IDC_SLOT_SLAVE_ADDR)->setText(QString::number(in.slave));
  Choose(fakes::ById<QComboBox>(page, IDC_SLOT_FUNC_CODE), in.funcIndex);
  fakes::ById<QLineEdit>(page, IDC_SLOT_START_REG)->setText(QString::number(in.startReg));
  fakes::ById<QLineEdit>(page, IDC_SLOT_REG_COUNT)->setText(QString::number(in.regCount));
  fakes::ById<QLineEdit>(page, IDC_SLOT_DATA_OFFSET)->setText(QString::number(in.dataOffset));
  Choose(fakes::ById<QComboBox>(page, IDC_SLOT_DECIMALS), in.decimals);
  fakes::ById<QLineEdit>(page, IDC_SLOT_SCALE_A)->setText(Q(FormatReal(in.scaleA)));
  fakes::ById<QLineEdit>(page, IDC_SLOT_OFFSET_B)->setText(Q(FormatReal(in.offsetB)));
  fakes::ById<QLineEdit>(page, IDC_SLOT_NAME)->setText(Q(in.name));
  fakes::ById<QLineEdit>(page, IDC_SLOT_UNIT)->setText(Q(in.unit));
  fakes::ById<QLineEdit>(page, IDC_SLOT_DATA_BITS)->setText(QString::number(in.dataBits));
  fakes::ById<QLineEdit>(page, IDC_SLOT_ALARM_VALUE)->setText(Q(FormatReal(in.alarmValue)));
  fakes::ById<QLineEdit>(page, IDC_SLOT_ALARM_TEXT)->setText(Q(in.alarmText));
  fakes::ById<QLineEdit>(page, IDC_SLOT_NORMAL_TEXT)->setText(Q(in.normalText));
  // The gear button is there for "遥调" only; the slot's own type comes last.
  Choose(fakes::ById<QComboBox>(page, IDC_SLOT_DATA_TYPE), DT_REMOTE_ADJUST);
  TypeGearTable(page, in);
  Choose(fakes::ById<QComboBox>(page, IDC_SLOT_DATA_TYPE), in.dataType);
}

// The device's parameters as the test expects them from what it typed, field by field; nothing
// is taken from the device.
sModBusPara Expected() {
  sModBusPara m{};
  fakes::SetPort(m, {PROTOCOL_MODBUS, 2500, 65535, 7, 115200, 1});
  for (int k = 0; k < 16; ++k) {
    const SlotInput in(k);
    sSlotPara& s = m.asSlot[k];
    fakes::SetSlot(s, {static_cast<uint8_t>(in.enable ? 1 : 0), static_cast<uint8_t>(in.channel),
                       static_cast<uint8_t>(in.slave), static_cast<uint8_t>(in.funcIndex ? 4 : 3),
                       static_cast<uint16_t>(in.startReg), static_cast<uint16_t>(in.regCount),
                       static_cast<uint16_t>(in.dataOffset), static_cast<uint32_t>(in.dataType),
                       static_cast<uint8_t>(in.decimals), in.scaleA, in.offsetB});
    s.fAlarmValue = in.alarmValue;
    s.byDataBits = static_cast<uint8_t>(in.dataBits);
    StoreGbkText(s.szName, 30, in.name);
    StoreGbkText(s.szUnit, 8, in.unit);
    StoreGbkText(s.szAlarmText, 10, in.alarmText);
    StoreGbkText(s.szNormalText, 10, in.normalText);
    for (int j = 0; j < 8; ++j) s.afGearValue[j] = in.gearValue[j];
    for (int j = 0; j < 9; ++j) StoreGbkText(s.aszGearText[j], 10, in.gearText[j]);
  }
  return m;
}

TEST(Rs485E2e, EverySlotAndGearTableTypedReachesTheDevice) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  ReadRs485Window w;
  CRs485Page& page = w.Page();

  Choose(fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL), PROTOCOL_MODBUS);
  fakes::ById<QLineEdit>(page, IDC_RS485_POLL_INTERVAL)->setText("2500");
  fakes::ById<QLineEdit>(page, IDC_RS485_TIMEOUT)->setText("65535");
  fakes::ById<QLineEdit>(page, IDC_RS485_RETRY_LIMIT)->setText("7");
  Choose(fakes::ById<QComboBox>(page, IDC_RS485_BAUD_RATE), 6);
  Choose(fakes::ById<QComboBox>(page, IDC_RS485_PARITY), 1);
  for (int k = 0; k < 16; ++k) {
    if (k > 0) QTest::keyClick(fakes::ById<QComboBox>(page, IDC_RS485_SLOT), Qt::Key_Down);
    ASSERT_EQ(w.Session().Forms().rs485.CurrentSlot(), k);
    ASSERT_NO_FATAL_FAILURE(TypeSlot(page, SlotInput(k)));
  }
  QTest::mouseClick(fakes::ById<QPushButton>(page, IDC_RS485_DOWNLOAD), Qt::LeftButton);
  ASSERT_TRUE(w.Until([&] { return w.LogHas("正在下载字典,已完成100%\r\n"); })) << w.Log();
  w.Settle();
  EXPECT_EQ(w.Log().rfind("正在下载字典... \r\n", 0), 0u);  // the log was emptied first

  const auto device = sim.State(kMac);
  ASSERT_TRUE(device);
  const sModBusPara expected = Expected();
  const sModBusPara& index = w.Block().modbus;
  ASSERT_EQ(index.wDictCount, 566);
  const std::vector<int> differ =
      fakes::EntriesNotHolding(index, device->modbus, expected, expected, index.wDictCount);
  EXPECT_TRUE(differ.empty()) << differ.size() << " identifiers differ, the first "
                              << index.awDictId[differ.front()];
  EXPECT_EQ(sim.CountLogLines("dict-write"), 19);
  EXPECT_EQ(w.notifier.Count(), 0u);
}

TEST(Rs485E2e, InternalProtocolLeavesOnlyTheLineSettingsReachable) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  ReadRs485Window w;
  CRs485Page& page = w.Page();
  ASSERT_EQ(fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL)->currentIndex(), PROTOCOL_MODBUS);
  fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL)->setFocus();
  QTest::keyClick(fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL), Qt::Key_Up);  // "内部规约"
  ASSERT_EQ(fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL)->currentText(),
            QStringLiteral("内部规约"));

  const QStringList reachable = {"485口通信协议：", "485通信波特率：", "奇偶校验：", "读取",
                                 "下载"};
  int controls = 0;
  for (QWidget* control : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QComboBox*>(control) &&
        !qobject_cast<QCheckBox*>(control) && !qobject_cast<QPushButton*>(control))
      continue;
    ++controls;
    EXPECT_EQ(control->isEnabled(), reachable.contains(control->accessibleName()))
        << control->accessibleName().toStdString();
  }
  EXPECT_EQ(controls, 27);

  // Back to Modbus: everything but what the slot's data type rules out.
  QTest::keyClick(fakes::ById<QComboBox>(page, IDC_RS485_PROTOCOL), Qt::Key_Down);
  EXPECT_TRUE(fakes::ById<QComboBox>(page, IDC_RS485_SLOT)->isEnabled());
  EXPECT_TRUE(fakes::ById<QLineEdit>(page, IDC_SLOT_NAME)->isEnabled());
  const int type = fakes::ById<QComboBox>(page, IDC_SLOT_DATA_TYPE)->currentIndex();
  EXPECT_EQ(fakes::ById<QPushButton>(page, IDC_SLOT_REMOTE_ADJUST)->isEnabled(),
            type == DT_REMOTE_ADJUST);
  EXPECT_EQ(fakes::ById<QLineEdit>(page, IDC_SLOT_ALARM_TEXT)->isEnabled(), type == DT_SWITCH);
}

// A device that falls quiet at the fourth read chunk: after "读取失败" the slots it never sent
// must not go back to it, so "下载" is refused.
TEST(Rs485E2e, ADownloadAfterAReadCutShortIsRefused) {
  SimulatorRun sim;
  // Its parameter read, the four camera-text reads, then three read chunks.
  ASSERT_TRUE(sim.Start({"--silent-after", "8"})) << sim.Error();
  Rs485Window w;
  QTest::mouseClick(fakes::ById<QPushButton>(w.Page(), IDC_RS485_READ), Qt::LeftButton);
  ASSERT_TRUE(w.Until([&] { return w.notifier.Count() == 1; }, 60s)) << w.Log();
  EXPECT_EQ(w.notifier.Boxes()[0].text, "读取失败");
  QTest::mouseClick(fakes::ById<QPushButton>(w.Page(), IDC_RS485_DOWNLOAD), Qt::LeftButton);
  ASSERT_EQ(w.notifier.Count(), 2u);
  EXPECT_EQ(w.notifier.Boxes()[1].text, "请先读取485参数后下载");
  EXPECT_EQ(sim.CountLogLines("dict-write"), 0);
}

// Device A's slots on the page, device B double-clicked: "下载" asks first; "否" sends nothing,
// "是" gives B exactly A's values.
TEST(Rs485E2e, AnotherDevicesSlotsGoOutOnlyWhenTheUserSaysSo) {
  SimulatorRun sim({SimulatorRun::kCurrentDevice, SimulatorRun::kLegacyDevice});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  Rs485Window w(2);
  w.ReadRs485();
  w.DoubleClick(SimulatorRun::kLegacyMac);
  ASSERT_TRUE(w.Until([&] { return w.LogHas("读取参数成功\r\n"); })) << w.Log();
  for (const bool yes : {false, true}) {
    w.notifier.yes = yes;
    QTest::mouseClick(fakes::ById<QPushButton>(w.Page(), IDC_RS485_DOWNLOAD), Qt::LeftButton);
    ASSERT_EQ(w.notifier.Count(), yes ? 2u : 1u);
    EXPECT_EQ(w.notifier.Boxes().back().caption, "提示");
    EXPECT_NE(w.notifier.Boxes().back().text.find("00E04C3A1B01"), std::string::npos);
    EXPECT_NE(w.notifier.Boxes().back().text.find("00E04C3A1B02"), std::string::npos);
  }
  ASSERT_TRUE(w.Until([&] { return w.LogHas("正在下载字典,已完成100%\r\n"); })) << w.Log();
  EXPECT_EQ(sim.CountLogLines("dict-write"), 19);
  const auto a = sim.State(kMac);
  const auto b = sim.State(SimulatorRun::kLegacyMac);
  ASSERT_TRUE(a && b);
  const sModBusPara& index = w.Block().modbus;
  EXPECT_TRUE(
      fakes::EntriesNotHolding(index, b->modbus, a->modbus, a->modbus, index.wDictCount).empty());
}

// "导入参数" while the download runs is refused, and the device gets exactly the page's values.
TEST(Rs485E2e, AnImportDuringADownloadIsRefused) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  ReadRs485Window w;
  const fakes::FileDialogAnswers files([](const std::string&) { return std::nullopt; });
  fakes::ById<QLineEdit>(w.Page(), IDC_SLOT_NAME)->setText(QStringLiteral("页面上的名称"));
  QTest::mouseClick(fakes::ById<QPushButton>(w.Page(), IDC_RS485_DOWNLOAD), Qt::LeftButton);
  QTest::mouseClick(fakes::ById<QPushButton>(w.dlg, IDC_IMPORT), Qt::LeftButton);
  ASSERT_TRUE(w.Until([&] { return w.LogHas("正在下载字典,已完成100%\r\n"); })) << w.Log();
  ASSERT_EQ(w.notifier.Count(), 1u);
  EXPECT_EQ(w.notifier.Boxes()[0].text, "正在传输参数，请等待本次传输结束后再操作");
  EXPECT_TRUE(files.Offered().empty());
  const auto device = sim.State(kMac);
  ASSERT_TRUE(device);
  const sModBusPara& page = w.Block().modbus;
  EXPECT_TRUE(fakes::EntriesNotHolding(page, device->modbus, page, page, page.wDictCount).empty());
  EXPECT_EQ(LoadGbkText(device->modbus.asSlot[0].szName, 31), "页面上的名称");
}

}  // namespace
