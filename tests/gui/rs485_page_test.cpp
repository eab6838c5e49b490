// The RS-485 page and its gear dialog as views of their forms: every control bound both ways,
// the control states as a user sees them, typed list text, what the buttons ask for, and the
// names that assistive tools read.
#include "qt/pages/rs485_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "qt/pages/remote_adjust_dlg.h"
#include "support/form_binding.h"
#include "support/modal_watch.h"

using namespace quillon;

using fakes::Pick;
using fakes::TypeIntoList;

class Rs485PageTest : public QObject {
  Q_OBJECT

 private:
  Rs485Form form_;
  GearForm gear_;
  std::unique_ptr<CRs485Page> page_;

 private slots:
  void init() {
    form_ = Rs485Form();
    page_ = std::make_unique<CRs485Page>(form_, gear_);
  }
  void cleanup() { page_.reset(); }

  void everyControlIsBoundBothWays() {
    fakes::CheckEveryInputIsBound(Rs485PageLayout(), form_.Controls());
    fakes::CheckBoundBothWays(
        page_->Controls(), form_.Controls(), [&] { page_->Show(form_); },
        [&] { page_->Read(form_); });
    QCOMPARE(page_->SlotCombo()->itemText(15), QStringLiteral("槽位16"));
    QCOMPARE(page_->DataTypeCombo()->itemText(14), QStringLiteral("遥调"));
  }

  // What the user chooses or types in the protocol and data-type lists enables the controls as
  // the form's rules say; a shown form applies its states too.
  void controlStatesFollowTheUsersChoice() {
    for (int c = 0; c < kRs485ControlCount; ++c)
      QVERIFY(page_->Control(static_cast<Rs485Control>(c))->isEnabled());  // as made
    sModBusPara model{};
    model.byProtocol = PROTOCOL_MODBUS;
    form_.Fill(model);
    page_->Show(form_);
    QVERIFY(!page_->RemoteAdjustButton()->isEnabled());
    TypeIntoList(page_->DataTypeCombo(), QStringLiteral("遥调"));
    QCOMPARE(page_->DataTypeCombo()->currentIndex(), 14);
    QVERIFY(page_->RemoteAdjustButton()->isEnabled());
    TypeIntoList(page_->DataTypeCombo(), QStringLiteral("遥调x"));
    QVERIFY(!page_->RemoteAdjustButton()->isEnabled());  // the states follow what is typed
    Pick(page_->DataTypeCombo(), DT_SWITCH);
    QVERIFY(page_->AlarmTextBox()->isEnabled());
    QVERIFY(!page_->UnitBox()->isEnabled());
    Pick(page_->ProtocolCombo(), PROTOCOL_INTERNAL);
    for (int c = 0; c < kRs485ControlCount; ++c) {
      const auto control = static_cast<Rs485Control>(c);
      QCOMPARE(page_->Control(control)->isEnabled(),
               control == Rs485Control::BaudRate || control == Rs485Control::Parity);
    }
    for (QWidget* always : std::initializer_list<QWidget*>{
             page_->ProtocolCombo(), page_->ReadButton(), page_->DownloadButton()})
      QVERIFY(always->isEnabled());
  }

  void choicesAndButtonsAskTheMainWindow() {
    QSignalSpy read(page_.get(), &CRs485Page::readRequested);
    QSignalSpy download(page_.get(), &CRs485Page::downloadRequested);
    QSignalSpy gear(page_.get(), &CRs485Page::remoteAdjustRequested);
    QSignalSpy slot(page_.get(), &CRs485Page::slotChosen);
    page_->ReadButton()->click();
    page_->DownloadButton()->click();
    page_->DownloadButton()->click();
    page_->RemoteAdjustButton()->click();
    Pick(page_->SlotCombo(), 4);
    TypeIntoList(page_->SlotCombo(), QStringLiteral("槽位3"));  // a slot's label picks it
    TypeIntoList(page_->SlotCombo(), QStringLiteral("槽位x"));
    QCOMPARE(read.count(), 1);
    QCOMPARE(download.count(), 2);
    QCOMPARE(gear.count(), 1);
    QCOMPARE(slot.count(), 2);
    QCOMPARE(slot[0][0].toInt(), 4);
    QCOMPARE(slot[1][0].toInt(), 2);
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

  void gearDialogIsBoundBothWays() {
    CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    fakes::CheckEveryInputIsBound(GearDialogLayout(), gear_.Controls());
    fakes::CheckBoundBothWays(
        dlg.Controls(), gear_.Controls(), [&] { ShowControls(dlg.Controls(), gear_.Controls()); },
        [&] { ReadControls(dlg.Controls(), gear_.Controls()); });
  }

  // "保存" reads the rows into the form and closes; Esc, Enter and the close box leave the form
  // as it was.
  void onlySaveTakesTheRows() {
    CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    for (int way = 0; way < 4; ++way) {
      gear_.values[3] = "1.000";
      fakes::ModalWatch watch([&](QWidget*) {
        QCOMPARE(dlg.ValueBox(3)->text(), QStringLiteral("1.000"));  // the form, shown
        dlg.ValueBox(3)->setText("9");
        if (way == 0) QTest::keyClick(dlg.ValueBox(3), Qt::Key_Escape);
        if (way == 1) QTest::keyClick(dlg.ValueBox(3), Qt::Key_Return);
        if (way == 2) dlg.close();
        if (way == 3) QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
      });
      const bool saved = dlg.Run(gear_);
      QVERIFY2(!dlg.isVisible(), qPrintable(QString::number(way)));
      QVERIFY(watch.Handled());
      QCOMPARE(saved, way == 3);
      QCOMPARE(gear_.values[3], std::string(way == 3 ? "9" : "1.000"));
    }
  }
};

QTEST_MAIN(Rs485PageTest)
#include "rs485_page_test.moc"
