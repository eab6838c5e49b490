// The real main window against simulated devices over real sockets, inside the private network
// of scripts/netns-run.sh: search, read, the pages, and the parameter download.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "link/udp_link.h"
#include "qt/app/config_app.h"
#include "qt/app/config_main_dlg.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/net_param_page.h"
#include "qt/widgets/ipv4_edit.h"
#include "support/main_window_run.h"
#include "support/qt_control.h"
#include "support/recording_notifier.h"
#include "support/simulator_run.h"
#include "text/gbk.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::RecordingNotifier;
using fakes::SimulatorRun;

namespace {

constexpr const char* kCurrentMac = SimulatorRun::kCurrentMac;
constexpr const char* kLegacyMac = SimulatorRun::kLegacyMac;
constexpr const char* kFirstGenMac = SimulatorRun::kFirstGenMac;

std::string Utf8(const QString& text) { return text.toStdString(); }

// The three standard devices.
struct Devices : SimulatorRun {
  Devices() : SimulatorRun(ThreeDevices()) {}
  // A device's state; a failure when the dump lacks it.
  DeviceState StateOf(const std::string& mac) const {
    const auto state = State(mac);
    EXPECT_TRUE(state) << mac;
    return state.value_or(DeviceState{});
  }
};

// The program's assembly on real sockets, with boxes recorded instead of shown.
using Window = fakes::MainWindowRun;

void SaveScreenshot(QWidget& widget, const char* name) {
  const QByteArray dir = qgetenv("QUILLON_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  widget.grab().save(QDir(QString::fromUtf8(dir)).filePath(QString::fromUtf8(name)));
}

TEST(MainWindowE2e, SearchListsEveryDeviceAndWarnsAboutTheFirstGeneration) {
  Devices devices;
  ASSERT_TRUE(devices.Start()) << devices.Error();
  Window w;
  w.Search(3);

  ASSERT_EQ(w.List().topLevelItemCount(), 3);
  std::map<std::string, std::vector<std::string>> rows;
  for (int i = 0; i < 3; ++i) {
    QTreeWidgetItem* item = w.List().topLevelItem(i);
    rows[Utf8(item->text(2))] = {Utf8(item->text(0)), Utf8(item->text(1)), Utf8(item->text(3))};
  }
  EXPECT_EQ(rows[kCurrentMac], (std::vector<std::string>{"192.168.1.64", "1号机房 东门", "32.05"}));
  EXPECT_EQ(rows[kLegacyMac], (std::vector<std::string>{"192.168.1.65", "2号泵站", "20.03"}));
  EXPECT_EQ(rows[kFirstGenMac], (std::vector<std::string>{"192.168.1.66", "老设备", "01.09"}));
  // The simulator answers in its device order; the newest row is at the top.
  EXPECT_EQ(Utf8(w.List().topLevelItem(0)->text(2)), kFirstGenMac);

  const auto boxes = w.notifier.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "警告");
  EXPECT_EQ(boxes[0].text,
            "请使用老版（V1.X版本)"
            "配置软件进行配置\r\n此款软件不适用于此设备\r\n继续操作可能导致设备工作异常");
  EXPECT_EQ(w.Log(), "搜索...\r\n搜索到设备\r\n搜索到设备\r\n搜索到设备\r\n");
  EXPECT_EQ(Utf8(fakes::ById<QPlainTextEdit>(w.dlg, IDC_LOG)->toPlainText()),
            "搜索...\n搜索到设备\n搜索到设备\n搜索到设备\n");
  SaveScreenshot(w.dlg, "main-window-search.png");

  // A second search empties the list before its replies come in.
  QTest::mouseClick(fakes::ById<QPushButton>(w.dlg, IDC_SEARCH), Qt::LeftButton);
  EXPECT_EQ(w.List().topLevelItemCount(), 0);
  EXPECT_EQ(w.Log(), "搜索...\r\n");
  ASSERT_TRUE(w.Until([&] { return w.List().topLevelItemCount() == 3; }));
  w.Settle();
  EXPECT_EQ(w.List().topLevelItemCount(), 3);
  EXPECT_EQ(w.notifier.Count(), 2u);
}

// Every field of the read reply and the camera line texts, as the pages show them.
void ExpectPagesShow(Window& w, const sOSDCommPara& osd, bool lineTexts) {
  auto dotted = [](const uint8_t* a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
  };
  EXPECT_EQ(Utf8(fakes::ById<CIpAddressEdit>(w.Net(), IDC_STATIC_IP)->DottedText()),
            dotted(osd.abyIP));
  EXPECT_EQ(Utf8(fakes::ById<CIpAddressEdit>(w.Net(), IDC_NET_MASK)->DottedText()),
            dotted(osd.abyNetMask));
  EXPECT_EQ(Utf8(fakes::ById<CIpAddressEdit>(w.Net(), IDC_GATEWAY)->DottedText()),
            dotted(osd.abyGateway));
  EXPECT_EQ(Utf8(fakes::ById<CIpAddressEdit>(w.Net(), IDC_UPGRADE_IP)->DottedText()),
            dotted(osd.abyUpgradeIP));
  EXPECT_EQ(fakes::ById<QCheckBox>(w.Net(), IDC_DHCP)->isChecked(), osd.byDHCP == 1);
  EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(w.Net(), IDC_UPGRADE_TARGET_PORT)->text()),
            std::to_string(osd.wUpgradeDstPort));
  EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(w.Net(), IDC_UPGRADE_SOURCE_PORT)->text()),
            std::to_string(osd.wUpgradeSrcPort));
  for (int c = 0; c < 4; ++c) {
    const sCameraPara& cam = osd.asCamera[c];
    CCameraPage& page = w.Camera(c);
    SCOPED_TRACE("camera " + std::to_string(c));
    EXPECT_EQ(Utf8(fakes::ById<CIpAddressEdit>(page, IDC_CAMERA_IP)->DottedText()),
              dotted(cam.abyCameraIP));
    EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_CAMERA_PORT)->text()),
              std::to_string(cam.wCameraPort));
    EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_CAMERA_SOURCE_PORT)->text()),
              std::to_string(cam.wSourcePort));
    EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_CAMERA_USER)->text()),
              LoadGbkText(cam.szUser, 29));
    EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_CAMERA_PASSWORD)->text()),
              LoadGbkText(cam.szPassword, 29));
    EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_CAMERA_BRAND)->currentIndex(), cam.byBrand);
    EXPECT_EQ(fakes::ById<QComboBox>(page, IDC_CAMERA_LINE_COUNT)->currentIndex(),
              cam.byLineCount - 1);
    for (int l = 0; l < 8; ++l) {
      EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_LINE_X + l)->text()),
                std::to_string(cam.asLine[l].wX));
      EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_LINE_Y + l)->text()),
                std::to_string(cam.asLine[l].wY));
      if (lineTexts) {
        const std::string text = LoadGbkText(cam.asLine[l].szText, sizeof cam.asLine[l].szText);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(page, IDC_LINE_TEXT + l)->text()), text)
            << "line " << l;
      }
    }
  }
}

