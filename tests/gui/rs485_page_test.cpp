// The RS-485 page and its gear dialog: what ParamsToPage shows, what PageToParams and a slot
// change store (byte for byte), the control states a user sees, the model lock, and the names
// that assistive tools read.
#include "pages/rs485_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "pages/remote_adjust_dlg.h"
#include "support/list_items.h"
#include "support/lock_probe.h"
#include "text/gbk.h"

using namespace quillon;
using fakes::ListItems;
using fakes::TypeIntoList;
using fakes::WaitsForTheLock;
using fakes::WalkEveryItem;
using namespace std::chrono_literals;

namespace {

// A user's choice in a list.
void Pick(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

QByteArray Image(const void* data, size_t offset, size_t size) {
  return QByteArray(static_cast<const char*>(data) + offset, static_cast<qsizetype>(size));
}

}  // namespace

class Rs485PageTest : public QObject {
  Q_OBJECT

 private:
  sModBusPara model_{};
  std::mutex mutex_;
  std::unique_ptr<CRs485Page> page_;

 private slots:
  void init() {
    std::memset(&model_, 0, sizeof model_);
    page_ = std::make_unique<CRs485Page>();
    page_->SetModel(&model_, &mutex_);
  }
  void cleanup() { page_.reset(); }

  void showsTheBlockAndStoresBackWhatTheListsCanHold() {
    model_.byProtocol = 1;
    model_.wPollInterval = 1000;
    model_.wTimeout = 65535;
    model_.dwBaudRate = 1200;  // not in the list
    model_.byParity = 5;       // not in the list
    sSlotPara& s = model_.asSlot[0];
    s.byEnable = 2;
    s.byChannel = 8;
    s.bySlaveAddr = 255;
    s.byFuncCode = 6;
    s.wStartReg = 65535;
    s.dwDataType = 20;
    s.byDecimals = 3;
    s.fScaleA = 0.0004f;
    s.fOffsetB = -0.5f;
    s.fAlarmValue = 12.3456f;
    StoreGbkText(s.szName, 30, "一号泵站出口压力变送器");
    std::memcpy(s.szUnit, "12345678", 9);
    StoreGbkText(s.szAlarmText, 10, "超压告警");
    s.byDataBits = 200;
    model_.asSlot[1].byEnable = 1;
    page_->ParamsToPage(model_);

    QCOMPARE(page_->ProtocolCombo()->currentText(), QStringLiteral("标准ModBus规约"));
    QCOMPARE(page_->PollIntervalBox()->text(), QStringLiteral("1000"));
    QCOMPARE(page_->TimeoutBox()->text(), QStringLiteral("65535"));
    QCOMPARE(page_->RetryLimitBox()->text(), QStringLiteral("0"));
    QCOMPARE(page_->BaudRateCombo()->currentText(), QStringLiteral("2400"));
    QCOMPARE(page_->ParityCombo()->currentIndex(), -1);
    QCOMPARE(page_->SlotCombo()->currentText(), QStringLiteral("槽位1"));
    QVERIFY(page_->EnableBox()->isChecked());
    QCOMPARE(page_->ChannelCombo()->currentIndex(), -1);
    QCOMPARE(page_->SlaveAddrBox()->text(), QStringLiteral("255"));
    QCOMPARE(page_->FuncCodeCombo()->currentText(), QStringLiteral("03"));
    QCOMPARE(page_->StartRegBox()->text(), QStringLiteral("65535"));
    QCOMPARE(page_->DataTypeCombo()->currentIndex(), -1);
    QCOMPARE(page_->DecimalsCombo()->currentText(), QStringLiteral("3"));
    QCOMPARE(page_->ScaleABox()->text(), QStringLiteral("0.000"));
    QCOMPARE(page_->OffsetBBox()->text(), QStringLiteral("-0.500"));
    QCOMPARE(page_->AlarmValueBox()->text(), QStringLiteral("12.346"));
    QCOMPARE(page_->NameBox()->text(), QStringLiteral("一号泵站出口压力变送器"));
    QCOMPARE(page_->UnitBox()->text(), QStringLiteral("12345678"));
    QCOMPARE(page_->AlarmTextBox()->text(), QStringLiteral("超压告警"));
    QCOMPARE(page_->DataBitsBox()->text(), QStringLiteral("200"));

    // Storing back untouched: what a list cannot show comes back as its own value or as none.
    const sModBusPara before = model_;
    page_->PageToParams(model_);
    QCOMPARE(model_.dwBaudRate, 2400u);
    QCOMPARE(model_.byParity, uint8_t{255});
    QCOMPARE(s.byEnable, uint8_t{1});
    QCOMPARE(s.byChannel, uint8_t{255});
    QCOMPARE(s.byFuncCode, uint8_t{3});
    QCOMPARE(s.dwDataType, 0xFFFFFFFFu);
    QCOMPARE(s.fScaleA, 0.0f);  // rounded to three decimals on the way
    QCOMPARE(s.fAlarmValue, 12.346f);
    QCOMPARE(Image(&s, 28, 40), Image(&before.asSlot[0], 28, 40));  // name and unit
    QCOMPARE(Image(&s, 72, 22), Image(&before.asSlot[0], 72, 22));  // switch texts
    QCOMPARE(std::memcmp(&model_.asSlot[1], &before.asSlot[1], sizeof(sSlotPara)), 0);
  }

