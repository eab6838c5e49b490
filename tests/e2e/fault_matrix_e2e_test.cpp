// The fault matrix: the fault modes of quillon-devsim against the five operations that talk to a
// device (search, read, network download, RS-485 read, RS-485 download), through the session with
// its real worker thread and UDP link, inside the private network of scripts/netns-run.sh. Each
// case checks what the user sees (log, boxes, device rows, page refreshes), what is kept (the
// block, and the device's parameters in the simulator's dump), that nothing hangs (the same
// session does the operation again against a sound device) and that nothing is lost.
// docs/RELIABILITY.md holds the table; the cells that other end-to-end tests prove already are
// named there and not repeated here.
//
// Faults whose replies never reach the session (silent, bad checksum, oversized) all cost the same
// wait, so they share it: one simulator per fault with a device of its own, and one session per
// device, as several copies of the program on one PC would be. Faults whose replies do reach the
// session run one after another: dictionary replies are matched by their identifiers, not by the
// device that sent them, so one session could take another's.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/device_values.h"
#include "support/session_harness.h"
#include "support/simulator_run.h"
#include "support/transfer_logs.h"
#include "text/gbk.h"

using namespace quillon;
using namespace quillon::fakes;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using Options = std::vector<std::string>;

// What the log says of a reply with an identifier that the index does not hold.
const std::string kForeignIdLines =
    "未收到任何读取应答合法字典\r\n"
    "解析字典错误, 命令:8001 错误字典 十进制9000 十六进制2328\r\n";

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// Devices of current firmware apart from the standard ones: lane n's own device, and a second
// one whose parameters (the simulator's defaults for another device) serve as new values.
std::string LaneMac(int n) { return "00E04C3A1C0" + std::to_string(n); }
std::string LaneDevice(int n) {
  return "ip=192.168.1." + std::to_string(80 + n) + ",mac=" + LaneMac(n) +
         ",version=32.05,name=故障" + std::to_string(n) + "号";
}
std::string SourceMac(int n) { return "00E04C3A1D0" + std::to_string(n); }
std::string SourceDevice(int n) {
  return "ip=192.168.1." + std::to_string(90 + n) + ",mac=" + SourceMac(n) + ",version=32.05";
}

// One session beside its own simulator.
struct Lane {
  Lane(const char* fault, int n, Options options, bool write = false)
      : fault(fault), mac(LaneMac(n)), write(write), sim({LaneDevice(n), SourceDevice(n)}) {
    started = sim.Start(options);
    h.Start();
  }
  std::string fault, mac;
  bool write;
  SimulatorRun sim;
  SessionHarness h;
  bool started;
};

std::vector<SessionHarness*> Harnesses(const std::vector<std::unique_ptr<Lane>>& lanes) {
  std::vector<SessionHarness*> all;
  for (const auto& lane : lanes) all.push_back(&lane->h);
  return all;
}

// The log of an RS-485 transfer whose first chunk is never answered: three tries, then failure.
std::string FailedTransferLog(bool write) {
  const std::string send = write ? "正在下载字典... \r\n" : "正在读取字典... \r\n";
  const std::string retry = write ? "下载超时正在重试... \r\n" : "读取超时正在重试... \r\n";
  return send + retry + send + retry + send + (write ? "下载失败... \r\n" : "读取失败... \r\n");
}

bool TextsEqual(const sCameraPara& a, const sCameraPara& b, int line) {
  return FieldText(a.asLine[line].szText, sizeof a.asLine[line].szText) ==
         FieldText(b.asLine[line].szText, sizeof b.asLine[line].szText);
}

// Whether the block holds the device's 32 camera line texts.
bool HoldsCameraTexts(const DeviceParameterBlock& block, const DeviceState& device) {
  for (int c = 0; c < 4; ++c)
    for (int l = 0; l < 8; ++l)
      if (!TextsEqual(block.osd.asCamera[c], device.osd.asCamera[c], l)) return false;
  return true;
}

