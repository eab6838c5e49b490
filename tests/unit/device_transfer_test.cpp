// The transfers that wait for each answer, against the simulator's device logic on a simulated
// clock: what they read and write is checked against the devices' own tables, and their timeouts
// cost no real time.
#include "device/device_transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "link/discovery.h"
#include "support/simulated_port.h"
#include "text/gbk.h"

using namespace quillon;
using namespace std::chrono_literals;
using fakes::SimulatedPort;

namespace {

constexpr const char* kCurrent = "ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=甲";
constexpr const char* kLegacy = "ip=192.168.1.65,mac=00E04C3A1B02,version=20.03,name=乙";
constexpr const char* kCurrentMac = "00E04C3A1B01";
constexpr const char* kLegacyMac = "00E04C3A1B02";
constexpr size_t kSettingsAndSlots = offsetof(sModBusPara, awDictId);

std::unique_ptr<DeviceParameterBlock> NewBlock() {
  auto block = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*block);
  BuildDictionaryIndex(block->modbus);
  return block;
}

struct MacBytes {
  explicit MacBytes(const std::string& text) { ParseMacText(text, bytes); }
  uint8_t bytes[6];
};

// The RS-485 settings and slots of two blocks are the same, byte for byte.
bool SameRs485(const sModBusPara& a, const sModBusPara& b) {
  return std::memcmp(&a, &b, kSettingsAndSlots) == 0;
}

}  // namespace

TEST(DeviceTransfer, ReadsADeviceAsItsOwnTablesHoldIt) {
  // The simulator keeps its parameters in images of its own; a complete read gives them back
  // byte for byte, the line texts of both firmware generations included.
  for (const auto& [description, mac, legacy] :
       {std::tuple{kCurrent, kCurrentMac, false}, std::tuple{kLegacy, kLegacyMac, true}}) {
    SCOPED_TRACE(mac);
    SimulatedPort port({kCurrent, kLegacy});
    DeviceTransfer transfer(port, MacBytes(mac).bytes, legacy);
    auto block = NewBlock();
    ASSERT_TRUE(transfer.ReadParams(block->osd).Ok());
    if (!legacy) {
      ASSERT_TRUE(transfer.ReadCameraTexts(*block).Ok());
    }
    ASSERT_TRUE(transfer.ReadRs485(*block).Ok());

    const DeviceParameterBlock& device = port.Device(mac);
    EXPECT_EQ(0, std::memcmp(&block->osd, &device.osd, sizeof block->osd));
    EXPECT_TRUE(SameRs485(block->modbus, device.modbus));
    EXPECT_EQ(CountPendingReads(block->modbus), 0);
    // 1 read, 4 cameras for current firmware, 19 chunks of at most 31 entries; each answered
    // at once, one millisecond later.
    const int requests = legacy ? 20 : 24;
    EXPECT_EQ(transfer.RequestsSent(), requests);
    EXPECT_EQ(port.Elapsed(), std::chrono::milliseconds(requests));
    EXPECT_EQ(transfer.Retries(), 0);
  }
}

TEST(DeviceTransfer, WritesEveryEntryOntoAnotherDevice) {
  SimulatedPort port({kCurrent, kLegacy});
  auto block = NewBlock();
  ASSERT_TRUE(DeviceTransfer(port, MacBytes(kLegacyMac).bytes, true).ReadRs485(*block).Ok());
  ASSERT_FALSE(SameRs485(block->modbus, port.Device(kCurrentMac).modbus));

  DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
  ASSERT_TRUE(transfer.WriteRs485(*block).Ok());
  EXPECT_TRUE(SameRs485(port.Device(kCurrentMac).modbus, port.Device(kLegacyMac).modbus));
  EXPECT_EQ(CountPendingWrites(block->modbus), 0);
  EXPECT_EQ(transfer.RequestsSent(), 19);
}

