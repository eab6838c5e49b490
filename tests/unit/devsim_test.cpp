// The substitute device's protocol side, without sockets.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "devsim_runner.h"
#include "devsim_state.h"
#include "params/dictionary.h"
#include "simulated_device.h"
#include "text/gbk.h"

using namespace quillon;
using namespace quillon::devsim;

namespace {

const uint8_t kMacA[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const uint8_t kMacB[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0xAB};

DeviceIdentity Identity(const std::string& description, int index = 0) {
  DeviceIdentity identity;
  std::string error;
  EXPECT_TRUE(ParseDeviceDescription(description, index, identity, error)) << error;
  return identity;
}

// Device A runs legacy firmware 03.07, device B current firmware 32.01.
std::vector<DeviceIdentity> TwoDevices() {
  return {Identity("ip=192.168.1.100,mac=001122334455,version=03.07,name=DEV1", 0),
          Identity("ip=10.0.0.2,mac=0011223344AB,version=32.01,name=1号机", 1)};
}

Bytes Request(uint8_t command, const uint8_t mac[6], const Bytes& payload = {}) {
  return BuildRequestFrame(command, mac, payload.data(), payload.size());
}

Bytes DictPayload(uint16_t op, std::initializer_list<uint8_t> items, uint8_t count) {
  Bytes payload{static_cast<uint8_t>(op), static_cast<uint8_t>(op >> 8), count};
  for (uint8_t item : items) payload.push_back(item);
  return payload;
}

// A 440-byte download frame (984 with legacy line text) written out field by field at its
// offsets: DHCP 1, IP 10.20.30.40, camera 1 source port 0x1234 and address 10.20.30.50,
// upgrade source port 0x0BB8 and address 10.20.30.60, camera 1 user "bob", password "pw",
// line 1 at (0x0102, 0x0304) with legacy text "LEGACYTEXT-0123456", brand 3, line count 5.
Bytes DownloadFrame(const uint8_t mac[6], bool legacy) {
  const size_t block = legacy ? 230 : 94;
  Bytes f(63 + 4 * block + 1, 0);
  f[0] = 0xAA;
  f[1] = static_cast<uint8_t>((f.size() - 4) >> 8);
  f[2] = static_cast<uint8_t>(f.size() - 4);
  f[3] = 0x04;
  std::memcpy(&f[4], mac, 6);
  f[10] = 1;
  const uint8_t ip[] = {10, 20, 30, 40};
  std::memcpy(&f[11], ip, 4);
  f[23] = 0x34, f[24] = 0x12;
  const uint8_t camIp[] = {10, 20, 30, 50};
  std::memcpy(&f[27], camIp, 4);
  f[55] = 0xB8, f[56] = 0x0B;
  const uint8_t upIp[] = {10, 20, 30, 60};
  std::memcpy(&f[59], upIp, 4);
  std::memcpy(&f[63], "bob", 3);
  std::memcpy(&f[93], "pw", 2);
  size_t line = 123;
  if (legacy) {
    std::memcpy(&f[line], "LEGACYTEXT-0123456", 17);  // only 17 bytes travel
    line += 17;
  }
  f[line] = 0x02, f[line + 1] = 0x01, f[line + 2] = 0x04, f[line + 3] = 0x03;
  f[63 + block - 2] = 3;
  f[63 + block - 1] = 5;
  f.back() = FrameChecksum(f.data() + 3, f.size() - 4);
  return f;
}

TEST(DevsimDevice, SearchReplyIsTheKnownFrame) {
  Simulator sim({Identity("ip=192.168.1.100,mac=001122334455,version=03.07,name=DEV1")}, {});
  const auto out = sim.Handle(BuildSearchRequest());
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0], (Bytes{0x55, 0x00, 0x18, 0x02, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01,
                                   0xA8, 0xC0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x07, 0x03,
                                   0x00, 0x00, 0x44, 0x45, 0x56, 0x31, 0x00, 0xE8}));
  EXPECT_EQ(out.log, (std::vector<std::string>{"search"}));
}