// Marks every entry for a transfer, as the RS-485 page's buttons do, and waits for its end.
bool TransferEverything(SessionHarness& h, bool write, std::chrono::milliseconds timeout = 30s) {
  h.session.ClearLog();
  h.MarkAll(write);
  const std::string done = write ? "正在下载字典,已完成100%\r\n" : "正在读取字典,已完成100%\r\n";
  const bool finished = h.Pump(
      [&] { return (write ? h.PendingWrites() : h.PendingReads()) == 0 && h.LogEndsWith(done); },
      timeout);
  h.PumpFor(100ms);  // a stray request or reply would show now
  return finished;
}

// ---------------------------------------------------------------------------------------------
// Search

// The standard three devices and one whose long name keeps a reply cut to half long enough to be
// listed.
constexpr const char* kLongNameDevice =
    "ip=192.168.1.68,mac=00E04C3A1B05,version=32.05,name=第三水厂二号加压泵站东侧配电室";

std::vector<std::string> RowTexts(const FakeConfigView& view) {
  std::vector<std::string> texts;
  for (const DeviceRow& row : view.rows) texts.push_back(row.mac + " " + row.name);
  return texts;
}

// One session searches against a simulator per fault, one after another. The search list is
// emptied at every click, so nothing is kept; a fault never leaves the list or the session stuck,
// as the last search, against a sound simulator, shows.
TEST(FaultMatrix, Search) {
  const std::vector<std::string> devices = {SimulatorRun::kCurrentDevice,
                                            SimulatorRun::kLegacyDevice,
                                            SimulatorRun::kFirstGenDevice, kLongNameDevice};
  // Newest first: the simulator answers in its device order.
  const std::vector<std::string> all = {"00E04C3A1B05 第三水厂二号加压泵站东侧配电室",
                                        "00E04C3A1B03 老设备", "00E04C3A1B02 2号泵站",
                                        "00E04C3A1B01 1号机房 东门"};
  std::vector<std::string> twice;
  for (const std::string& row : all) twice.insert(twice.end(), {row, row});

  struct Case {
    const char* fault;
    Options options;
    std::vector<std::string> rows;
    int replies;   // that reach the session, listed or not
    size_t boxes;  // the first-generation warning, once per row of 老设备
    std::chrono::milliseconds late;
  };
  // Foreign MAC, partial acknowledgement, refused download and foreign identifier touch nothing
  // a search reply carries.
  const Case cases[] = {
      {"silent", {"--silent", "1", "--fault-search"}, {}, 0, 0, 0ms},
      {"late", {"--delay-ms", "1500"}, all, 4, 1, 1500ms},
      {"twice", {"--answer-twice", "--fault-search"}, twice, 8, 2, 0ms},
      {"bad checksum", {"--bad-checksum", "--fault-search"}, {}, 4, 0, 0ms},
      // Cut to half: only the long name's reply still holds the fields up to the name, and the
      // name ends where the reply does.
      {"truncated", {"--truncate", "--fault-search"}, {"00E04C3A1B05 第三"}, 4, 0, 0ms},
      {"oversized", {"--oversize", "--fault-search"}, {}, 0, 0, 0ms},  // the link drops them
      {"none, after the faults", {}, all, 4, 1, 0ms},
  };

  StartedHarness h;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    SimulatorRun sim(devices);
    ASSERT_TRUE(sim.Start(c.options)) << sim.Error();
    h.notifier.Clear();
    const int before = h.RepliesPumped(CMD_SEARCH);
    const auto start = Clock::now();
    h.session.OnSearch();
    EXPECT_TRUE(h.Pump(
        [&] {
          return h.view.rows.size() >= c.rows.size() &&
                 h.RepliesPumped(CMD_SEARCH) - before >= c.replies &&
                 sim.CountLogLines("search") == 1;
        },
        c.late + 30s));
    const auto listed = Clock::now() - start;
    h.PumpFor(500ms);  // nothing more comes

    EXPECT_EQ(RowTexts(h.view), c.rows);
    EXPECT_EQ(h.session.LogText(),
              "搜索...\r\n" + Repeat("搜索到设备\r\n", static_cast<int>(c.rows.size())));
    EXPECT_EQ(h.view.shownLog, h.session.LogText());
    EXPECT_EQ(h.notifier.Count(), c.boxes);
    EXPECT_GE(listed, c.late);
    EXPECT_EQ(sim.CountLogLines("search"), 1);
  }
}

