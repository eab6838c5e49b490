// The network page and the IPv4 address control: shown values, stored bytes, untouched bytes,
// the camera tabs.
#include "pages/net_param_page.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>
#include <cstring>

#include "pages/camera_page.h"
#include "params/parameter_block.h"
#include "widgets/ipv4_edit.h"
#include "widgets/tab_control.h"

using quillon::CIpAddressEdit;
using quillon::CNetParamPage;
using quillon::sOSDCommPara;

namespace {

const uint8_t* Bytes(const sOSDCommPara& osd) { return reinterpret_cast<const uint8_t*>(&osd); }
uint8_t* Bytes(sOSDCommPara& osd) { return reinterpret_cast<uint8_t*>(&osd); }

void TypeAddress(CIpAddressEdit* edit, const QStringList& fields) {
  for (int i = 0; i < 4; ++i) edit->Field(i)->setText(fields.value(i));
}

}  // namespace

class NetParamPageTest : public QObject {
  Q_OBJECT

 private:
  sOSDCommPara osd_{};
  std::unique_ptr<CNetParamPage> page_;

 private slots:
  void init() {
    std::memset(&osd_, 0, sizeof osd_);
    page_ = std::make_unique<CNetParamPage>();
    page_->ParamsToPage(osd_);  // a page stores only once it has been filled
  }
  void cleanup() { page_.reset(); }

  void startsEmptyAndStoresNothingUntilFilled() {
    CNetParamPage fresh;
    QVERIFY(fresh.StaticIpEdit()->IsBlank());
    QVERIFY(fresh.TargetPortBox()->text().isEmpty());
    QVERIFY(!fresh.DhcpBox()->isChecked());
    TypeAddress(fresh.StaticIpEdit(), {"1", "2", "3", "4"});
    std::memset(&osd_, 0xEE, sizeof osd_);
    const sOSDCommPara before = osd_;
    QVERIFY(fresh.PageToParams(osd_));
    QVERIFY(std::memcmp(&osd_, &before, sizeof osd_) == 0);
  }

  void zeroBlockShowsZeros() {
    page_->ParamsToPage(osd_);
    for (CIpAddressEdit* edit : {page_->StaticIpEdit(), page_->NetMaskEdit(), page_->GatewayEdit(),
                                 page_->UpgradeIpEdit()}) {
      QCOMPARE(edit->DottedText(), QStringLiteral("0.0.0.0"));
      for (int i = 0; i < 4; ++i) QCOMPARE(edit->Field(i)->text(), QStringLiteral("0"));
    }
    QVERIFY(!page_->DhcpBox()->isChecked());
    QCOMPARE(page_->TargetPortBox()->text(), QStringLiteral("0"));
    QCOMPARE(page_->SourcePortBox()->text(), QStringLiteral("0"));
  }

  void storesEveryFieldAtItsOffset() {
    TypeAddress(page_->StaticIpEdit(), {"192", "168", "1", "100"});
    TypeAddress(page_->GatewayEdit(), {"192", "168", "1", "1"});
    TypeAddress(page_->NetMaskEdit(), {"255", "255", "255", "0"});
    TypeAddress(page_->UpgradeIpEdit(), {"10", "", "7", ""});  // blank fields give 0
    page_->DhcpBox()->setChecked(true);
    page_->TargetPortBox()->setText(QStringLiteral("65535"));
    page_->SourcePortBox()->setText(QStringLiteral("00080"));
    std::memset(&osd_, 0xEE, sizeof osd_);
    page_->PageToParams(osd_);
    const QByteArray head(reinterpret_cast<const char*>(Bytes(osd_)), 13);
    QCOMPARE(head, QByteArray("\x01\xC0\xA8\x01\x64\xC0\xA8\x01\x01\xFF\xFF\xFF\x00", 13));
    const QByteArray upgrade(reinterpret_cast<const char*>(Bytes(osd_)) + 28, 8);
    QCOMPARE(upgrade, QByteArray("\x0A\x00\x07\x00\x50\x00\xFF\xFF", 8));
  }

  void roundTripKeepsValuesAndUntouchedBytes() {
    for (size_t i = 13; i < 28; ++i) Bytes(osd_)[i] = static_cast<uint8_t>(0x80 + i);
    for (size_t i = 36; i < 52; ++i) Bytes(osd_)[i] = static_cast<uint8_t>(0x40 + i);
    const sOSDCommPara reserved = osd_;
    TypeAddress(page_->StaticIpEdit(), {"1", "2", "3", "4"});
    TypeAddress(page_->NetMaskEdit(), {"255", "255", "0", "0"});
    TypeAddress(page_->GatewayEdit(), {"1", "2", "0", "254"});
    TypeAddress(page_->UpgradeIpEdit(), {"8", "8", "4", "4"});
    page_->TargetPortBox()->setText(QStringLiteral("007"));
    page_->SourcePortBox()->setText(QStringLiteral("65535"));
    page_->PageToParams(osd_);
    QVERIFY(std::memcmp(Bytes(osd_) + 13, Bytes(reserved) + 13, 15) == 0);
    QVERIFY(std::memcmp(Bytes(osd_) + 36, Bytes(reserved) + 36, 16) == 0);

    CNetParamPage shown;
    shown.ParamsToPage(osd_);
    QCOMPARE(shown.StaticIpEdit()->DottedText(), QStringLiteral("1.2.3.4"));
    QCOMPARE(shown.NetMaskEdit()->DottedText(), QStringLiteral("255.255.0.0"));
    QCOMPARE(shown.GatewayEdit()->DottedText(), QStringLiteral("1.2.0.254"));
    QCOMPARE(shown.UpgradeIpEdit()->DottedText(), QStringLiteral("8.8.4.4"));
    QCOMPARE(shown.TargetPortBox()->text(), QStringLiteral("7"));
    QCOMPARE(shown.SourcePortBox()->text(), QStringLiteral("65535"));
    shown.PageToParams(osd_);
    QVERIFY(std::memcmp(Bytes(osd_) + 13, Bytes(reserved) + 13, 15) == 0);
    QVERIFY(std::memcmp(Bytes(osd_) + 36, Bytes(reserved) + 36, 16) == 0);
  }

