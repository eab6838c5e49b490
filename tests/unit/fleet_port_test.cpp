// Devices served side by side over one port, on the simulator's device logic and its simulated
// clock: each reply reaches the transfer of the device it names, a lost reply is retried for its
// device alone, and each device keeps its own pauses, whatever the others are doing.
#include "device/fleet_port.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "device/device_transfer.h"
#include "link/discovery.h"
#include "support/simulated_port.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::SimulatedPort;

namespace {

const std::vector<std::string> kDevices = {
    "ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=甲",
    "ip=192.168.1.65,mac=00E04C3A1B02,version=32.05,name=乙"};
const std::vector<std::string> kMacs = {"00E04C3A1B01", "00E04C3A1B02"};

using Step = std::function<TransferResult(DeviceTransfer&, DeviceParameterBlock&)>;

struct Served {
  TransferResult result;
  std::unique_ptr<DeviceParameterBlock> block;
  int retries = 0;
};

// One step per device, each on a member of its own and a thread of its own, all at once.
std::vector<Served> SideBySide(TransferPort& port, const std::vector<std::string>& macs,
                               const Step& step) {
  FleetPort fleet(port);
  std::vector<FleetPort::Member*> members;
  for (size_t i = 0; i < macs.size(); ++i) members.push_back(&fleet.Join());
  std::vector<Served> served(macs.size());
  for (Served& each : served) {
    each.block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*each.block);
    BuildDictionaryIndex(each.block->modbus);
  }
  std::vector<std::thread> threads;
  for (size_t i = 0; i < macs.size(); ++i) {
    threads.emplace_back([&, i] {
      uint8_t mac[6];
      ParseMacText(macs[i], mac);
      members[i]->Serve(mac);
      DeviceTransfer transfer(*members[i], mac, false);
      served[i].result = step(transfer, *served[i].block);
      served[i].retries = transfer.Retries();
      fleet.Leave(*members[i]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  return served;
}

// The simulated devices behind a port on the real clock, as on the network: one member reads it
// while the others send, so it takes a lock of its own, and a reply is there as soon as its
// request went out.
class RealClockPort : public TransferPort {
  // A reply counts only when it came after its request: it is stamped on this port's clock.
  static PortDatagram OnTheRealClock(PortDatagram datagram) {
    datagram.received = Clock::now();
    return datagram;
  }

 public:
  explicit RealClockPort(SimulatedPort& devices) : devices_(devices) { devices_.replyDelay = 0ms; }
  Clock::time_point Now() override { return Clock::now(); }
  bool Send(std::span<const uint8_t> frame) override {
    const std::lock_guard lock(mutex_);
    const bool sent = devices_.Send(frame);
    arrived_.notify_all();
    return sent;
  }
  std::optional<PortDatagram> Receive(Clock::time_point deadline) override {
    std::unique_lock lock(mutex_);
    // The simulated clock stands still: everything sent so far has been answered.
    while (true) {
      if (std::optional<PortDatagram> datagram = devices_.Receive(devices_.Now()))
        return OnTheRealClock(std::move(*datagram));
      if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout) {
        std::optional<PortDatagram> datagram = devices_.Receive(devices_.Now());
        return datagram ? OnTheRealClock(std::move(*datagram)) : datagram;
      }
    }
  }

 private:
  SimulatedPort& devices_;
  std::mutex mutex_;
  std::condition_variable arrived_;
};

Step ReadRs485() {
  return [](DeviceTransfer& t, DeviceParameterBlock& b) { return t.ReadRs485(b); };
}

// The MACs of the command 9 frames sent, in order.
std::string DictionaryMacs(const SimulatedPort& port) {
  std::string order;
  for (const auto& frame : port.SentWith(CMD_DICTIONARY)) order += frame.bytes[9] == 1 ? 'A' : 'B';
  return order;
}

bool HoldsRs485Of(const DeviceParameterBlock& block, const DeviceParameterBlock& device) {
  return std::memcmp(&block.modbus, &device.modbus, offsetof(sModBusPara, awDictId)) == 0;
}

}  // namespace

TEST(FleetPort, EachReplyReachesTheTransferOfTheDeviceItNames) {
  // Both devices ask for the same identifiers, so a reply of B would answer A's request, were it
  // handed to A.
  devsim::FaultOptions silentA;
  silentA.silentDevices = {kMacs[0]};
  SimulatedPort port(kDevices, silentA);
  const std::vector<Served> served = SideBySide(port, kMacs, ReadRs485());
  EXPECT_EQ(served[0].result.status, TransferResult::Status::NoReply);
  EXPECT_EQ(served[0].retries, 2);
  EXPECT_TRUE(served[1].result.Ok()) << served[1].result.message;
  EXPECT_TRUE(HoldsRs485Of(*served[1].block, port.Device(kMacs[1])));
  EXPECT_EQ(port.Elapsed(), 30000ms);  // A's three tries of 10 s, nothing more
}

TEST(FleetPort, TwoDevicesReadTheirEntriesInterleaved) {
  SimulatedPort port(kDevices);
  const std::vector<Served> served = SideBySide(port, kMacs, ReadRs485());
  for (size_t i = 0; i < kMacs.size(); ++i) {
    SCOPED_TRACE(kMacs[i]);
    EXPECT_TRUE(served[i].result.Ok()) << served[i].result.message;
    EXPECT_TRUE(HoldsRs485Of(*served[i].block, port.Device(kMacs[i])));
  }
  // The devices' default slots differ, so each block holds its own device's entries.
  EXPECT_FALSE(HoldsRs485Of(*served[0].block, *served[1].block));
  // Nineteen chunks each, side by side: a chunk of one device goes out while the other's is
  // answered, not all of A and then all of B.
  const std::string order = DictionaryMacs(port);
  EXPECT_EQ(order.size(), 38u);
  EXPECT_NE(order.find("AB"), std::string::npos) << order;
  EXPECT_NE(order.find("BA"), std::string::npos) << order;
  EXPECT_LT(port.Elapsed(), 100ms);
}

TEST(FleetPort, ALostReplyIsRetriedForItsDeviceAlone) {
  SimulatedPort port(kDevices);
  bool dropped = false;
  port.answer = [&](const Bytes& request) {
    if (request[3] == CMD_DICTIONARY && request[9] == 1 && !dropped) {
      dropped = true;
      return std::vector<Bytes>{};
    }
    return port.SimulatorAnswer(request);
  };
  const std::vector<Served> served = SideBySide(port, kMacs, ReadRs485());
  EXPECT_TRUE(served[0].result.Ok() && served[1].result.Ok());
  EXPECT_EQ(served[0].retries, 1);
  EXPECT_EQ(served[1].retries, 0);
  // B was done long before A's 10 s ran out.
  const auto frames = port.SentWith(CMD_DICTIONARY);
  std::chrono::milliseconds lastOfB{0};
  for (const auto& frame : frames)
    if (frame.bytes[9] == 2) lastOfB = frame.at;
  EXPECT_LT(lastOfB, 100ms);
  EXPECT_GE(port.Elapsed(), 10000ms);
  EXPECT_LT(port.Elapsed(), 10100ms);
}

TEST(FleetPort, EachDeviceKeepsItsOwnPausesAfterItsDownload) {
  SimulatedPort port(kDevices);
  const sOSDCommPara osd = port.Device(kMacs[0]).osd;
  const std::vector<Served> served =
      SideBySide(port, kMacs, [&](DeviceTransfer& t, DeviceParameterBlock& b) {
        b.osd = osd;
        return t.Download(b);
      });
  for (int device = 1; device <= 2; ++device) {
    SCOPED_TRACE(device);
    EXPECT_TRUE(served[device - 1].result.Ok()) << served[device - 1].result.message;
    std::vector<std::chrono::milliseconds> at;
    for (const auto& frame : port.sent)
      if (frame.bytes[0] == 0xAA && frame.bytes[9] == device &&
          (frame.bytes[3] == CMD_DOWNLOAD_PARAMS || frame.bytes[3] == CMD_DICTIONARY))
        at.push_back(frame.at);
    ASSERT_EQ(at.size(), 5u);
    for (size_t i = 1; i < at.size(); ++i) EXPECT_EQ(at[i] - at[i - 1], 200ms);
  }
  // Side by side: both in the time of one.
  EXPECT_LT(port.Elapsed(), 1100ms);
}

TEST(FleetPort, OneDeviceAloneTakesRepliesThatNameAnother) {
  // As the window does: a download result or dictionary reply is not asked which device it
  // names while one device alone is served.
  devsim::FaultOptions foreign;
  foreign.foreignMac = true;
  SimulatedPort port(kDevices, foreign);
  const std::vector<Served> served = SideBySide(port, {kMacs[0]}, ReadRs485());
  EXPECT_TRUE(served[0].result.Ok()) << served[0].result.message;
  EXPECT_TRUE(HoldsRs485Of(*served[0].block, port.Device(kMacs[0])));
}

TEST(FleetPort, OnTheRealClockEachOfEightDevicesGetsItsOwnEntries) {
  // One member at a time reads the shared port for all of them and hands each reply on.
  std::vector<std::string> devices, macs;
  for (int i = 1; i <= 8; ++i) {
    macs.push_back("00E04C3A1C0" + std::to_string(i));
    devices.push_back("ip=192.168.1." + std::to_string(100 + i) + ",mac=" + macs.back() +
                      ",version=32.05,name=" + std::to_string(i));
  }
  SimulatedPort simulated(devices);
  // Each device polls at an interval of its own, so a reply handed to the wrong transfer shows.
  for (size_t i = 0; i < macs.size(); ++i)
    simulated.Device(macs[i]).modbus.wPollInterval = static_cast<uint16_t>(1000 + i);
  RealClockPort port(simulated);
  const std::vector<Served> served = SideBySide(port, macs, ReadRs485());
  for (size_t i = 0; i < macs.size(); ++i) {
    SCOPED_TRACE(macs[i]);
    EXPECT_TRUE(served[i].result.Ok()) << served[i].result.message;
    EXPECT_EQ(served[i].retries, 0);
    EXPECT_TRUE(HoldsRs485Of(*served[i].block, simulated.Device(macs[i])));
  }
  EXPECT_EQ(simulated.SentWith(CMD_DICTIONARY).size(), 8u * 19u);
}
