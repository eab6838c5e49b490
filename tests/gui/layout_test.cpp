// The windows as they are drawn: every text fits its control, no two controls overlap, nothing
// sticks out of its window. With QUILLON_SCREENSHOT_DIR set it also saves pictures of the main
// window, the network page and a camera page there.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <cstring>

#include "qt/app/about_dlg.h"
#include "qt/app/batch_dlg.h"
#include "qt/app/config_app.h"
#include "qt/app/config_main_dlg.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/net_param_page.h"
#include "qt/pages/remote_adjust_dlg.h"
#include "qt/pages/rs485_page.h"
#include "qt/widgets/dialog_units.h"
#include "qt/widgets/ipv4_edit.h"
#include "qt/widgets/tab_control.h"
#include "support/batch_fakes.h"
#include "support/qt_control.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "support/slot_values.h"
#include "text/gbk.h"

using quillon::CConfigMainDlg;
using quillon::DeviceParameterBlock;
using namespace quillon;

namespace {

// The controls placed directly on `page` (not their inner parts), visible or not.
QList<QWidget*> PlacedControls(QWidget* page) {
  QList<QWidget*> controls;
  for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isWindow()) continue;
    controls << w;
  }
  return controls;
}

bool IsFrame(QWidget* w) {
  return qobject_cast<QGroupBox*>(w) || qobject_cast<quillon::CTabControl*>(w) ||
         w->inherits("quillon::CNetParamPage") || w->inherits("quillon::CRs485Page") ||
         w->inherits("quillon::CCameraPage");
}

// Texts fit, nothing overlaps except frames around their contents, all inside the page.
void CheckPage(QWidget* page) {
  const QList<QWidget*> controls = PlacedControls(page);
  for (QWidget* w : controls) {
    const QString name =
        QStringLiteral("%1 \"%2\"").arg(w->metaObject()->className(), w->accessibleName());
    QVERIFY2(page->rect().contains(w->geometry()) || IsFrame(w), qPrintable(name));
    const QFontMetrics fm(w->font());
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
      QVERIFY2(fm.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
      QVERIFY2(fm.height() <= label->height(), qPrintable(label->text()));
    }
    if (auto* button = qobject_cast<QPushButton*>(w))
      QVERIFY2(fm.horizontalAdvance(button->text()) + 8 <= button->width(),
               qPrintable(button->text()));
    if (auto* check = qobject_cast<QCheckBox*>(w))
      QVERIFY2(check->sizeHint().width() <= check->width(), qPrintable(check->text()));
    if (auto* group = qobject_cast<QGroupBox*>(w))
      QVERIFY2(fm.horizontalAdvance(group->title()) + 16 <= group->width(),
               qPrintable(group->title()));
  }
  for (int a = 0; a < controls.size(); ++a) {
    for (int b = a + 1; b < controls.size(); ++b) {
      QWidget* first = controls[a];
      QWidget* second = controls[b];
      if (IsFrame(first) || IsFrame(second)) continue;
      const QString pair = QStringLiteral("%1 / %2").arg(
          first->accessibleName().isEmpty() ? first->property("text").toString()
                                            : first->accessibleName(),
          second->accessibleName().isEmpty() ? second->property("text").toString()
                                             : second->accessibleName());
      QVERIFY2(!first->geometry().intersects(second->geometry()), qPrintable(pair));
    }
  }
}

void Fill(DeviceParameterBlock& block) {
  auto& osd = block.osd;
  const uint8_t ip[4] = {192, 168, 1, 100}, gw[4] = {192, 168, 1, 1}, mask[4] = {255, 255, 255, 0},
                up[4] = {192, 168, 1, 10};
  std::memcpy(osd.abyIP, ip, 4);
  std::memcpy(osd.abyGateway, gw, 4);
  std::memcpy(osd.abyNetMask, mask, 4);
  std::memcpy(osd.abyUpgradeIP, up, 4);
  osd.wUpgradeDstPort = 9000;
  osd.wUpgradeSrcPort = 9001;
  const char* texts[8] = {
      "\xCE\xC2\xB6\xC8\xA3\xBA"
      "25.6\xA1\xE6",
      "\xCA\xAA\xB6\xC8",
      "\xD1\xB9\xC1\xA6",
      "Line 4",
      "",
      "",
      "",
      ""};  // 温度：25.6℃ 湿度 压力
  for (int k = 0; k < 4; ++k) {
    auto& cam = osd.asCamera[k];
    std::strcpy(cam.szUser, "admin");
    std::strcpy(cam.szPassword, "12345");
    const uint8_t camIp[4] = {192, 168, 1, static_cast<uint8_t>(64 + k)};
    std::memcpy(cam.abyCameraIP, camIp, 4);
    cam.wCameraPort = 8000;
    cam.wSourcePort = static_cast<uint16_t>(5000 + k);
    cam.byBrand = 0;
    cam.byLineCount = 4;
    for (int j = 0; j < 8; ++j) {
      std::strcpy(cam.asLine[j].szText, texts[j]);
      cam.asLine[j].wX = 16;
      cam.asLine[j].wY = static_cast<uint16_t>(16 + 40 * j);
    }
  }
}

