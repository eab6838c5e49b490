// Dictionary transfers end to end: the session with its real worker thread and UDP link against
// quillon-devsim, inside the private network of scripts/netns-run.sh (program at 10.77.0.1, the
// simulated device at 10.77.0.2). Each test starts its own simulator and compares what arrived
// on either side with the simulator's state dump.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "support/session_harness.h"
#include "support/simulator_run.h"
#include "support/slot_values.h"
#include "support/transfer_logs.h"
#include "text/gbk.h"

using namespace quillon;
using namespace quillon::fakes;
using namespace std::chrono_literals;

namespace {

const char* const kMac = SimulatorRun::kCurrentMac;

// Offsets inside the RS-485 image that no dictionary entry carries: alignment padding.
std::vector<bool> CarriedBytes() {
  std::vector<bool> carried(kRs485ImageBytes, true);
  auto skip = [&](size_t offset, size_t size) {
    for (size_t i = 0; i < size; ++i) carried[offset + i] = false;
  };
  skip(offsetof(sModBusPara, byPad1), 1);
  skip(offsetof(sModBusPara, abyPad2), 3);
  for (size_t k = 0; k < 16; ++k) {
    const size_t slot = offsetof(sModBusPara, asSlot) + k * sizeof(sSlotPara);
    skip(slot + offsetof(sSlotPara, abyPad1), 2);
    skip(slot + offsetof(sSlotPara, abyPad2), 3);
    skip(slot + offsetof(sSlotPara, abyPad3), 2);
  }
  return carried;
}

// What a device keeps of the block's RS-485 half after a download of every entry: the values as
// sent, with the receiving side's rules applied — the data type is one byte on the wire and
// comes back zero-extended, and a received text is terminated inside its field (the last of the
// 11 bytes, the 31st byte of the name, the 9th of the unit). The "other" gear value goes out as
// four zero bytes and has no place in the image at all, so it leaves nothing to compare.
sModBusPara ExpectedOnDevice(const sModBusPara& sent) {
  sModBusPara expected = sent;
  for (sSlotPara& s : expected.asSlot) {
    s.dwDataType &= 0xFF;
    s.szName[30] = 0;
    s.szUnit[8] = 0;
    s.szAlarmText[10] = 0;
    s.szNormalText[10] = 0;
    for (auto& text : s.aszGearText) text[10] = 0;
  }
  return expected;
}

// Compares every carried byte; returns the differing offsets (empty when equal).
std::vector<size_t> CarriedDifferences(const sModBusPara& a, const sModBusPara& b) {
  const auto* pa = reinterpret_cast<const uint8_t*>(&a);
  const auto* pb = reinterpret_cast<const uint8_t*>(&b);
  const std::vector<bool> carried = CarriedBytes();
  std::vector<size_t> differ;
  for (size_t i = 0; i < kRs485ImageBytes; ++i)
    if (carried[i] && pa[i] != pb[i]) differ.push_back(i);
  return differ;
}

std::string Describe(const std::vector<size_t>& offsets) {
  std::string text = std::to_string(offsets.size()) + " bytes differ, first at";
  for (size_t i = 0; i < offsets.size() && i < 8; ++i) text += " " + std::to_string(offsets[i]);
  return text;
}

// New values for the whole RS-485 half, unlike the simulator's defaults: full-length Chinese
// texts, negative zero and tiny floats, a data type with high bits, texts with bytes behind the
// terminator and an 11-byte text without one.
void FillRs485(sModBusPara& mb) {
  SetPort(mb, {2, 2500, 65535, 7, 115200, 2});
  for (int k = 0; k < 16; ++k) {
    sSlotPara& s = mb.asSlot[k];
    SetSlot(s, {static_cast<uint8_t>(k % 3 == 0), static_cast<uint8_t>(7 - k % 8),
                static_cast<uint8_t>(200 + k), static_cast<uint8_t>(k % 2 ? 3 : 4),
                static_cast<uint16_t>(40001 + 17 * k), static_cast<uint16_t>(2 + k % 3),
                static_cast<uint16_t>(0x1234 + k), static_cast<uint32_t>(14 - k % 15),
                static_cast<uint8_t>(3 - k % 4), 0.001f * static_cast<float>(k + 1) - 3.25f,
                -1.0e6f + static_cast<float>(k)});
    StoreGbkText(s.szName, 30, "二号泵站出口压力" + std::to_string(k + 1));
    StoreGbkText(s.szUnit, 8, k % 2 ? "立方米/h" : "千帕");
    s.fAlarmValue = 1.5e-7f * static_cast<float>(k + 1);
    StoreGbkText(s.szAlarmText, 10, "超压告警" + std::to_string(k % 10));
    StoreGbkText(s.szNormalText, 10, "运行正常");
    for (int j = 0; j < 8; ++j) {
      s.afGearValue[j] = static_cast<float>(k * 10 + j) * -0.75f;
      StoreGbkText(s.aszGearText[j], 10, "第" + std::to_string(j + 1) + "档" + std::to_string(k));
    }
    StoreGbkText(s.aszGearText[8], 10, "其它档位");
    s.byDataBits = k % 2 ? 7 : 8;
  }
  // Thirty bytes of name, the last that fits.
  StoreGbkText(mb.asSlot[0].szName, 30, "一号泵站出口压力变送器测点甲乙");
  // The name travels as its first 30 bytes whatever follows the terminator.
  StoreGbkText(mb.asSlot[1].szName, 30, "流量");
  std::memset(mb.asSlot[1].szName + 5, 'x', 25);
  // Eleven bytes without a terminator: the device keeps ten and terminates.
  std::memset(mb.asSlot[2].szAlarmText, 'A', 11);
  mb.asSlot[3].dwDataType = 0x0107;  // only the low byte is a data type on the wire
  mb.asSlot[4].fOffsetB = -0.0f;
  mb.asSlot[5].afGearValue[7] = std::nextafter(0.0f, 1.0f);
}

// Starts the simulator with `faults`; the device's state as it starts, nothing when it did not.
std::optional<DeviceState> StartedState(SimulatorRun& sim,
                                        const std::vector<std::string>& faults = {}) {
  if (!sim.Start(faults)) return std::nullopt;
  return sim.State();
}

// Brings the session up to a selected current-firmware device whose camera texts have been read,
// so that what follows starts from the idle worker.
void SelectAndReadCameraTexts(SessionHarness& h) {
  ASSERT_TRUE(h.SearchAndSelect()) << "no search reply";
  ASSERT_TRUE(h.Pump([&] { return h.CameraTextsRead(); }, 30s)) << h.session.LogText();
  ASSERT_EQ(Flag(h.session.Flags().bParamsRead), 1);
}

TEST(DictionaryE2e, ReadOfCurrentFirmwareFetchesTheThirtyTwoCameraTexts) {
  SimulatorRun sim;
  const auto device = StartedState(sim);
  ASSERT_TRUE(device) << sim.Error();
  StartedHarness h;

  ASSERT_TRUE(h.SearchAndSelect());
  EXPECT_EQ(h.view.rows.front().mac, kMac);
  EXPECT_EQ(h.view.rows.front().version, "32.05");
  ASSERT_TRUE(h.Pump([&] { return h.CameraTextsRead(); }, 30s)) << h.session.LogText();
  EXPECT_TRUE(h.ShowsLog()) << h.view.shownLog;
  h.PumpFor(100ms);  // lets a stray fifth request show up if there were one

  EXPECT_EQ(Flag(h.session.Flags().bParamsRead), 1);
  EXPECT_EQ(Flag(h.session.Flags().bCameraTextRequest), 0);
  EXPECT_EQ(Flag(h.session.Flags().b485Read), 0);
  // The read reply may be dispatched before or after the first text request goes out.
  EXPECT_TRUE(h.LogContains("读取参数成功\r\n"));
  EXPECT_EQ(Without(h.session.LogText(), "读取参数成功\r\n"), "读取参数...\r\n" + CameraTextLog());
  EXPECT_EQ(h.view.netShown, 5);  // the read reply, then one text reply per camera
  EXPECT_EQ(h.view.rs485Shown, 0);
  EXPECT_EQ(h.notifier.Count(), 0u);
  EXPECT_EQ(sim.CountLogLines("dict-read"), 4);

  const DeviceParameterBlock& block = h.Block();
  for (int c = 0; c < 4; ++c) {
    for (int l = 0; l < 8; ++l) {
      const auto& want = device->osd.asCamera[c].asLine[l].szText;
      const auto& got = block.osd.asCamera[c].asLine[l].szText;
      ASSERT_FALSE(FieldText(want, sizeof want).empty());
      EXPECT_EQ(FieldText(got, sizeof got), FieldText(want, sizeof want))
          << "camera " << c << " line " << l;
    }
  }
  // The parameter layout arrived too.
  EXPECT_EQ(std::memcmp(block.osd.abyIP, device->osd.abyIP, 4), 0);
  EXPECT_EQ(+block.osd.asCamera[3].wSourcePort, +device->osd.asCamera[3].wSourcePort);
}

TEST(DictionaryE2e, FullReadBringsTheDevicesRs485HalfIntoTheBlock) {
  SimulatorRun sim;
  const auto device = StartedState(sim);
  ASSERT_TRUE(device) << sim.Error();
  StartedHarness h;
  SelectAndReadCameraTexts(h);
  if (HasFatalFailure()) return;

  h.session.ClearLog();
  h.MarkAll(false);
  ASSERT_TRUE(h.Pump(
      [&] { return h.PendingReads() == 0 && h.LogEndsWith("正在读取字典,已完成100%\r\n"); }, 30s))
      << h.session.LogText();
  h.PumpFor(100ms);

  EXPECT_EQ(h.session.LogText(), TransferLog(false));
  EXPECT_EQ(Flag(h.session.Flags().b485Read), 1);
  EXPECT_EQ(h.view.rs485Shown, 19);
  EXPECT_EQ(h.notifier.Count(), 0u);
  // Settings and slots byte for byte, padding included (both sides keep it zero).
  const auto* got = reinterpret_cast<const uint8_t*>(&h.Block().modbus);
  const auto* want = reinterpret_cast<const uint8_t*>(&device->modbus);
  std::vector<size_t> differ;
  for (size_t i = 0; i < kRs485ImageBytes; ++i)
    if (got[i] != want[i]) differ.push_back(i);
  EXPECT_TRUE(differ.empty()) << Describe(differ);
  EXPECT_EQ(LoadGbkText(h.Block().modbus.asSlot[15].szName, 31),
            LoadGbkText(device->modbus.asSlot[15].szName, 31));
}

// Downloads the block's new RS-485 half and checks what the device kept.
void DownloadEverythingAndCompare(SimulatorRun& sim, SessionHarness& h, int expectedChunks,
                                  const std::vector<int>& percentages) {
  SelectAndReadCameraTexts(h);
  if (::testing::Test::HasFatalFailure()) return;
  sModBusPara sent;
  {
    std::lock_guard lock(h.session.ModelMutex());
    FillRs485(h.Block().modbus);
    sent = h.Block().modbus;
  }
  const auto before = sim.State();
  ASSERT_TRUE(before);
  ASSERT_FALSE(CarriedDifferences(ExpectedOnDevice(sent), before->modbus).empty());

  h.session.ClearLog();
  h.MarkAll(true);
  ASSERT_TRUE(h.Pump(
      [&] { return h.PendingWrites() == 0 && h.LogEndsWith("正在下载字典,已完成100%\r\n"); }, 30s))
      << h.session.LogText();
  h.PumpFor(100ms);

  EXPECT_EQ(h.CountInLog("正在下载字典... \r\n"), expectedChunks);
  EXPECT_EQ(h.session.LogText(), TransferLog(true, percentages));
  EXPECT_EQ(h.notifier.Count(), 0u);
  EXPECT_EQ(Flag(h.session.Flags().b485Read), 0);

  // The device acknowledges only after it has stored and dumped the entries.
  const auto after = sim.State();
  ASSERT_TRUE(after);
  const std::vector<size_t> differ = CarriedDifferences(ExpectedOnDevice(sent), after->modbus);
  EXPECT_TRUE(differ.empty()) << Describe(differ);
  // A few fields in plain words, so that a failure says what went wrong.
  const sSlotPara& s0 = after->modbus.asSlot[0];
  EXPECT_EQ(LoadGbkText(s0.szName, 31), "一号泵站出口压力变送器测点甲乙");
  EXPECT_EQ(LoadGbkText(after->modbus.asSlot[1].szUnit, 9), "立方米/h");
  EXPECT_EQ(LoadGbkText(after->modbus.asSlot[2].szAlarmText, 11), "AAAAAAAAAA");
  EXPECT_EQ(after->modbus.asSlot[3].dwDataType, 7u);
  EXPECT_TRUE(std::signbit(after->modbus.asSlot[4].fOffsetB));
  EXPECT_EQ(after->modbus.dwBaudRate, 115200u);
  // The block itself is left as it was.
  EXPECT_EQ(std::memcmp(&h.Block().modbus, &sent, kRs485ImageBytes), 0);
}

TEST(DictionaryE2e, FullWriteStoresEveryEntryOnTheDevice) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  StartedHarness h;
  DownloadEverythingAndCompare(sim, h, 19, kChunkPercentages);
}

