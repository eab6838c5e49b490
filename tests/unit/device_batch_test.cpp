// The batch engine that the command line and the window share: devices side by side until the
// batch is told to stop, and how a device's failure says what ended it.
#include "device/device_batch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/device_apply.h"
#include "link/discovery.h"
#include "support/simulated_port.h"
#include "text/ipv4_text.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::SimulatedPort;

namespace {

const std::vector<std::string> kMacs = {"00E04C3A1B01", "00E04C3A1B02", "00E04C3A1B03",
                                        "00E04C3A1B04", "00E04C3A1B05"};

std::vector<std::string> Devices() {
  std::vector<std::string> devices;
  for (size_t i = 0; i < kMacs.size(); ++i)
    devices.push_back("ip=192.168.1." + std::to_string(64 + i) + ",mac=" + kMacs[i] +
                      ",version=32.05,name=d");
  return devices;
}

FoundDevice Found(const std::string& mac) {
  FoundDevice device;
  ParseMacText(mac, device.record.mac);
  device.record.ip = *ParseIpv4("192.168.1.64");
  device.record.version = 0x2005;
  return device;
}

}  // namespace

TEST(DeviceBatch, AStopLeavesTheLaterDevicesUnservedAndLetsThoseUnderWayFinish) {
  SimulatedPort port(Devices());
  std::vector<TransferResult> results(kMacs.size(), {TransferResult::Status::NoReply, "unserved"});
  int asked = 0;
  const size_t started = ServeSideBySide(
      port, kMacs.size(), 2,
      [&](FleetPort::Member& member, size_t i) {
        const FoundDevice device = Found(kMacs[i]);
        member.Serve(device.record.mac);
        DeviceTransfer transfer(member, device.record.mac, false);
        sOSDCommPara osd{};
        results[i] = transfer.ReadParams(osd);
      },
      [&] { return asked++ < 2; });
  EXPECT_EQ(started, 2u);
  for (size_t i = 0; i < kMacs.size(); ++i) EXPECT_EQ(results[i].Ok(), i < 2) << i;
  EXPECT_EQ(port.SentWith(CMD_READ_PARAMS).size(), 2u);

  // Without a stop every device is served.
  EXPECT_EQ(ServeSideBySide(port, kMacs.size(), 2, [](FleetPort::Member&, size_t) {}), 5u);
}

TEST(DeviceBatch, AFailureKeepsTheStatusOfTheTransferThatEndedIt) {
  struct Case {
    const char* name;
    std::function<void(SimulatedPort&)> device;
    const char* step;
    TransferResult::Status status;
  };
  const std::vector<Case> cases = {
      {"silent",
       [](SimulatedPort& p) { p.answer = [](const Bytes&) { return std::vector<Bytes>{}; }; },
       "read", TransferResult::Status::NoReply},
      {"refuses", [](SimulatedPort& p) { p.RefuseDownloads(); }, "download",
       TransferResult::Status::Refused},
      {"answers", [](SimulatedPort&) {}, "", TransferResult::Status::Done},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPort port(Devices());
    c.device(port);
    ParamImages file{};
    std::memcpy(&file.osd, &port.Device(kMacs[1]).osd, sizeof file.osd);
    ApplySettings settings;
    settings.parts = kCamerasPart;
    const DeviceOutcome outcome = ApplyToDevice(port, Found(kMacs[0]), file, settings, {}, {});
    EXPECT_EQ(outcome.failedStep, c.step);
    EXPECT_EQ(outcome.status, c.status);
  }

  // A check that reads other values back fails without a failed transfer.
  SimulatedPort port(Devices());
  const DeviceOutcome outcome =
      ServeDevice(port, Found(kMacs[0]), FirstGeneration::Refuse, {},
                  [](const DeviceJob& job, DeviceOutcome& o) {
                    VerifyDevice(job, o, 0ms, [](std::vector<std::string>& out) {
                      out = {"network.ip: device has 192.168.1.64, sent 192.168.1.65"};
                      return TransferResult{};
                    });
                  });
  EXPECT_EQ(outcome.failedStep, "verify");
  EXPECT_EQ(outcome.status, TransferResult::Status::Done);
  EXPECT_EQ(outcome.mismatches.size(), 1u);
}