TEST(DeviceTransfer, DevicesThatAnswerInPartsOrTwiceStillGetEverything) {
  struct Case {
    const char* name;
    devsim::FaultOptions faults;
    int requests;
  };
  devsim::FaultOptions partial;
  partial.partialAck = 7;  // every chunk of 31 is answered for its first 7 entries
  devsim::FaultOptions twice;
  twice.answerTwice = true;  // the duplicate answers nothing that is still outstanding
  for (const Case& c : {Case{"partial", partial, (566 + 6) / 7}, Case{"twice", twice, 19}}) {
    SCOPED_TRACE(c.name);
    SimulatedPort port({kCurrent, kLegacy}, c.faults);
    auto block = NewBlock();
    ASSERT_TRUE(DeviceTransfer(port, MacBytes(kLegacyMac).bytes, true).ReadRs485(*block).Ok());
    port.sent.clear();
    DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
    ASSERT_TRUE(transfer.WriteRs485(*block).Ok());
    EXPECT_TRUE(SameRs485(port.Device(kCurrentMac).modbus, port.Device(kLegacyMac).modbus));
    EXPECT_EQ(transfer.RequestsSent(), c.requests);
    EXPECT_EQ(transfer.Retries(), 0);
  }
}

TEST(DeviceTransfer, TimeoutsAndTriesAreTheWindows) {
  // A device that hears nothing, a device whose replies are damaged, and one whose replies are
  // cut short: each step gives up after its own timeout and number of tries.
  struct Case {
    const char* name;
    std::function<TransferResult(DeviceTransfer&, DeviceParameterBlock&)> step;
    std::chrono::milliseconds elapsed;
    int requests;
    TransferResult::Status status;
  };
  const std::vector<Case> cases = {
      {"read", [](DeviceTransfer& t, DeviceParameterBlock& b) { return t.ReadParams(b.osd); },
       5000ms, 1, TransferResult::Status::NoReply},
      // No retry, and cameras 2 to 4 are not asked.
      {"texts", [](DeviceTransfer& t, DeviceParameterBlock& b) { return t.ReadCameraTexts(b); },
       5000ms, 1, TransferResult::Status::NoReply},
      {"rs485 read", [](DeviceTransfer& t, DeviceParameterBlock& b) { return t.ReadRs485(b); },
       30000ms, 3, TransferResult::Status::NoReply},
      {"rs485 write", [](DeviceTransfer& t, DeviceParameterBlock& b) { return t.WriteRs485(b); },
       30000ms, 3, TransferResult::Status::NoReply},
      // The line texts still follow 200 ms apart, three times; the result is waited for 5 s.
      {"download", [](DeviceTransfer& t, DeviceParameterBlock& b) { return t.Download(b); }, 5000ms,
       13, TransferResult::Status::NoReply},
  };
  std::vector<std::pair<const char*, devsim::FaultOptions>> devices(3);
  devices[0].first = "silent";
  devices[0].second.silentDevices = {kCurrentMac};
  devices[1].first = "bad checksum";
  devices[1].second.badChecksum = true;
  devices[2].first = "truncated";
  devices[2].second.truncate = true;
  for (const auto& [device, faults] : devices) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(device) + ", " + c.name);
      SimulatedPort port({kCurrent}, faults);
      DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
      auto block = NewBlock();
      const TransferResult result = c.step(transfer, *block);
      EXPECT_EQ(result.status, c.status);
      EXPECT_FALSE(result.message.empty());
      EXPECT_EQ(port.Elapsed(), c.elapsed);
      // Cut replies to a line-text read still bring whole lines: the others are asked for
      // again, half as many each time, until a reply brings none and the 5 s run out.
      const bool cutTexts = std::string(device) == "truncated" && std::string(c.name) == "texts";
      EXPECT_EQ(transfer.RequestsSent(), cutTexts ? 4 : c.requests);
      EXPECT_EQ(CountPendingReads(block->modbus) + CountPendingWrites(block->modbus), 0);
      // A cut read reply is refused whole.
      if (std::string(c.name) == "read") {
        EXPECT_EQ(0, std::memcmp(&block->osd, &NewBlock()->osd, sizeof block->osd));
      }
    }
  }
}

