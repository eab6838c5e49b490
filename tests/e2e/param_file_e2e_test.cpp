// A parameter file between a device and the program, end to end with the real main window
// against the simulator, inside the private network of scripts/netns-run.sh: read a device,
// export, change everything, import, download, and the device holds what was exported.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "files/ini_profile.h"
#include "files/param_file.h"
#include "qt/app/config_main_dlg.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/net_param_page.h"
#include "qt/widgets/ipv4_edit.h"
#include "support/file_dialog_answers.h"
#include "support/main_window_run.h"
#include "support/qt_control.h"
#include "support/simulator_run.h"
#include "support/temp_folder.h"
#include "text/gbk.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::MainWindowRun;
using fakes::SimulatorRun;
using fakes::TempFolder;

namespace {

constexpr const char* kMac = SimulatorRun::kCurrentMac;

// Sets every mark of the index, as the RS-485 page's "读取" and "下载" do, and waits for the
// worker to move them all.
void TransferRs485(MainWindowRun& w, bool write) {
  {
    std::lock_guard lock(w.Session().ModelMutex());
    sModBusPara& modbus = w.Block().modbus;
    uint8_t* marks = write ? modbus.abyDictWrite : modbus.abyDictRead;
    for (int i = 0; i < modbus.wDictCount; ++i) std::atomic_ref<uint8_t>(marks[i]).store(1);
  }
  const std::string done = write ? "正在下载字典,已完成100%\r\n" : "正在读取字典,已完成100%\r\n";
  ASSERT_TRUE(w.Until([&] { return w.LogHas(done); }, 30s)) << w.Log();
}

// Values of the network page and of the RS-485 half that survive a trip through the pages.
struct Values {
  std::array<uint8_t, 4> ip;
  bool dhcp;
  const char* targetPort;
  const char* user;
  const char* lineText;
  const char* cameraPort;
  uint16_t pollInterval;
  uint32_t baudRate;
  const char* slotName;
  float scale;
};

const Values kExported = {{10, 20, 30, 40}, true, "8123", "值班员",   "二号泵站 出口压力",
                          "8554",           2345, 19200,  "出口温度", 0.5f};
const Values kChanged = {{172, 16, 0, 9}, false, "1", "other", "changed", "1", 111, 4800,
                         "别的",          -3.0f};

void Enter(MainWindowRun& w, const Values& v) {
  fakes::ById<CIpAddressEdit>(w.Net(), IDC_STATIC_IP)->SetAddress(v.ip);
  fakes::ById<QCheckBox>(w.Net(), IDC_DHCP)->setChecked(v.dhcp);
  fakes::ById<QLineEdit>(w.Net(), IDC_UPGRADE_TARGET_PORT)
      ->setText(QString::fromUtf8(v.targetPort));
  fakes::ById<QLineEdit>(w.Camera(1), IDC_CAMERA_USER)->setText(QString::fromUtf8(v.user));
  fakes::ById<QLineEdit>(w.Camera(2), IDC_LINE_TEXT + 3)->setText(QString::fromUtf8(v.lineText));
  fakes::ById<QLineEdit>(w.Camera(3), IDC_CAMERA_PORT)->setText(QString::fromUtf8(v.cameraPort));
  // The RS-485 half goes into the block and onto its page, so that the page stores the same
  // values back when the export asks it to.
  {
    std::lock_guard lock(w.Session().ModelMutex());
    sModBusPara& modbus = w.Block().modbus;
    modbus.wPollInterval = v.pollInterval;
    modbus.dwBaudRate = v.baudRate;
    StoreGbkText(modbus.asSlot[0].szName, 30, v.slotName);
    modbus.asSlot[0].fScaleA = v.scale;
    StoreGbkText(modbus.asSlot[6].szUnit, 8, v.slotName);
  }
  w.Session().Rs485ParamsToPage();
}

void ExpectDeviceHolds(const DeviceState& device, const Values& v) {
  EXPECT_EQ(0, std::memcmp(device.osd.abyIP, v.ip.data(), 4));
  EXPECT_EQ(device.osd.byDHCP, v.dhcp ? 1 : 0);
  EXPECT_EQ(std::to_string(device.osd.wUpgradeDstPort), v.targetPort);
  EXPECT_EQ(LoadGbkText(device.osd.asCamera[1].szUser, 30), v.user);
  EXPECT_EQ(LoadGbkText(device.osd.asCamera[2].asLine[3].szText, 73), v.lineText);
  EXPECT_EQ(std::to_string(device.osd.asCamera[3].wCameraPort), v.cameraPort);
  EXPECT_EQ(+device.modbus.wPollInterval, +v.pollInterval);
  EXPECT_EQ(+device.modbus.dwBaudRate, +v.baudRate);
  EXPECT_EQ(LoadGbkText(device.modbus.asSlot[0].szName, 31), v.slotName);
  EXPECT_EQ(+device.modbus.asSlot[0].fScaleA, +v.scale);
  EXPECT_EQ(LoadGbkText(device.modbus.asSlot[6].szUnit, 9), v.slotName);
}

TEST(ParamFileE2e, AnExportedFileReachesTheDeviceAfterAnImport) {
  SimulatorRun sim(SimulatorRun::ThreeDevices());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TempFolder folder;
  ASSERT_TRUE(folder.Made());
  MainWindowRun w;
  const std::string path = folder / "device.ini";
  const fakes::FileDialogAnswers files(
      [&](const std::string&) -> std::optional<std::string> { return path; });

  w.Read(kMac, true);
  TransferRs485(w, false);
  if (::testing::Test::HasFatalFailure()) return;
  const DeviceState original = *sim.State(kMac);

  Enter(w, kExported);
  QTest::mouseClick(fakes::ById<QPushButton>(w.dlg, IDC_EXPORT), Qt::LeftButton);
  const IniProfile file(folder.Read("device.ini"));
  const std::optional<std::string> osdDigits = file.Get("sOSDCommPara", "sOSDCommPara");
  ASSERT_TRUE(osdDigits);
  ASSERT_EQ(osdDigits->size(), 5656u);
  // What the device sent and the program never shows is in the file: bytes 13 to 18.
  char aux[13];
  const auto* auxBytes = reinterpret_cast<const uint8_t*>(&original.osd) + 13;
  std::snprintf(aux, sizeof aux, "%02X%02X%02X%02X%02X%02X", auxBytes[0], auxBytes[1], auxBytes[2],
                auxBytes[3], auxBytes[4], auxBytes[5]);
  EXPECT_EQ(osdDigits->substr(26, 12), aux);
  EXPECT_EQ(osdDigits->substr(2, 8), "0A141E28");  // the static address

  Enter(w, kChanged);
  const int writesBefore = sim.CountLogLines("dict-write");
  QTest::mouseClick(fakes::ById<QPushButton>(w.dlg, IDC_IMPORT), Qt::LeftButton);
  EXPECT_EQ(fakes::ById<CIpAddressEdit>(w.Net(), IDC_STATIC_IP)->DottedText(),
            QStringLiteral("10.20.30.40"));
  EXPECT_EQ(fakes::ById<QLineEdit>(w.Camera(1), IDC_CAMERA_USER)->text(),
            QString::fromUtf8(kExported.user));
  // The import alone sends nothing.
  w.Settle();
  EXPECT_EQ(sim.CountLogLines("dict-write"), writesBefore);
  EXPECT_EQ(sim.CountLogLines("download"), 0);

  w.Session().ClearLog();
  QTest::mouseClick(fakes::ById<QPushButton>(w.Net(), IDC_NET_DOWNLOAD), Qt::LeftButton);
  ASSERT_TRUE(w.Until([&] { return w.LogHas("下载参数成功\r\n"); })) << w.Log();
  TransferRs485(w, true);
  if (::testing::Test::HasFatalFailure()) return;
  w.Settle();

  const DeviceState device = *sim.State(kMac);
  ExpectDeviceHolds(device, kExported);
  // What neither the file nor the download changes stays as the device had it.
  EXPECT_EQ(+device.osd.dwAux, +original.osd.dwAux);
  EXPECT_EQ(0, std::memcmp(device.osd.abyNetMask, original.osd.abyNetMask, 4));
  EXPECT_EQ(LoadGbkText(device.modbus.asSlot[9].szName, 31),
            LoadGbkText(original.modbus.asSlot[9].szName, 31));
  EXPECT_EQ(w.notifier.Count(), 1u);  // the search's first-generation warning only
}

}  // namespace