// ---------------------------------------------------------------------------------------------
// Read (double-click on a device of current firmware: its parameters, then the line texts of its
// four cameras)

// Every lane searches, and once all replies are in (each session lists the devices of every
// simulator), double-clicks its own device.
void SearchAndRead(const std::vector<Lane*>& lanes) {
  std::vector<SessionHarness*> harnesses;
  for (Lane* lane : lanes) {
    lane->h.session.OnSearch();
    harnesses.push_back(&lane->h);
  }
  // Both devices of every lane answer every lane's search, and each session hears all of them
  // (listing those that came after its own search began); a reply still on its way would land in
  // the log after the read has emptied it.
  const int replies = static_cast<int>(2 * lanes.size() * lanes.size());
  ASSERT_TRUE(SessionHarness::PumpAll(
      harnesses,
      [&] {
        return std::all_of(lanes.begin(), lanes.end(), [&](Lane* lane) {
          return lane->h.RepliesPumped(CMD_SEARCH) >= replies;
        });
      },
      30s));
  for (Lane* lane : lanes) ASSERT_TRUE(lane->h.DoubleClick(lane->mac)) << lane->mac;
}

// Reading again, once the device answers soundly, fills everything in.
void ExpectAReadWorksAgain(Lane& lane) {
  lane.sim.Stop();
  ASSERT_TRUE(lane.sim.Start()) << lane.sim.Error();
  const size_t boxes = lane.h.notifier.Count();
  ASSERT_TRUE(lane.h.DoubleClick(lane.mac));
  EXPECT_TRUE(lane.h.Pump(
      [&] {
        return lane.h.LogContains("读取参数成功\r\n") &&
               lane.h.LogContains("摄像头4字典读取成功...\r\n");
      },
      30s))
      << lane.h.session.LogText();
  lane.h.PumpFor(100ms);
  EXPECT_EQ(Flag(lane.h.session.Flags().bParamsRead), 1);
  EXPECT_EQ(lane.h.notifier.Count(), boxes);
  const auto device = lane.sim.State(lane.mac);
  ASSERT_TRUE(device);
  EXPECT_TRUE(HoldsCameraTexts(lane.h.Block(), *device));
}

// Neither the parameters nor camera 1's texts arrive: after 5 s the log says the read failed,
// the text read fails with its box, the pages keep what they showed, nothing may be downloaded.
// (Oversized replies: DictionaryE2e.OversizedRepliesAreDroppedAndTheTextReadTimesOut.)
TEST(FaultMatrix, ReadWithoutAReply) {
  std::vector<std::unique_ptr<Lane>> lanes;
  lanes.push_back(std::make_unique<Lane>("silent", 1, Options{"--silent", "2"}));
  lanes.push_back(std::make_unique<Lane>("bad checksum", 2, Options{"--bad-checksum"}));
  std::vector<sOSDCommPara> before;
  for (auto& lane : lanes) {
    ASSERT_TRUE(lane->started) << lane->sim.Error();
    before.push_back(lane->h.Block().osd);
  }
  SearchAndRead({lanes[0].get(), lanes[1].get()});
  if (HasFatalFailure()) return;
  auto everyLaneFailed = [&] {
    for (auto& lane : lanes)
      if (lane->h.notifier.Count() == 0) return false;
    return true;
  };
  EXPECT_TRUE(SessionHarness::PumpAll(Harnesses(lanes), everyLaneFailed, 60s));
  SessionHarness::PumpAll(
      Harnesses(lanes), [] { return false; }, 300ms);

  for (size_t i = 0; i < lanes.size(); ++i) {
    Lane& lane = *lanes[i];
    SCOPED_TRACE(lane.fault);
    SessionHarness& h = lane.h;
    EXPECT_EQ(h.session.LogText(), kTextReadFailedLog);
    EXPECT_EQ(h.notifier.Boxes(), kTextReadFailedBoxes);
    EXPECT_EQ(h.view.netShown, 0);
    EXPECT_EQ(std::memcmp(&h.Block().osd, &before[i], sizeof before[i]), 0);
    EXPECT_EQ(Flag(h.session.Flags().bParamsRead), 0);
    EXPECT_EQ(Flag(h.session.Flags().bCameraTextRequest), 0);
    // The device heard both requests.
    EXPECT_EQ(lane.sim.CountLogLines(lane.fault == "silent" ? "silent " : "read "),
              lane.fault == "silent" ? 2 : 1);
    h.session.OnDownload();
    ASSERT_EQ(h.notifier.Count(), 2u);
    EXPECT_EQ(h.notifier.Boxes()[1].text, "请先双击设备列表读取参数");
    EXPECT_EQ(lane.sim.CountLogLines("download"), 0);
  }
  for (auto& lane : lanes) {
    SCOPED_TRACE(lane->fault);
    ExpectAReadWorksAgain(*lane);
  }
}