TEST(DevsimDevice, EveryDeviceAnswersTheSearchWithItsGbkName) {
  Simulator sim(TwoDevices(), {});
  const auto out = sim.Handle(BuildSearchRequest());
  ASSERT_EQ(out.replies.size(), 2u);
  const Bytes& b = out.replies[1];
  ASSERT_EQ(b.size(), 29u);
  EXPECT_EQ(Bytes(b.begin() + 8, b.begin() + 22),
            (Bytes{0x02, 0x00, 0x00, 0x0A, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x01, 0x20, 0, 0}));
  EXPECT_EQ(Bytes(b.begin() + 22, b.end() - 1), (Bytes{0x31, 0xBA, 0xC5, 0xBB, 0xFA, 0x00}));
  EXPECT_TRUE(IsAcceptableReply(b));
}

TEST(DevsimDevice, ReadReplyCarriesTheLayoutAtItsOffsets) {
  Simulator sim(TwoDevices(), {});
  sOSDCommPara& osd = sim.Devices()[1].Block().osd;
  osd.byDHCP = 1;
  osd.dwAux = 0xA1B2C3D4;
  osd.wAux = 0xE5F6;
  osd.asCamera[0].wSourcePort = 0x1234;
  osd.asCamera[3].abyCameraIP[3] = 0x99;
  osd.wUpgradeSrcPort = 0x5678;
  std::memcpy(osd.asCamera[0].szUser, "userXYZ", 8);
  osd.asCamera[0].asLine[0].wX = 0x0A0B;
  osd.asCamera[0].byBrand = 4;
  osd.asCamera[0].byLineCount = 6;

  const auto out = sim.Handle(Request(CMD_READ_PARAMS, kMacB));
  ASSERT_EQ(out.replies.size(), 1u);
  const Bytes& r = out.replies[0];
  ASSERT_EQ(r.size(), 446u);
  EXPECT_TRUE(IsAcceptableReply(r));
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 11),
            (Bytes{0x55, 0x01, 0xBA, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x01}));
  EXPECT_EQ(Bytes(r.begin() + 11, r.begin() + 15), (Bytes{10, 0, 0, 2}));
  EXPECT_EQ(Bytes(r.begin() + 23, r.begin() + 29), (Bytes{0xD4, 0xC3, 0xB2, 0xA1, 0xF6, 0xE5}));
  EXPECT_EQ(r[29], 0x34);
  EXPECT_EQ(r[30], 0x12);
  EXPECT_EQ(r[33 + 24 + 3], 0x99);  // camera 4's address, last byte
  EXPECT_EQ(r[61], 0x78);
  EXPECT_EQ(r[62], 0x56);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[69])), "userXYZ");
  EXPECT_EQ(r[129], 0x0B);  // line 1 wX right after user and password
  EXPECT_EQ(r[130], 0x0A);
  EXPECT_EQ(r[161], 4);
  EXPECT_EQ(r[162], 6);
  EXPECT_EQ(out.log, (std::vector<std::string>{"read 0011223344AB"}));
}