// A Modbus port with slot 1 reading a pressure, and the gear table of slot 2.
void FillRs485(quillon::sModBusPara& modbus) {
  quillon::fakes::SetPort(modbus, {1, 1000, 500, 3, 9600, 0});
  quillon::sSlotPara& slot = modbus.asSlot[0];
  // Data type 6 has the longest label.
  quillon::fakes::SetSlot(slot, {1, 2, 17, 3, 40001, 2, 0, 6, 2, 0.01f, -1.5f});
  quillon::StoreGbkText(slot.szName, 30, "一号泵站出口压力");
  quillon::StoreGbkText(slot.szUnit, 8, "MPa");
  slot.byDataBits = 5;
  quillon::sSlotPara& gears = modbus.asSlot[1];
  const char* texts[9] = {"停止", "一档", "二档",     "三档",    "四档",
                          "五档", "六档", "全速运行", "未知档位"};
  for (int j = 0; j < 9; ++j) {
    if (j < 8) gears.afGearValue[j] = static_cast<float>(j) * 12.5f;
    quillon::StoreGbkText(gears.aszGearText[j], 10, texts[j]);
  }
}

void Save(QWidget* widget, const char* file) {
  const QByteArray dir = qgetenv("QUILLON_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  const QString path = QString::fromLocal8Bit(dir) + u'/' + QString::fromLatin1(file);
  QVERIFY2(widget->grab().save(path), qPrintable(path));
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogUnitsFollowTheFont() {
    const quillon::DialogUnits units(10, 20);
    QCOMPARE(units.X(4), 10);
    QCOMPARE(units.Y(8), 20);
    QCOMPARE(units.X(1), 3);  // 2.5 rounds up, as MulDiv does
    QCOMPARE(units.Y(3), 8);  // 7.5
    QCOMPARE(units.Rect(2, 4, 6, 8), QRect(5, 10, 15, 20));
    const QFont font = quillon::DialogFont();
    QVERIFY(QFontDatabase::writingSystems(QFontInfo(font).family())
                .contains(QFontDatabase::SimplifiedChinese));
    const quillon::DialogUnits& du = quillon::DialogFontUnits();
    QCOMPARE(du.BaseY(), QFontMetrics(font).height());
    QVERIFY(du.BaseX() > 3 && du.BaseX() < 12);
  }

  void mainWindow() {
    DeviceParameterBlock block{};
    quillon::fakes::RecordingLink link;
    quillon::fakes::RecordingNotifier notifier;
    quillon::CConfigApp app(block, link, notifier,
                            [] { return std::vector<uint32_t>{0xC0A80102}; });
    CConfigMainDlg& dlg = app.Window();
    QCOMPARE(dlg.size(), quillon::DialogFontUnits().Size(645, 479));
    dlg.InsertDeviceRow({"192.168.1.101", "仓库二号", "0011223344AC", "32.01"});
    dlg.InsertDeviceRow({"192.168.1.100", "DEV1", "001122334455", "03.07"});
    Fill(block);
    app.Session().NetParamsToPage();
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    Save(&dlg, "main-window.png");
    Save(dlg.NetPage(), "network-page.png");
    Save(dlg.NetPage()->CameraPage(0), "camera-page.png");
    CheckPage(&dlg);
    CheckPage(dlg.NetPage());
    CheckPage(dlg.NetPage()->CameraPage(0));
    // The tabs stay readable above the pages.
    QVERIFY(fakes::ById<CTabControl>(dlg, IDC_TABS)->TabBar()->height() <= 20 + 2);

    FillRs485(block.modbus);
    app.Session().Rs485ParamsToPage();
    fakes::ById<CTabControl>(dlg, IDC_TABS)->TabBar()->setCurrentIndex(1);
    QVERIFY(dlg.Rs485Page()->isVisible());
    Save(dlg.Rs485Page(), "rs485-page.png");
    CheckPage(dlg.Rs485Page());
  }

  void gearDialog() {
    quillon::sModBusPara modbus{};
    FillRs485(modbus);
    quillon::GearForm gear;
    gear.Fill(modbus, 1);  // slot 2
    quillon::CRemoteAdjustDlg dlg(gear);
    ShowControls(dlg.Controls(), gear.Controls());
    QCOMPARE(dlg.size(), quillon::DialogFontUnits().Size(250, 237));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(fakes::ById<QLineEdit>(dlg, GearTextId(7))->text(), QStringLiteral("全速运行"));
    CheckPage(&dlg);
    Save(&dlg, "gear-dialog.png");
    dlg.reject();
  }

  void aboutBox() {
    quillon::CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("关于 Quillon"));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    CheckPage(&about);
    Save(&about, "about-box.png");
  }

  void batchDialog() {
    quillon::BatchForm form;
    form.Fill({{"192.168.1.64", "1号机房 东门", "00E04C3A1B01", "32.05"},
               {"192.168.1.65", "2号机房", "00E04C3A1B02", "32.05"},
               {"192.168.1.66", "3号泵站", "00E04C3A1B03", "20.03", true},
               {"192.168.1.67", "4号泵站", "00E04C3A1B04", "32.05"}});
    form.CheckAll(true);
    form.startIp = {192, 168, 1, 100};
    form.Begin();
    form.SetState(0, quillon::BatchState::Verified);
    form.SetState(1, quillon::BatchState::Failed, quillon::kBatchNoReply);
    form.SetState(3, quillon::BatchState::Running);
    quillon::fakes::FakeBatchService service;
    quillon::fakes::RecordingNotifier notifier;
    quillon::CBatchDlg dlg(form, service, notifier, [](const std::string&) {});
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CheckPage(&dlg);
    Save(&dlg, "batch-dialog.png");
    form.Finish();
  }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
