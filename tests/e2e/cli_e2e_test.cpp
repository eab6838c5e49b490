// quillon-cli end to end: the program itself against quillon-devsim, inside the private network
// of scripts/netns-run.sh, each case in a network of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "files/file_bytes.h"
#include "files/param_file.h"
#include "params/dictionary.h"
#include "support/process_run.h"
#include "support/simulator_run.h"
#include "support/temp_folder.h"
#include "text/gbk.h"

using namespace quillon;
using fakes::ProcessResult;
using fakes::RunProcess;
using fakes::SimulatorRun;
using fakes::TempFolder;

namespace {

constexpr const char* kCurrentMac = SimulatorRun::kCurrentMac;
constexpr const char* kLegacyMac = SimulatorRun::kLegacyMac;

ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), QUILLON_CLI);
  return RunProcess(args, 100000);
}

std::string Describe(const ProcessResult& r) {
  return "exit " + std::to_string(r.status) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The object of one device in a JSON report ("devices") or list; null when it is not there.
nlohmann::json JsonDevice(const std::string& text, const std::string& mac) {
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  const nlohmann::json& list = json.is_object() ? json["devices"] : json;
  for (const nlohmann::json& device : list)
    if (device["mac"] == mac) return device;
  return nullptr;
}

// What a read of a device gives: its images as the simulator holds them, with the program's own
// dictionary index and no pending mark.
ParamImages ImagesAsRead(const DeviceState& device) {
  ParamImages images{};
  images.osd = device.osd;
  std::memcpy(&images.modbus, &device.modbus, offsetof(sModBusPara, awDictId));
  BuildDictionaryIndex(images.modbus);
  return images;
}

std::string FileText(const std::string& path) {
  return ReadFileBytes(path, kMaxParamFileBytes).bytes;
}

std::string Device(int n) {
  return "ip=192.168.1." + std::to_string(70 + n) + ",mac=00E04C3A1C0" + std::to_string(n) +
         ",version=32.0" + std::to_string(n) + ",name=" + std::to_string(n) + "号站";
}
std::string DeviceMac(int n) { return "00E04C3A1C0" + std::to_string(n); }

// The network and camera settings with every text cut at its terminator: a device keeps what a
// shorter text did not overwrite behind it.
sOSDCommPara TextsEnded(sOSDCommPara osd) {
  auto end = [](char* field, size_t size) {
    const size_t length = strnlen(field, size);
    std::memset(field + length, 0, size - length);
  };
  for (sCameraPara& camera : osd.asCamera) {
    end(camera.szUser, sizeof camera.szUser);
    end(camera.szPassword, sizeof camera.szPassword);
    for (sOverlayLine& line : camera.asLine) end(line.szText, sizeof line.szText);
  }
  return osd;
}

bool SameState(const DeviceState& a, const DeviceState& b) {
  return std::memcmp(&a.osd, &b.osd, sizeof a.osd) == 0 &&
         std::memcmp(&a.modbus, &b.modbus, sizeof a.modbus) == 0;
}

std::string Address(const uint8_t bytes[4]) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
         std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

}  // namespace