TEST(DevsimDevice, LegacyReadReplyCarries17ByteLineTexts) {
  Simulator sim(TwoDevices(), {});
  sOSDCommPara& osd = sim.Devices()[0].Block().osd;
  std::memcpy(osd.asCamera[0].asLine[0].szText, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 27);
  osd.asCamera[0].asLine[0].wX = 0x0201;

  const auto out = sim.Handle(Request(CMD_READ_PARAMS, kMacA));
  ASSERT_EQ(out.replies.size(), 1u);
  const Bytes& r = out.replies[0];
  ASSERT_EQ(r.size(), 990u);
  EXPECT_EQ(r[1], 0x03);
  EXPECT_EQ(r[2], 0xDA);
  EXPECT_EQ(std::string(r.begin() + 129, r.begin() + 146), "ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(r[146], 0x01);
  EXPECT_EQ(r[147], 0x02);
  EXPECT_TRUE(IsAcceptableReply(r));
}

TEST(DevsimDevice, DownloadIsParsedAndAcknowledged) {
  Simulator sim(TwoDevices(), {});
  SimulatedDevice& b = sim.Devices()[1];
  const uint32_t aux = b.Block().osd.dwAux;
  const uint16_t waux = b.Block().osd.wAux;
  const std::string lineText(b.Block().osd.asCamera[0].asLine[0].szText);

  const auto out = sim.Handle(DownloadFrame(kMacB, false));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0],
            (Bytes{0x55, 0x00, 0x08, 0x04, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x01, 0x5A}));
  EXPECT_TRUE(out.stateChanged);
  EXPECT_EQ(out.log, (std::vector<std::string>{"download 0011223344AB ok"}));

  const sOSDCommPara& osd = b.Block().osd;
  EXPECT_EQ(osd.byDHCP, 1);
  EXPECT_EQ(Bytes(osd.abyIP, osd.abyIP + 4), (Bytes{10, 20, 30, 40}));
  EXPECT_EQ(+osd.asCamera[0].wSourcePort, 0x1234);
  EXPECT_EQ(Bytes(osd.asCamera[0].abyCameraIP, osd.asCamera[0].abyCameraIP + 4),
            (Bytes{10, 20, 30, 50}));
  EXPECT_EQ(+osd.wUpgradeSrcPort, 0x0BB8);
  EXPECT_EQ(Bytes(osd.abyUpgradeIP, osd.abyUpgradeIP + 4), (Bytes{10, 20, 30, 60}));
  EXPECT_STREQ(osd.asCamera[0].szUser, "bob");
  EXPECT_STREQ(osd.asCamera[0].szPassword, "pw");
  EXPECT_EQ(+osd.asCamera[0].asLine[0].wX, 0x0102);
  EXPECT_EQ(+osd.asCamera[0].asLine[0].wY, 0x0304);
  EXPECT_EQ(osd.asCamera[0].byBrand, 3);
  EXPECT_EQ(osd.asCamera[0].byLineCount, 5);
  EXPECT_EQ(+osd.dwAux, aux);  // not in the download
  EXPECT_EQ(+osd.wAux, waux);
  EXPECT_EQ(osd.asCamera[0].asLine[0].szText, lineText);  // current firmware: not in it either
}

TEST(DevsimDevice, AfterADownloadTheDeviceAnswersAtItsNewStaticAddress) {
  // Device B starts at 10.0.0.2; the download carries 10.20.30.40. The search reply holds the
  // address little-endian at offsets 8 to 11.
  const struct {
    uint8_t dhcp;
    bool refused;
    Bytes address;
  } cases[] = {
      {0, false, {0x28, 0x1E, 0x14, 0x0A}},  // static: the new address after the restart
      {1, false, {0x02, 0x00, 0x00, 0x0A}},  // DHCP: keeps the address it had
      {0, true, {0x02, 0x00, 0x00, 0x0A}},   // refused: no restart
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.dhcp) + (c.refused ? " refused" : ""));
    FaultOptions faults;
    faults.refuseDownload = c.refused;
    Simulator sim(TwoDevices(), faults);
    Bytes download = DownloadFrame(kMacB, false);
    download[10] = c.dhcp;
    download.back() = FrameChecksum(download.data() + 3, download.size() - 4);
    ASSERT_EQ(sim.Handle(download).replies.size(), 1u);
    const auto search = sim.Handle(BuildSearchRequest());
    ASSERT_EQ(search.replies.size(), 2u);
    EXPECT_EQ(Bytes(search.replies[1].begin() + 8, search.replies[1].begin() + 12), c.address);
    EXPECT_EQ(Bytes(search.replies[0].begin() + 8, search.replies[0].begin() + 12),
              (Bytes{0x64, 0x01, 0xA8, 0xC0}));  // the other device is left alone
  }
}

