// The main window with a recording link and notifier: start-up state, the log box, the device
// list, the tabs, the keys that must not end the program, and the routes into the session.
#include "qt/app/config_main_dlg.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <thread>

#include "qt/app/about_dlg.h"
#include "qt/app/config_app.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/net_param_page.h"
#include "qt/pages/rs485_page.h"
#include "qt/widgets/tab_control.h"
#include "support/lock_probe.h"
#include "support/modal_watch.h"
#include "support/qt_control.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"

using quillon::CConfigMainDlg;
using quillon::DeviceParameterBlock;
using quillon::fakes::RecordingLink;
using quillon::fakes::RecordingNotifier;
using namespace quillon;

namespace {

const char kHelpShown[] =
    "单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，"
    "点击\"配置参数\"按钮，设备将保存参数并自动重启\n"
    "注意事项:\n"
    "1、确保软件与设备在同一局域网内\n"
    "2、请确定当前PC只使用一个网卡\n"
    "3、请按照 搜索->双击选中并读取->配置参数 的步骤来操作\n";

// A search reply from 192.168.1.100, MAC 001122334455, firmware 03.07, name DEV1.
const std::vector<uint8_t> kSearchReply = {
    0x55, 0x00, 0x18, 0x02, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01, 0xA8, 0xC0, 0x00, 0x11,
    0x22, 0x33, 0x44, 0x55, 0x07, 0x03, 0x00, 0x00, 0x44, 0x45, 0x56, 0x31, 0x00, 0xE8};

}  // namespace

class ConfigMainDlgTest : public QObject {
  Q_OBJECT

 private:
  DeviceParameterBlock block_{};
  RecordingLink link_;
  RecordingNotifier notifier_;
  std::unique_ptr<quillon::CConfigApp> app_;
  CConfigMainDlg* dlg_ = nullptr;

  // The program's assembly on a recording link and notifier, started as the program starts it.
  void Make(std::vector<uint32_t> addresses = {0x0A4D0001, 0xC0A80105}) {
    app_.reset();
    app_ = std::make_unique<quillon::CConfigApp>(block_, link_, notifier_,
                                                 [addresses] { return addresses; });
    app_->Start();
    dlg_ = &app_->Window();
  }
  QPlainTextEdit* Log() const { return fakes::ById<QPlainTextEdit>(dlg_, IDC_LOG); }
  QTreeWidget* List() const { return fakes::ById<QTreeWidget>(dlg_, IDC_DEVICE_LIST); }

 private slots:
  void init() {
    link_.Clear();
    notifier_.Clear();
    Make();
  }
  void cleanup() { app_.reset(); }

  void startsWithTheFiveHelpLines() {
    QCOMPARE(Log()->toPlainText(), QString::fromUtf8(kHelpShown));
    QCOMPARE(Log()->blockCount(),
             6);  // five lines and the empty one after the last
    const std::string log = app_->Session().LogText();
    QCOMPARE(std::count(log.begin(), log.end(), '\n'), 5);
    QVERIFY(log.ends_with("的步骤来操作\r\n"));
    QVERIFY(!Log()->isReadOnly());
    QVERIFY(notifier_.Boxes().empty());
    QVERIFY(link_.Sent().empty());
  }