TEST(DictionaryE2e, PartialAcknowledgementsStillStoreEveryEntry) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start({"--partial-ack", "10"})) << sim.Error();
  StartedHarness h;
  // Ten entries acknowledged per request: 57 requests, the rest of each chunk goes out again.
  const std::vector<int> percentages = {1,  3,  5,  7,  8,  10, 12, 14, 15, 17, 19, 21, 22, 24, 26,
                                        28, 30, 31, 33, 35, 37, 38, 40, 42, 44, 45, 47, 49, 51, 53,
                                        54, 56, 58, 60, 61, 63, 65, 67, 68, 70, 72, 74, 75, 77, 79,
                                        81, 83, 84, 86, 88, 90, 91, 93, 95, 97, 98, 100};
  DownloadEverythingAndCompare(sim, h, 57, percentages);
  EXPECT_EQ(sim.CountLogLines("dict-write"), 57);
}

TEST(DictionaryE2e, SilentDeviceFailsTheReadAfterThreeTries) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start({"--silent", "100"})) << sim.Error();
  StartedHarness h;
  h.SelectMac(kMac);

  const auto start = std::chrono::steady_clock::now();
  h.MarkAll(false);
  ASSERT_TRUE(h.Pump([&] { return h.notifier.Count() > 0; }, 45s)) << h.session.LogText();
  const auto waited = std::chrono::steady_clock::now() - start;
  h.PumpFor(300ms);  // nothing more may follow the box

  EXPECT_EQ(h.session.LogText(),
            "正在读取字典... \r\n读取超时正在重试... \r\n"
            "正在读取字典... \r\n读取超时正在重试... \r\n"
            "正在读取字典... \r\n读取失败... \r\n");
  const auto boxes = h.notifier.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "警告");
  EXPECT_EQ(boxes[0].text, "读取失败");
  EXPECT_EQ(boxes[0].icon, BoxIcon::Question);
  EXPECT_EQ(h.PendingReads(), 0);
  EXPECT_EQ(Flag(h.session.Flags().b485Read), 0);
  EXPECT_EQ(h.view.rs485Shown, 0);
  // Three waits of at least 10 s each, counted in 10 ms cycles; three, as the device tells.
  EXPECT_GE(waited, 30s);
  EXPECT_EQ(sim.CountLogLines("silent dict"), 3);
}