TEST(DevsimDevice, LegacyDownloadTakes17ByteLineTexts) {
  Simulator sim(TwoDevices(), {});
  const auto out = sim.Handle(DownloadFrame(kMacA, true));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0][10], 1);
  const sOverlayLine& line = sim.Devices()[0].Block().osd.asCamera[0].asLine[0];
  EXPECT_STREQ(line.szText, "LEGACYTEXT-012345");
  EXPECT_EQ(+line.wX, 0x0102);
}

TEST(DevsimDevice, ShortDownloadIsRefusedAndChangesNothing) {
  Simulator sim(TwoDevices(), {});
  const DeviceParameterBlock before = sim.Devices()[0].Block();
  const auto out = sim.Handle(DownloadFrame(kMacA, false));  // 440 bytes to a legacy device
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0][10], 0);
  EXPECT_FALSE(out.stateChanged);
  EXPECT_EQ(std::memcmp(&before, &sim.Devices()[0].Block(), sizeof before), 0);
}

TEST(DevsimDevice, OnlyTheAddressedDeviceAnswersAndRepliesAreNotRequests) {
  Simulator sim(TwoDevices(), {});
  const uint8_t other[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x56};
  auto out = sim.Handle(Request(CMD_READ_PARAMS, other));
  EXPECT_TRUE(out.replies.empty());
  EXPECT_TRUE(out.log.empty());

  // What the devices send themselves comes back on the same port.
  const Bytes reply = sim.Handle(Request(CMD_READ_PARAMS, kMacA)).replies.at(0);
  EXPECT_TRUE(sim.Handle(reply).replies.empty());
  Bytes badSum = Request(CMD_READ_PARAMS, kMacA);
  badSum.back() ^= 1;
  EXPECT_TRUE(sim.Handle(badSum).replies.empty());
  EXPECT_TRUE(sim.Handle(Bytes{0xAA, 0x00, 0x01}).replies.empty());
}

TEST(DevsimDictionary, ReadRequestIsAnsweredFromTheDeviceBlock) {
  Simulator sim(TwoDevices(), {});
  sModBusPara& mb = sim.Devices()[1].Block().modbus;
  mb.wPollInterval = 1000;
  mb.asSlot[0].dwDataType = 0x105;  // only the low byte travels
  const auto out = sim.Handle(
      Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x91, 0x0D, 0xB7, 0x12}, 2)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0],
            (Bytes{0x55, 0x00, 0x13, 0x09, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x41, 0x1F,
                   0x02, 0x91, 0x0D, 0x02, 0xE8, 0x03, 0xB7, 0x12, 0x01, 0x05, 0x1A}));
  EXPECT_EQ(out.log, (std::vector<std::string>{"dict-read 0011223344AB 2 ids"}));
  EXPECT_FALSE(out.stateChanged);
}

TEST(DevsimDictionary, WriteRequestIsStoredAndAcknowledged) {
  Simulator sim(TwoDevices(), {});
  const auto out = sim.Handle(
      Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpWrite, {0x91, 0x0D, 0x02, 0x34, 0x12}, 1)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0], (Bytes{0x55, 0x00, 0x0C, 0x09, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x42,
                                   0x1F, 0x01, 0x91, 0x0D, 0x5E}));
  EXPECT_EQ(sim.Devices()[1].Block().modbus.wPollInterval, 0x1234);
  EXPECT_TRUE(out.stateChanged);
}

TEST(DevsimDictionary, CameraTextsTravelBothWays) {
  Simulator sim(TwoDevices(), {});
  // Write "AB" into camera 2, line 3 (identifier 5010 = 0x1392), then read it back.
  auto out = sim.Handle(
      Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpWrite, {0x92, 0x13, 0x02, 'A', 'B'}, 1)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_STREQ(sim.Devices()[1].Block().osd.asCamera[1].asLine[2].szText, "AB");

  out = sim.Handle(Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x92, 0x13}, 1)));
  ASSERT_EQ(out.replies.size(), 1u);
  const Bytes& r = out.replies[0];
  EXPECT_EQ(Bytes(r.begin() + 10, r.end() - 1),
            (Bytes{0x41, 0x1F, 0x01, 0x92, 0x13, 0x02, 'A', 'B'}));
}