  void windowFrame() {
    QCOMPARE(dlg_->windowTitle(), QStringLiteral("Quillon|网络视频字符叠加器配置软件-V2.3"));
    QVERIFY(dlg_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(dlg_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(dlg_->minimumSize(), dlg_->maximumSize());
    QVERIFY(!dlg_->windowIcon().isNull());
  }

  void localAddressAndPort() {
    QCOMPARE(fakes::ById<QLineEdit>(dlg_, IDC_LOCAL_IP)->text(), QStringLiteral("10.77.0.1"));
    QCOMPARE(fakes::ById<QLineEdit>(dlg_, IDC_LOCAL_PORT)->text(), QStringLiteral("1901"));
    QVERIFY(fakes::ById<QLineEdit>(dlg_, IDC_LOCAL_IP)->isReadOnly());
    QVERIFY(fakes::ById<QLineEdit>(dlg_, IDC_LOCAL_PORT)->isReadOnly());
    Make({});
    QCOMPARE(fakes::ById<QLineEdit>(dlg_, IDC_LOCAL_IP)->text(), QStringLiteral("0.0.0.0"));
  }

  void clearEmptiesTheLog() {
    fakes::ById<QPushButton>(dlg_, IDC_CLEAR_LOG)->click();
    QVERIFY(Log()->toPlainText().isEmpty());
    QVERIFY(app_->Session().LogText().empty());
  }

  void deviceListColumns() {
    QTreeWidget* list = List();
    QCOMPARE(list->columnCount(), 4);
    const QStringList headings = {"设备IP", "设备名称", "MAC地址", "固件版本"};
    const int client = list->width() - 2 * list->frameWidth();
    int sum = 0;
    for (int c = 0; c < 4; ++c) {
      QCOMPARE(list->headerItem()->text(c), headings[c]);
      QVERIFY(list->headerItem()->textAlignment(c) == 0 ||
              (list->headerItem()->textAlignment(c) & Qt::AlignLeft));
      sum += list->columnWidth(c);
    }
    QCOMPARE(list->columnWidth(0), client * 3 / 11);
    QCOMPARE(list->columnWidth(3), client * 2 / 11);
    QVERIFY(sum <= client);
    for (int c = 0; c < 3; ++c) QVERIFY(list->columnWidth(3) < list->columnWidth(c));
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(list->header()->defaultAlignment() & Qt::AlignLeft);
  }

  void tabsShowOnePageAtATime() {
    dlg_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg_));
    quillon::CTabControl* tabs = fakes::ById<CTabControl>(dlg_, IDC_TABS);
    QCOMPARE(tabs->TabBar()->tabText(0), QStringLiteral("网络参数"));
    QCOMPARE(tabs->TabBar()->tabText(1), QStringLiteral("485参数"));
    QVERIFY(dlg_->NetPage()->isVisible());
    QVERIFY(!dlg_->Rs485Page()->isVisible());
    QTest::mouseClick(tabs->TabBar(), Qt::LeftButton, {}, tabs->TabBar()->tabRect(1).center());
    QVERIFY(!dlg_->NetPage()->isVisible());
    QVERIFY(dlg_->Rs485Page()->isVisible());
    QTest::mouseClick(tabs->TabBar(), Qt::LeftButton, {}, tabs->TabBar()->tabRect(0).center());
    QVERIFY(dlg_->NetPage()->isVisible());
    QVERIFY(!dlg_->Rs485Page()->isVisible());
    // Both pages sit over the tab control's panel: 5 in from the sides, 20 below the top.
    const QRect expected = tabs->rect().adjusted(5, 20, -5, -5);
    QCOMPARE(dlg_->NetPage()->geometry(), expected);
    QCOMPARE(dlg_->Rs485Page()->geometry(), expected);
  }

