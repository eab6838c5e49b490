// quillon-cli without sockets: its command line, the addresses of a batch, what apply puts onto a
// device and how it checks it, one device's apply against the simulator's devices on a simulated
// clock, and the printed lists.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>

#include "apply_plan.h"
#include "cli_commands.h"
#include "cli_text.h"
#include "device/device_search.h"
#include "support/cli_run.h"
#include "support/simulated_port.h"
#include "support/temp_folder.h"
#include "text/gbk.h"
#include "text/ipv4_text.h"

using namespace quillon;
using namespace quillon::cli;
using namespace std::chrono_literals;
using fakes::SimulatedPort;

namespace {

constexpr const char* kDeviceA = "ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=甲";
constexpr const char* kDeviceB = "ip=192.168.1.65,mac=00E04C3A1B02,version=32.05,name=乙";
constexpr const char* kMacA = "00E04C3A1B01";
constexpr const char* kMacB = "00E04C3A1B02";

ParseOutcome Parse(const std::string& line) {
  std::vector<std::string> words = fakes::Words(line);
  words.insert(words.begin(), "quillon-cli");
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  return ParseCliCommandLine(static_cast<int>(argv.size()), argv.data());
}

FoundDevice Found(const std::string& mac, const std::string& ip, uint16_t version = 0x2005,
                  const std::string& name = "") {
  FoundDevice device;
  ParseMacText(mac, device.record.mac);
  device.record.ip = *ParseIpv4(ip);
  device.record.version = version;
  device.record.name = name;
  return device;
}

ParamImages Images(const DeviceParameterBlock& block) {
  ParamImages images;
  std::memcpy(&images.osd, &block.osd, sizeof images.osd);
  std::memcpy(&images.modbus, &block.modbus, sizeof images.modbus);
  return images;
}

}  // namespace