TEST(DevsimDictionary, HostileCountsNeverReadBeyondTheFrame) {
  Simulator sim(TwoDevices(), {});
  // Count 31 but a single entry whose length byte claims 200 value bytes.
  auto out = sim.Handle(
      Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpWrite, {0x92, 0x13, 200, 'x'}, 31)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0][12], 1);
  EXPECT_STREQ(sim.Devices()[1].Block().osd.asCamera[1].asLine[2].szText, "x");
  out = sim.Handle(Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x91}, 31)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0][12], 0);
}

TEST(DevsimDictionary, DefaultsFillEveryIndexedEntryAndDifferPerDevice) {
  Simulator sim(TwoDevices(), {});
  DeviceParameterBlock index{};
  BuildDictionaryIndex(index.modbus);
  ASSERT_EQ(index.modbus.wDictCount, 566);
  int zeroValued = 0;
  for (int i = 0; i < index.modbus.wDictCount; ++i) {
    const uint16_t id = index.modbus.awDictId[i];
    uint8_t entry[128];
    const size_t size = EncodeEntry(sim.Devices()[0].Block(), id, entry);
    bool allZero = true;
    for (size_t k = 3; k < size; ++k) allZero = allZero && entry[k] == 0;
    // The "other" gear value always travels as zero; everything else has a value.
    if (allZero && !(id >= 3641 && (id - 3641) % 37 == 0)) ++zeroValued;
  }
  EXPECT_LE(zeroValued, 32);  // a few slots are disabled or have offset 0 and the like
  EXPECT_EQ(LoadGbkText(sim.Devices()[0].Block().modbus.asSlot[0].szName, 31), "温度1");
  EXPECT_EQ(LoadGbkText(sim.Devices()[0].Block().modbus.asSlot[0].szUnit, 9), "℃");
  EXPECT_EQ(LoadGbkText(sim.Devices()[0].Block().osd.asCamera[0].asLine[0].szText, 73),
            "摄像头1 第1行");
  EXPECT_NE(LoadGbkText(sim.Devices()[1].Block().modbus.asSlot[0].szName, 31), "温度1");
  EXPECT_NE(+sim.Devices()[0].Block().osd.asCamera[0].wSourcePort,
            +sim.Devices()[1].Block().osd.asCamera[0].wSourcePort);
}

// Both devices answer the search; A's read goes unanswered, and the log says so.
void ExpectSilentA(Simulator& sim) {
  EXPECT_EQ(sim.Handle(BuildSearchRequest()).replies.size(), 2u);
  const auto out = sim.Handle(Request(CMD_READ_PARAMS, kMacA));
  EXPECT_TRUE(out.replies.empty());
  EXPECT_EQ(out.log, (std::vector<std::string>{"silent read 001122334455"}));
}

TEST(DevsimFaults, SilentSkipsAddressedRequestsButNotTheSearch) {
  FaultOptions faults;
  faults.silent = 1;
  Simulator sim(TwoDevices(), faults);
  ExpectSilentA(sim);
  EXPECT_EQ(sim.Handle(Request(CMD_READ_PARAMS, kMacA)).replies.size(), 1u);
  EXPECT_TRUE(sim.Handle(Request(CMD_READ_PARAMS, kMacB)).replies.empty());  // B's own count

  // With --fault-search a search counts among each device's ignored requests.
  faults.faultSearch = true;
  Simulator searchToo(TwoDevices(), faults);
  auto out = searchToo.Handle(BuildSearchRequest());
  EXPECT_TRUE(out.replies.empty());
  EXPECT_EQ(out.log, (std::vector<std::string>{"search", "silent search 001122334455",
                                               "silent search 0011223344AB"}));
  EXPECT_EQ(searchToo.Handle(BuildSearchRequest()).replies.size(), 2u);
}

