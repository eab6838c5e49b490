// The RS-485 page's read and download through the session, on simulated devices with the worker
// stepped by hand: a download needs a whole read, asks before values of another device go out,
// and nothing starts while a transfer runs either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "link/frame.h"
#include "params/dictionary.h"
#include "session/config_session.h"
#include "support/device_values.h"
#include "support/fake_view.h"
#include "support/recording_notifier.h"
#include "support/simulated_port.h"

using namespace quillon;
using namespace quillon::fakes;

namespace {

const std::string kMacA = "00E04C3A1B01";
const std::string kMacB = "00E04C3A1B02";
constexpr int kUntilGivenUp = 3 * 1000 + 100;  // three 10 s tries of 10 ms cycles, and more
constexpr const char* kRunning = "正在传输参数，请等待本次传输结束后再操作";

class Rs485TransferSessionTest : public ::testing::Test {
 protected:
  Rs485TransferSessionTest()
      : port({"ip=192.168.1.64,mac=" + kMacA + ",version=20.03",
              "ip=192.168.1.65,mac=" + kMacB + ",version=20.03"}),
        link(port),
        session(block, link, notifier) {
    session.AttachView(view);
    session.InitModel();
  }

  // A double-click on the device, stepped until its parameters are in.
  void Select(const std::string& mac) {
    view.selected = DeviceRow{"", "", mac, "20.03"};
    session.OnDeviceDoubleClicked();
    ASSERT_TRUE(Step([&] { return session.Flags().bParamsRead != 0; }, 10));
  }
  bool Step(const std::function<bool()>& done, int cycles) {
    return StepSession(session, port, done, cycles);
  }
  int Pending() { return CountPendingReads(block.modbus) + CountPendingWrites(block.modbus); }
  bool Idle() { return Pending() == 0; }
  size_t DictionaryRequests() const { return port.SentWith(CMD_DICTIONARY).size(); }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const RecordedBox& box : notifier.Boxes()) texts.push_back(box.text);
    return texts;
  }
  // Whether every entry of the index holds the same value in both, by the simulator's table.
  bool SameEntries(const sModBusPara& a, const sModBusPara& b) {
    return EntriesNotHolding(block.modbus, a, b, b, kDictCapacity).empty();
  }

  SimulatedPort port;
  SimulatedLink link;
  DeviceParameterBlock block{};
  FakeConfigView view;
  RecordingNotifier notifier;
  ConfigSession session;
};

// A device that falls silent at the fourth read chunk: after "读取失败" the slots that never
// came must not be downloaded.
TEST_F(Rs485TransferSessionTest, ADownloadIsRefusedAfterAReadCutShort) {
  Select(kMacA);
  int chunks = 0;
  port.answer = [&](const Bytes& request) {
    if (request[3] == CMD_DICTIONARY && ++chunks >= 4) return std::vector<Bytes>{};
    return port.SimulatorAnswer(request);
  };
  session.OnRs485Read();
  ASSERT_TRUE(Step([&] { return chunks == 3 && Pending() == 566 - 3 * 31; }, 100));
  session.OnRs485Download();  // a read answered in part unlocks nothing
  ASSERT_TRUE(Step([&] { return notifier.Count() == 2; }, kUntilGivenUp));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"请先读取485参数后下载", "读取失败"}));
  const size_t requests = DictionaryRequests();
  session.OnRs485Download();
  EXPECT_EQ(BoxTexts().back(), "请先读取485参数后下载");
  EXPECT_FALSE(Step([&] { return DictionaryRequests() != requests; }, 100));
}

TEST_F(Rs485TransferSessionTest, AnotherDevicesValuesGoOutOnlyWhenTheUserSaysSo) {
  Select(kMacA);
  session.OnRs485Read();
  ASSERT_TRUE(Step([&] { return Idle(); }, kUntilGivenUp));
  ASSERT_EQ(session.Flags().b485Read, 1);
  const sModBusPara a = port.Device(kMacA).modbus;
  ASSERT_FALSE(SameEntries(a, port.Device(kMacB).modbus));

  Select(kMacB);
  session.OnRs485Download();  // "否"
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "页面上的485参数来自设备 00E04C3A1B01，当前选中的是设备 "
                            "00E04C3A1B02。\r\n是否将这些485参数下载到设备 00E04C3A1B02？"}));
  EXPECT_EQ(notifier.Boxes()[0].caption, "提示");
  EXPECT_TRUE(Idle());

  notifier.yes = true;
  session.OnRs485Download();
  ASSERT_TRUE(Step([&] { return Idle(); }, kUntilGivenUp));
  EXPECT_TRUE(SameEntries(port.Device(kMacB).modbus, a));
  // They were last downloaded to B: the next download to B asks nothing.
  notifier.Clear();
  session.OnRs485Download();
  EXPECT_EQ(notifier.Count(), 0u);
}

// While entries move either way, "读取" (even for another device), "下载" and "导入参数" each
// refuse with a box; nothing is marked, no file is chosen, and the transfer ends with exactly the
// page's values on the device (download) or the device's on the page (read).
TEST_F(Rs485TransferSessionTest, NothingStartsWhileATransferRuns) {
  const struct {
    const char* transfer;
    bool write;
    uint16_t edit;  // typed into the page before the transfer
    // For "读取", "下载" and "导入参数": a read under way has taken back what the last one allowed.
    std::vector<std::string> boxes;
  } cases[] = {
      {"download", true, 4321, {kRunning, kRunning, kRunning}},
      {"read", false, 1234, {kRunning, "请先读取485参数后下载", kRunning}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.transfer);
    Select(kMacA);
    session.OnRs485Read();
    ASSERT_TRUE(Step([&] { return Idle(); }, kUntilGivenUp));
    block.modbus.asSlot[3].wStartReg = c.edit;  // the page's edit
    const size_t requests = DictionaryRequests();
    if (c.write)
      session.OnRs485Download();
    else
      session.OnRs485Read();
    ASSERT_TRUE(Step([&] { return DictionaryRequests() > requests; }, 10));  // under way
    notifier.Clear();
    Select(kMacB);
    const int pending = Pending();
    ASSERT_GT(pending, 0);
    session.OnRs485Read();
    session.OnRs485Download();
    view.importChoice = "/nonexistent/any.ini";
    session.OnImportParams();
    EXPECT_EQ(BoxTexts(), c.boxes);
    EXPECT_EQ(Pending(), pending);
    EXPECT_EQ(std::count(view.pageCalls.begin(), view.pageCalls.end(), "ChooseImportFile"), 0);
    ASSERT_TRUE(Step([&] { return Idle(); }, kUntilGivenUp));
    EXPECT_TRUE(SameEntries(port.Device(kMacA).modbus, block.modbus));
    EXPECT_EQ(port.Device(kMacA).modbus.asSlot[3].wStartReg == c.edit, c.write);
  }
}

}  // namespace