TEST(DictionaryE2e, OversizedRepliesAreDroppedAndTheTextReadTimesOut) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start({"--oversize"})) << sim.Error();
  StartedHarness h;

  ASSERT_TRUE(h.SearchAndSelect());  // the search reply is not affected
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(h.Pump([&] { return h.notifier.Count() > 0; }, 30s)) << h.session.LogText();
  const auto waited = std::chrono::steady_clock::now() - start;
  h.PumpFor(300ms);

  // The device answered both requests, with 2100-byte frames that never reach the session.
  EXPECT_EQ(sim.CountLogLines("read "), 1);
  EXPECT_EQ(sim.CountLogLines("dict-read"), 1);
  EXPECT_EQ(h.session.LogText(), kTextReadFailedLog);
  EXPECT_EQ(h.notifier.Boxes(), kTextReadFailedBoxes);
  EXPECT_EQ(Flag(h.session.Flags().bParamsRead), 0);
  EXPECT_EQ(Flag(h.session.Flags().bCameraTextRequest), 0);
  EXPECT_EQ(h.view.netShown, 0);
  EXPECT_GE(waited, 4700ms);  // 5 s from the text request, which went out after the 300 ms pause
  for (const auto& camera : h.Block().osd.asCamera)
    for (const auto& line : camera.asLine) EXPECT_EQ(line.szText[0], 0);
}