TEST(DevsimFaults, SilentDevicesAndSilentTexts) {
  FaultOptions faults;
  faults.silentDevices = {"001122334455"};
  faults.silentTextDevices = {"0011223344AB"};
  Simulator sim(TwoDevices(), faults);
  ExpectSilentA(sim);
  // B answers everything but a read that names a camera line text (5001 = 0x1389).
  EXPECT_EQ(sim.Handle(Request(CMD_READ_PARAMS, kMacB)).replies.size(), 1u);
  auto out = sim.Handle(
      Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x91, 0x0D, 0x89, 0x13}, 2)));
  EXPECT_TRUE(out.replies.empty());
  EXPECT_EQ(out.log, (std::vector<std::string>{"silent dict-texts 0011223344AB"}));
  EXPECT_EQ(sim.Handle(Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x91, 0x0D}, 1)))
                .replies.size(),
            1u);
}

TEST(DevsimFaults, RefusedDownloadAnswersZero) {
  FaultOptions faults;
  faults.refuseDownload = true;
  Simulator sim(TwoDevices(), faults);
  const auto out = sim.Handle(DownloadFrame(kMacB, false));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0],
            (Bytes{0x55, 0x00, 0x08, 0x04, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x00, 0x59}));
  EXPECT_EQ(out.log, (std::vector<std::string>{"download 0011223344AB refused"}));
}

TEST(DevsimFaults, PartialAckTakesOnlyTheFirstEntries) {
  FaultOptions faults;
  faults.partialAck = 1;
  Simulator sim(TwoDevices(), faults);
  sModBusPara& mb = sim.Devices()[1].Block().modbus;
  const uint16_t timeout = mb.wTimeout;
  auto out = sim.Handle(Request(
      CMD_DICTIONARY, kMacB,
      DictPayload(kDictOpWrite, {0x91, 0x0D, 0x02, 0x34, 0x12, 0x92, 0x0D, 0x02, 0x78, 0x56}, 2)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0], (Bytes{0x55, 0x00, 0x0C, 0x09, 0x00, 0x11, 0x22, 0x33, 0x44, 0xAB, 0x42,
                                   0x1F, 0x01, 0x91, 0x0D, 0x5E}));
  EXPECT_EQ(mb.wPollInterval, 0x1234);
  EXPECT_EQ(mb.wTimeout, timeout);

  out = sim.Handle(
      Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x91, 0x0D, 0x92, 0x0D}, 2)));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0][12], 1);
  EXPECT_EQ(out.replies[0].size(), 11u + 3 + 5);
}

