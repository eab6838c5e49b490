// The window's batch dialog against simulated devices over real sockets, inside the private
// network of scripts/netns-run.sh: devices that restart after their download, configured side by
// side from the pages and each read back; a device that stays silent; a batch stopped.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <string>
#include <vector>

#include "qt/app/batch_dlg.h"
#include "qt/widgets/ipv4_edit.h"
#include "support/main_window_run.h"
#include "support/modal_watch.h"
#include "support/qt_control.h"
#include "support/simulator_run.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::ById;

namespace {

constexpr int kDevices = 20;
const std::string kSilentMac = "00E04C3A1E99";

std::string Mac(int n) { return "00E04C3A1E" + std::string(n < 10 ? "0" : "") + std::to_string(n); }

std::vector<std::string> Devices() {
  std::vector<std::string> devices;
  for (int n = 1; n <= kDevices; ++n)
    devices.push_back("ip=192.168.1." + std::to_string(20 + n) + ",mac=" + Mac(n) +
                      ",version=32.05,restart-ms=1000,name=" + std::to_string(n) + "号站");
  devices.push_back("ip=192.168.1.99,mac=" + kSilentMac + ",version=32.05,name=不应答");
  return devices;
}

std::string Address(const uint8_t ip[4]) {
  return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
         std::to_string(ip[3]);
}

QString Text(QTableWidget& list, int row, int column) { return list.item(row, column)->text(); }

// The dialog as a user runs it: every device ticked, the first address, 开始; `whileRunning`
// plays the rest and returns once the batch has ended.
void RunBatch(fakes::MainWindowRun& window, const QString& parallel,
              const std::function<void(CBatchDlg&, QTableWidget&)>& whileRunning) {
  fakes::ModalWatch watch(
      [&](QWidget* modal) {
        auto* dlg = qobject_cast<CBatchDlg*>(modal);
        ASSERT_TRUE(dlg);
        QTest::mouseClick(ById<QPushButton>(*dlg, IDC_BATCH_ALL), Qt::LeftButton);
        ById<CIpAddressEdit>(*dlg, IDC_BATCH_START_IP)->SetAddress({192, 168, 1, 100});
        ById<QLineEdit>(*dlg, IDC_BATCH_PARALLEL)->setText(parallel);
        QTest::mouseClick(ById<QPushButton>(*dlg, IDC_BATCH_START), Qt::LeftButton);
        whileRunning(*dlg, *ById<QTableWidget>(*dlg, IDC_BATCH_LIST));
        QTest::mouseClick(ById<QPushButton>(*dlg, IDC_BATCH_CLOSE), Qt::LeftButton);
      },
      240s, [](QWidget* modal) { return qobject_cast<CBatchDlg*>(modal) != nullptr; });
  QTest::mouseClick(ById<QPushButton>(window.dlg, IDC_BATCH), Qt::LeftButton);
  EXPECT_TRUE(watch.Handled());
  EXPECT_FALSE(watch.TimedOut());
}

TEST(BatchE2e, DevicesThatRestartAreConfiguredSideBySideAndCheckedBack) {
  fakes::SimulatorRun sim(Devices());
  ASSERT_TRUE(sim.Start({"--silent-device", kSilentMac})) << sim.Error();
  fakes::MainWindowRun window;
  window.Search(kDevices + 1);
  window.DoubleClick(Mac(1));
  ASSERT_TRUE(window.Until([&] {
    return window.LogHas("摄像头4字典读取成功...\r\n") && !window.CameraTextRequested();
  })) << window.Log();

  std::vector<std::string> rowMacs;
  RunBatch(window, "16", [&](CBatchDlg& dlg, QTableWidget& list) {
    auto* summary = ById<QLabel>(dlg, IDC_BATCH_SUMMARY);
    ASSERT_TRUE(window.Until([&] { return summary->text() == "已完成 21/21，失败 1"; }, 200s))
        << summary->text().toStdString();
    for (int row = 0; row < list.rowCount(); ++row) {
      const std::string mac = Text(list, row, 2).toStdString();
      rowMacs.push_back(mac);
      EXPECT_EQ(Text(list, row, 4).toStdString(),
                mac == kSilentMac ? "失败：读取参数无应答" : "成功（已校验）")
          << mac;
    }
  });
  // Each device has the address of its row's place, counted up from the first.
  ASSERT_EQ(rowMacs.size(), static_cast<size_t>(kDevices + 1));
  for (size_t row = 0; row < rowMacs.size(); ++row) {
    if (rowMacs[row] == kSilentMac) continue;
    EXPECT_EQ(Address(sim.State(rowMacs[row])->osd.abyIP), "192.168.1." + std::to_string(100 + row))
        << rowMacs[row];
  }
  EXPECT_TRUE(window.LogHas("批量配置完成：成功 20 台，失败 1 台\r\n")) << window.Log();
  EXPECT_EQ(window.LogCount("：成功（已校验）\r\n"), kDevices);

  // 停止 after the first device has started: the rest are never started and still wait.
  RunBatch(window, "1", [&](CBatchDlg& dlg, QTableWidget& list) {
    ASSERT_TRUE(window.Until([&] { return Text(list, 0, 4) == "进行中"; }));
    QTest::mouseClick(ById<QPushButton>(dlg, IDC_BATCH_STOP), Qt::LeftButton);
    auto* start = ById<QPushButton>(dlg, IDC_BATCH_START);
    ASSERT_TRUE(window.Until([&] { return start->isEnabled(); }, 120s));
    EXPECT_EQ(Text(list, 0, 4).toStdString(),
              rowMacs[0] == kSilentMac ? "失败：读取参数无应答" : "成功（已校验）");
    for (int row = 1; row < list.rowCount(); ++row)
      EXPECT_EQ(Text(list, row, 4).toStdString(), "等待") << row;
  });
}

}  // namespace