  void enterAndEscapeDoNotClose() {
    dlg_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg_));
    QWidget* targets[] = {dlg_, Log(),
                          fakes::ById<QLineEdit>(dlg_->NetPage()->CameraPage(0), IDC_CAMERA_USER),
                          fakes::ById<QLineEdit>(dlg_->NetPage(), IDC_UPGRADE_TARGET_PORT)};
    for (QWidget* target : targets) {
      target->setFocus();
      QTest::keyClick(target, Qt::Key_Escape);
      QTest::keyClick(target, Qt::Key_Return);
      QTest::keyClick(target, Qt::Key_Enter);
      QVERIFY(dlg_->isVisible());
    }
    QVERIFY(link_.Sent().empty());
    // The close box still ends the window.
    QVERIFY(dlg_->close());
    QVERIFY(!dlg_->isVisible());
  }

  void accessibleNames() {
    const std::pair<int, const char*> names[] = {{IDC_DEVICE_LIST, "设备列表"},
                                                 {IDC_LOG, "信息提示区"},
                                                 {IDC_LOCAL_IP, "本机IP"},
                                                 {IDC_LOCAL_PORT, "端口"}};
    for (const auto& [id, name] : names)
      QCOMPARE(fakes::ById(dlg_, id)->accessibleName(), QString::fromUtf8(name));
    for (QPushButton* button :
         {fakes::ById<QPushButton>(dlg_, IDC_SEARCH), fakes::ById<QPushButton>(dlg_, IDC_CLEAR_LOG),
          fakes::ById<QPushButton>(dlg_, IDC_EXPORT), fakes::ById<QPushButton>(dlg_, IDC_IMPORT)}) {
      QVERIFY(!button->text().isEmpty());
      QCOMPARE(button->accessibleName(), button->text());
    }
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(List());
    QVERIFY(list);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("设备列表"));
    // No focusable control of the window is without a name.
    for (QWidget* w : dlg_->findChildren<QWidget*>()) {
      if (!(w->focusPolicy() & Qt::TabFocus) || w->inherits("QTabBar")) continue;
      if (w->window() != dlg_) continue;  // combo box popups
      if (qobject_cast<QWidget*>(w->parent()) && w->parentWidget()->inherits("QComboBox"))
        continue;  // a combo box's own edit field
      if (w->parentWidget() && w->parentWidget()->inherits("QAbstractScrollArea")) continue;
      QVERIFY2(!w->accessibleName().isEmpty(), w->metaObject()->className());
    }
  }

  void searchBroadcastsAndEmptiesTheList() {
    dlg_->InsertDeviceRow({"1.2.3.4", "old", "000000000001", "03.00"});
    fakes::ById<QPushButton>(dlg_, IDC_SEARCH)->click();
    QCOMPARE(link_.Refreshes(), 1);
    QCOMPARE(link_.Sent().size(), size_t{1});
    QCOMPARE(link_.Sent()[0], (std::vector<uint8_t>{0xAA, 0x00, 0x01, 0x02, 0x02}));
    QCOMPARE(List()->topLevelItemCount(), 0);
    QCOMPARE(Log()->toPlainText(), QStringLiteral("搜索...\n"));
  }

  void receivedDatagramsReachTheListFromAnyThread() {
    // As the receive thread hands it over.
    std::thread receiver([this] { link_.Deliver(kSearchReply); });
    receiver.join();
    QTRY_COMPARE(List()->topLevelItemCount(), 1);
    QTreeWidgetItem* row = List()->topLevelItem(0);
    QCOMPARE(row->text(0), QStringLiteral("192.168.1.100"));
    QCOMPARE(row->text(1), QStringLiteral("DEV1"));
    QCOMPARE(row->text(2), QStringLiteral("001122334455"));
    QCOMPARE(row->text(3), QStringLiteral("03.07"));
    // Newest first.
    std::vector<uint8_t> second = kSearchReply;
    second[8] = 0x65;  // 192.168.1.101
    second[27] += 1;   // checksum
    link_.Deliver(second);
    QTRY_COMPARE(List()->topLevelItemCount(), 2);
    QCOMPARE(List()->topLevelItem(0)->text(0), QStringLiteral("192.168.1.101"));
  }

  void doubleClickReadsTheSelectedDevice() {
    dlg_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg_));
    dlg_->InsertDeviceRow({"192.168.1.100", "DEV1", "001122334455", "03.07"});
    QTreeWidget* list = List();
    const QRect rect = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QVERIFY(dlg_->SelectedDeviceRow().has_value());
    QCOMPARE(dlg_->SelectedDeviceRow()->mac, std::string("001122334455"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(!link_.Sent().empty());
    QCOMPARE(link_.Sent().back(), (std::vector<uint8_t>{0xAA, 0x00, 0x07, 0x03, 0x00, 0x11, 0x22,
                                                        0x33, 0x44, 0x55, 0x02}));
  }

  void downloadButtonsReachTheSession() {
    fakes::ById<QPushButton>(dlg_->NetPage(), IDC_NET_DOWNLOAD)->click();
    fakes::ById<QPushButton>(dlg_->Rs485Page(), IDC_RS485_READ)->click();
    fakes::ById<QPushButton>(dlg_->Rs485Page(), IDC_RS485_DOWNLOAD)->click();
    const auto boxes = notifier_.Boxes();
    QCOMPARE(boxes.size(), size_t{3});
    QCOMPARE(boxes[0].caption, std::string("提示"));
    QCOMPARE(boxes[0].text, std::string("请先双击设备列表读取参数"));
    QCOMPARE(boxes[1].text, std::string("请先双击设备列表读取参数"));
    QCOMPARE(boxes[2].text, std::string("请先读取485参数后下载"));
    QVERIFY(link_.Sent().empty());
  }

  void logRefreshRequestedFromAnotherThread() {
    app_->Session().ClearLog();
    std::thread worker([this] {
      app_->Session().AppendLog("正在读取...\r\n");
      dlg_->RequestLogRefresh();
    });
    worker.join();
    QTRY_COMPARE(Log()->toPlainText(), QStringLiteral("正在读取...\n"));
  }

  void contextMenuOpensTheAboutBox() {
    dlg_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg_));
    QString item;
    QString aboutTitle;
    // Menu and box each run their own event loop; a timer whose handler is still running does
    // not fire again, so each gets its own.
    QTimer menuPoll;
    connect(&menuPoll, &QTimer::timeout, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        menuPoll.stop();
        item = menu->actions().value(0)->text();
        menu->setActiveAction(menu->actions().value(0));
        QTest::keyClick(menu, Qt::Key_Return);
      }
    });
    // A menu that never shows is closed by its own time limit below; the box by the watch's.
    QTimer::singleShot(10000, &menuPoll, [] {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    quillon::fakes::ModalWatch about([&](QWidget* modal) {
      aboutTitle = modal->windowTitle();
      static_cast<QDialog*>(modal)->accept();
    });
    menuPoll.start(5);
    const QPoint at(dlg_->width() - 4, dlg_->height() - 4);  // the window's own background
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, dlg_->mapToGlobal(at));
    QApplication::sendEvent(dlg_, &event);
    QCOMPARE(item, QStringLiteral("关于 Quillon(&A)..."));
    QCOMPARE(aboutTitle, QStringLiteral("关于 Quillon"));
    QVERIFY(dlg_->isVisible());
  }

  void pagesShowTheBlock() {
    quillon::PageForms& forms = app_->Session().Forms();
    block_.osd.abyIP[0] = 10;
    block_.osd.asCamera[1].wCameraPort = 554;
    app_->Session().NetParamsToPage();
    QCOMPARE(fakes::ById<QLineEdit>(dlg_->NetPage()->CameraPage(1), IDC_CAMERA_PORT)->text(),
             QStringLiteral("554"));
    fakes::ById<QLineEdit>(dlg_->NetPage()->CameraPage(1), IDC_CAMERA_PORT)
        ->setText(QStringLiteral("8554"));
    dlg_->ReadNetForm(forms.net);
    QVERIFY(!forms.net.Store(block_.osd));
    QCOMPARE(block_.osd.asCamera[1].wCameraPort, uint16_t{8554});
    QCOMPARE(block_.osd.abyIP[0], uint8_t{10});

    block_.modbus.wTimeout = 700;
    app_->Session().Rs485ParamsToPage();
    QCOMPARE(fakes::ById<QLineEdit>(dlg_->Rs485Page(), IDC_RS485_TIMEOUT)->text(),
             QStringLiteral("700"));
    fakes::ById<QLineEdit>(dlg_->Rs485Page(), IDC_RS485_TIMEOUT)->setText(QStringLiteral("800"));
    dlg_->ReadRs485Form(forms.rs485);
    QVERIFY(!forms.rs485.Store(block_.modbus));
    QCOMPARE(block_.modbus.wTimeout, uint16_t{800});
  }

  // A slot change and the gear dialog's "保存" write the block only under the model mutex, the
  // one the dictionary worker holds while it encodes entries.
  void slotAndGearWritesWaitForTheModelLock() {
    quillon::CRs485Page* page = dlg_->Rs485Page();
    std::mutex& mutex = app_->Session().ModelMutex();
    app_->Session().StopWorker();  // no waiter for the mutex but the page and the dialog
    block_.modbus.byProtocol = quillon::PROTOCOL_MODBUS;
    block_.modbus.asSlot[1].dwDataType = quillon::DT_REMOTE_ADJUST;  // its button is enabled
    app_->Session().Rs485ParamsToPage();
    fakes::ById<QLineEdit>(page, IDC_SLOT_NAME)->setText("A");
    QVERIFY(quillon::fakes::WaitsForTheLock(mutex, [&] {
      fakes::ById<QComboBox>(page, IDC_RS485_SLOT)->setCurrentIndex(1);
      emit fakes::ById<QComboBox>(page, IDC_RS485_SLOT)->activated(1);
    }));
    QCOMPARE(block_.modbus.asSlot[0].szName[0], 'A');
    // The table is stored once the dialog has closed: the mutex is held from before "保存"
    // until someone waits for it, or until a limit that only a store without the lock reaches.
    std::atomic<bool> locked{false}, waiterSeen{false};
    std::jthread holder;
    quillon::fakes::ModalWatch watch([&](QWidget*) {
      quillon::CRemoteAdjustDlg& dlg = page->RemoteAdjustDialog();
      fakes::ById<QLineEdit>(dlg, GearValueId(0))->setText("7");
      holder = std::jthread([&] {
        std::lock_guard lock(mutex);
        locked = true;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!waiterSeen && std::chrono::steady_clock::now() < limit) {
          waiterSeen = quillon::fakes::SomeoneWaitsFor(mutex);
          std::this_thread::yield();
        }
      });
      while (!locked) std::this_thread::yield();
      fakes::ById<QPushButton>(dlg, IDC_GEAR_SAVE)->click();
    });
    fakes::ById<QPushButton>(page, IDC_SLOT_REMOTE_ADJUST)->click();
    QVERIFY(watch.Handled());
    if (holder.joinable()) holder.join();
    QVERIFY(waiterSeen);
    QCOMPARE(block_.modbus.asSlot[1].afGearValue[0], 7.0f);
  }
};

QTEST_MAIN(ConfigMainDlgTest)
#include "config_main_dlg_test.moc"