TEST(DevsimFaults, ReplyFaults) {
  FaultOptions twice;
  twice.answerTwice = true;
  auto out = Simulator(TwoDevices(), twice).Handle(Request(CMD_READ_PARAMS, kMacB));
  ASSERT_EQ(out.replies.size(), 2u);
  EXPECT_EQ(out.replies[0], out.replies[1]);

  // The read reply under each fault that changes it: its size, whether it still passes, and the
  // length field it carries.
  struct ReadCase {
    bool FaultOptions::*fault;
    size_t size;
    bool acceptable;
    int length;  // -1: not checked
  };
  for (const ReadCase& c : {ReadCase{&FaultOptions::badChecksum, 446, false, -1},
                            ReadCase{&FaultOptions::oversize, 2100, true, -1},
                            ReadCase{&FaultOptions::truncate, 223, true, 219}}) {
    FaultOptions faults;
    faults.*c.fault = true;
    Simulator sim(TwoDevices(), faults);
    out = sim.Handle(Request(CMD_READ_PARAMS, kMacB));
    ASSERT_EQ(out.replies.size(), 1u) << c.size;
    EXPECT_EQ(out.replies[0].size(), c.size);
    EXPECT_EQ(IsAcceptableReply(out.replies[0]), c.acceptable) << c.size;
    if (c.length >= 0) {
      EXPECT_EQ(out.replies[0][1] << 8 | out.replies[0][2], c.length);
    }
    // Without --fault-search the search reply stays whole.
    EXPECT_TRUE(IsAcceptableReply(sim.Handle(BuildSearchRequest()).replies.at(0))) << c.size;
  }

  FaultOptions foreign;
  foreign.foreignId = true;
  out = Simulator(TwoDevices(), foreign)
            .Handle(Request(CMD_DICTIONARY, kMacB, DictPayload(kDictOpRead, {0x91, 0x0D}, 1)));
  ASSERT_EQ(out.replies.size(), 1u);
  const Bytes& r = out.replies[0];
  EXPECT_EQ(r[12], 2);
  EXPECT_EQ(Bytes(r.end() - 5, r.end() - 1), (Bytes{0x28, 0x23, 0x01, 0x5A}));

  // Another MAC at offsets 4 to 9, the checksum right; a search reply has no MAC there.
  FaultOptions foreignMac;
  foreignMac.foreignMac = true;
  foreignMac.faultSearch = true;
  Simulator other(TwoDevices(), foreignMac);
  out = other.Handle(DownloadFrame(kMacB, false));
  ASSERT_EQ(out.replies.size(), 1u);
  EXPECT_EQ(out.replies[0],
            (Bytes{0x55, 0x00, 0x08, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFE, 0x01, 0x05}));
  EXPECT_EQ(other.Handle(BuildSearchRequest()).replies.at(1), other.Devices()[1].SearchReply());

  FaultOptions searchToo;
  searchToo.badChecksum = true;
  searchToo.faultSearch = true;
  EXPECT_FALSE(IsAcceptableReply(
      Simulator(TwoDevices(), searchToo).Handle(BuildSearchRequest()).replies.at(0)));
}