// Replies that do come, but wrong. Each case in a session of its own, one after the other.
TEST(FaultMatrix, ReadWithWrongReplies) {
  struct Case {
    const char* fault;
    Options options;
    std::string log;  // without "读取参数成功\r\n", which comes in between
    bool parametersRead;
    size_t boxes;
    int linesRead;  // of each camera, in line order
  };
  const Case cases[] = {
      // The parameter reply names another device and is dropped; the camera texts, matched by
      // their identifiers, are taken.
      {"foreign MAC",
       {"--foreign-mac"},
       "读取参数...\r\n" + CameraTextLog() + "读取参数失败\r\n",
       false,
       0,
       8},
      // Five of camera 1's eight lines: they are stored, but the read has not been answered
      // whole, so it fails after 5 s like an unanswered one instead of calling it read.
      {"partial acknowledgement",
       {"--partial-ack", "5"},
       "读取参数...\r\n正在读取摄像头1字典...\r\n读取失败... \r\n",
       true,
       1,
       5},
      // Identifier 9000 beside the texts: reported on every reply, the texts still taken.
      {"foreign identifier",
       {"--foreign-id"},
       "读取参数...\r\n" + CameraTextLog(kForeignIdLines),
       true,
       0,
       8},
  };
  int n = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    Lane lane(c.fault, n++, c.options);
    ASSERT_TRUE(lane.started) << lane.sim.Error();
    SessionHarness& h = lane.h;
    const auto device = lane.sim.State(lane.mac);
    ASSERT_TRUE(device);
    SearchAndRead({&lane});
    if (HasFatalFailure()) return;
    const std::string last = c.boxes            ? "读取失败... \r\n"
                             : c.parametersRead ? "摄像头4字典读取成功...\r\n"
                                                : "读取参数失败\r\n";
    EXPECT_TRUE(h.Pump([&] { return h.LogContains(last); }, 60s)) << h.session.LogText();
    h.PumpFor(300ms);

    EXPECT_EQ(h.LogContains("读取参数成功\r\n"), c.parametersRead);
    EXPECT_EQ(Without(h.session.LogText(), "读取参数成功\r\n"), c.log);
    EXPECT_EQ(Flag(h.session.Flags().bParamsRead), c.parametersRead ? 1 : 0);
    ASSERT_EQ(h.notifier.Count(), c.boxes);
    if (c.boxes) {
      EXPECT_EQ(h.notifier.Boxes()[0].text, "读取失败");
    }
    for (int cam = 0; cam < 4; ++cam)
      for (int l = 0; l < 8; ++l) {
        const bool read = cam == 0 ? l < c.linesRead : c.linesRead == 8;
        const sCameraPara& got = h.Block().osd.asCamera[cam];
        EXPECT_EQ(TextsEqual(got, device->osd.asCamera[cam], l), read)
            << "camera " << cam << " line " << l;
        if (!read) {
          EXPECT_EQ(got.asLine[l].szText[0], 0) << "camera " << cam << " line " << l;
        }
      }
    if (!c.parametersRead) {
      h.session.OnDownload();
      ASSERT_EQ(h.notifier.Count(), c.boxes + 1);
      EXPECT_EQ(h.notifier.Boxes().back().text, "请先双击设备列表读取参数");
    }
    ExpectAReadWorksAgain(lane);
  }
}