TEST(DeviceTransfer, RepliesThatAnswerNothingChangeNothing) {
  // Before each request goes out, a forged answer to it waits in the queue, as the late reply of
  // the device served before would; and a read reply of another device comes right after the
  // request. None of them is taken.
  SimulatedPort port({kCurrent, kLegacy});
  const MacBytes other(kLegacyMac);
  port.answer = [&](const Bytes& request) {
    std::vector<Bytes> replies = port.SimulatorAnswer(request);
    if (request[3] == CMD_READ_PARAMS) {
      Bytes reply =
          port.SimulatorAnswer(BuildRequestFrame(CMD_READ_PARAMS, other.bytes, nullptr, 0)).front();
      replies.insert(replies.begin(), reply);
    } else if (request[3] == CMD_DICTIONARY) {
      // The other device's answer to the same identifiers, stamped before the request left.
      Bytes copy = request;
      std::memcpy(copy.data() + kFrameMacOffset, other.bytes, 6);
      copy.back() = FrameChecksum(copy.data() + 3, copy.size() - 4);
      for (Bytes& stale : port.SimulatorAnswer(copy))
        port.ArriveAt(std::move(stale), port.Now() - 1ms);
    }
    return replies;
  };
  DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
  auto block = NewBlock();
  ASSERT_TRUE(transfer.ReadParams(block->osd).Ok());
  ASSERT_TRUE(transfer.ReadCameraTexts(*block).Ok());
  ASSERT_TRUE(transfer.ReadRs485(*block).Ok());
  const DeviceParameterBlock& device = port.Device(kCurrentMac);
  EXPECT_EQ(0, std::memcmp(&block->osd, &device.osd, sizeof block->osd));
  EXPECT_TRUE(SameRs485(block->modbus, device.modbus));
}

TEST(DeviceTransfer, DownloadSendsTheLineTextsAfterItWithTheDevicesPauses) {
  SimulatedPort port({kCurrent, kLegacy});
  auto block = NewBlock();
  DeviceTransfer reader(port, MacBytes(kLegacyMac).bytes, true);
  ASSERT_TRUE(reader.ReadParams(block->osd).Ok());
  StoreGbkText(block->osd.asCamera[2].asLine[7].szText, 72, "第三路 第八行 的新文字");
  port.sent.clear();
  const auto start = port.Elapsed();

  DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
  ASSERT_TRUE(transfer.Download(*block).Ok());
  ASSERT_EQ(port.sent.size(), 5u);
  EXPECT_EQ(port.sent[0].bytes.size(), 440u);
  EXPECT_EQ(port.sent[0].bytes[3], CMD_DOWNLOAD_PARAMS);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(port.sent[1 + c].bytes[3], CMD_DICTIONARY);
    EXPECT_EQ(port.sent[1 + c].at - start, std::chrono::milliseconds(200 * (c + 1)));
  }
  EXPECT_EQ(transfer.TextFramesAcknowledged(), 4);
  EXPECT_EQ(transfer.DevicePauses(), 800ms);
  // The device now holds the legacy device's settings with the new line text.
  const sOSDCommPara& device = port.Device(kCurrentMac).osd;
  EXPECT_EQ(0, std::memcmp(device.abyIP, block->osd.abyIP, 4));
  EXPECT_EQ(LoadGbkText(device.asCamera[2].asLine[7].szText, 73), "第三路 第八行 的新文字");

  // Legacy firmware: one 984-byte frame and nothing after it.
  port.sent.clear();
  ASSERT_TRUE(DeviceTransfer(port, MacBytes(kLegacyMac).bytes, true).Download(*block).Ok());
  ASSERT_EQ(port.sent.size(), 1u);
  EXPECT_EQ(port.sent[0].bytes.size(), 984u);
}