  void portTextConversions_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("65535") << "65535" << 0xFFFF;
    QTest::newRow("65536") << "65536" << 0;
    QTest::newRow("70000") << "70000" << 4464;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("leading blanks") << "  1901" << 1901;
    QTest::newRow("digits then letters") << "80a" << 80;
  }
  void portTextConversions() {
    QFETCH(QString, typed);
    QFETCH(int, stored);
    page_->TargetPortBox()->setText(typed);
    page_->SourcePortBox()->setText(typed);
    osd_.wUpgradeDstPort = 0x1234;
    page_->PageToParams(osd_);
    QCOMPARE(static_cast<int>(osd_.wUpgradeDstPort), stored);
    QCOMPARE(static_cast<int>(osd_.wUpgradeSrcPort), stored);
  }

  void dhcpValues() {
    osd_.byDHCP = 1;
    page_->ParamsToPage(osd_);
    QVERIFY(page_->DhcpBox()->isChecked());
    osd_.byDHCP = 2;  // anything but 0 shows checked and is stored back as 1
    page_->ParamsToPage(osd_);
    QVERIFY(page_->DhcpBox()->isChecked());
    page_->PageToParams(osd_);
    QCOMPARE(osd_.byDHCP, uint8_t{1});
    page_->DhcpBox()->setChecked(false);
    page_->PageToParams(osd_);
    QCOMPARE(osd_.byDHCP, uint8_t{0});
  }

  void cameraPagesFollowTheirIndex() {
    for (int k = 0; k < 4; ++k) {
      QCOMPARE(page_->CameraPage(k)->CameraIndex(), uint8_t(k));
      page_->CameraPage(k)->UserBox()->setText(QStringLiteral("user%1").arg(k));
    }
    page_->PageToParams(osd_);
    for (int k = 0; k < 4; ++k)
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(Bytes(osd_)) + 52 + 694 * k, 6),
               QByteArray("user") + char('0' + k) + '\0');
    std::memcpy(osd_.asCamera[3].szPassword, "pw3", 4);
    page_->ParamsToPage(osd_);
    QCOMPARE(page_->CameraPage(3)->PasswordBox()->text(), QStringLiteral("pw3"));
  }

  void cameraTabsShowOnePageAndKeepTypedValues() {
    quillon::CTabControl* tabs = page_->CameraTabs();
    QCOMPARE(tabs->TabBar()->count(), 4);
    QCOMPARE(tabs->TabBar()->tabText(0), QStringLiteral("摄像头一"));
    QCOMPARE(tabs->TabBar()->tabText(3), QStringLiteral("摄像头四"));
    page_->show();
    QVERIFY(page_->CameraPage(0)->isVisible());
    page_->CameraPage(0)->TextBox(2)->setText(QStringLiteral("温度"));
    tabs->TabBar()->setCurrentIndex(3);
    for (int k = 0; k < 4; ++k) QCOMPARE(page_->CameraPage(k)->isVisible(), k == 3);
    QTest::mouseClick(tabs->TabBar(), Qt::LeftButton, {}, tabs->TabBar()->tabRect(0).center());
    QCOMPARE(tabs->CurrentSelection(), 0);
    for (int k = 0; k < 4; ++k) QCOMPARE(page_->CameraPage(k)->isVisible(), k == 0);
    QCOMPARE(page_->CameraPage(0)->TextBox(2)->text(), QStringLiteral("温度"));
  }

  void downloadButtonAsksForTheDownload() {
    QSignalSpy spy(page_.get(), &CNetParamPage::downloadRequested);
    page_->DownloadButton()->click();
    QCOMPARE(spy.count(), 1);
  }

  void accessibleNames() {
    QCOMPARE(page_->StaticIpEdit()->accessibleName(), QStringLiteral("静态IP"));
    QCOMPARE(page_->GatewayEdit()->accessibleName(), QStringLiteral("网关"));
    QCOMPARE(page_->NetMaskEdit()->accessibleName(), QStringLiteral("子网掩码"));
    QCOMPARE(page_->UpgradeIpEdit()->accessibleName(), QStringLiteral("远程升级地址"));
    QCOMPARE(page_->TargetPortBox()->accessibleName(), QStringLiteral("目标端口"));
    QCOMPARE(page_->SourcePortBox()->accessibleName(), QStringLiteral("源端口"));
    QCOMPARE(page_->DhcpBox()->accessibleName(), QStringLiteral("DHCP"));
    QCOMPARE(page_->DownloadButton()->accessibleName(), QStringLiteral("下载数据"));
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