// Reads device `mac` (whose line texts come by dictionary when `current`), checks that the pages
// show what it holds, and gives that.
DeviceState ReadIntoThePages(Window& w, Devices& devices, const std::string& mac, bool current) {
  w.Read(mac, current);
  const DeviceState device = devices.StateOf(mac);
  ExpectPagesShow(w, device.osd, current);
  return device;
}

TEST(MainWindowE2e, ReadOfCurrentFirmwareShowsEveryFieldAndTheLineTextsOfAllCameras) {
  Devices devices;
  ASSERT_TRUE(devices.Start()) << devices.Error();
  Window w;
  const DeviceState device = ReadIntoThePages(w, devices, kCurrentMac, true);
  EXPECT_EQ(w.Session().Flags().bParamsRead, 1);
  EXPECT_EQ(w.notifier.Count(), 1u);  // the search's first-generation warning only
  EXPECT_EQ(devices.CountLogLines("read " + std::string(kCurrentMac)), 1);
  w.Settle();  // the worker's last log line reaches the box through a posted refresh
  SaveScreenshot(w.dlg, "main-window-read.png");
}

TEST(MainWindowE2e, ReadOfLegacyFirmwareTakesTheLineTextsFromTheReply) {
  Devices devices;
  ASSERT_TRUE(devices.Start()) << devices.Error();
  Window w;
  const DeviceState device = ReadIntoThePages(w, devices, kLegacyMac, false);
  for (int c = 0; c < 4; ++c)
    for (int l = 0; l < 8; ++l) {
      const std::string want(device.osd.asCamera[c].asLine[l].szText,
                             strnlen(device.osd.asCamera[c].asLine[l].szText, 17));
      EXPECT_EQ(Utf8(fakes::ById<QLineEdit>(w.Camera(c), IDC_LINE_TEXT + l)->text()),
                GbkToUtf8(want));
    }
  // No dictionary request for legacy firmware.
  w.Settle();
  EXPECT_EQ(devices.CountLogLines("dict-read"), 0);
}