TEST(DeviceTransfer, ARefusedDownloadSendsNoLineTexts) {
  devsim::FaultOptions refuse;
  refuse.refuseDownload = true;
  SimulatedPort port({kCurrent}, refuse);
  auto block = NewBlock();
  DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
  ASSERT_TRUE(transfer.ReadParams(block->osd).Ok());
  const TransferResult result = transfer.Download(*block);
  EXPECT_EQ(result.status, TransferResult::Status::Refused);
  EXPECT_NE(result.message.find("refused"), std::string::npos);
  EXPECT_TRUE(port.SentWith(CMD_DICTIONARY).empty());
}

TEST(DeviceTransfer, LineTextsTheDeviceLeftOutGoAgain) {
  // A device that takes and answers only the first 5 entries of a request: lines 6 to 8 of each
  // camera go out once more, in one frame per camera, at the device's pace.
  devsim::FaultOptions partial;
  partial.partialAck = 5;
  SimulatedPort port({kCurrent, kLegacy}, partial);
  auto block = NewBlock();
  ASSERT_TRUE(DeviceTransfer(port, MacBytes(kLegacyMac).bytes, true).ReadParams(block->osd).Ok());
  port.sent.clear();
  DeviceTransfer transfer(port, MacBytes(kCurrentMac).bytes, false);
  ASSERT_TRUE(transfer.Download(*block).Ok());
  const auto texts = port.SentWith(CMD_DICTIONARY);
  ASSERT_EQ(texts.size(), 8u);
  for (size_t i = 4; i < 8; ++i) EXPECT_EQ(texts[i].bytes[12], 3) << i;  // three entries
  EXPECT_EQ(texts[4].at - texts[3].at, 200ms);
  // Camera 1's lines 6 to 8 again, "D2摄像头1 第6行" and so on, 15 GBK bytes each.
  const auto line = [](uint8_t id, uint8_t digit) {
    return Bytes{id,   0x13, 0x0F, 0x44, 0x32, 0xC9, 0xE3,  0xCF, 0xF1,
                 0xCD, 0xB7, 0x31, 0x20, 0xB5, 0xDA, digit, 0xD0, 0xD0};
  };
  Bytes payload{0x42, 0x1F, 0x03};
  for (const Bytes& entry : {line(0x8D, '6'), line(0x8E, '7'), line(0x8F, '8')})
    payload.insert(payload.end(), entry.begin(), entry.end());
  EXPECT_EQ(Bytes(texts[4].bytes.begin() + 10, texts[4].bytes.end() - 1), payload);
  // Read back, the lines that one request leaves out are asked for again, camera by camera.
  auto back = NewBlock();
  DeviceTransfer reader2(port, MacBytes(kCurrentMac).bytes, false);
  ASSERT_TRUE(reader2.ReadCameraTexts(*back).Ok());
  EXPECT_EQ(reader2.RequestsSent(), 8);
  const auto reads = port.SentWith(CMD_DICTIONARY);
  EXPECT_EQ(Bytes(reads[9].bytes.begin() + 10, reads[9].bytes.end() - 1),
            (Bytes{0x41, 0x1F, 0x03, 0x8D, 0x13, 0x8E, 0x13, 0x8F, 0x13}));
  for (int c = 0; c < 4; ++c)
    for (int l = 0; l < 8; ++l)
      EXPECT_STREQ(back->osd.asCamera[c].asLine[l].szText, block->osd.asCamera[c].asLine[l].szText);

  // A device that never acknowledges a line text: the download fails, naming them.
  port.answer = [&](const Bytes& request) {
    if (request[3] == CMD_DICTIONARY) return std::vector<Bytes>{};
    return port.SimulatorAnswer(request);
  };
  const TransferResult result =
      DeviceTransfer(port, MacBytes(kCurrentMac).bytes, false).Download(*block);
  EXPECT_EQ(result.status, TransferResult::Status::NoReply);
  EXPECT_NE(result.message.find("line texts of camera 1 (line 1, 2, 3, 4, 5, 6, 7, 8)"),
            std::string::npos)
      << result.message;
}