// A reply cut short but with a good envelope is not an answer: the entries that arrived whole
// are stored, but the request keeps waiting, so the camera text read times out after 5 s with
// its box and the other cameras are not asked. The read reply of command 3, too short for its
// layout, is dropped without a trace.
TEST(DictionaryE2e, TruncatedRepliesStoreOnlyWholeEntriesAndTimeOut) {
  SimulatorRun sim;
  const auto device = StartedState(sim, {"--truncate"});
  ASSERT_TRUE(device) << sim.Error();
  StartedHarness h;

  ASSERT_TRUE(h.SearchAndSelect());
  ASSERT_TRUE(h.Pump([&] { return h.notifier.Count() > 0; }, 30s)) << h.session.LogText();
  h.PumpFor(100ms);

  EXPECT_EQ(h.session.LogText(),
            "读取参数...\r\n正在读取摄像头1字典...\r\n读取参数失败\r\n读取失败... \r\n");
  EXPECT_EQ(Flag(h.session.Flags().bParamsRead), 0);
  EXPECT_EQ(h.notifier.Count(), 1u);
  int whole = 0, empty = 0;
  for (int l = 0; l < 8; ++l) {
    const auto& want = device->osd.asCamera[0].asLine[l].szText;
    const auto& got = h.Block().osd.asCamera[0].asLine[l].szText;
    const std::string_view text = FieldText(got, sizeof got);
    if (text.empty()) {
      ++empty;
    } else {
      ++whole;
      EXPECT_EQ(text, FieldText(want, sizeof want)) << "line " << l;
    }
  }
  // Half of the reply arrives: the first lines whole, the others not at all.
  EXPECT_GT(whole, 0);
  EXPECT_GT(empty, 0);
  for (int c = 1; c < 4; ++c)
    for (const auto& line : h.Block().osd.asCamera[c].asLine) EXPECT_EQ(line.szText[0], 0);
}