  void storesEveryFieldAtItsOffset() {
    page_->ParamsToPage(model_);
    Pick(page_->SlotCombo(), 2);
    Pick(page_->ProtocolCombo(), 1);
    page_->PollIntervalBox()->setText("70000");
    page_->TimeoutBox()->setText("-1");
    page_->RetryLimitBox()->setText("abc");
    Pick(page_->BaudRateCombo(), 6);
    Pick(page_->ParityCombo(), 2);
    page_->EnableBox()->setChecked(true);
    Pick(page_->ChannelCombo(), 7);
    page_->SlaveAddrBox()->setText("300");
    Pick(page_->FuncCodeCombo(), 1);
    page_->StartRegBox()->setText("40001");
    page_->RegCountBox()->setText("2");
    page_->DataOffsetBox()->setText("12abc");
    Pick(page_->DataTypeCombo(), 14);
    Pick(page_->DecimalsCombo(), 3);
    page_->ScaleABox()->setText("1.5e2");
    page_->OffsetBBox()->setText("abc");
    page_->NameBox()->setText("AB");
    page_->UnitBox()->setText("℃");
    page_->AlarmValueBox()->setText("-0.5");
    page_->AlarmTextBox()->setText("报警");
    page_->NormalTextBox()->setText("正常");
    page_->DataBitsBox()->setText("-1");

    sModBusPara stored;
    std::memset(&stored, 0xEE, sizeof stored);
    page_->PageToParams(stored);
    QCOMPARE(Image(&stored, 0, 16), QByteArray("\x01\xEE\x70\x11\xFF\xFF\x00\x00"
                                               "\x00\xC2\x01\x00\x02\xEE\xEE\xEE",
                                               16));
    const size_t slot3 = 16 + 2 * 228;
    QCOMPARE(Image(&stored, slot3, 32), QByteArray("\x01\x07\x2C\x04\x41\x9C\x02\x00"
                                                   "\x0C\x00\xEE\xEE\x0E\x00\x00\x00"
                                                   "\x03\xEE\xEE\xEE\x00\x00\x16\x43"
                                                   "\x00\x00\x00\x00\x41\x42\x00\xEE",
                                                   32));
    QCOMPARE(Image(&stored, slot3 + 59, 3), QByteArray("\xA1\xE6\x00", 3));
    QCOMPARE(Image(&stored, slot3 + 68, 20), QByteArray("\x00\x00\x00\xBF\xB1\xA8\xBE\xAF\x00"
                                                        "\xEE\xEE\xEE\xEE\xEE\xEE"
                                                        "\xD5\xFD\xB3\xA3\x00",
                                                        20));
    QCOMPARE(Image(&stored, slot3 + 96, 4), QByteArray(4, '\xEE'));  // gears: not the page's
    QCOMPARE(Image(&stored, slot3 + 227, 1), QByteArray("\xFF", 1));
    // Only the shown slot is stored.
    QCOMPARE(Image(&stored, 16, 228), QByteArray(228, '\xEE'));
  }