TEST(CliCommandLine, CommandsArgumentsAndOptions) {
  const struct {
    const char* line;
    const char* error;  // nullptr: accepted
  } cases[] = {
      {"search --wait 0.5 --csv", nullptr},
      {"search --wait=3 --json", nullptr},
      {"read 00:e0:4c:3a:1b:01 --out a.ini", nullptr},
      {"apply f.ini 00E04C3A1B01 00-E0-4C-3A-1B-02 --only network,rs485 --ip-from 10.0.0.5",
       nullptr},
      {"apply f.ini --all --verify --json --verify-wait 5 --quiet", nullptr},
      {"show f.ini slot5.* camera*.line1.text --json", nullptr},
      {"diff 00E04C3A1B01 f.ini", nullptr},
      {"set 00E04C3A1B01 slot1.name=a=b --verify --values v.json", nullptr},
      {"set --all --values v.json", nullptr},
      {"backup --all --out-dir d --json", nullptr},
      {"fields --names", nullptr},
      // A path that begins with '/' is a path on Windows too, not an option.
      {"apply /data/site.ini 00E04C3A1B01", nullptr},
      {"diff /data/a.ini Z:\\data\\b.ini", nullptr},
      {"show /data/site.ini network.*", nullptr},
      {"search --via 010.77.0.1 --expect-file /data/devices.csv", nullptr},
      {"", "no command"},
      {"frobnicate", "frobnicate"},
      {"search --json --csv", "excludes"},
      {"search --wait -1", "--wait"},
      {"search --wait 3601", "seconds from 0 to 3600"},
      {"search --wait", "--wait"},
      {"search --verify", "--verify"},
      {"search extra", "extra"},
      {"read 00E04C3A1B01", "--out"},
      {"read 00E04C3A1B0G --out a.ini", "not a MAC"},
      {"read 00E0:4C3A:1B01 --out a.ini", "not a MAC"},
      {"read 00E04C3A1B01 00E04C3A1B02 --out a.ini", "MAC"},
      {"apply", "FILE.ini"},
      {"apply f.ini", "MACs or --all"},
      {"apply f.ini 00E04C3A1B01 --all", "not both"},
      {"apply f.ini 00E04C3A1B01 00:e0:4c:3a:1b:01", "named twice"},
      {"apply f.ini 00E04C3A1B01 --only network,firmware", "--only"},
      {"apply f.ini 00E04C3A1B01 --ip-from 10.0.0.256",
       "--ip-from: not an IPv4 address: '10.0.0.256'"},
      {"apply f.ini --all --ip-from 10.0.0.0005", "'10.0.0.0005'"},
      {"read 00E04C3A1B01 --out a.ini --via 10.77.0", "--via: not an IPv4 address: '10.77.0'"},
      {"fields --via 10.77.0.1", "--via"},
      {"search --expect-file", "--expect-file"},
      {"apply f.ini 00E04C3A1B01 --only rs485 --ip-from 10.0.0.5", "leaves out"},
      {"show", "SOURCE"},
      {"diff f.ini", "SOURCE"},
      {"diff a.ini b.ini c.ini", "At Most 2"},
      {"set 00E04C3A1B01", "NAME=VALUE"},
      {"set rs485.baud=9600", "MACs or --all"},
      {"set 00E04C3A1B01 --all rs485.baud=9600", "not both"},
      {"backup --all", "--out-dir"},
      {"backup --out-dir d", "MACs or --all"},
  };
  for (const auto& c : cases) {
    const ParseOutcome parsed = Parse(c.line);
    EXPECT_EQ(parsed.kind == ParseOutcome::Kind::Run, c.error == nullptr)
        << c.line << ": " << parsed.text;
    if (c.error) {
      EXPECT_EQ(parsed.kind, ParseOutcome::Kind::Error) << c.line;
      EXPECT_NE(parsed.text.find(c.error), std::string::npos) << c.line << ": " << parsed.text;
    }
  }

  // What the commands take from their lines, as they then do it on the simulated devices: a
  // file of the subnet 10.0.0.0/24.
  fakes::TempFolder folder;
  const std::string file = folder / "site.ini";
  SimulatedPort port({kDeviceA, kDeviceB});
  ParamImages images = Images(port.Device(kMacA));
  const uint8_t ip[4] = {10, 0, 0, 64}, mask[4] = {255, 255, 255, 0}, gateway[4] = {10, 0, 0, 1};
  std::memcpy(images.osd.abyIP, ip, 4);
  std::memcpy(images.osd.abyNetMask, mask, 4);
  std::memcpy(images.osd.abyGateway, gateway, 4);
  ASSERT_TRUE(ExportParamFile(file, images));
  const struct {
    std::string line;
    int status;
    std::vector<std::string> parts;  // of standard output and error
  } runs[] = {
      // Both MACs in the order given, the last --only, --verify, --ip-from; a text report.
      {"apply " + file +
           " 00e04c3a1b01 00-E0-4C-3A-1B-02 --only rs485,cameras --verify --ip-from 10.0.0.5 "
           "--only network",
       0,
       {"00E04C3A1B01  ok      192.168.1.64: network written, static IP 10.0.0.5; verified",
        "00E04C3A1B02  ok      192.168.1.65: network written, static IP 10.0.0.6; verified",
        "2 of 2 device(s) done"}},
      {"set 00E04C3A1B01 slot1.name=a=b 00E04C3A1B02 rs485.baud=9600",
       0,
       {"00E04C3A1B01  ok      10.0.0.5: slot1.name written",
        "00E04C3A1B02  ok      10.0.0.6: slot1.name, rs485.baud written"}},
      {"show 00E04C3A1B02 slot1.name", 0, {"slot1.name  a=b\n"}},
      {"apply " + file + " 00E04C3A1B01 --ip-from 010.0.0.020", 0, {"static IP 10.0.0.20"}},
      {"diff /data/a.ini " + file, 2, {"bad file /data/a.ini: there is no such file"}},
      {"diff " + file + " Z:\\data\\b.ini", 2, {"bad file Z:\\data\\b.ini: there is no such file"}},
  };
  for (const auto& run : runs) {
    const fakes::CliResult r = fakes::RunCliOn(&port, run.line);
    EXPECT_EQ(r.status, run.status) << run.line << "\n" << r.out << r.err;
    for (const std::string& part : run.parts)
      EXPECT_NE((r.out + r.err).find(part), std::string::npos) << run.line << "\n"
                                                               << r.out << r.err;
  }
  EXPECT_EQ(fakes::RunCliOn(&port, "diff 00E04C3A1B01 " + file + " --via 10.77.0.1").via,
            0x0A4D0001u);
}

