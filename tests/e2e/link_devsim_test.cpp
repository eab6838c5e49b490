// The UDP link on real sockets against quillon-devsim, inside the private network of
// scripts/netns-run.sh: the program side at 10.77.0.1, three simulated devices at 10.77.0.2.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>

#include "link/udp_link.h"
#include "params/dictionary.h"
#include "params/osd_wire.h"
#include "simulated_device.h"
#include "support/recording_notifier.h"
#include "support/simulator_run.h"
#include "text/gbk.h"

using namespace quillon;
using namespace std::chrono_literals;

namespace {

using fakes::RecordingNotifier;
using fakes::SimulatorRun;

const uint8_t kMac1[6] = {0x00, 0xE0, 0x4C, 0x3A, 0x1B, 0x01};
const uint8_t kMac2[6] = {0x00, 0xE0, 0x4C, 0x3A, 0x1B, 0x02};

class UdpLinkDevsim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("QUILLON_DEVICE_NETNS"), nullptr)
        << "run under scripts/netns-run.sh (ctest does): this test broadcasts";
    ASSERT_TRUE(sim.Start()) << sim.Error();

    link = std::make_unique<UdpLink>(SystemSockets(), notifier, InterfaceAddresses);
    link->Start([this](Datagram datagram) {
      std::lock_guard lock(mutex);
      received.push_back(std::move(datagram.bytes));
      arrived.notify_all();
    });
    link->RefreshEndpoints();
  }

  void TearDown() override {
    if (link) link->Stop();
    link.reset();
    const auto boxes = notifier.Boxes();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
  }

  void Send(const Bytes& frame) {
    link->SendFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  }

  // Waits until `count` accepted replies satisfying `match` have arrived; returns them.
  std::vector<Bytes> WaitForReplies(size_t count, const std::function<bool(const Bytes&)>& match,
                                    std::chrono::milliseconds timeout = 30s) {
    std::vector<Bytes> found;
    std::unique_lock lock(mutex);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (found.size() < count) {
      while (!received.empty()) {
        Bytes datagram = std::move(received.front());
        received.pop_front();
        if (IsAcceptableReply(datagram) && match(datagram)) found.push_back(std::move(datagram));
      }
      if (found.size() >= count) break;
      if (arrived.wait_until(lock, deadline) == std::cv_status::timeout && received.empty()) break;
    }
    return found;
  }
  static std::function<bool(const Bytes&)> Command(uint8_t command) {
    return [command](const Bytes& f) { return f[3] == command; };
  }

  SimulatorRun sim{SimulatorRun::ThreeDevices()};
  RecordingNotifier notifier;
  std::unique_ptr<UdpLink> link;
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<Bytes> received;
};

TEST_F(UdpLinkDevsim, TheOneLocalAddressGetsAnOpenEndpoint) {
  const auto table = link->Endpoints();
  EXPECT_TRUE(table[0].open);
  EXPECT_EQ(table[0].address, 0x0A4D0001u);  // 10.77.0.1
  for (int i = 1; i < kEndpointCount; ++i) EXPECT_FALSE(table[i].open);
}

TEST_F(UdpLinkDevsim, SearchFindsTheThreeDevices) {
  Send(BuildSearchRequest());
  const auto replies = WaitForReplies(3, Command(CMD_SEARCH));
  ASSERT_EQ(replies.size(), 3u);

  std::map<std::string, std::string> seen;  // MAC text -> "ip name version"
  for (const Bytes& r : replies) {
    ASSERT_GE(r.size(), 24u);
    const uint32_t ip = r[8] | r[9] << 8 | r[10] << 16 | uint32_t(r[11]) << 24;
    char line[64];
    std::snprintf(line, sizeof line, "%u.%u.%u.%u %02u.%02u ", ip >> 24, (ip >> 16) & 255,
                  (ip >> 8) & 255, ip & 255, r[19], r[18]);
    const char* name = reinterpret_cast<const char*>(&r[22]);
    const std::string gbk(name, strnlen(name, r.size() - 23));
    seen[devsim::MacText(&r[12])] = line + GbkToUtf8(gbk);
  }
  EXPECT_EQ(seen,
            (std::map<std::string, std::string>{{"00E04C3A1B01", "192.168.1.64 32.05 1号机房 东门"},
                                                {"00E04C3A1B02", "192.168.1.65 20.03 2号泵站"},
                                                {"00E04C3A1B03", "192.168.1.66 01.09 老设备"}}));
}

TEST_F(UdpLinkDevsim, ReadRequestGetsTheLayoutOfTheDevicesFirmware) {
  Send(BuildReadRequest(kMac1));
  auto replies = WaitForReplies(1, Command(CMD_READ_PARAMS));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].size(), kReadReplyFrameSize);
  EXPECT_EQ(std::memcmp(&replies[0][4], kMac1, 6), 0);

  Send(BuildReadRequest(kMac2));  // firmware 20: line texts inside the reply
  replies = WaitForReplies(1, Command(CMD_READ_PARAMS));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].size(), kReadReplyFrameSizeLegacy);
  EXPECT_EQ(std::memcmp(&replies[0][4], kMac2, 6), 0);
}

TEST_F(UdpLinkDevsim, DownloadAndCameraTextsReachTheDevice) {
  Send(BuildReadRequest(kMac1));
  auto replies = WaitForReplies(1, Command(CMD_READ_PARAMS));
  ASSERT_EQ(replies.size(), 1u);
  DeviceParameterBlock block{};
  ASSERT_TRUE(MapReadReply(block.osd, replies[0], false));
  EXPECT_EQ(block.osd.abyIP[3], 64);

  block.osd.abyIP[3] = 77;
  block.osd.asCamera[2].wCameraPort = 4321;
  Send(BuildDownloadFrame(block.osd, kMac1, false));
  replies = WaitForReplies(1, Command(CMD_DOWNLOAD_PARAMS));
  ASSERT_EQ(replies.size(), 1u);
  ASSERT_GE(replies[0].size(), 12u);
  EXPECT_EQ(replies[0][10], 1);

  StoreGbkText(block.osd.asCamera[1].asLine[4].szText, 72, "新文字");
  uint8_t payload[kDictFrameBufferSize];
  const size_t length = BuildCameraTextWritePayload(block, 1, payload);
  Send(BuildRequestFrame(CMD_DICTIONARY, kMac1, payload, length));
  replies = WaitForReplies(1, Command(CMD_DICTIONARY));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0][12], 8);  // all eight texts acknowledged

  // The device acknowledges only after it stored and dumped the values.
  const auto state = sim.State(SimulatorRun::kCurrentMac);
  ASSERT_TRUE(state);
  const sOSDCommPara& osd = state->osd;
  EXPECT_EQ(osd.abyIP[3], 77);
  EXPECT_EQ(+osd.asCamera[2].wCameraPort, 4321);
  EXPECT_EQ(LoadGbkText(osd.asCamera[1].asLine[4].szText, 73), "新文字");
}

}  // namespace