  void aPageNeverFilledStoresNothing() {
    sModBusPara stored;
    std::memset(&stored, 0xEE, sizeof stored);
    const sModBusPara before = stored;
    QVERIFY(page_->PageToParams(stored));
    QCOMPARE(std::memcmp(&stored, &before, sizeof stored), 0);
    // Nor does a slot change on a page that never showed one.
    Pick(page_->SlotCombo(), 3);
    QCOMPARE(model_.asSlot[15].byChannel, uint8_t{0});
  }

  // Each value as the page shows it, written out here apart from the page's tables.
  void everyListItemBothWays() {
    std::vector<ListItems> lists = {
        {page_->ProtocolCombo(), 0, 1, {{0, "内部规约"}, {1, "标准ModBus规约"}}},
        {page_->BaudRateCombo(),
         8,
         4,
         {{2400, "2400"},
          {4800, "4800"},
          {9600, "9600"},
          {19200, "19200"},
          {38400, "38400"},
          {57600, "57600"},
          {115200, "115200"}}},
        {page_->ParityCombo(), 12, 1, {{0, "无校验"}, {1, "奇校验"}, {2, "偶校验"}}},
        {page_->ChannelCombo(), 16 + 1, 1, {}},
        {page_->FuncCodeCombo(), 16 + 3, 1, {{3, "03"}, {4, "04"}}},
        {page_->DataTypeCombo(), 16 + 12, 4, {}},
        {page_->DecimalsCombo(), 16 + 16, 1, {{0, "0"}, {1, "1"}, {2, "2"}, {3, "3"}}},
    };
    for (uint32_t c = 0; c < 8; ++c)
      lists[3].items.push_back({c, QStringLiteral("通道%1").arg(c + 1)});
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
    for (uint32_t t = 0; t < 15; ++t) lists[5].items.push_back({t, QString::fromUtf8(types[t])});
    WalkEveryItem(
        model_, lists, [&] { page_->ParamsToPage(model_); }, [&] { page_->PageToParams(model_); });
  }

  // Text typed into a list is its item when it is an item's text; any other text is refused:
  // the page names the list and stores nothing, and leaving the slot keeps it shown.
  void typedTextInAListIsAnItemOrRefused() {
    model_.byProtocol = 1;
    page_->ParamsToPage(model_);
    QSignalSpy refused(page_.get(), &CRs485Page::listRefused);
    TypeIntoList(page_->DataTypeCombo(), QStringLiteral("遥调"));
    QCOMPARE(page_->DataTypeCombo()->currentIndex(), 14);
    QVERIFY(page_->RemoteAdjustButton()->isEnabled());
    TypeIntoList(page_->DataTypeCombo(), QStringLiteral("遥调x"));
    QVERIFY(!page_->RemoteAdjustButton()->isEnabled());  // the states follow what is typed
    TypeIntoList(page_->DataTypeCombo(), QStringLiteral("遥调"));
    TypeIntoList(page_->SlotCombo(), QStringLiteral("槽位3"));  // a slot's label picks it
    QCOMPARE(page_->CurrentSlot(), 2);

    TypeIntoList(page_->ParityCombo(), QStringLiteral(" 无校验"));
    sModBusPara stored = model_;
    QVERIFY(!page_->PageToParams(stored));
    QCOMPARE(std::memcmp(&stored, &model_, sizeof stored), 0);
    QCOMPARE(page_->Unmatched()->name, QStringLiteral("奇偶校验"));
    QCOMPARE(page_->Unmatched()->text, QStringLiteral(" 无校验"));
    TypeIntoList(page_->ParityCombo(), QStringLiteral("无校验"));

    TypeIntoList(page_->ChannelCombo(), QStringLiteral("通道9"));
    page_->NameBox()->setText(QStringLiteral("kept"));
    const sModBusPara before = model_;
    Pick(page_->SlotCombo(), 5);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused[0][0].value<UnmatchedList>().name, QStringLiteral("视频通道显示位置"));
    QCOMPARE(page_->CurrentSlot(), 2);
    QCOMPARE(page_->SlotCombo()->currentIndex(), 2);
    QCOMPARE(page_->NameBox()->text(), QStringLiteral("kept"));
    QCOMPARE(std::memcmp(&model_, &before, sizeof model_), 0);
  }