TEST(CliE2e, SearchListsEachDeviceOnceInEveryFormat) {
  // Every reply comes twice, and each device drops the first search request it hears: each
  // device is listed once, with the PC's address it came in through.
  SimulatorRun sim(SimulatorRun::ThreeDevices());
  ASSERT_TRUE(sim.Start({"--answer-twice", "--fault-search", "--silent", "1"})) << sim.Error();
  const std::string pc = std::getenv("QUILLON_PC_ADDR") ? std::getenv("QUILLON_PC_ADDR") : "";

  // Each search ends once the three have answered (their duplicates do not count twice); the
  // first one once they have answered its second request, a third of the wait later.
  const ProcessResult json = Cli({"search", "--wait", "3", "--expect", "3", "--json"});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonDevice(json.out, kCurrentMac),
            nlohmann::json::parse(R"({"mac": "00E04C3A1B01", "ip": "192.168.1.64",
              "name": "1号机房 东门", "version": "32.05", "first_generation": false,
              "legacy_line_text": false, "local_addresses": [")" +
                                  pc + R"("]})"));
  EXPECT_EQ(JsonDevice(json.out, kLegacyMac)["legacy_line_text"], true);
  EXPECT_EQ(JsonDevice(json.out, SimulatorRun::kFirstGenMac)["first_generation"], true);
  EXPECT_EQ(nlohmann::json::parse(json.out).size(), 3u);
  // The warning about first-generation firmware goes to standard error, not into the list.
  EXPECT_NE(json.err.find("00E04C3A1B03 runs first-generation firmware 01.09"), std::string::npos);
  EXPECT_EQ(sim.CountLogLines("silent search"), 3);
  EXPECT_EQ(sim.CountLogLines("search"), 2);

  const ProcessResult csv = Cli({"search", "--wait", "30", "--expect", "3", "--csv"});
  ASSERT_EQ(csv.status, 0) << Describe(csv);
  EXPECT_EQ(Count(csv.out, "\n"), 4);
  EXPECT_NE(csv.out.find("00E04C3A1B02,192.168.1.65,2号泵站,20.03,false,true," + pc + "\n"),
            std::string::npos);

  const ProcessResult text = Cli({"search", "--wait", "30", "--expect", "3"});
  ASSERT_EQ(text.status, 0) << Describe(text);
  EXPECT_EQ(Count(text.out, "00E04C3A1B0"), 3);
  EXPECT_NE(text.out.find("first-gen"), std::string::npos);
}

TEST(CliE2e, ADeviceReachedThroughTwoLocalAddressesIsListedOnce) {
  // A second network between the PC side and the device side, 10.77.1.0/24, and the same device
  // answering on both: the PC hears it through 10.77.0.1 and through 10.77.1.1.
  const std::string netns = std::getenv("QUILLON_DEVICE_NETNS");
  const std::string pid = netns.substr(6, netns.find("/ns/") - 6);  // /proc/PID/ns/net
  const std::string setup =
      "ip link add qpc1 type veth peer name qdev1 && ip link set qdev1 netns " + pid +
      " && ip addr add 10.77.1.1/24 dev qpc1 && ip link set qpc1 up && nsenter --net=" + netns +
      " -- sh -c 'ip addr add 10.77.1.2/24 dev qdev1 && ip link set qdev1 up'";
  ASSERT_EQ(std::system(setup.c_str()), 0);
  SimulatorRun first({SimulatorRun::kCurrentDevice});
  SimulatorRun second({SimulatorRun::kCurrentDevice});
  second.bindAddress = "10.77.1.2";
  ASSERT_TRUE(first.Start()) << first.Error();
  ASSERT_TRUE(second.Start()) << second.Error();

  // Both copies of the reply are waited for: a while, as a user's search does.
  const ProcessResult json = Cli({"search", "--wait", "3", "--json"});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(nlohmann::json::parse(json.out).size(), 1u) << json.out;
  // In the order the replies came in.
  std::vector<std::string> addresses = JsonDevice(json.out, kCurrentMac)["local_addresses"];
  std::sort(addresses.begin(), addresses.end());
  EXPECT_EQ(addresses, (std::vector<std::string>{"10.77.0.1", "10.77.1.1"})) << json.out;
  // Three requests, each through both cards: each simulator, listening on both, hears six.
  EXPECT_EQ(first.CountLogLines("search"), 6);

  // Through one card: each request leaves once, and only what that card hears is taken.
  const ProcessResult via = Cli({"search", "--wait", "3", "--json", "--via", "10.77.1.1"});
  ASSERT_EQ(via.status, 0) << Describe(via);
  EXPECT_EQ(JsonDevice(via.out, kCurrentMac)["local_addresses"],
            nlohmann::json::parse(R"(["10.77.1.1"])"))
      << via.out;
  EXPECT_EQ(first.CountLogLines("search"), 9);
  EXPECT_EQ(second.CountLogLines("search"), 9);
  // The device side's address is not the PC's.
  const ProcessResult other = Cli({"search", "--via", "10.77.1.2"});
  EXPECT_EQ(other.status, 2) << Describe(other);
  EXPECT_NE(other.err.find("10.77.1.2 is not an address of this PC; its addresses: "),
            std::string::npos)
      << other.err;
  EXPECT_NE(other.err.find("10.77.1.1"), std::string::npos) << other.err;
  EXPECT_EQ(first.CountLogLines("search"), 9);
}

