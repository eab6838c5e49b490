// The network page as a view of its form, with its camera pages and the IPv4 address control:
// every control bound both ways, the camera tabs, the names assistive tools read.
#include "qt/pages/net_param_page.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>

#include "qt/pages/camera_page.h"
#include "qt/widgets/ipv4_edit.h"
#include "qt/widgets/tab_control.h"
#include "support/form_binding.h"
#include "support/qt_control.h"

using quillon::CIpAddressEdit;
using quillon::CNetParamPage;
using quillon::NetParamForm;
using namespace quillon;

namespace {

void TypeAddress(CIpAddressEdit* edit, const QStringList& fields) {
  for (int i = 0; i < 4; ++i) edit->Field(i)->setText(fields.value(i));
}

}  // namespace

class NetParamPageTest : public QObject {
  Q_OBJECT

 private:
  NetParamForm form_;
  std::unique_ptr<CNetParamPage> page_;

 private slots:
  void init() { page_ = std::make_unique<CNetParamPage>(form_); }
  void cleanup() { page_.reset(); }

  void startsEmpty() {
    QVERIFY(fakes::ById<CIpAddressEdit>(page_, IDC_STATIC_IP)->IsBlank());
    QVERIFY(fakes::ById<QLineEdit>(page_, IDC_UPGRADE_TARGET_PORT)->text().isEmpty());
    QVERIFY(!fakes::ById<QCheckBox>(page_, IDC_DHCP)->isChecked());
  }

  void everyControlIsBoundBothWays() {
    quillon::fakes::CheckEveryInputIsBound(quillon::NetPageLayout(), form_.Controls());
    quillon::fakes::CheckBoundBothWays(
        page_->Controls(), form_.Controls(), [&] { page_->Show(form_); },
        [&] { page_->Read(form_); });
    // The camera pages are shown and read with the page.
    for (int k = 0; k < 4; ++k) {
      QCOMPARE(page_->CameraPage(k)->CameraIndex(), uint8_t(k));
      form_.cameras[k].user.text = "user" + std::to_string(k);
    }
    page_->Show(form_);
    for (int k = 0; k < 4; ++k) {
      QCOMPARE(fakes::ById<QLineEdit>(page_->CameraPage(k), IDC_CAMERA_USER)->text(),
               QStringLiteral("user%1").arg(k));
      fakes::ById<QLineEdit>(page_->CameraPage(k), IDC_CAMERA_PASSWORD)
          ->setText(QStringLiteral("pw%1").arg(k));
    }
    page_->Read(form_);
    for (int k = 0; k < 4; ++k) QCOMPARE(form_.cameras[k].password.text, "pw" + std::to_string(k));
  }

  void cameraTabsShowOnePageAndKeepTypedValues() {
    quillon::CTabControl* tabs = fakes::ById<CTabControl>(page_, IDC_CAMERA_TABS);
    QCOMPARE(tabs->TabBar()->count(), 4);
    QCOMPARE(tabs->TabBar()->tabText(0), QStringLiteral("摄像头一"));
    QCOMPARE(tabs->TabBar()->tabText(3), QStringLiteral("摄像头四"));
    page_->show();
    QVERIFY(page_->CameraPage(0)->isVisible());
    fakes::ById<QLineEdit>(page_->CameraPage(0), IDC_LINE_TEXT + 2)
        ->setText(QStringLiteral("温度"));
    tabs->TabBar()->setCurrentIndex(3);
    for (int k = 0; k < 4; ++k) QCOMPARE(page_->CameraPage(k)->isVisible(), k == 3);
    QTest::mouseClick(tabs->TabBar(), Qt::LeftButton, {}, tabs->TabBar()->tabRect(0).center());
    QCOMPARE(tabs->CurrentSelection(), 0);
    for (int k = 0; k < 4; ++k) QCOMPARE(page_->CameraPage(k)->isVisible(), k == 0);
    QCOMPARE(fakes::ById<QLineEdit>(page_->CameraPage(0), IDC_LINE_TEXT + 2)->text(),
             QStringLiteral("温度"));
  }

  void downloadButtonAsksForTheDownload() {
    QSignalSpy spy(page_.get(), &CNetParamPage::downloadRequested);
    fakes::ById<QPushButton>(page_, IDC_NET_DOWNLOAD)->click();
    QCOMPARE(spy.count(), 1);
  }

  void accessibleNames() {
    const std::pair<int, const char*> names[] = {{IDC_STATIC_IP, "静态IP"},
                                                 {IDC_GATEWAY, "网关"},
                                                 {IDC_NET_MASK, "子网掩码"},
                                                 {IDC_UPGRADE_IP, "远程升级地址"},
                                                 {IDC_UPGRADE_TARGET_PORT, "目标端口"},
                                                 {IDC_UPGRADE_SOURCE_PORT, "源端口"},
                                                 {IDC_DHCP, "DHCP"},
                                                 {IDC_NET_DOWNLOAD, "下载数据"}};
    for (const auto& [id, name] : names)
      QCOMPARE(fakes::ById(page_, id)->accessibleName(), QString::fromUtf8(name));
    for (QLabel* label : page_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
      QVERIFY2(label->buddy() && label->buddy()->accessibleName() == label->text(),
               qPrintable(label->text()));
  }

  // The address control on its own.
  void addressControlValueAndBlankFields() {
    CIpAddressEdit edit;
    edit.SetAccessibleLabel(QStringLiteral("网关"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&edit);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("网关"));
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("0.0.0.0"));
    TypeAddress(&edit, {"172", "", "3", "9"});
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("172.0.3.9"));
    const auto bytes = edit.Address();
    QCOMPARE(bytes[0], uint8_t{172});
    QCOMPARE(bytes[1], uint8_t{0});
    const uint8_t set[4] = {255, 0, 10, 1};
    edit.SetAddress(set);
    QCOMPARE(edit.DottedText(), QStringLiteral("255.0.10.1"));
  }

  void addressControlTyping() {
    CIpAddressEdit edit;
    edit.resize(200, 24);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.activateWindow();
    edit.Field(0)->setFocus();
    QTest::keyClicks(edit.Field(0), QStringLiteral("10"));
    QTest::keyClick(edit.Field(0), Qt::Key_Period, {}, '.');
    QVERIFY(edit.Field(1)->hasFocus());
    QTest::keyClicks(edit.Field(1), QStringLiteral("300"));  // no byte: becomes 255, moves on
    QCOMPARE(edit.Field(1)->text(), QStringLiteral("255"));
    QVERIFY(edit.Field(2)->hasFocus());
    QTest::keyClick(edit.Field(2), Qt::Key_Period, {}, '.');  // a dot in an empty field stays
    QVERIFY(edit.Field(2)->hasFocus());
    QTest::keyClicks(edit.Field(2), QStringLiteral("4"));
    QTest::keyClick(edit.Field(2), Qt::Key_Period, {}, '.');
    QVERIFY(edit.Field(3)->hasFocus());
    QTest::keyClicks(edit.Field(3), QStringLiteral("7"));
    QCOMPARE(edit.DottedText(), QStringLiteral("10.255.4.7"));
    QTest::keyClick(edit.Field(3), Qt::Key_Backspace);
    QTest::keyClick(edit.Field(3), Qt::Key_Backspace);  // empty field: back to the previous one
    QVERIFY(edit.Field(2)->hasFocus());
    QCOMPARE(edit.DottedText(), QStringLiteral("10.255.4.0"));
  }
};

QTEST_MAIN(NetParamPageTest)
#include "net_param_page_test.moc"