TEST(CliCommandLine, EveryCommandHasHelpNamingItsOptions) {
  const struct {
    const char* line;
    std::vector<const char*> words;
  } cases[] = {
      {"--help",
       {"search", "read", "apply", "show", "diff", "set", "backup", "fields", "Exit status"}},
      {"search --help", {"--wait", "--json", "--csv", "first-gen"}},
      {"help read", {"quillon-cli read", "--out", "--wait", "--quiet", ".ini"}},
      {"apply f.ini --help",
       {"--all", "--only", "--verify", "--ip-from", "--json", "--wait", "--verify-wait", "--quiet",
        "--force-first-generation", "network", "cameras", "rs485"}},
      {"help show", {"PATTERN", "--json", "slot5.*"}},
      {"help diff", {"Exit status 0 when none differ, 1 when some do, 2"}},
      {"help set", {"--all", "--values", "--verify", "--json", "network.ip", "index"}},
      {"help backup", {"--out-dir", "devices.csv"}},
      {"--version", {"quillon-cli 2.3"}},
  };
  for (const auto& c : cases) {
    const ParseOutcome parsed = Parse(c.line);
    EXPECT_NE(parsed.kind, ParseOutcome::Kind::Run) << c.line;
    EXPECT_NE(parsed.kind, ParseOutcome::Kind::Error) << c.line << ": " << parsed.text;
    for (const char* word : c.words)
      EXPECT_NE(parsed.text.find(word), std::string::npos) << c.line << " lacks " << word;
  }
}