  void leavingASlotStoresItWhole() {
    StoreGbkText(model_.asSlot[1].szName, 30, "二号");
    page_->ParamsToPage(model_);
    const QString eleven = QStringLiteral("一号泵站出口压力变送器");  // 22 bytes
    page_->NameBox()->setText(eleven);
    page_->UnitBox()->setText("1234567");
    page_->PollIntervalBox()->setText("900");
    Pick(page_->SlotCombo(), 1);
    QCOMPARE(LoadGbkText(model_.asSlot[0].szName, 31), eleven.toStdString());
    QCOMPARE(LoadGbkText(model_.asSlot[0].szUnit, 9), std::string("1234567"));
    QCOMPARE(model_.wPollInterval, uint16_t{0});  // the port settings wait for the download
    QCOMPARE(page_->NameBox()->text(), QStringLiteral("二号"));
    Pick(page_->SlotCombo(), 0);
    QCOMPARE(page_->NameBox()->text(), eleven);

    // A label typed into the selector's edit field does not move the shown slot.
    page_->SlotCombo()->setEditText(QStringLiteral("槽位9"));
    page_->NameBox()->setText("三号");
    page_->PageToParams(model_);
    QCOMPARE(LoadGbkText(model_.asSlot[0].szName, 31), std::string("三号"));
    QCOMPARE(model_.asSlot[8].szName[0], '\0');
    QCOMPARE(model_.asSlot[15].szName[0], '\0');
  }

  void showingTheBlockStoresNothing() {
    // Floats of many decimals and texts without terminators: any store would change them.
    std::memset(&model_.asSlot[4], 0x41, sizeof(sSlotPara));
    page_->ParamsToPage(model_);
    Pick(page_->SlotCombo(), 4);
    const sModBusPara before = model_;
    page_->ParamsToPage(model_);  // back to slot 1 by the page's own selection
    QCOMPARE(std::memcmp(&model_, &before, sizeof model_), 0);
    QCOMPARE(page_->SlotCombo()->currentText(), QStringLiteral("槽位1"));
  }