// ---------------------------------------------------------------------------------------------
// Network download ("下载数据": the parameters in command 4, then each camera's line texts)

// One session reads a sound device, then downloads new values to the same device played by a
// simulator per fault. Only the command 4 acknowledgement is reported, and only within 5 s of the
// download; the camera-text writes expect no answer. The device's dump shows what it took.
// (Refused: MainWindowE2e.RefusedDownloadIsReportedOncePerAcknowledgement.)
TEST(FaultMatrix, NetworkDownload) {
  enum class Took { Nothing, Everything, Parameters, FirstFourLines };
  struct Case {
    const char* fault;
    Options options;
    std::string reported;  // what follows "设置完成\r\n"
    Took took;
    int acknowledgements;  // command 4 replies that reach the session
  };
  const Case cases[] = {
      {"silent", {"--silent", "5"}, "", Took::Nothing, 0},
      // Within 5 s an acknowledgement is reported; later it answers nothing the program asked.
      {"late, within 5 s", {"--delay-ms", "1000"}, "下载参数成功\r\n", Took::Parameters, 1},
      {"late, after 5 s", {"--delay-ms", "6000"}, "", Took::Parameters, 1},
      {"twice", {"--answer-twice"}, "下载参数成功\r\n下载参数成功\r\n", Took::Everything, 2},
      // The device keeps four of each camera's eight lines; nobody is told.
      {"partial acknowledgement",
       {"--partial-ack", "4"},
       "下载参数成功\r\n",
       Took::FirstFourLines,
       1},
      // The acknowledgement is dropped: the device took everything, the user is told nothing.
      {"bad checksum", {"--bad-checksum"}, "", Took::Everything, 1},
      {"truncated", {"--truncate"}, "", Took::Everything, 1},
      {"oversized", {"--oversize"}, "", Took::Everything, 0},  // the link drops it
      // The acknowledgement's MAC is not compared: any device's result is reported.
      {"foreign MAC", {"--foreign-mac"}, "下载参数成功\r\n", Took::Everything, 1},
      {"none, after the faults", {}, "下载参数成功\r\n", Took::Everything, 1},
  };

  StartedHarness h;
  {
    SimulatorRun sound;
    ASSERT_TRUE(sound.Start()) << sound.Error();
    ASSERT_TRUE(h.SearchAndSelect());
    ASSERT_TRUE(h.Pump([&] { return h.LogContains("摄像头4字典读取成功...\r\n"); }, 30s));
    ASSERT_EQ(Flag(h.session.Flags().bParamsRead), 1);
  }
  const std::string sent =
      "设置参数... \r\n正在下载摄像头1参数...\r\n正在下载摄像头2参数...\r\n"
      "正在下载摄像头3参数...\r\n正在下载摄像头4参数...\r\n设置完成\r\n";
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    SimulatorRun sim;
    ASSERT_TRUE(sim.Start(c.options)) << sim.Error();
    const auto before = sim.State();
    ASSERT_TRUE(before);
    ++round;
    sOSDCommPara values;
    {
      std::lock_guard lock(h.session.ModelMutex());
      sOSDCommPara& osd = h.Block().osd;
      osd.abyIP[3] = static_cast<uint8_t>(100 + round);
      osd.asCamera[2].wCameraPort = static_cast<uint16_t>(9000 + round);
      for (int cam = 0; cam < 4; ++cam)
        for (int l = 0; l < 8; ++l)
          StoreGbkText(osd.asCamera[cam].asLine[l].szText, 72,
                       "第" + std::to_string(round) + "次 摄像头" + std::to_string(cam + 1) +
                           " 第" + std::to_string(l + 1) + "行");
      values = osd;
    }
    h.session.NetParamsToPage();  // the user's values, as the page holds them
    // Whether line l of camera cam on the device is the one the download sent.
    auto lineTaken = [&](int l) {
      return c.took == Took::Everything || (c.took == Took::FirstFourLines && l < 4);
    };
    // Whether the device holds what it takes (the line texts of a late device are still on their
    // way).
    auto deviceTook = [&](const DeviceState& after) {
      const sOSDCommPara& want = c.took == Took::Nothing ? before->osd : values;
      if (after.osd.abyIP[3] != want.abyIP[3] ||
          after.osd.asCamera[2].wCameraPort != want.asCamera[2].wCameraPort)
        return false;
      for (int cam = 0; c.took != Took::Parameters && cam < 4; ++cam)
        for (int l = 0; l < 8; ++l)
          if (!TextsEqual(after.osd.asCamera[cam],
                          (lineTaken(l) ? values : before->osd).asCamera[cam], l))
            return false;
      return true;
    };
    h.notifier.Clear();
    const int acknowledged = h.RepliesPumped(CMD_DOWNLOAD_PARAMS);
    h.session.OnDownload();  // blocks for its pauses, as on the UI thread
    // What the device takes, its acknowledgements (late ones too) and what the session reports
    // are waited for; then a stray reply would show within a moment.
    EXPECT_TRUE(h.Pump(
        [&] {
          const auto after = sim.State();
          return h.RepliesPumped(CMD_DOWNLOAD_PARAMS) - acknowledged >= c.acknowledgements &&
                 h.session.LogText() == sent + c.reported && after && deviceTook(*after);
        },
        30s));
    h.PumpFor(300ms);

    EXPECT_EQ(h.session.LogText(), sent + c.reported);
    EXPECT_EQ(h.notifier.Count(), 0u);
    EXPECT_EQ(std::memcmp(&h.Block().osd, &values, sizeof values), 0);  // the block is kept
    const auto after = sim.State();
    ASSERT_TRUE(after);
    EXPECT_TRUE(deviceTook(*after));
  }
}