TEST(CliE2e, ReadWritesTheWindowsParameterFile) {
  // Current firmware with its line texts read as dictionary entries, and legacy firmware with
  // them inside the parameter frames: the file is the one the window exports of the same block,
  // byte for byte, and the window's import takes it.
  SimulatorRun sim(SimulatorRun::ThreeDevices());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TempFolder folder;
  ASSERT_TRUE(folder.Made());
  for (const char* mac : {kCurrentMac, kLegacyMac}) {
    SCOPED_TRACE(mac);
    const std::string path = folder / (std::string(mac) + ".ini");
    const ProcessResult read = Cli({"read", mac, "--out", path, "--quiet"});
    ASSERT_EQ(read.status, 0) << Describe(read);
    EXPECT_NE(read.out.find(std::string(mac) + "  192.168.1.6"), std::string::npos);
    EXPECT_EQ(read.err, "");

    const ParamImages expected = ImagesAsRead(*sim.State(mac));
    const std::string exported = folder / "exported.ini";
    ASSERT_TRUE(ExportParamFile(exported, expected));
    EXPECT_EQ(FileText(path), FileText(exported));
    const std::optional<ParamImages> imported = ImportParamFile(path);
    ASSERT_TRUE(imported.has_value());
    EXPECT_EQ(0, std::memcmp(&*imported, &expected, sizeof expected));
  }
  // A device that is not there, and a name the window would not open.
  const ProcessResult missing =
      Cli({"read", "00E04C3A1BFF", "--out", folder / "x.ini", "--wait", "0.3"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("did not answer the search"), std::string::npos);
  const ProcessResult txt = Cli({"read", kCurrentMac, "--out", folder / "x.txt"});
  EXPECT_EQ(txt.status, 2);
  EXPECT_FALSE(std::ifstream(folder / "x.txt").good());
}

TEST(CliE2e, AFileReadFromOneDeviceTurnsOthersIntoIt) {
  // Read device A, apply its file to a current and a legacy device with addresses of their own,
  // checked by reading back: both then hold A's parameters, but for their address and the two
  // values a download never carries.
  const std::string other = "ip=192.168.1.67,mac=00E04C3A1B04,version=32.07,name=4号";
  SimulatorRun sim({SimulatorRun::kCurrentDevice, SimulatorRun::kLegacyDevice, other});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TempFolder folder;
  const std::string file = folder / "a.ini";
  ASSERT_EQ(Cli({"read", kCurrentMac, "--out", file}).status, 0);
  const DeviceState a = *sim.State(kCurrentMac);
  const DeviceState legacyBefore = *sim.State(kLegacyMac);
  const DeviceState otherBefore = *sim.State("00E04C3A1B04");

  const ProcessResult apply =
      Cli({"apply", file, "00E04C3A1B04", kLegacyMac, "--ip-from", "192.168.1.100", "--verify"});
  ASSERT_EQ(apply.status, 0) << Describe(apply);
  EXPECT_EQ(Count(apply.out, "verified"), 2) << apply.out;
  EXPECT_NE(apply.out.find("2 of 2 device(s) done"), std::string::npos);

  for (const auto& [mac, before, ip] :
       {std::tuple{"00E04C3A1B04", otherBefore, 100}, std::tuple{kLegacyMac, legacyBefore, 101}}) {
    SCOPED_TRACE(mac);
    sOSDCommPara expected = a.osd;
    expected.abyIP[3] = static_cast<uint8_t>(ip);
    expected.dwAux = before.osd.dwAux;
    expected.wAux = before.osd.wAux;
    const sOSDCommPara now = TextsEnded(sim.State(mac)->osd);
    expected = TextsEnded(expected);
    EXPECT_EQ(0, std::memcmp(&now, &expected, sizeof expected));
    EXPECT_EQ(0, std::memcmp(&sim.State(mac)->modbus, &a.modbus, offsetof(sModBusPara, awDictId)));
  }
}

// The most devices the simulator served at once, by its log: a device is being served from its
// first request to its last, and the log keeps the order in which they came.
int MostServedAtOnce(const std::vector<std::string>& log, const std::vector<std::string>& macs) {
  std::vector<std::pair<size_t, size_t>> spans(macs.size(), {SIZE_MAX, 0});
  for (size_t i = 0; i < log.size(); ++i)
    for (size_t m = 0; m < macs.size(); ++m)
      if (log[i].find(macs[m]) != std::string::npos) spans[m] = {std::min(spans[m].first, i), i};
  int most = 0;
  for (size_t i = 0; i < log.size(); ++i)
    most = std::max<int>(
        most, static_cast<int>(std::count_if(spans.begin(), spans.end(), [i](const auto& span) {
          return span.first <= i && i <= span.second;
        })));
  return most;
}

TEST(CliE2e, DevicesThatRestartAreServedSideBySideAndCheckedOnceBack) {
  // Eight devices restart for 1 s after their download. Whatever --parallel allows, each gets
  // its planned address and is checked once it answers again; never more are served at once.
  std::vector<std::string> devices, macs;
  for (int n = 1; n <= 8; ++n) {
    devices.push_back("ip=192.168.1." + std::to_string(70 + n) + ",mac=00E04C3A1D0" +
                      std::to_string(n) +
                      ",version=32.05,restart-ms=1000,name=" + std::to_string(n) + "号站");
    macs.push_back("00E04C3A1D0" + std::to_string(n));
  }
  const struct {
    std::vector<std::string> parallel;
    int atMost, atLeast;
  } cases[] = {{{"--parallel", "1"}, 1, 1}, {{"--parallel", "4"}, 4, 2}, {{}, 8, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parallel.empty() ? "default" : c.parallel[1]);
    SimulatorRun sim(devices);
    ASSERT_TRUE(sim.Start()) << sim.Error();
    TempFolder folder;
    const std::string file = folder / "site.ini";
    ASSERT_EQ(Cli({"read", macs[0], "--out", file}).status, 0);
    const size_t before = sim.LogLines().size();
    std::vector<std::string> args = {"apply",         file,       "--all", "--ip-from",
                                     "192.168.1.100", "--verify", "--json"};
    args.insert(args.end(), c.parallel.begin(), c.parallel.end());
    const ProcessResult apply = Cli(args);
    ASSERT_EQ(apply.status, 0) << Describe(apply);
    const nlohmann::json report = nlohmann::json::parse(apply.out);
    ASSERT_EQ(report["devices"].size(), 8u);
    for (int n = 0; n < 8; ++n) {
      SCOPED_TRACE(macs[n]);
      // In the order of the targets, the search's, each with the address the plan gave it.
      EXPECT_EQ(report["devices"][n]["mac"], macs[n]);
      EXPECT_EQ(report["devices"][n]["verified"], true);
      EXPECT_EQ(Address(sim.State(macs[n])->osd.abyIP), "192.168.1." + std::to_string(100 + n));
    }
    std::vector<std::string> log = sim.LogLines();
    log.erase(log.begin(), log.begin() + static_cast<long>(before));
    // Each device went quiet after its download, and was asked while it restarted.
    for (const std::string& mac : macs)
      EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
        return line == "restarting " + mac;
      })) << mac;
    const int most = MostServedAtOnce(log, macs);
    EXPECT_LE(most, c.atMost);
    EXPECT_GE(most, c.atLeast);
  }
}