// Types new values into every field of the pages.
struct Typed {
  std::string user[4], password[4], text[4][8];
};

Typed TypeEverything(Window& w, bool legacy) {
  Typed typed;
  auto setIp = [](CIpAddressEdit* edit, std::array<uint8_t, 4> bytes) { edit->SetAddress(bytes); };
  setIp(fakes::ById<CIpAddressEdit>(w.Net(), IDC_STATIC_IP), {10, 1, 2, 3});
  setIp(fakes::ById<CIpAddressEdit>(w.Net(), IDC_NET_MASK), {255, 255, 0, 0});
  setIp(fakes::ById<CIpAddressEdit>(w.Net(), IDC_GATEWAY), {10, 1, 0, 254});
  setIp(fakes::ById<CIpAddressEdit>(w.Net(), IDC_UPGRADE_IP), {10, 1, 0, 9});
  fakes::ById<QCheckBox>(w.Net(), IDC_DHCP)->setChecked(true);
  fakes::ById<QLineEdit>(w.Net(), IDC_UPGRADE_TARGET_PORT)->setText("70000");  // stored as 4464
  fakes::ById<QLineEdit>(w.Net(), IDC_UPGRADE_SOURCE_PORT)->setText("0815");
  for (int c = 0; c < 4; ++c) {
    CCameraPage& page = w.Camera(c);
    setIp(fakes::ById<CIpAddressEdit>(page, IDC_CAMERA_IP), {172, 16, static_cast<uint8_t>(c), 20});
    fakes::ById<QLineEdit>(page, IDC_CAMERA_PORT)->setText(QString::number(554 + c));
    fakes::ById<QLineEdit>(page, IDC_CAMERA_SOURCE_PORT)->setText(QString::number(6000 + c));
    typed.user[c] = "操作员" + std::to_string(c);
    typed.password[c] = "pw-" + std::to_string(c * 7);
    fakes::ById<QLineEdit>(page, IDC_CAMERA_USER)->setText(QString::fromStdString(typed.user[c]));
    fakes::ById<QLineEdit>(page, IDC_CAMERA_PASSWORD)
        ->setText(QString::fromStdString(typed.password[c]));
    fakes::ById<QComboBox>(page, IDC_CAMERA_BRAND)->setCurrentIndex(c + 1);
    fakes::ById<QComboBox>(page, IDC_CAMERA_LINE_COUNT)->setCurrentIndex(7 - c);
    for (int l = 0; l < 8; ++l) {
      // Legacy firmware carries 17 bytes of each text: keep them within 16.
      typed.text[c][l] =
          legacy ? "温度" + std::to_string(c) + "-" + std::to_string(l)
                 : "摄像头" + std::to_string(c + 1) + " 第" + std::to_string(l + 1) + "行 新文字";
      fakes::ById<QLineEdit>(page, IDC_LINE_TEXT + l)
          ->setText(QString::fromStdString(typed.text[c][l]));
      fakes::ById<QLineEdit>(page, IDC_LINE_X + l)->setText(QString::number(100 + 10 * l + c));
      fakes::ById<QLineEdit>(page, IDC_LINE_Y + l)->setText(QString::number(200 + 20 * l + c));
    }
  }
  return typed;
}

void ExpectDeviceHolds(const sOSDCommPara& got, const Typed& typed, bool legacy) {
  const uint8_t ip[4] = {10, 1, 2, 3}, mask[4] = {255, 255, 0, 0}, gw[4] = {10, 1, 0, 254},
                up[4] = {10, 1, 0, 9};
  EXPECT_EQ(0, std::memcmp(got.abyIP, ip, 4));
  EXPECT_EQ(0, std::memcmp(got.abyNetMask, mask, 4));
  EXPECT_EQ(0, std::memcmp(got.abyGateway, gw, 4));
  EXPECT_EQ(0, std::memcmp(got.abyUpgradeIP, up, 4));
  EXPECT_EQ(got.byDHCP, 1);
  EXPECT_EQ(+got.wUpgradeDstPort, 4464);
  EXPECT_EQ(+got.wUpgradeSrcPort, 815);
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE("camera " + std::to_string(c));
    const sCameraPara& cam = got.asCamera[c];
    const uint8_t camIp[4] = {172, 16, static_cast<uint8_t>(c), 20};
    EXPECT_EQ(0, std::memcmp(cam.abyCameraIP, camIp, 4));
    EXPECT_EQ(+cam.wCameraPort, 554 + c);
    EXPECT_EQ(+cam.wSourcePort, 6000 + c);
    EXPECT_EQ(LoadGbkText(cam.szUser, 30), typed.user[c]);
    EXPECT_EQ(LoadGbkText(cam.szPassword, 30), typed.password[c]);
    EXPECT_EQ(+cam.byBrand, c + 1);
    EXPECT_EQ(+cam.byLineCount, 8 - c);
    for (int l = 0; l < 8; ++l) {
      EXPECT_EQ(+cam.asLine[l].wX, 100 + 10 * l + c);
      EXPECT_EQ(+cam.asLine[l].wY, 200 + 20 * l + c);
      const size_t limit = legacy ? 17 : sizeof cam.asLine[l].szText;
      EXPECT_EQ(LoadGbkText(cam.asLine[l].szText, limit), typed.text[c][l]) << "line " << l;
    }
  }
}

