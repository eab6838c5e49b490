// quillon-cli end to end: the program itself against quillon-devsim, inside the private network
// of scripts/netns-run.sh, each case in a network of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "files/file_bytes.h"
#include "files/param_file.h"
#include "params/dictionary.h"
#include "support/process_run.h"
#include "support/simulator_run.h"
#include "support/temp_folder.h"

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

// The object of one device in a JSON report or list.
std::string JsonObject(const std::string& json, const std::string& mac) {
  const size_t start = json.find("{\"mac\": \"" + mac + "\"");
  if (start == std::string::npos) return "";
  return json.substr(start, json.find('}', start) - start + 1);
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
  // Every reply comes twice; each device is listed once, with the PC's address it came in through.
  SimulatorRun sim(SimulatorRun::ThreeDevices());
  ASSERT_TRUE(sim.Start({"--answer-twice"})) << sim.Error();
  const std::string pc = std::getenv("QUILLON_PC_ADDR") ? std::getenv("QUILLON_PC_ADDR") : "";

  const ProcessResult json = Cli({"search", "--wait", "0.5", "--json"});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(JsonObject(json.out, kCurrentMac),
            "{\"mac\": \"00E04C3A1B01\", \"ip\": \"192.168.1.64\", \"name\": \"1号机房 东门\", "
            "\"version\": \"32.05\", \"first_generation\": false, \"legacy_line_text\": false, "
            "\"local_addresses\": [\"" +
                pc + "\"]}");
  EXPECT_NE(JsonObject(json.out, kLegacyMac).find("\"legacy_line_text\": true"), std::string::npos);
  EXPECT_NE(JsonObject(json.out, SimulatorRun::kFirstGenMac).find("\"first_generation\": true"),
            std::string::npos);
  EXPECT_EQ(json.out.front(), '[');
  EXPECT_EQ(Count(json.out, "{\"mac\""), 3);
  // The warning about first-generation firmware goes to standard error, not into the list.
  EXPECT_NE(json.err.find("00E04C3A1B03 runs first-generation firmware 01.09"), std::string::npos);

  const ProcessResult csv = Cli({"search", "--wait", "0.5", "--csv"});
  ASSERT_EQ(csv.status, 0) << Describe(csv);
  EXPECT_EQ(Count(csv.out, "\n"), 4);
  EXPECT_NE(csv.out.find("00E04C3A1B02,192.168.1.65,2号泵站,20.03,false,true," + pc + "\n"),
            std::string::npos);

  const ProcessResult text = Cli({"search", "--wait", "0.5"});
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

  const ProcessResult json = Cli({"search", "--wait", "0.5", "--json"});
  ASSERT_EQ(json.status, 0) << Describe(json);
  EXPECT_EQ(Count(json.out, "{\"mac\""), 1) << json.out;
  const std::string device = JsonObject(json.out, kCurrentMac);
  EXPECT_NE(device.find("\"10.77.0.1\""), std::string::npos) << device;
  EXPECT_NE(device.find("\"10.77.1.1\""), std::string::npos) << device;
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
  EXPECT_NE(apply.out.find("\"succeeded\": 4, \"failed\": 1"), std::string::npos) << apply.out;
  const std::string failed = JsonObject(apply.out, DeviceMac(3));
  EXPECT_NE(failed.find("\"ok\": false, \"failed_step\": \"read\", \"error\": \"no reply to the "
                        "parameter read within 5 s\""),
            std::string::npos)
      << failed;
  // Progress went to standard error, so the report stands alone on standard output.
  EXPECT_EQ(apply.out.front(), '{');
  EXPECT_NE(apply.err.find("[5/5] " + DeviceMac(5)), std::string::npos);

  const std::vector<std::string> expected = {"192.168.1.100", "192.168.1.101", "", "192.168.1.103",
                                             "192.168.1.104"};
  for (int n = 1; n <= 5; ++n) {
    SCOPED_TRACE(DeviceMac(n));
    const std::string report = JsonObject(apply.out, DeviceMac(n));
    const DeviceState now = *sim.State(DeviceMac(n));
    if (n == 3) {
      EXPECT_TRUE(SameState(now, silentBefore));
      continue;
    }
    EXPECT_NE(report.find("\"ok\": true"), std::string::npos) << report;
    EXPECT_NE(report.find("\"verified\": true"), std::string::npos) << report;
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