// ---------------------------------------------------------------------------------------------
// RS-485 read and download (the page's "读取" and "下载": all 566 entries in 19 chunks)

// Faults under which a whole transfer still completes, each against a simulator and session of
// its own. (Partial acknowledgement of a download: DictionaryE2e.PartialAcknowledgements-
// StillStoreEveryEntry; refused download and foreign identifiers touch no dictionary write.)
TEST(FaultMatrix, Rs485TransfersThatStillComplete) {
  struct Case {
    const char* fault;
    bool write;
    Options options;
    int requests;
    std::string afterEachReply;
  };
  const Case cases[] = {
      // Late, but within the 10 s a chunk is waited for.
      {"late", false, {"--delay-ms", "100"}, 19, ""},
      // The second copy of each reply answers nothing any more.
      {"twice", false, {"--answer-twice"}, 19, ""},
      // Ten entries per reply: the rest of each chunk goes out again.
      {"partial acknowledgement", false, {"--partial-ack", "10"}, 57, ""},
      // Dictionary replies are matched by their identifiers, not by the device's MAC.
      {"foreign MAC", false, {"--foreign-mac"}, 19, ""},
      {"foreign identifier", false, {"--foreign-id"}, 19, kForeignIdLines},
      {"late", true, {"--delay-ms", "100"}, 19, ""},
      {"twice", true, {"--answer-twice"}, 19, ""},
      {"foreign MAC", true, {"--foreign-mac"}, 19, ""},
  };
  int n = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.write ? "download, " : "read, ") + c.fault);
    Lane lane(c.fault, n++, c.options, c.write);
    ASSERT_TRUE(lane.started) << lane.sim.Error();
    SessionHarness& h = lane.h;
    const auto device = lane.sim.State(lane.mac);
    const auto source = lane.sim.State(SourceMac(n - 1));
    ASSERT_TRUE(device && source);
    h.SelectMac(lane.mac);
    if (c.write) {
      std::lock_guard lock(h.session.ModelMutex());
      std::memcpy(&h.Block().modbus, &source->modbus, kRs485ImageBytes);
    }
    const sModBusPara sent = h.Block().modbus;

    ASSERT_TRUE(TransferEverything(h, c.write)) << h.session.LogText();
    if (c.requests == 19) {
      EXPECT_EQ(h.session.LogText(), TransferLog(c.write, kChunkPercentages, c.afterEachReply));
    } else {
      EXPECT_EQ(h.CountInLog(c.write ? "正在下载字典... \r\n" : "正在读取字典... \r\n"),
                c.requests);
      EXPECT_FALSE(h.LogContains("超时"));
    }
    EXPECT_EQ(h.notifier.Count(), 0u);
    const sModBusPara& index = h.Block().modbus;
    if (c.write) {
      const auto after = lane.sim.State(lane.mac);
      ASSERT_TRUE(after);
      EXPECT_TRUE(EntriesNotHolding(index, after->modbus, sent, sent, 566).empty());
      EXPECT_EQ(lane.sim.CountLogLines("dict-write"), c.requests);
      EXPECT_EQ(Flag(h.session.Flags().b485Read), 0);
    } else {
      EXPECT_TRUE(
          EntriesNotHolding(index, h.Block().modbus, device->modbus, device->modbus, 566).empty());
      EXPECT_EQ(h.view.rs485Shown, c.requests);
      EXPECT_EQ(Flag(h.session.Flags().b485Read), 1);
    }
  }
}

