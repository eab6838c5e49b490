// The program's assembly on real sockets with the real main window, for end-to-end tests: boxes
// are recorded instead of shown, and the test plays the user with mouse clicks and the event
// loop. Header only: it needs Qt and GoogleTest, which only the window's end-to-end tests link.
//
// Only inside the private network of scripts/netns-run.sh: the link broadcasts.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "link/udp_link.h"
#include "qt/app/config_app.h"
#include "qt/app/config_main_dlg.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/net_param_page.h"
#include "support/qt_control.h"
#include "support/recording_notifier.h"
#include "support/transfer_logs.h"

namespace quillon::fakes {

// The receive buffer a PC with Linux's usual net.core.rmem_max of 212992 bytes grants the link.
inline constexpr int kUsualReceiveBuffer = 212992;

class MainWindowRun {
 public:
  // `receiveBufferBytes`: what the link asks for; 0 for the program's own request.
  explicit MainWindowRun(int receiveBufferBytes = 0)
      : block_(std::make_unique<DeviceParameterBlock>()),
        link_(SystemSockets(), notifier, InterfaceAddresses),
        app_(*block_, link_, notifier, InterfaceAddresses),
        dlg(app_.Window()) {
    if (receiveBufferBytes > 0) link_.SetReceiveBufferBytes(receiveBufferBytes);
    app_.Start();
    dlg.show();
  }

  // Runs the event loop until `done` holds or the time is up.
  bool Until(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
      if (timer.elapsed() > timeout.count()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QTest::qWait(5);
    }
    return true;
  }
  void Settle() {
    Until([] { return false; }, std::chrono::milliseconds(300));
  }

  ConfigSession& Session() { return app_.Session(); }
  std::string Log() { return Session().LogText(); }
  bool LogHas(const std::string& text) { return Log().find(text) != std::string::npos; }
  int LogCount(const std::string& text) { return Occurrences(Log(), text); }
  QTreeWidget& List() { return *fakes::ById<QTreeWidget>(dlg, IDC_DEVICE_LIST); }
  CNetParamPage& Net() { return *dlg.NetPage(); }
  CCameraPage& Camera(int k) { return *dlg.NetPage()->CameraPage(k); }
  DeviceParameterBlock& Block() { return *block_; }

  void Search(size_t rows) {
    QTest::mouseClick(fakes::ById<QPushButton>(dlg, IDC_SEARCH), Qt::LeftButton);
    ASSERT_TRUE(Until([&] { return static_cast<size_t>(List().topLevelItemCount()) >= rows; }))
        << Log();
    Settle();
  }

  // Double-clicks the row of `mac`, as a user does.
  void DoubleClick(const std::string& mac) {
    for (int i = 0; i < List().topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = List().topLevelItem(i);
      if (item->text(2).toStdString() != mac) continue;
      List().scrollToItem(item);  // a row below the list's bottom edge is scrolled to first
      const QRect rect = List().visualItemRect(item);
      QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, rect.center());
      QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, rect.center());
      return;
    }
    FAIL() << "no row for " << mac;
  }

  // Searches for the three standard devices and reads one of them.
  void Read(const std::string& mac, bool currentFirmware) {
    Search(3);
    DoubleClick(mac);
    const std::string done = currentFirmware ? "摄像头4字典读取成功...\r\n" : "读取参数成功\r\n";
    ASSERT_TRUE(Until([&] {
      return LogHas("读取参数成功\r\n") && LogHas(done) && !CameraTextRequested();
    })) << Log();
  }
  // The worker takes down the camera-text request just after its last log line; until then
  // "读取" and "导入参数" are refused.
  bool CameraTextRequested() {
    return std::atomic_ref<uint8_t>(Session().Flags().bCameraTextRequest).load() != 0;
  }

  RecordingNotifier notifier;

 private:
  std::unique_ptr<DeviceParameterBlock> block_;
  UdpLink link_;
  CConfigApp app_;

 public:
  CConfigMainDlg& dlg;
};

}  // namespace quillon::fakes