// The options of each command of the table, as its own help names them, are those that the
// synopsis of the man page (which leaves out --help) and the bash completion give it.
TEST(CliCommandLine, TheManPageAndTheCompletionNameTheOptionsOfTheTable) {
  const auto read = [](const char* path) {
    std::ifstream file(std::string(QUILLON_TEST_DATA "/../../") + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  const std::string page = read("docs/man/quillon-cli.1");
  const std::string completion = read("tools/cli/quillon-cli.bash");
  const std::string synopsis = page.substr(0, page.find(".SH DESCRIPTION"));
  const std::regex option(R"(--[a-z][a-z-]*)");
  const auto options = [&](std::string text, bool help) {
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    std::set<std::string> names(std::sregex_token_iterator(text.begin(), text.end(), option), {});
    if (help) names.insert("--help");
    return names;
  };
  std::string commands;
  for (const CommandEntry& entry : CommandTable()) {
    SCOPED_TRACE(entry.name);
    commands += std::string(entry.name) + " ";
    CLI::App program;
    CLI::App* app = program.add_subcommand(entry.name);
    const std::unique_ptr<CliCommand> command = entry.make(*app);
    std::set<std::string> table;
    for (const CLI::Option* each : app->get_options())
      for (const std::string& name : each->get_lnames()) table.insert("--" + name);
    const std::string name = entry.name;
    const size_t at = synopsis.find(".B quillon-cli " + name + "\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(options(synopsis.substr(at, synopsis.find(".br", at) - at), true), table);
    std::smatch line;
    const std::string pattern = "\n *" + name + "\\) options=\"([^\"]*)\"";
    ASSERT_TRUE(std::regex_search(completion, line, std::regex(pattern)));
    EXPECT_EQ(options(line[1], false), table);
  }
  EXPECT_NE(completion.find("local commands=\"" + commands + "help\""), std::string::npos);
}

TEST(CliAddressPlan, ABatchNeverGivesTwoDevicesOneAddress) {
  // The file: 192.168.1.64/24, gateway 192.168.1.1. On the network: A at .64, B at .65 and a
  // device C at .200 that is not in the batch.
  ParamImages file{};
  const uint8_t ip[4] = {192, 168, 1, 64}, mask[4] = {255, 255, 255, 0}, gw[4] = {192, 168, 1, 1};
  std::memcpy(file.osd.abyIP, ip, 4);
  std::memcpy(file.osd.abyNetMask, mask, 4);
  std::memcpy(file.osd.abyGateway, gw, 4);
  ParamImages dhcp = file;
  dhcp.osd.byDHCP = 1;
  ParamImages gapped = file;
  gapped.osd.abyNetMask[1] = 0;
  ParamImages narrow = file;
  narrow.osd.abyNetMask[3] = 252;
  const std::vector<FoundDevice> found = {Found(kMacA, "192.168.1.64"),
                                          Found(kMacB, "192.168.1.65"),
                                          Found("00E04C3A1B03", "192.168.1.200", 0x2005, "丙")};
  const std::string c3 = "00E04C3A1B04", c4 = "00E04C3A1B05";
  const struct {
    const char* name;
    const ParamImages& file;
    unsigned parts;
    std::vector<std::string> targets;
    const char* ipFrom;
    std::vector<const char*> addresses;  // empty: refused
    const char* error;
  } cases[] = {
      {"the file's own device", file, kAllParts, {kMacA}, nullptr, {"192.168.1.64"}, nullptr},
      {"A's address for B", file, kAllParts, {kMacB}, nullptr, {}, "address of 00E04C3A1B01"},
      {"a static address unused under DHCP",
       dhcp,
       kAllParts,
       {kMacB},
       nullptr,
       {"192.168.1.64"},
       nullptr},
      {"two without --ip-from", file, kAllParts, {kMacA, kMacB}, nullptr, {}, "--ip-from"},
      {"two, no network part",
       file,
       kRs485Part | kCamerasPart,
       {kMacA, kMacB},
       nullptr,
       {nullptr, nullptr},
       nullptr},
      {"counting up",
       file,
       kAllParts,
       {kMacA, kMacB, c3},
       "192.168.1.100",
       {"192.168.1.100", "192.168.1.101", "192.168.1.102"},
       nullptr},
      {"their own addresses",
       file,
       kNetworkPart,
       {kMacA, kMacB},
       "192.168.1.64",
       {"192.168.1.64", "192.168.1.65"},
       nullptr},
      {"swapped", file, kNetworkPart, {kMacB, kMacA}, "192.168.1.64", {}, "meant for"},
      {"onto a device outside the batch",
       file,
       kNetworkPart,
       {c3, c4},
       "192.168.1.199",
       {},
       "address of 00E04C3A1B03 (丙)"},
      {"into the broadcast address",
       file,
       kNetworkPart,
       {c3, c4},
       "192.168.1.254",
       {},
       "192.168.1.255, meant for 00E04C3A1B05, is the broadcast address of the subnet "
       "192.168.1.0/255.255.255.0 of the file's address 192.168.1.64"},
      {"the network address", file, kNetworkPart, {c3}, "192.168.1.0", {}, "network address"},
      {"the gateway", file, kNetworkPart, {c3}, "192.168.1.1", {}, "is the gateway of the file"},
      // Counted addresses lie in the subnet of the file's own address, not in that of the first.
      {"another subnet",
       file,
       kNetworkPart,
       {c3, c4},
       "192.168.2.10",
       {},
       "the addresses 192.168.2.10 to 192.168.2.11 leave the subnet 192.168.1.0/255.255.255.0 of "
       "the file's address 192.168.1.64"},
      {"past the last address",
       file,
       kNetworkPart,
       {c3, c4},
       "255.255.255.254",
       {},
       "run past 255.255.255.255"},
      {"a mask that is no subnet mask",
       gapped,
       kNetworkPart,
       {c3},
       "192.168.1.100",
       {},
       "the mask 255.0.255.0 of the file's address 192.168.1.64 is no subnet mask"},
      {"the last addresses of a /30",
       narrow,
       kNetworkPart,
       {kMacB, c3},
       "192.168.1.65",
       {"192.168.1.65", "192.168.1.66"},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const AddressPlan plan = PlanAddresses(c.file, c.parts, c.targets,
                                           c.ipFrom ? ParseIpv4(c.ipFrom) : std::nullopt, found);
    if (c.error) {
      EXPECT_NE(plan.error.find(c.error), std::string::npos) << plan.error;
      continue;
    }
    EXPECT_EQ(plan.error, "");
    ASSERT_EQ(plan.addresses.size(), c.addresses.size());
    for (size_t i = 0; i < c.addresses.size(); ++i)
      EXPECT_EQ(plan.addresses[i],
                c.addresses[i] ? ParseIpv4(c.addresses[i]) : std::optional<uint32_t>());
  }
}

TEST(CliApplyParts, EachPartTakesItsFieldsAndTheCheckNamesWhatDiffers) {
  // Device A as read, and device B's parameters as the file: their network settings differ in
  // the static IP and the upgrade server with its ports.
  SimulatedPort port({kDeviceA, kDeviceB});
  const DeviceParameterBlock& a = port.Device(kMacA);
  const ParamImages file = Images(port.Device(kMacB));

  auto sent = std::make_unique<DeviceParameterBlock>(a);
  ApplyParts(file, kNetworkPart, *sent);
  EXPECT_EQ(0, std::memcmp(sent->osd.asCamera, a.osd.asCamera, sizeof a.osd.asCamera));
  EXPECT_EQ(0, std::memcmp(&sent->modbus, &a.modbus, sizeof a.modbus));
  EXPECT_EQ(CompareApplied(*sent, a, kAllParts, false),
            (std::vector<std::string>{
                "network.ip: device has 192.168.1.64, sent 192.168.1.65",
                "network.upgrade_server: device has 192.168.1.200, sent 192.168.1.201",
                "network.upgrade_target_port: device has 7000, sent 7001",
                "network.upgrade_source_port: device has 6000, sent 6001"}));

  sent = std::make_unique<DeviceParameterBlock>(a);
  ApplyParts(file, kCamerasPart | kRs485Part, *sent);
  EXPECT_EQ(0, std::memcmp(sent->osd.abyIP, a.osd.abyIP, 4));
  EXPECT_TRUE(CompareApplied(*sent, port.Device(kMacB), kCamerasPart | kRs485Part, false).empty());
  EXPECT_FALSE(CompareApplied(*sent, a, kCamerasPart, false).empty());
  EXPECT_FALSE(CompareApplied(*sent, a, kRs485Part, false).empty());
}

TEST(CliApplyParts, TheCheckKnowsWhatTravelsAndWhatTheDeviceKeeps) {
  SimulatedPort port({kDeviceA});
  auto sent = std::make_unique<DeviceParameterBlock>(port.Device(kMacA));
  BuildDictionaryIndex(sent->modbus);
  auto device = std::make_unique<DeviceParameterBlock>(*sent);
  // A line text of 20 bytes: legacy firmware keeps 17 of them.
  std::memcpy(sent->osd.asCamera[1].asLine[2].szText, "ABCDEFGHIJKLMNOPQRST", 21);
  std::memcpy(device->osd.asCamera[1].asLine[2].szText, "ABCDEFGHIJKLMNOPQ\0", 18);
  // A login of 30 bytes without a terminator: 29 arrive.
  std::memset(sent->osd.asCamera[0].szUser, 'u', 30);
  std::memset(device->osd.asCamera[0].szUser, 'u', 29);
  device->osd.asCamera[0].szUser[29] = 0;
  // Slot alarm texts of 11 bytes travel whole, and the device ends each at its last byte: the
  // bytes after a terminator come back, the last one does not.
  std::memcpy(sent->modbus.asSlot[3].szAlarmText, "hi\0junkjunk", 11);
  std::memcpy(device->modbus.asSlot[3].szAlarmText, "hi\0junkjun", 11);
  std::memcpy(sent->modbus.asSlot[4].szAlarmText, "ABCDEFGHIJK", 11);
  std::memcpy(device->modbus.asSlot[4].szAlarmText, "ABCDEFGHIJ", 11);

  EXPECT_TRUE(CompareApplied(*sent, *device, kAllParts, true).empty());
  EXPECT_EQ(CompareApplied(*sent, *device, kCamerasPart, false),
            (std::vector<std::string>{
                "camera2.line3.text: device has ABCDEFGHIJKLMNOPQ, sent ABCDEFGHIJKLMNOPQRST"}));
  StoreGbkText(device->modbus.asSlot[1].szName, 30, "别的");
  EXPECT_EQ(CompareApplied(*sent, *device, kRs485Part, false),
            (std::vector<std::string>{"slot2.name: device has 别的, sent 温度2"}));
}

TEST(CliApplyToDevice, ReadWriteDownloadAndCheckEachDevice) {
  // Device B's parameters go onto device A: network (with an address of its own), cameras and
  // RS-485, checked by reading A back.
  SimulatedPort port({kDeviceA, kDeviceB});
  const ParamImages file = Images(port.Device(kMacB));
  ApplySettings settings;
  settings.verify = true;
  std::vector<std::string> steps;
  const DeviceOutcome report =
      ApplyToDevice(port, Found(kMacA, "192.168.1.64"), file, settings, *ParseIpv4("10.1.2.3"),
                    [&](std::string_view step, int percent) {
                      if (percent == 0) steps.emplace_back(step);
                    });
  EXPECT_TRUE(report.ok) << report.failedStep << ": " << report.error;
  EXPECT_TRUE(report.verified);
  EXPECT_EQ(report.writtenParts, unsigned{kAllParts});
  EXPECT_EQ(report.staticIp, 0x0A010203u);
  EXPECT_EQ(report.rs485Entries, 566);
  EXPECT_EQ(report.lineTextFramesAcknowledged, 4);
  // RS-485 before the download, which restarts the device.
  EXPECT_EQ(steps, (std::vector<std::string>{"reading parameters", "reading line texts",
                                             "writing RS-485 entries", "downloading parameters",
                                             "checking", "reading parameters", "reading line texts",
                                             "reading RS-485 entries"}));
  const DeviceParameterBlock& a = port.Device(kMacA);
  const DeviceParameterBlock& b = port.Device(kMacB);
  EXPECT_EQ(Ipv4Text(Ipv4FromBytes(a.osd.abyIP)), "10.1.2.3");
  EXPECT_EQ(0, std::memcmp(a.osd.asCamera, b.osd.asCamera, sizeof a.osd.asCamera));
  EXPECT_EQ(0, std::memcmp(&a.modbus, &b.modbus, offsetof(sModBusPara, awDictId)));
  EXPECT_EQ(+a.osd.dwAux, 0x12345600u);  // never sent, so A keeps its own
}

TEST(CliApplyToDevice, FailuresNameTheirStep) {
  struct Case {
    const char* name;
    std::function<void(SimulatedPort&)> device;
    bool firstGeneration;
    const char* step;
    const char* error;
    std::chrono::milliseconds atMost;
  };
  const std::vector<Case> cases = {
      {"silent",
       [](SimulatedPort& p) { p.answer = [](const Bytes&) { return std::vector<Bytes>{}; }; },
       false, "read", "no reply to the parameter read", 5s},
      {"refuses", [](SimulatedPort& p) { p.RefuseDownloads(); }, false, "download",
       "refused the download (result 0)", 10s},
      // Acknowledges slot 1's name but keeps its own: the check waits for the device to come
      // back with it until the wait is over.
      {"forgets",
       [](SimulatedPort& p) {
         p.answer = [&p](const Bytes& request) {
           const std::string kept = p.Device(kMacA).modbus.asSlot[0].szName;
           std::vector<Bytes> replies = p.SimulatorAnswer(request);
           std::strcpy(p.Device(kMacA).modbus.asSlot[0].szName, kept.c_str());
           return replies;
         };
       },
       false, "verify", "1 field(s) differ", 31s},
      {"first generation", [](SimulatedPort&) {}, true, "firmware", "--force-first-generation", 0s},
      {"RS-485 writes unanswered",
       [](SimulatedPort& p) {
         p.answer = [&p](const Bytes& request) {
           if (request[3] == CMD_DICTIONARY && request[10] == 0x42) return std::vector<Bytes>{};
           return p.SimulatorAnswer(request);
         };
       },
       false, "rs485",
       "no reply to an RS-485 write request within 10 s, three times; 0 of 566 entries were "
       "written",
       31s},
      {"silent after the download",
       [](SimulatedPort& p) {
         p.answer = [&p](const Bytes& request) {
           if (request[3] == CMD_READ_PARAMS && !p.SentWith(CMD_DOWNLOAD_PARAMS).empty())
             return std::vector<Bytes>{};
           return p.SimulatorAnswer(request);
         };
       },
       false, "verify", "reading back: no reply to the parameter read within 5 s", 40s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPort port({kDeviceA, kDeviceB});
    c.device(port);
    const ParamImages file = Images(port.Device(kMacB));
    ApplySettings settings;
    settings.verify = true;
    const DeviceOutcome report =
        ApplyToDevice(port, Found(kMacA, "192.168.1.64", c.firstGeneration ? 0x0109 : 0x2005), file,
                      settings, std::nullopt, {});
    EXPECT_FALSE(report.ok);
    EXPECT_EQ(report.failedStep, c.step);
    EXPECT_NE(report.error.find(c.error), std::string::npos) << report.error;
    EXPECT_LE(port.Elapsed(), c.atMost);
    if (std::string(c.name) == "forgets") {
      EXPECT_EQ(report.mismatches.size(), 1u);
      EXPECT_NE(report.mismatches[0].find("slot1.name: "), std::string::npos);
    }
    if (c.firstGeneration) {
      EXPECT_TRUE(port.sent.empty());
    }
    // The download restarts the device: nothing follows a failed RS-485 step.
    const std::string step = c.step;
    EXPECT_EQ(port.SentWith(CMD_DOWNLOAD_PARAMS).size(), step == "verify" || step == "download");
  }
}

TEST(CliApplyToDevice, TheCheckWaitsForARestartingDevice) {
  // After the download the device does not answer a parameter read for 8 s.
  SimulatedPort port({kDeviceA, kDeviceB});
  std::optional<TransferPort::Clock::time_point> downloaded;
  port.answer = [&](const Bytes& request) {
    if (request[3] == CMD_DOWNLOAD_PARAMS) downloaded = port.Now();
    if (request[3] == CMD_READ_PARAMS && downloaded && port.Now() < *downloaded + 8s)
      return std::vector<Bytes>{};
    return port.SimulatorAnswer(request);
  };
  ApplySettings settings;
  settings.verify = true;
  const DeviceOutcome report = ApplyToDevice(port, Found(kMacA, "192.168.1.64"),
                                             Images(port.Device(kMacB)), settings, {}, {});
  EXPECT_TRUE(report.ok) << report.error;
  EXPECT_TRUE(report.verified);
  EXPECT_GE(report.time, 8s);
}

TEST(CliOutput, DeviceListsQuoteWhatDevicesCallThemselves) {
  FoundDevice device = Found(kMacA, "192.168.1.64", 0x0109, "a\"b,c\n\x1B[2J\xFF");
  device.localAddresses = {0x0A4D0001, 0xC0A80102};
  EXPECT_EQ(FormatDevices({device}, OutputFormat::Json),
            "[\n  {\n    \"mac\": \"00E04C3A1B01\",\n    \"ip\": \"192.168.1.64\",\n"
            "    \"name\": \"a\\\"b,c\\n\\u001b[2J\xEF\xBF\xBD\",\n    \"version\": \"01.09\",\n"
            "    \"first_generation\": true,\n    \"legacy_line_text\": true,\n"
            "    \"local_addresses\": [\n      \"10.77.0.1\",\n      \"192.168.1.2\"\n    ]\n"
            "  }\n]\n");
  EXPECT_EQ(FormatDevices({device}, OutputFormat::Csv),
            "mac,ip,name,version,first_generation,legacy_line_text,local_addresses\n"
            "00E04C3A1B01,192.168.1.64,\"a\"\"b,c\n\x1B[2J\xFF\",01.09,true,true,"
            "10.77.0.1;192.168.1.2\n");
  EXPECT_EQ(FormatDevices({device}, OutputFormat::Text),
            "MAC           IP               VERSION  FLAGS         VIA              NAME\n"
            "00E04C3A1B01  192.168.1.64     01.09    first-gen     10.77.0.1,192.168.1.2  "
            "a\"b,c??[2J\xFF\n");
  EXPECT_EQ(FormatDevices({}, OutputFormat::Json), "[]\n");
}

TEST(CliOutput, CsvRecordsReadBackWhatCsvFieldsWrite) {
  using Records = std::vector<std::vector<std::string>>;
  const std::string name = " a\"b,c\r\nd ";
  const struct {
    std::string text;
    Records records;
  } cases[] = {
      {"mac,name\n00E04C3A1B01," + CsvField(name) + "\n",
       {{"mac", "name"}, {"00E04C3A1B01", name}}},
      {"\xEF\xBB\xBFMAC;x,\"\"\r\n\r\n\n,\r\nlast", {{"MAC;x", ""}, {"", ""}, {"last"}}},
      {"a,\"b\"\"\",\"unended\n", {{"a", "b\"", "unended\n"}}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvRecords(c.text), c.records) << c.text;
}