// Against a device whose replies are always cut, a full read still comes to an end: each chunk
// stores what arrives whole, times out, is asked again, and after the third timeout the read
// fails with its box instead of asking again forever.
TEST(DictionaryE2e, FullReadFromADeviceWithCutRepliesComesToAnEnd) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start({"--truncate"})) << sim.Error();
  StartedHarness h;
  h.SelectMac(kMac);
  h.MarkAll(false);
  // The box comes after the marks are cleared, so wait for the box itself.
  EXPECT_TRUE(h.Pump([&] { return h.notifier.Count() > 0; }, 45s))
      << h.PendingReads() << " entries still pending after " << h.CountInLog("正在读取字典... \r\n")
      << " requests";
  EXPECT_EQ(h.notifier.Count(), 1u);
  EXPECT_EQ(h.PendingReads(), 0);
  EXPECT_EQ(h.CountInLog("读取超时正在重试... \r\n"), 2);
}
// A second device of current firmware beside the standard one.
constexpr const char* kSecondMac = "00E04C3A1B04";
constexpr const char* kSecondDevice = "ip=192.168.1.67,mac=00E04C3A1B04,version=32.01,name=4号机";

bool CameraTextsEqual(const DeviceParameterBlock& block, const DeviceState& device) {
  for (int c = 0; c < 4; ++c)
    for (int l = 0; l < 8; ++l) {
      const auto& want = device.osd.asCamera[c].asLine[l].szText;
      const auto& got = block.osd.asCamera[c].asLine[l].szText;
      if (FieldText(got, sizeof got) != FieldText(want, sizeof want)) return false;
    }
  return true;
}

// The first device never answers a camera-text read; reading the second one meanwhile starts
// the texts over for it: all of its texts arrive, and the first device's wait neither times
// out nor shows a box.
TEST(DictionaryE2e, ACameraTextReadStartsOverForTheNextDevice) {
  SimulatorRun sim({SimulatorRun::kCurrentDevice, kSecondDevice});
  ASSERT_TRUE(sim.Start({"--silent-texts", kMac})) << sim.Error();
  StartedHarness h;
  h.session.OnSearch();
  ASSERT_TRUE(h.Pump([&] { return h.view.rows.size() == 2; }, 30s));
  ASSERT_TRUE(h.DoubleClick(kMac));
  // Camera 1 of the first device is asked for and waits.
  ASSERT_TRUE(h.Pump([&] { return sim.CountLogLines("silent dict-texts") == 1; }, 30s));
  ASSERT_TRUE(h.DoubleClick(kSecondMac));
  ASSERT_TRUE(h.Pump([&] { return h.LogContains("摄像头4字典读取成功...\r\n"); }, 30s))
      << h.session.LogText();
  h.PumpFor(5s);  // past the moment the first device's wait would have timed out

  EXPECT_EQ(h.notifier.Count(), 0u) << h.notifier.Boxes().front();
  EXPECT_FALSE(h.LogContains("读取失败"));
  const auto second = sim.State(kSecondMac);
  ASSERT_TRUE(second);
  EXPECT_TRUE(CameraTextsEqual(h.Block(), *second));
  EXPECT_EQ(sim.CountLogLines("silent dict-texts " + std::string(kMac)), 1);
  EXPECT_EQ(sim.CountLogLines("dict-read " + std::string(kSecondMac)), 4);
}