// After a failed transfer, the same session transfers everything against a sound device.
void ExpectATransferWorksAgain(Lane& lane, const sModBusPara& sent) {
  lane.sim.Stop();
  ASSERT_TRUE(lane.sim.Start()) << lane.sim.Error();
  const size_t boxes = lane.h.notifier.Count();
  ASSERT_TRUE(TransferEverything(lane.h, lane.write)) << lane.h.session.LogText();
  EXPECT_EQ(lane.h.session.LogText(), TransferLog(lane.write));
  EXPECT_EQ(lane.h.notifier.Count(), boxes);
  const auto device = lane.sim.State(lane.mac);
  ASSERT_TRUE(device);
  const sModBusPara& index = lane.h.Block().modbus;
  if (lane.write)
    EXPECT_TRUE(EntriesNotHolding(index, device->modbus, sent, sent, 566).empty());
  else
    EXPECT_TRUE(EntriesNotHolding(index, lane.h.Block().modbus, device->modbus, device->modbus, 566)
                    .empty());
}

// Checks one lane after its transfer failed: the log and the box, the marks cleared, the block
// kept as the transfer found it, and on the device the block's values in the first `taken`
// entries of the index and its own earlier ones in the others.
void ExpectFailedTransfer(Lane& lane, const sModBusPara& block, const DeviceState& before,
                          int taken) {
  SCOPED_TRACE(std::string(lane.write ? "download, " : "read, ") + lane.fault);
  SessionHarness& h = lane.h;
  EXPECT_EQ(h.session.LogText(), FailedTransferLog(lane.write));
  const auto boxes = h.notifier.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "警告");
  EXPECT_EQ(boxes[0].text, lane.write ? "下载失败" : "读取失败");
  EXPECT_EQ(boxes[0].icon, BoxIcon::Question);
  EXPECT_EQ(h.PendingWrites() + h.PendingReads(), 0);
  EXPECT_EQ(std::memcmp(&h.Block().modbus, &block, kRs485ImageBytes), 0);
  EXPECT_EQ(Flag(h.session.Flags().b485Read), 0);
  EXPECT_EQ(h.view.rs485Shown, 0);
  const auto after = lane.sim.State(lane.mac);
  ASSERT_TRUE(after);
  const std::vector<int> wrong =
      EntriesNotHolding(h.Block().modbus, after->modbus, block, before.modbus, taken);
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " entries wrong, the first at " << wrong.front();
}