TEST(CliE2e, OneSilentDeviceInABatchOfFive) {
  // Device 3 answers the search and nothing else: the other four get the file and addresses of
  // their own, and the report names the one that failed.
  SimulatorRun sim({Device(1), Device(2), Device(3), Device(4), Device(5)});
  ASSERT_TRUE(sim.Start({"--silent-device", DeviceMac(3)})) << sim.Error();
  TempFolder folder;
  const std::string file = folder / "station.ini";
  ASSERT_EQ(Cli({"read", DeviceMac(1), "--out", file}).status, 0);
  const DeviceState silentBefore = *sim.State(DeviceMac(3));

  const ProcessResult apply =
      Cli({"apply", file, "--all", "--ip-from", "192.168.1.100", "--verify", "--json"});
  EXPECT_EQ(apply.status, 1) << Describe(apply);
  const nlohmann::json report = nlohmann::json::parse(apply.out);
  EXPECT_EQ(report["succeeded"], 4);
  EXPECT_EQ(report["failed"], 1);
  const nlohmann::json failed = JsonDevice(apply.out, DeviceMac(3));
  EXPECT_EQ(failed["ok"], false);
  EXPECT_EQ(failed["failed_step"], "read");
  EXPECT_EQ(failed["error"], "no reply to the parameter read within 5 s");
  // Progress went to standard error, so the report stands alone on standard output.
  EXPECT_EQ(apply.out.front(), '{');
  // Device 3 waits out its 5 s and finishes last, after the others side by side.
  EXPECT_NE(apply.err.find("[5/5] " + DeviceMac(3) + " FAILED: read"), std::string::npos)
      << apply.err;

  const std::vector<std::string> expected = {"192.168.1.100", "192.168.1.101", "", "192.168.1.103",
                                             "192.168.1.104"};
  for (int n = 1; n <= 5; ++n) {
    SCOPED_TRACE(DeviceMac(n));
    const nlohmann::json device = JsonDevice(apply.out, DeviceMac(n));
    const DeviceState now = *sim.State(DeviceMac(n));
    if (n == 3) {
      EXPECT_TRUE(SameState(now, silentBefore));
      continue;
    }
    EXPECT_EQ(device["ok"], true) << device;
    EXPECT_EQ(device["verified"], true) << device;
    EXPECT_EQ(Address(now.osd.abyIP), expected[n - 1]);
  }
}