// A double-click on another device while an RS-485 download runs does not send the rest of the
// download there: every chunk goes to the device it started with.
TEST(DictionaryE2e, ADownloadStaysWithItsDeviceWhenAnotherIsDoubleClicked) {
  SimulatorRun sim({SimulatorRun::kCurrentDevice, kSecondDevice});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  StartedHarness h;
  h.session.OnSearch();
  ASSERT_TRUE(h.Pump([&] { return h.view.rows.size() == 2; }, 30s));
  ASSERT_TRUE(h.DoubleClick(kMac));
  ASSERT_TRUE(h.Pump([&] { return h.CameraTextsRead(); }, 30s));

  h.MarkAll(true);
  ASSERT_TRUE(h.Pump([&] { return h.LogContains("正在下载字典,已完成16%\r\n"); }, 30s));
  ASSERT_TRUE(h.DoubleClick(kSecondMac));
  ASSERT_TRUE(
      h.Pump([&] { return h.PendingWrites() == 0 && h.LogContains("摄像头4字典读取成功"); }, 30s))
      << h.session.LogText();
  h.PumpFor(200ms);

  EXPECT_EQ(sim.CountLogLines("dict-write " + std::string(kMac)), 19);
  EXPECT_EQ(sim.CountLogLines("dict-write " + std::string(kSecondMac)), 0);
  // The second device's own camera texts were read from it, after the download.
  EXPECT_EQ(sim.CountLogLines("dict-read " + std::string(kSecondMac)), 4);
  EXPECT_EQ(h.notifier.Count(), 0u);
}

// Every reply comes twice: each camera is still read once, in order, without a false success.
TEST(DictionaryE2e, DuplicatedRepliesGiveNoFalseSuccess) {
  SimulatorRun sim;
  const auto device = StartedState(sim, {"--answer-twice"});
  ASSERT_TRUE(device) << sim.Error();
  StartedHarness h;
  SelectAndReadCameraTexts(h);
  // Every second copy comes in too, the read reply's and the four text replies'.
  EXPECT_TRUE(h.Pump(
      [&] { return h.RepliesPumped(CMD_READ_PARAMS) == 2 && h.RepliesPumped(CMD_DICTIONARY) == 8; },
      30s));
  h.PumpFor(300ms);
  // The parameter reply comes twice and is taken twice, as any accepted reply is.
  EXPECT_EQ(h.CountInLog("读取参数成功\r\n"), 2);
  EXPECT_EQ(Without(Without(h.session.LogText(), "读取参数成功\r\n"), "读取参数成功\r\n"),
            "读取参数...\r\n" + CameraTextLog());
  EXPECT_TRUE(CameraTextsEqual(h.Block(), *device));
  EXPECT_EQ(h.notifier.Count(), 0u);
}

// Replies that come after the 5 s a camera text is waited for: the read fails with its box, and
// the late reply neither logs a success nor stores texts. The parameter reply, late as well, is
// still taken, after the log has said that it did not come in time.
TEST(DictionaryE2e, LateRepliesAreNotTakenAsAnswers) {
  SimulatorRun sim;
  ASSERT_TRUE(sim.Start({"--delay-ms", "6000"})) << sim.Error();
  StartedHarness h;
  ASSERT_TRUE(h.SearchAndSelect(30s));
  ASSERT_TRUE(
      h.Pump([&] { return sim.CountLogLines("dict-read") == 1 && h.notifier.Count() > 0; }, 60s));
  // The late text reply comes and goes.
  ASSERT_TRUE(h.Pump([&] { return h.RepliesPumped(CMD_DICTIONARY) == 1; }, 60s));
  h.PumpFor(300ms);

  EXPECT_EQ(h.session.LogText(),
            "读取参数...\r\n正在读取摄像头1字典...\r\n读取参数失败\r\n读取失败... \r\n"
            "读取参数成功\r\n");
  EXPECT_EQ(h.notifier.Count(), 1u);
  EXPECT_EQ(Flag(h.session.Flags().bParamsRead), 1);
  for (const auto& line : h.Block().osd.asCamera[0].asLine) EXPECT_EQ(line.szText[0], 0);
}

}  // namespace