// The device's image after a download equals the block, byte for byte, in every field the
// download carries.
void ExpectDeviceEqualsBlock(const sOSDCommPara& got, const sOSDCommPara& sent, bool legacy) {
  EXPECT_EQ(0, std::memcmp(&got, &sent, 13));  // DHCP and the three addresses
  EXPECT_EQ(0, std::memcmp(&got.abyUpgradeIP, &sent.abyUpgradeIP, 8));
  for (int c = 0; c < 4; ++c) {
    const sCameraPara &a = got.asCamera[c], &b = sent.asCamera[c];
    EXPECT_EQ(0, std::memcmp(&a, &b, offsetof(sCameraPara, asLine))) << "camera " << c;
    EXPECT_EQ(a.byBrand, b.byBrand);
    EXPECT_EQ(a.byLineCount, b.byLineCount);
    for (int l = 0; l < 8; ++l) {
      EXPECT_EQ(+a.asLine[l].wX, +b.asLine[l].wX);
      EXPECT_EQ(+a.asLine[l].wY, +b.asLine[l].wY);
      if (legacy)
        EXPECT_EQ(0, std::memcmp(a.asLine[l].szText, b.asLine[l].szText, 17));
      else
        EXPECT_STREQ(a.asLine[l].szText, b.asLine[l].szText);
    }
  }
}

void DownloadEverything(bool legacy) {
  Devices devices;
  ASSERT_TRUE(devices.Start()) << devices.Error();
  Window w;
  const std::string mac = legacy ? kLegacyMac : kCurrentMac;
  w.Read(mac, !legacy);
  const sOSDCommPara before = devices.StateOf(mac).osd;
  const Typed typed = TypeEverything(w, legacy);
  QTest::mouseClick(fakes::ById<QPushButton>(w.Net(), IDC_NET_DOWNLOAD), Qt::LeftButton);
  // The acknowledgement, and (current firmware) the four line-text frames at the device, the
  // last of them in its dump: the device logs a request before it stores it.
  auto lastLineArrived = [&] {
    const auto state = devices.State(mac);
    const sOverlayLine& line = state ? state->osd.asCamera[3].asLine[7] : sOverlayLine{};
    return LoadGbkText(line.szText, legacy ? 17 : sizeof line.szText) == typed.text[3][7];
  };
  ASSERT_TRUE(w.Until([&] {
    return w.LogHas("下载参数成功\r\n") &&
           devices.CountLogLines("dict-write") == (legacy ? 0 : 4) && lastLineArrived();
  })) << w.Log();

  const std::string want =
      legacy ? "设置参数... \r\n设置完成\r\n下载参数成功\r\n"
             : "设置参数... \r\n正在下载摄像头1参数...\r\n正在下载摄像头2参数...\r\n"
               "正在下载摄像头3参数...\r\n正在下载摄像头4参数...\r\n设置完成\r\n"
               "下载参数成功\r\n";
  EXPECT_EQ(w.Log(), want);
  const sOSDCommPara after = devices.StateOf(mac).osd;
  ExpectDeviceHolds(after, typed, legacy);
  ExpectDeviceEqualsBlock(after, w.Block().osd, legacy);
  // What the download does not carry stays as the device had it.
  EXPECT_EQ(+after.dwAux, +before.dwAux);
  EXPECT_EQ(+after.wAux, +before.wAux);
  EXPECT_EQ(devices.CountLogLines("dict-write"), legacy ? 0 : 4);
  EXPECT_EQ(w.notifier.Count(), 1u);  // the search's first-generation warning only
}

