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
#include "support/qt_control.h"

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
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_RS485_SLOT)->itemText(15), QStringLiteral("槽位16"));
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_SLOT_DATA_TYPE)->itemText(14),
             QStringLiteral("遥调"));
  }

  // What the user chooses or types in the protocol and data-type lists enables the controls as
  // the form's rules say; a shown form applies its states too.
  void controlStatesFollowTheUsersChoice() {
    for (int c = 0; c < kRs485ControlCount; ++c)
      QVERIFY(fakes::ById(page_, Rs485ControlId(static_cast<Rs485Control>(c)))
                  ->isEnabled());  // as made
    sModBusPara model{};
    model.byProtocol = PROTOCOL_MODBUS;
    form_.Fill(model);
    page_->Show(form_);
    QPushButton* adjust = fakes::ById<QPushButton>(page_, IDC_SLOT_REMOTE_ADJUST);
    QComboBox* type = fakes::ById<QComboBox>(page_, IDC_SLOT_DATA_TYPE);
    QVERIFY(!adjust->isEnabled());
    TypeIntoList(type, QStringLiteral("遥调"));
    QCOMPARE(type->currentIndex(), 14);
    QVERIFY(adjust->isEnabled());
    TypeIntoList(type, QStringLiteral("遥调x"));
    QVERIFY(!adjust->isEnabled());  // the states follow what is typed
    Pick(type, DT_SWITCH);
    QVERIFY(fakes::ById<QLineEdit>(page_, IDC_SLOT_ALARM_TEXT)->isEnabled());
    QVERIFY(!fakes::ById<QLineEdit>(page_, IDC_SLOT_UNIT)->isEnabled());
    Pick(fakes::ById<QComboBox>(page_, IDC_RS485_PROTOCOL), PROTOCOL_INTERNAL);
    for (int c = 0; c < kRs485ControlCount; ++c) {
      const auto control = static_cast<Rs485Control>(c);
      QCOMPARE(fakes::ById(page_, Rs485ControlId(control))->isEnabled(),
               control == Rs485Control::BaudRate || control == Rs485Control::Parity);
    }
    for (QWidget* always :
         std::initializer_list<QWidget*>{fakes::ById<QComboBox>(page_, IDC_RS485_PROTOCOL),
                                         fakes::ById<QPushButton>(page_, IDC_RS485_READ),
                                         fakes::ById<QPushButton>(page_, IDC_RS485_DOWNLOAD)})
      QVERIFY(always->isEnabled());
  }

  void choicesAndButtonsAskTheMainWindow() {
    QSignalSpy read(page_.get(), &CRs485Page::readRequested);
    QSignalSpy download(page_.get(), &CRs485Page::downloadRequested);
    QSignalSpy gear(page_.get(), &CRs485Page::remoteAdjustRequested);
    QSignalSpy slot(page_.get(), &CRs485Page::slotChosen);
    fakes::ById<QPushButton>(page_, IDC_RS485_READ)->click();
    fakes::ById<QPushButton>(page_, IDC_RS485_DOWNLOAD)->click();
    fakes::ById<QPushButton>(page_, IDC_RS485_DOWNLOAD)->click();
    fakes::ById<QPushButton>(page_, IDC_SLOT_REMOTE_ADJUST)->click();
    Pick(fakes::ById<QComboBox>(page_, IDC_RS485_SLOT), 4);
    TypeIntoList(fakes::ById<QComboBox>(page_, IDC_RS485_SLOT),
                 QStringLiteral("槽位3"));  // a slot's label picks it
    TypeIntoList(fakes::ById<QComboBox>(page_, IDC_RS485_SLOT), QStringLiteral("槽位x"));
    QCOMPARE(read.count(), 1);
    QCOMPARE(download.count(), 2);
    QCOMPARE(gear.count(), 1);
    QCOMPARE(slot.count(), 2);
    QCOMPARE(slot[0][0].toInt(), 4);
    QCOMPARE(slot[1][0].toInt(), 2);
  }

  void accessibleNames() {
    const std::pair<int, const char*> named[] = {
        {IDC_RS485_PROTOCOL, "485口通信协议："},
        {IDC_RS485_POLL_INTERVAL, "485轮询间隔："},
        {IDC_RS485_TIMEOUT, "485超时时间："},
        {IDC_RS485_RETRY_LIMIT, "485通信容错次数："},
        {IDC_RS485_BAUD_RATE, "485通信波特率："},
        {IDC_RS485_PARITY, "奇偶校验："},
        {IDC_RS485_SLOT, "485槽位编号："},
        {IDC_SLOT_ENABLE, "485槽位启用"},
        {IDC_SLOT_CHANNEL, "视频通道显示位置："},
        {IDC_SLOT_SLAVE_ADDR, "从站地址"},
        {IDC_SLOT_FUNC_CODE, "功能码"},
        {IDC_SLOT_START_REG, "起始寄存器地址"},
        {IDC_SLOT_REG_COUNT, "寄存器数量"},
        {IDC_SLOT_DATA_OFFSET, "数据寄存器偏移："},
        {IDC_SLOT_DATA_TYPE, "数据类型："},
        {IDC_SLOT_SCALE_A, "A:"},
        {IDC_SLOT_OFFSET_B, "B:"},
        {IDC_SLOT_DATA_BITS, "数据位数："},
        {IDC_SLOT_REMOTE_ADJUST, "遥调参数设置"},
        {IDC_SLOT_DECIMALS, "数据小数点位数："},
        {IDC_SLOT_NAME, "485槽位名称："},
        {IDC_SLOT_UNIT, "485槽位单位："},
        {IDC_SLOT_ALARM_VALUE, "开关量报警数值："},
        {IDC_SLOT_ALARM_TEXT, "报警显示内容："},
        {IDC_SLOT_NORMAL_TEXT, "正常显示内容："},
        {IDC_RS485_READ, "读取"},
        {IDC_RS485_DOWNLOAD, "下载"},
    };
    for (const auto& [id, name] : named) {
      QWidget* widget = fakes::ById(page_, id);
      QCOMPARE(widget->accessibleName(), QString::fromUtf8(name));
      if (auto* combo = qobject_cast<QComboBox*>(widget))
        QCOMPARE(combo->accessibleDescription(), QString::fromUtf8(name));
    }
    int buddies = 0;
    for (QLabel* label : page_->findChildren<QLabel*>())
      if (label->buddy()) ++buddies;
    QCOMPARE(buddies, 23 + 1);  // every labelled control, and the formula for A
    const CRemoteAdjustDlg& dlg = page_->RemoteAdjustDialog();
    const std::pair<int, const char*> gearNames[] = {{GearValueId(0), "1 数值"},
                                                     {GearTextId(7), "8 显示内容"},
                                                     {GearTextId(8), "其他数值 显示内容"},
                                                     {IDC_GEAR_SAVE, "保存"}};
    for (const auto& [id, name] : gearNames)
      QCOMPARE(fakes::ById(dlg, id)->accessibleName(), QString::fromUtf8(name));
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
        QLineEdit* value = fakes::ById<QLineEdit>(dlg, GearValueId(3));
        QCOMPARE(value->text(), QStringLiteral("1.000"));  // the form, shown
        value->setText("9");
        if (way == 0) QTest::keyClick(value, Qt::Key_Escape);
        if (way == 1) QTest::keyClick(value, Qt::Key_Return);
        if (way == 2) dlg.close();
        if (way == 3)
          QTest::mouseClick(fakes::ById<QPushButton>(dlg, IDC_GEAR_SAVE), Qt::LeftButton);
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