  void controlStatesFollowTheUsersChoice() {
    using enum Rs485Control;
    for (int c = 0; c < kRs485ControlCount; ++c)
      QVERIFY(page_->Control(static_cast<Rs485Control>(c))->isEnabled());  // as made
    model_.byProtocol = 1;
    model_.asSlot[0].dwDataType = DT_U32_BE;
    page_->ParamsToPage(model_);
    QVERIFY(!page_->RemoteAdjustButton()->isEnabled());
    QVERIFY(!page_->AlarmTextBox()->isEnabled());
    QVERIFY(page_->UnitBox()->isEnabled());
    Pick(page_->DataTypeCombo(), DT_SWITCH);
    QVERIFY(page_->AlarmTextBox()->isEnabled());
    QVERIFY(!page_->UnitBox()->isEnabled());
    QVERIFY(!page_->RemoteAdjustButton()->isEnabled());
    Pick(page_->DataTypeCombo(), DT_REMOTE_ADJUST);
    QVERIFY(page_->RemoteAdjustButton()->isEnabled());
    QVERIFY(!page_->AlarmValueBox()->isEnabled());

    Pick(page_->ProtocolCombo(), PROTOCOL_INTERNAL);
    for (int c = 0; c < kRs485ControlCount; ++c) {
      const auto control = static_cast<Rs485Control>(c);
      QCOMPARE(page_->Control(control)->isEnabled(), control == BaudRate || control == Parity);
    }
    for (QWidget* always : std::initializer_list<QWidget*>{
             page_->ProtocolCombo(), page_->ReadButton(), page_->DownloadButton()})
      QVERIFY(always->isEnabled());
    // Disabled controls keep their text, and it is stored.
    page_->NameBox()->setText("温度");
    page_->PageToParams(model_);
    QCOMPARE(LoadGbkText(model_.asSlot[0].szName, 31), std::string("温度"));
    QCOMPARE(model_.asSlot[0].dwDataType, uint32_t{DT_REMOTE_ADJUST});

    Pick(page_->ProtocolCombo(), PROTOCOL_MODBUS);
    QVERIFY(page_->SlotCombo()->isEnabled());
    QVERIFY(page_->RemoteAdjustButton()->isEnabled());
    QVERIFY(!page_->UnitBox()->isEnabled());
  }

  void buttonsAskTheMainWindow() {
    QSignalSpy read(page_.get(), &CRs485Page::readRequested);
    QSignalSpy download(page_.get(), &CRs485Page::downloadRequested);
    page_->ReadButton()->click();
    page_->DownloadButton()->click();
    page_->DownloadButton()->click();
    QCOMPARE(read.count(), 1);
    QCOMPARE(download.count(), 2);
  }

  void slotWritesWaitForTheModelLock() {
    page_->ParamsToPage(model_);
    page_->NameBox()->setText("A");
    QVERIFY(WaitsForTheLock(mutex_, [&] { Pick(page_->SlotCombo(), 1); }));
    QCOMPARE(model_.asSlot[0].szName[0], 'A');
    CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    dlg.show();
    dlg.ValueBox(0)->setText("7");
    QVERIFY(WaitsForTheLock(mutex_, [&] { dlg.SaveButton()->click(); }));
    QCOMPARE(model_.asSlot[1].afGearValue[0], 7.0f);
  }