TEST(DevsimDevice, ADeviceThatRestartsTakesItsLineTextsThenAnswersNothingForAWhile) {
  // restart-ms=5000: after the download only line texts, until all four cameras' are in or none
  // came for 1 s; then 5 s of silence, then everything again, at the new address.
  std::vector<DeviceIdentity> devices = TwoDevices();
  devices[1] = Identity("ip=10.0.0.2,mac=0011223344AB,version=32.01,restart-ms=5000,name=乙", 1);
  auto texts = [](int camera) {
    const auto id = static_cast<uint16_t>(5000 + 8 * camera);
    return Request(
        CMD_DICTIONARY, kMacB,
        DictPayload(kDictOpWrite, {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 1, 'A'},
                    1));
  };
  const Bytes read = Request(CMD_READ_PARAMS, kMacB);
  Bytes download = DownloadFrame(kMacB, false);
  download[10] = 0;  // a static address
  download.back() = FrameChecksum(download.data() + 3, download.size() - 4);
  struct Step {
    int atMs;
    Bytes request;
    size_t replies;
  };
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"all four cameras",
       {{200, texts(0), 1},
        {300, read, 0},
        {400, texts(1), 1},
        {600, texts(2), 1},
        {800, texts(3), 1},
        {801, read, 0},
        {801, texts(0), 0},
        {5799, read, 0},
        {5800, read, 1}}},
      {"texts that stop coming",
       {{200, texts(0), 1},
        {1100, texts(1), 1},
        {2099, read, 0},
        {2100, texts(2), 0},
        {7099, read, 0},
        {7100, read, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Simulator sim(devices, {});
    std::chrono::steady_clock::time_point now{};
    sim.clock = [&now] { return now; };
    ASSERT_EQ(sim.Handle(download).replies.size(), 1u);
    for (const Step& step : c.steps) {
      SCOPED_TRACE(step.atMs);
      now = std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(step.atMs);
      EXPECT_EQ(sim.Handle(step.request).replies.size(), step.replies);
      // The other device never restarted.
      EXPECT_EQ(sim.Handle(Request(CMD_READ_PARAMS, kMacA)).replies.size(), 1u);
      const auto search = sim.Handle(BuildSearchRequest());
      ASSERT_EQ(search.replies.size(), step.replies == 1 && step.request == read ? 2u : 1u);
      if (search.replies.size() == 2) {  // back at 10.20.30.40, as downloaded
        EXPECT_EQ(Bytes(search.replies[1].begin() + 8, search.replies[1].begin() + 12),
                  (Bytes{0x28, 0x1E, 0x14, 0x0A}));
      }
    }
  }
}

TEST(DevsimCommandLine, DeviceDescriptions) {
  DeviceIdentity id;
  std::string error;
  ASSERT_TRUE(
      ParseDeviceDescription("mac=00e04c3a1b01,version=20.03,name=2号, 泵站", 4, id, error));
  EXPECT_EQ(MacText(id.mac), "00E04C3A1B01");
  EXPECT_EQ(id.major, 20);
  EXPECT_EQ(id.minor, 3);
  EXPECT_EQ(id.name, "2号, 泵站");
  EXPECT_EQ(id.ip, 0xC0A80168u);  // default 192.168.1.100 + index
  EXPECT_FALSE(ParseDeviceDescription("mac=00E04C3A1B0", 0, id, error));
  EXPECT_FALSE(ParseDeviceDescription("mac=00E04C3A1BXY", 0, id, error));
  EXPECT_FALSE(ParseDeviceDescription("ip=300.1.1.1", 0, id, error));
  EXPECT_FALSE(ParseDeviceDescription("colour=red", 0, id, error));
  ASSERT_TRUE(ParseDeviceDescription("restart-ms=2500,name=甲", 0, id, error)) << error;
  EXPECT_EQ(id.restart, std::chrono::milliseconds(2500));
  for (const char* bad : {"restart-ms=", "restart-ms=-1", "restart-ms=5s", "restart-ms=600001"})
    EXPECT_FALSE(ParseDeviceDescription(bad, 0, id, error)) << bad;

  std::vector<std::string> words{
      "quillon-devsim",   "--bind",          "10.77.0.2",    "--device",
      "mac=0011223344AB", "--partial-ack=5", "--silent",     "2",
      "--oversize",       "--silent-texts",  "00e04c3a1b01", "--foreign-mac"};
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  DevsimOptions options;
  bool help = false;
  ASSERT_TRUE(
      ParseDevsimCommandLine(static_cast<int>(argv.size()), argv.data(), options, help, error))
      << error;
  EXPECT_EQ(options.bindAddress, "10.77.0.2");
  ASSERT_EQ(options.devices.size(), 1u);
  EXPECT_EQ(options.faults.partialAck, 5);
  EXPECT_EQ(options.faults.silent, 2);
  EXPECT_TRUE(options.faults.oversize);
  EXPECT_TRUE(options.faults.foreignMac);
  EXPECT_EQ(options.faults.silentTextDevices, std::vector<std::string>{"00E04C3A1B01"});
  DevsimOptions noDevice;
  EXPECT_FALSE(ParseDevsimCommandLine(3, argv.data(), noDevice, help, error));
}

TEST(DevsimDump, RoundTripsEveryDevice) {
  Simulator sim(TwoDevices(), {});
  sim.Devices()[1].Block().modbus.asSlot[15].byDataBits = 0xEE;
  std::vector<DeviceState> states;
  for (const auto& d : sim.Devices())
    states.push_back({d.MacText(), d.Block().osd, d.Block().modbus});
  const std::string path = ::testing::TempDir() + "devsim_dump_test.txt";
  ASSERT_TRUE(WriteDevsimDump(path, states));
  const auto loaded = LoadDevsimDump(path);
  std::remove(path.c_str());
  ASSERT_EQ(loaded.size(), 2u);
  const DeviceState& b = loaded.at("0011223344AB");
  EXPECT_EQ(std::memcmp(&b.osd, &sim.Devices()[1].Block().osd, sizeof b.osd), 0);
  EXPECT_EQ(b.modbus.asSlot[15].byDataBits, 0xEE);
  EXPECT_TRUE(LoadDevsimDump(path + ".missing").empty());
}

}  // namespace