TEST(CliE2e, ARefusedBatchChangesNoDevice) {
  SimulatorRun sim({Device(1), Device(2)});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TempFolder folder;
  const std::string file = folder / "good.ini";
  ASSERT_EQ(Cli({"read", DeviceMac(1), "--out", file}).status, 0);
  std::string text = FileText(file);
  text[text.find("sOSDCommPara=") + 40] ^= 1;  // one digit of the first half
  const std::string bad = folder.Write("bad.ini", text);
  const DeviceState before[2] = {*sim.State(DeviceMac(1)), *sim.State(DeviceMac(2))};
  const int readsBefore = sim.CountLogLines("read ");

  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"apply", bad, "--all"}, "section [sOSDCommPara] does not match"},
      {{"apply", folder / "missing.ini", "--all"}, "no such file"},
      {{"apply", file, DeviceMac(1), DeviceMac(2)}, "--ip-from"},
      {{"apply", file, "--all"}, "--ip-from"},
      // Device 2 holds 192.168.1.72, which the count would give device 1.
      {{"apply", file, DeviceMac(1), "--ip-from", "192.168.1.72"}, "is the address of"},
      // Device 1's own address for device 2.
      {{"apply", file, DeviceMac(2)}, "is the address of"},
      // Addresses from which the file's gateway is out of reach.
      {{"apply", file, DeviceMac(2), "--ip-from", "192.168.2.10"},
       "the addresses 192.168.2.10 to 192.168.2.10 leave the subnet 192.168.1.0/255.255.255.0 of "
       "the file's address 192.168.1.71"},
  };
  for (const auto& c : cases) {
    const ProcessResult r = Cli(c.args);
    EXPECT_EQ(r.status, 2) << Describe(r);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << Describe(r);
    EXPECT_NE(r.err.find("no device was changed"), std::string::npos) << Describe(r);
  }
  EXPECT_EQ(sim.CountLogLines("read "), readsBefore);
  EXPECT_EQ(sim.CountLogLines("download"), 0);
  EXPECT_EQ(sim.CountLogLines("dict-write"), 0);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(SameState(*sim.State(DeviceMac(i + 1)), before[i]));
}

TEST(CliE2e, DeviceFaultsAreReportedOrOvercome) {
  const struct {
    std::vector<std::string> faults;
    int status;
    const char* report;
  } cases[] = {
      {{"--refuse-download"}, 1, "download: the device refused the download (result 0)"},
      {{"--partial-ack", "5"}, 0, "verified"},
      {{"--delay-ms", "150"}, 0, "verified"},
      {{"--foreign-id"}, 0, "verified"},
      // The first search request is lost: the next copy finds the device.
      {{"--silent", "1", "--fault-search"}, 0, "verified"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faults.front());
    SimulatorRun sim({Device(1), Device(2)});
    ASSERT_TRUE(sim.Start()) << sim.Error();
    TempFolder folder;
    const std::string file = folder / "one.ini";
    ASSERT_EQ(Cli({"read", DeviceMac(1), "--out", file}).status, 0);
    sim.Stop();
    ASSERT_TRUE(sim.Start(c.faults)) << sim.Error();
    const ProcessResult r = Cli({"apply", file, DeviceMac(2), "--ip-from", "192.168.1.90",
                                 "--verify", "--verify-wait", "3"});
    EXPECT_EQ(r.status, c.status) << Describe(r);
    EXPECT_NE(r.out.find(c.report), std::string::npos) << Describe(r);
  }
}