  void accessibleNames() {
    const std::pair<QWidget*, const char*> named[] = {
        {page_->ProtocolCombo(), "485口通信协议："},
        {page_->PollIntervalBox(), "485轮询间隔："},
        {page_->TimeoutBox(), "485超时时间："},
        {page_->RetryLimitBox(), "485通信容错次数："},
        {page_->BaudRateCombo(), "485通信波特率："},
        {page_->ParityCombo(), "奇偶校验："},
        {page_->SlotCombo(), "485槽位编号："},
        {page_->EnableBox(), "485槽位启用"},
        {page_->ChannelCombo(), "视频通道显示位置："},
        {page_->SlaveAddrBox(), "从站地址"},
        {page_->FuncCodeCombo(), "功能码"},
        {page_->StartRegBox(), "起始寄存器地址"},
        {page_->RegCountBox(), "寄存器数量"},
        {page_->DataOffsetBox(), "数据寄存器偏移："},
        {page_->DataTypeCombo(), "数据类型："},
        {page_->ScaleABox(), "A:"},
        {page_->OffsetBBox(), "B:"},
        {page_->DataBitsBox(), "数据位数："},
        {page_->RemoteAdjustButton(), "遥调参数设置"},
        {page_->DecimalsCombo(), "数据小数点位数："},
        {page_->NameBox(), "485槽位名称："},
        {page_->UnitBox(), "485槽位单位："},
        {page_->AlarmValueBox(), "开关量报警数值："},
        {page_->AlarmTextBox(), "报警显示内容："},
        {page_->NormalTextBox(), "正常显示内容："},
        {page_->ReadButton(), "读取"},
        {page_->DownloadButton(), "下载"},
    };
    for (const auto& [widget, name] : named) {
      QCOMPARE(widget->accessibleName(), QString::fromUtf8(name));
      if (auto* combo = qobject_cast<QComboBox*>(widget))
        QCOMPARE(combo->accessibleDescription(), QString::fromUtf8(name));
    }
    int buddies = 0;
    for (QLabel* label : page_->findChildren<QLabel*>())
      if (label->buddy()) ++buddies;
    QCOMPARE(buddies, 23 + 1);  // every labelled control, and the formula for A
    const CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    QCOMPARE(dlg.ValueBox(0)->accessibleName(), QStringLiteral("1 数值"));
    QCOMPARE(dlg.TextBox(7)->accessibleName(), QStringLiteral("8 显示内容"));
    QCOMPARE(dlg.TextBox(8)->accessibleName(), QStringLiteral("其他数值 显示内容"));
    QCOMPARE(dlg.SaveButton()->accessibleName(), QStringLiteral("保存"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("遥调参数设置"));
  }

  // The gear dialog.

  void gearTableOfTheShownSlotIsLoadedAndSaved() {
    sSlotPara& s = model_.asSlot[4];
    s.afGearValue[0] = 12.3456f;
    StoreGbkText(s.aszGearText[8], 10, "其他");
    page_->ParamsToPage(model_);
    Pick(page_->SlotCombo(), 4);
    page_->NameBox()->setText("not stored by the dialog");
    CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    dlg.show();
    QCOMPARE(dlg.ValueBox(0)->text(), QStringLiteral("12.346"));
    QCOMPARE(dlg.ValueBox(7)->text(), QStringLiteral("0.000"));
    QCOMPARE(dlg.TextBox(8)->text(), QStringLiteral("其他"));
    dlg.ValueBox(1)->setText("12.3456");
    dlg.ValueBox(2)->setText("abc");
    dlg.TextBox(0)->setText("一二三四五六");  // 12 bytes: the first ten are kept
    // A read reply arriving meanwhile shows slot 1 again; the table still goes to slot 5.
    page_->ParamsToPage(model_);
    const sModBusPara before = model_;
    dlg.SaveButton()->click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(s.afGearValue[0], 12.346f);
    QCOMPARE(s.afGearValue[1], 12.3456f);
    QCOMPARE(s.afGearValue[2], 0.0f);
    QCOMPARE(LoadGbkText(s.aszGearText[0], 11), std::string("一二三四五"));
    QCOMPARE(LoadGbkText(s.aszGearText[8], 11), std::string("其他"));
    QCOMPARE(s.szName[0], '\0');
    QCOMPARE(Image(&model_, 0, 16 + 4 * 228 + 96), Image(&before, 0, 16 + 4 * 228 + 96));
    QCOMPARE(Image(&model_, 16 + 5 * 228, sizeof model_ - 16 - 5 * 228),
             Image(&before, 16 + 5 * 228, sizeof model_ - 16 - 5 * 228));
  }

  void closingTheGearDialogOtherwiseStoresNothing() {
    page_->ParamsToPage(model_);
    CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    const sModBusPara before = model_;
    for (int way = 0; way < 3; ++way) {
      dlg.show();
      QCOMPARE(dlg.ValueBox(3)->text(), QStringLiteral("0.000"));  // reloaded each time
      dlg.ValueBox(3)->setText("9");
      dlg.TextBox(3)->setText("九");
      if (way == 0) QTest::keyClick(dlg.TextBox(3), Qt::Key_Escape);
      if (way == 1) QTest::keyClick(dlg.TextBox(3), Qt::Key_Return);
      if (way == 2) dlg.close();
      QVERIFY2(!dlg.isVisible(), qPrintable(QString::number(way)));
      QCOMPARE(std::memcmp(&model_, &before, sizeof model_), 0);
    }
  }
};

QTEST_MAIN(Rs485PageTest)
#include "rs485_page_test.moc"