// Replies that never reach the session: every chunk is tried three times, 10 s apart, then the
// transfer fails with its box. The five lanes share one wait of 30 s. A download that was heard
// but not acknowledged has put its first chunk onto the device, three times.
// (Silent read: DictionaryE2e.SilentDeviceFailsTheReadAfterThreeTries.)
TEST(FaultMatrix, Rs485TransfersWithoutAnswerFailAfterThreeTries) {
  std::vector<std::unique_ptr<Lane>> lanes;
  lanes.push_back(std::make_unique<Lane>("silent", 1, Options{"--silent", "3"}, true));
  lanes.push_back(std::make_unique<Lane>("bad checksum", 2, Options{"--bad-checksum"}, true));
  lanes.push_back(std::make_unique<Lane>("oversized", 3, Options{"--oversize"}, true));
  lanes.push_back(std::make_unique<Lane>("bad checksum", 4, Options{"--bad-checksum"}));
  lanes.push_back(std::make_unique<Lane>("oversized", 5, Options{"--oversize"}));
  std::vector<sModBusPara> block;  // as each transfer begins: new values, or (read) all zero
  std::vector<DeviceState> before;
  for (size_t i = 0; i < lanes.size(); ++i) {
    Lane& lane = *lanes[i];
    ASSERT_TRUE(lane.started) << lane.sim.Error();
    const auto device = lane.sim.State(lane.mac);
    const auto source = lane.sim.State(SourceMac(static_cast<int>(i) + 1));
    ASSERT_TRUE(device && source);
    before.push_back(*device);
    lane.h.SelectMac(lane.mac);
    if (lane.write) {
      std::lock_guard lock(lane.h.session.ModelMutex());
      std::memcpy(&lane.h.Block().modbus, &source->modbus, kRs485ImageBytes);
    }
    block.push_back(lane.h.Block().modbus);
    // Block and device differ, so the dump tells which of them an entry holds.
    ASSERT_FALSE(EntriesNotHolding(block.back(), block.back(), before.back().modbus,
                                   before.back().modbus, 566)
                     .empty());
  }
  const auto start = Clock::now();
  for (auto& lane : lanes) lane->h.MarkAll(lane->write);
  auto everyLaneFailed = [&] {
    for (auto& lane : lanes)
      if (lane->h.notifier.Count() == 0) return false;
    return true;
  };
  EXPECT_TRUE(SessionHarness::PumpAll(Harnesses(lanes), everyLaneFailed, 100s));
  const auto waited = Clock::now() - start;
  SessionHarness::PumpAll(
      Harnesses(lanes), [] { return false; }, 300ms);
  // Three tries of 10 s each; that there were three, not four, the devices' logs tell below.
  EXPECT_GE(waited, 30s);

  for (size_t i = 0; i < lanes.size(); ++i) {
    Lane& lane = *lanes[i];
    const bool heard = lane.fault != "silent";
    ExpectFailedTransfer(lane, block[i], before[i], lane.write && heard ? 31 : 0);
    EXPECT_EQ(lane.sim.CountLogLines(!heard       ? "silent dict"
                                     : lane.write ? "dict-write"
                                                  : "dict-read"),
              3);
  }
  for (size_t i = 0; i < lanes.size(); ++i) {
    SCOPED_TRACE(std::string(lanes[i]->write ? "download, " : "read, ") + lanes[i]->fault);
    ExpectATransferWorksAgain(*lanes[i], block[i]);
  }
}

// Acknowledgements cut to half name 12 of a chunk's 31 entries: what they name counts as written,
// the rest of the chunk goes out again with the next entries, and after three tries the download
// fails with its box. The device took every entry of the three requests (the first 55) though
// the program reported failure. (Cut read replies: DictionaryE2e.FullReadFromADeviceWithCut-
// RepliesComesToAnEnd.)
TEST(FaultMatrix, Rs485DownloadWithCutAcknowledgementsFailsAfterThreeTries) {
  Lane lane("truncated", 6, Options{"--truncate"}, true);
  ASSERT_TRUE(lane.started) << lane.sim.Error();
  const auto before = lane.sim.State(lane.mac);
  const auto source = lane.sim.State(SourceMac(6));
  ASSERT_TRUE(before && source);
  lane.h.SelectMac(lane.mac);
  {
    std::lock_guard lock(lane.h.session.ModelMutex());
    std::memcpy(&lane.h.Block().modbus, &source->modbus, kRs485ImageBytes);
  }
  const sModBusPara sent = lane.h.Block().modbus;
  lane.h.MarkAll(true);
  EXPECT_TRUE(lane.h.Pump([&] { return lane.h.notifier.Count() > 0; }, 100s));
  lane.h.PumpFor(300ms);
  ExpectFailedTransfer(lane, sent, *before, 55);
  EXPECT_EQ(lane.sim.CountLogLines("dict-write"), 3);
  ExpectATransferWorksAgain(lane, sent);
}

}  // namespace