TEST(CliE2e, SetOfAnRs485FieldSendsOneEntryPerDevice) {
  // Current and legacy firmware alike: the entry is read, written alone, and read back.
  SimulatorRun sim({SimulatorRun::kCurrentDevice, SimulatorRun::kLegacyDevice});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  const DeviceState before = *sim.State(kLegacyMac);
  const ProcessResult set = Cli({"set", kCurrentMac, kLegacyMac, "rs485.baud=38400",
                                 "slot3.name=进水压力", "--verify", "--wait", "10"});
  ASSERT_EQ(set.status, 0) << Describe(set);
  EXPECT_EQ(Count(set.out, "rs485.baud, slot3.name written (2 RS-485 entries); verified"), 2)
      << set.out;
  for (const char* mac : {kCurrentMac, kLegacyMac}) {
    SCOPED_TRACE(mac);
    EXPECT_EQ(sim.CountLogLines("dict-write " + std::string(mac) + " 2 ids"), 1);
    EXPECT_EQ(sim.CountLogLines("dict-write " + std::string(mac)), 1);
    EXPECT_EQ(sim.CountLogLines("download"), 0);
    EXPECT_EQ(sim.State(mac)->modbus.dwBaudRate, 38400u);
    EXPECT_EQ(GbkToUtf8(sim.State(mac)->modbus.asSlot[2].szName), "进水压力");
  }
  // Nothing else of the device changed.
  DeviceState expected = before;
  expected.modbus.dwBaudRate = 38400;
  std::memcpy(expected.modbus.asSlot[2].szName, sim.State(kLegacyMac)->modbus.asSlot[2].szName,
              sizeof expected.modbus.asSlot[2].szName);
  EXPECT_TRUE(SameState(*sim.State(kLegacyMac), expected));
}