TEST(MainWindowE2e, EveryFieldTypedReachesACurrentDevice) { DownloadEverything(false); }

TEST(MainWindowE2e, EveryFieldTypedReachesALegacyDevice) { DownloadEverything(true); }

TEST(MainWindowE2e, DownloadBeforeAnyReadIsRefused) {
  Devices devices;
  ASSERT_TRUE(devices.Start()) << devices.Error();
  Window w;
  w.Search(3);
  QTest::mouseClick(fakes::ById<QPushButton>(w.Net(), IDC_NET_DOWNLOAD), Qt::LeftButton);
  w.Settle();
  const auto boxes = w.notifier.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].caption, "提示");
  EXPECT_EQ(boxes[1].text, "请先双击设备列表读取参数");
  EXPECT_EQ(boxes[1].icon, BoxIcon::Exclamation);
  EXPECT_EQ(devices.CountLogLines("download"), 0);
}

TEST(MainWindowE2e, RefusedDownloadIsReportedOncePerAcknowledgement) {
  Devices devices;
  ASSERT_TRUE(devices.Start({"--refuse-download", "--answer-twice"})) << devices.Error();
  Window w;
  w.Read(kLegacyMac, false);
  QTest::mouseClick(fakes::ById<QPushButton>(w.Net(), IDC_NET_DOWNLOAD), Qt::LeftButton);
  ASSERT_TRUE(w.Until([&] { return w.LogCount("下载参数失败\r\n") == 2; })) << w.Log();
  w.Settle();
  EXPECT_EQ(w.LogCount("下载参数失败\r\n"), 2);
  EXPECT_FALSE(w.LogHas("下载参数成功"));
  int failureBoxes = 0;
  for (const auto& box : w.notifier.Boxes())
    if (box.text == "下载参数失败") {
      ++failureBoxes;
      EXPECT_EQ(box.caption, "警告");
      EXPECT_EQ(box.icon, BoxIcon::Question);
    }
  EXPECT_EQ(failureBoxes, 2);
}

// Reading a device that does not answer takes back what the previous device's reply allowed:
// "下载数据" is refused and nothing reaches either device; after 5 s the log says so.
TEST(MainWindowE2e, ADownloadAfterAnUnansweredReadIsRefused) {
  Devices devices;
  ASSERT_TRUE(devices.Start({"--silent-device", kLegacyMac})) << devices.Error();
  Window w;
  w.Read(kCurrentMac, true);
  w.DoubleClick(kLegacyMac);
  QTest::mouseClick(fakes::ById<QPushButton>(w.Net(), IDC_NET_DOWNLOAD), Qt::LeftButton);
  // The device has the read request; a download sent after it would come next.
  EXPECT_TRUE(w.Until(
      [&] { return devices.CountLogLines("silent read " + std::string(kLegacyMac)) == 1; }));
  w.Settle();
  const auto boxes = w.notifier.Boxes();
  ASSERT_EQ(boxes.size(), 2u);  // the first-generation warning, then the refusal
  EXPECT_EQ(boxes[1].caption, "提示");
  EXPECT_EQ(boxes[1].text, "请先双击设备列表读取参数");
  EXPECT_EQ(devices.CountLogLines("download"), 0);
  EXPECT_EQ(devices.CountLogLines("silent read " + std::string(kLegacyMac)), 1);
  ASSERT_TRUE(w.Until([&] { return w.LogHas("读取参数失败\r\n"); }, 30s)) << w.Log();
  EXPECT_EQ(w.Log(), "读取参数...\r\n读取参数失败\r\n");
}

}  // namespace

// A thousand devices answer one search within some 50 ms, into the receive buffer that a usual
// net.core.rmem_max grants, which holds only about half of their replies: every one is listed.
TEST(MainWindowE2e, ABurstOfAThousandRepliesIsListedWhole) {
  SimulatorRun devices(SimulatorRun::ManyDevices(1000));
  ASSERT_TRUE(devices.Start({"--spread-ms", "50"})) << devices.Error();
  Window w(fakes::kUsualReceiveBuffer);
  QTest::mouseClick(fakes::ById<QPushButton>(w.dlg, IDC_SEARCH), Qt::LeftButton);
  EXPECT_TRUE(w.Until([&] { return w.List().topLevelItemCount() == 1000; }, 60s))
      << w.List().topLevelItemCount() << " listed";
}