TEST(CliE2e, SetOfTheAddressOfThreeDevicesCountsUp) {
  SimulatorRun sim({Device(1), Device(2), Device(3)});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  // 192.168.1.72 is device 2's: counting from .71 would give it to device 2... and .73 to 3.
  const ProcessResult refused = Cli({"set", DeviceMac(1), DeviceMac(3), "network.ip=192.168.1.72"});
  EXPECT_EQ(refused.status, 2) << Describe(refused);
  EXPECT_NE(refused.err.find("192.168.1.72, meant for 00E04C3A1C01, is the address of "
                             "00E04C3A1C02"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(sim.CountLogLines("download"), 0);

  const ProcessResult set = Cli({"set", "--all", "network.ip=192.168.1.100", "--verify", "--json"});
  ASSERT_EQ(set.status, 0) << Describe(set);
  for (int n = 1; n <= 3; ++n) {
    const std::string ip = "192.168.1." + std::to_string(99 + n);
    EXPECT_EQ(JsonDevice(set.out, DeviceMac(n))["static_ip"], ip);
    EXPECT_EQ(Address(sim.State(DeviceMac(n))->osd.abyIP), ip);
  }
  EXPECT_EQ(sim.CountLogLines("download"), 3);
}

TEST(CliE2e, ABadValueChangesNoDevice) {
  SimulatorRun sim({SimulatorRun::kCurrentDevice});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  const size_t logged = sim.LogLines().size();
  const ProcessResult set = Cli({"set", "--all", "slot5.data_type=遥控", "rs485.baud=9600"});
  EXPECT_EQ(set.status, 2) << Describe(set);
  EXPECT_NE(set.err.find("slot5.data_type=遥控: not an item of the list; it takes one of "
                         "16位无符号整型-大端"),
            std::string::npos)
      << set.err;
  EXPECT_NE(set.err.find("no device was changed"), std::string::npos);
  EXPECT_EQ(sim.LogLines().size(), logged);  // not even a search went out
}

TEST(CliE2e, DiffOfTwoDevicesAndOfADeviceWithItsFile) {
  SimulatorRun sim({Device(1), Device(2)});
  ASSERT_TRUE(sim.Start()) << sim.Error();
  TempFolder folder;
  const std::string file = folder / "1.ini";
  ASSERT_EQ(Cli({"read", DeviceMac(1), "--out", file, "--quiet"}).status, 0);
  ProcessResult diff = Cli({"diff", DeviceMac(1), file, "--wait", "10"});
  EXPECT_EQ(diff.status, 0) << Describe(diff);
  EXPECT_EQ(diff.out, "");
  diff = Cli({"diff", DeviceMac(1), DeviceMac(2), "--wait", "10", "--quiet"});
  EXPECT_EQ(diff.status, 1) << Describe(diff);
  EXPECT_NE(diff.out.find("network.ip                   192.168.1.71 -> 192.168.1.72\n"),
            std::string::npos)
      << diff.out;
  EXPECT_NE(diff.out.find("rs485.baud                   9600 -> 19200\n"), std::string::npos);
  EXPECT_NE(diff.out.find("slot1.name                   \"温度1\" -> \"压力1\"\n"),
            std::string::npos);
  EXPECT_EQ(diff.out.find("rs485.protocol"), std::string::npos);  // both Modbus
}

TEST(CliE2e, BackupWithOneSilentDevice) {
  SimulatorRun sim({Device(1), Device(2), Device(3)});
  ASSERT_TRUE(sim.Start({"--silent-device", DeviceMac(2)})) << sim.Error();
  TempFolder folder;
  const ProcessResult backup = Cli({"backup", "--all", "--out-dir", folder / "site", "--quiet"});
  EXPECT_EQ(backup.status, 1) << Describe(backup);
  EXPECT_NE(backup.out.find("00E04C3A1C02  FAILED  read: no reply to the parameter read within 5 "
                            "s\n"),
            std::string::npos)
      << backup.out;
  EXPECT_EQ(folder.Read("site/devices.csv"),
            "mac,ip,name,version,file,error\n"
            "00E04C3A1C01,192.168.1.71,1号站,32.01,00E04C3A1C01.ini,\n"
            "00E04C3A1C02,192.168.1.72,2号站,32.02,,read: no reply to the parameter read within "
            "5 s\n"
            "00E04C3A1C03,192.168.1.73,3号站,32.03,00E04C3A1C03.ini,\n");
  EXPECT_FALSE(std::ifstream(folder / "site/00E04C3A1C02.ini").good());
  for (int n : {1, 3}) {
    const std::optional<ParamImages> images =
        ImportParamFile(folder / ("site/" + DeviceMac(n) + ".ini"));
    ASSERT_TRUE(images);
    const ParamImages read = ImagesAsRead(*sim.State(DeviceMac(n)));
    EXPECT_EQ(std::memcmp(&*images, &read, sizeof read), 0);
  }
}

TEST(CliE2e, TheReadmeExamplesRunAsWritten) {
  // The README's example, between its markers, run from the source folder with this build's
  // programs.
  std::ifstream readme(std::string(QUILLON_SOURCE_DIR) + "/README.md");
  std::stringstream text;
  text << readme.rdbuf();
  const std::string all = text.str();
  const std::string begin = "<!-- cli-example -->\n```sh\n", end = "```\n<!-- /cli-example -->";
  const size_t from = all.find(begin), to = all.find(end);
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  std::string script = all.substr(from + begin.size(), to - from - begin.size());
  const std::string build = std::string(QUILLON_BINARY_DIR) + "/tools/";
  for (size_t at = script.find("build/tools/"); at != std::string::npos;
       at = script.find("build/tools/", at + build.size()))
    script.replace(at, std::string("build/tools/").size(), build);
  TempFolder folder;
  const ProcessResult r = RunProcess(
      {"bash", "-euo", "pipefail", "-c", "cd " + std::string(QUILLON_SOURCE_DIR) + " && " + script},
      100000);
  EXPECT_EQ(r.status, 0) << Describe(r) << "\nscript:\n" << script;
}
