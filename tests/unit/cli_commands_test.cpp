// quillon-cli's commands as the program runs them, on the simulated port: every exit status and
// refusal, what each command sends and what the devices end up holding, and the reports against
// literal expected output. No sockets and no real waiting, so these run under the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>

#include "files/param_file.h"
#include "params/dictionary.h"
#include "support/cli_run.h"
#include "support/simulated_port.h"
#include "support/temp_folder.h"
#include "text/gbk.h"

using namespace quillon;
using cli::Json;
using fakes::CliResult;
using fakes::RunCliOn;
using fakes::SimulatedPort;
using fakes::TempFolder;
using namespace std::chrono_literals;

namespace {

constexpr const char* kMacA = "00E04C3A1B01";
constexpr const char* kMacB = "00E04C3A1B02";
constexpr const char* kMacC = "00E04C3A1B03";
const std::vector<std::string> kDevices = {
    "ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=甲",
    "ip=192.168.1.65,mac=00E04C3A1B02,version=20.03,name=乙",
    "ip=192.168.1.66,mac=00E04C3A1B03,version=32.07,name=丙"};

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Describe(const CliResult& r) {
  return "exit " + std::to_string(r.status) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

// The frames sent with a command code, and of command 9 those writing RS-485 entries (not line
// texts) with how many entries each carried.
int Sent(const SimulatedPort& port, uint8_t command) {
  return static_cast<int>(port.SentWith(command).size());
}
std::vector<int> Rs485Writes(const SimulatedPort& port) {
  std::vector<int> entries;
  for (const auto& frame : port.SentWith(CMD_DICTIONARY)) {
    const uint8_t* payload = frame.bytes.data() + 10;
    const uint16_t first = static_cast<uint16_t>(payload[3] | payload[4] << 8);
    if ((payload[0] | payload[1] << 8) == kDictOpWrite && (first < 5000 || first > 5031))
      entries.push_back(payload[2]);
  }
  return entries;
}

// A parameter file of device B's parameters, as a read of it writes it.
class CliCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ParamImages images{};
    images.osd = port.Device(kMacB).osd;
    images.modbus = port.Device(kMacB).modbus;
    BuildDictionaryIndex(images.modbus);
    ASSERT_TRUE(ExportParamFile(file, images));
  }
  CliResult Run(const std::string& line) { return RunCliOn(&port, line); }

  SimulatedPort port{kDevices};
  TempFolder folder;
  const std::string file = folder / "b.ini";
};

}  // namespace

TEST_F(CliCommands, EveryExitStatusAndRefusal) {
  const std::string bad = folder.Write("bad.ini", "[sOSDCommPara]\r\nsOSDCommPara=00\r\n");
  const std::string noMacs = folder.Write("names.csv", "ip,name\n192.168.1.64,甲\n");
  const std::string badMac = folder.Write("bad.csv", "name,Mac \n甲,00E04C3A1B01\n乙,xyz\n");
  const struct {
    bool network;  // false: the port cannot be opened
    std::string line;
    int status;
    const char* out;  // a part of standard output
    const char* err;  // a part of standard error
    int opened;
  } cases[] = {
      {false, "search", 1, "", "quillon-cli: no network here\n", 1},
      {false, "read 00E04C3A1B01 --out " + (folder / "a.ini"), 1, "", "no network here", 1},
      {false, "apply " + file + " --all", 1, "", "no network here", 1},
      {false, "show 00E04C3A1B01", 1, "", "no network here", 1},
      {false, "diff 00E04C3A1B01 " + file, 2, "", "no network here", 1},
      {false, "set --all rs485.baud=9600", 1, "", "no network here", 1},
      {false, "backup --all --out-dir " + (folder / "x"), 1, "", "no network here", 1},
      {true, "read 00E04C3A1BFF --out " + (folder / "a.ini"), 1, "",
       "read: 00E04C3A1BFF did not answer the search within 2 s", 1},
      {true, "apply " + file + " 00E04C3A1BFF --only rs485", 1,
       "00E04C3A1BFF  FAILED  search: no reply to the search within 2.0 s\n"
       "0 of 1 device(s) done; failed: 00E04C3A1BFF\n",
       "", 1},
      {true, "set 00E04C3A1BFF rs485.baud=9600", 1,
       "00E04C3A1BFF  FAILED  search: no reply to the search within 2 s\n", "", 1},
      {true, "show 00E04C3A1BFF", 1, "", "00E04C3A1BFF did not answer the search within 2 s", 1},
      {true, "diff 00E04C3A1BFF " + file, 2, "", "did not answer", 1},
      {true, "read 00E04C3A1B01 --out " + (folder / "none/a.ini"), 1, "", "read: cannot write", 1},
      // Refused before anything is sent.
      {true, "apply " + bad + " --all", 2, "", "section [sOSDCommPara] does not match", 0},
      {true, "apply " + (folder / "missing.ini") + " --all", 2, "", "no such file", 0},
      {true, "apply " + file + " 00E04C3A1B01 00E04C3A1B02", 2, "", "--ip-from", 0},
      {true, "apply " + file + " --all", 2, "", "--ip-from", 1},  // known after the search
      {true, "apply " + file + " 00E04C3A1B01 --ip-from 192.168.2.10", 2, "",
       "leave the subnet 192.168.1.0/255.255.255.0 of the file's address 192.168.1.65", 0},
      {true, "read 00E04C3A1B01 --out " + (folder / "a.txt"), 2, "", ".ini or .INI", 0},
      {true, "set --all rs485.baud=9601", 2, "",
       "rs485.baud=9601: not an item of the list; it takes one of 2400, 4800", 0},
      {true, "set --all rs485.speed=9600", 2, "", "no field named 'rs485.speed'", 0},
      {true, "set --all rs485.baud=9600 rs485.baud=2400", 2, "", "rs485.baud is given twice", 0},
      {true, "show " + file + " slot17.*", 2, "", "no field matches 'slot17.*'", 0},
      {true, "diff " + file + " " + bad, 2, "", "bad file", 0},
      {true, "backup --all --out-dir " + file, 2, "", "cannot make the folder", 0},
      {true, "apply " + file, 2, "", "apply needs the devices' MACs or --all", 0},
      {true, "apply " + file + " --all --only rs485 --parallel 0", 2, "",
       "--parallel: not a number of devices from 1 to 1024: '0'", 0},
      {true, "set --all rs485.baud=9600 --parallel -3", 2, "", "--parallel", 0},
      {true, "backup --all --out-dir " + (folder / "p") + " --parallel many", 2, "",
       "--parallel: not a number of devices from 1 to 1024: 'many'", 0},
      {true, "backup --all --out-dir " + (folder / "p") + " --parallel 2.5", 2, "", "'2.5'", 0},
      {true, "set --all rs485.baud=9600 --parallel 1025", 2, "", "'1025'", 0},
      // An address that is not the PC's: refused before anything is sent.
      {true, "search --via 10.77.0.9", 2, "", "quillon-cli: --via: 10.77.0.9 is not an address", 1},
      {true, "set --all rs485.baud=9600 --via 10.77.0.9", 2, "", "not an address of this PC", 1},
      {true, "search --expect-file " + (folder / "none.csv"), 2, "", "cannot read", 0},
      {true, "search --expect-file " + noMacs, 2, "", "names.csv has no mac column", 0},
      {true, "search --expect-file " + badMac, 2, "", "bad.csv, row 3: not a MAC address: 'xyz'",
       0},
      {true, "frobnicate", 2, "", "frobnicate", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const CliResult r = RunCliOn(c.network ? &port : nullptr, c.line);
    EXPECT_EQ(r.status, c.status) << Describe(r);
    EXPECT_NE(r.out.find(c.out), std::string::npos) << Describe(r);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << Describe(r);
    EXPECT_EQ(r.opened, c.opened);
  }
  EXPECT_EQ(Sent(port, CMD_DOWNLOAD_PARAMS), 0);
  EXPECT_TRUE(Rs485Writes(port).empty());
  // The search cannot leave the PC.
  SimulatedPort failing(kDevices);
  failing.sendFails = true;
  for (const std::string& line :
       {"apply " + file + " --all --only rs485", std::string("set --all rs485.baud=9600"),
        "backup --all --out-dir " + (folder / "d"), std::string("search"),
        std::string("read 00E04C3A1B01 --out ") + (folder / "a.ini")}) {
    SCOPED_TRACE(line);
    const CliResult r = RunCliOn(&failing, line);
    EXPECT_EQ(r.status, 1) << Describe(r);
    EXPECT_NE(r.err.find("could not be sent"), std::string::npos) << Describe(r);
  }
  // Nobody on the network: --all has no device to serve.
  for (const std::string& line :
       {"apply " + file + " --all --only rs485", std::string("set --all rs485.baud=9600"),
        "backup --all --out-dir " + (folder / "d"), std::string("search")}) {
    SCOPED_TRACE(line);
    SimulatedPort empty({});
    const CliResult r = RunCliOn(&empty, line);
    EXPECT_EQ(r.status, line == "search" ? 0 : 1) << Describe(r);
    EXPECT_NE(r.err.find("no device answered"), std::string::npos) << Describe(r);
  }
}

// The request goes out again at each third of the wait, so a device whose copy was lost is
// found by the next, and listed once however many it answered; --expect and a device named
// end the search early, and then no copy follows.
TEST_F(CliCommands, SearchSendsThreeTimesOverItsWaitAndListsEachDeviceOnce) {
  const struct {
    std::string line;
    int dropped;  // the first search requests that no device hears
    int status;
    int lines;  // of standard output
    int requests;
    std::chrono::milliseconds elapsed;  // at most
    std::optional<uint32_t> via;
  } cases[] = {
      {"search --csv --expect 2 --wait 30", 0, 0, 3, 1, 1s, std::nullopt},
      {"search --csv --wait 3 --via 010.077.000.001", 1, 0, 4, 3, 3s, 0x0A4D0001},
      {"search --wait 3", 2, 0, 4, 3, 3s, std::nullopt},
      {"search --json --wait 3", 3, 0, 1, 3, 3s, std::nullopt},
      {"read 00E04C3A1B02 --quiet --wait 3 --out " + (folder / "b2.ini"), 1, 0, 1, 2, 2s,
       std::nullopt},
      {"read 00E04C3A1B02 --quiet --wait 0 --out " + (folder / "b2.ini"), 1, 1, 0, 1, 0s,
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    SimulatedPort p(kDevices);
    int searches = 0;
    p.answer = [&](const Bytes& request) {
      if (request[3] == CMD_SEARCH && ++searches <= c.dropped) return std::vector<Bytes>{};
      return p.SimulatorAnswer(request);
    };
    const CliResult r = RunCliOn(&p, c.line);
    EXPECT_EQ(r.status, c.status) << Describe(r);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), c.lines) << r.out;
    EXPECT_EQ(Sent(p, CMD_SEARCH), c.requests);
    EXPECT_LE(p.Elapsed(), c.elapsed);
    EXPECT_EQ(r.via, c.via);
    for (const char* mac : {kMacA, kMacB, kMacC}) EXPECT_LE(Count(r.out, mac), 1) << r.out;
  }
}

TEST_F(CliCommands, AReadThatFailsMidwayLeavesNoFile) {
  // The device stops answering after the line texts and two RS-485 chunks.
  int dictionary = 0;
  port.answer = [&](const Bytes& request) {
    if (request[3] == CMD_DICTIONARY && ++dictionary > 6) return std::vector<Bytes>{};
    return port.SimulatorAnswer(request);
  };
  const CliResult read = Run("read 00E04C3A1B01 --quiet --out " + (folder / "a.ini"));
  EXPECT_EQ(read.status, 1) << Describe(read);
  EXPECT_NE(read.err.find("62 of 566 entries were read; no file was written"), std::string::npos)
      << read.err;
  dictionary = 0;
  const CliResult backup =
      Run("backup 00E04C3A1B01 00E04C3A1B02 --quiet --parallel 1 --out-dir " + (folder / "out"));
  EXPECT_EQ(backup.status, 1) << Describe(backup);
  EXPECT_EQ(folder.Read("out/devices.csv"),
            "mac,ip,name,version,file,error\n"
            "00E04C3A1B01,192.168.1.64,甲,32.05,,\"read: no reply to an RS-485 read request "
            "within 10 s, three times; 62 of 566 entries were read\"\n"
            "00E04C3A1B02,192.168.1.65,乙,20.03,,\"read: no reply to an RS-485 read request "
            "within 10 s, three times; 0 of 566 entries were read\"\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"b.ini", "out"}));
  EXPECT_FALSE(std::ifstream(folder / "out/00E04C3A1B01.ini").good());
}

TEST_F(CliCommands, ApplyOnlyTheChosenPartsAndCheckThem) {
  // What goes out for each part, and what device A then holds of device B's file. Every apply
  // reads the parameters first and reads them back to check, after a download once more to see
  // that the device answers again; line texts travel with a download.
  const struct {
    const char* parts;
    int reads, downloads, dictionaryReads;  // before and to check: line texts, RS-485 chunks
    std::vector<int> rs485Writes;
    bool network, cameras, rs485;
  } cases[] = {
      {"rs485", 2, 0, 19, std::vector<int>(19, 31), false, false, true},
      {"cameras", 3, 1, 8, {}, false, true, false},
      {"network --ip-from 192.168.1.100", 3, 1, 4, {}, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parts);
    SimulatedPort p(kDevices);
    const CliResult r =
        RunCliOn(&p, "apply " + file + " 00E04C3A1B01 --verify --quiet --only " + c.parts);
    EXPECT_EQ(r.status, 0) << Describe(r);
    EXPECT_EQ(Sent(p, CMD_READ_PARAMS), c.reads);
    EXPECT_EQ(Sent(p, CMD_DOWNLOAD_PARAMS), c.downloads);
    int dictionaryReads = 0;
    for (const auto& frame : p.SentWith(CMD_DICTIONARY)) dictionaryReads += frame.bytes[10] == 0x41;
    EXPECT_EQ(dictionaryReads, c.dictionaryReads);
    std::vector<int> writes = Rs485Writes(p);
    if (!writes.empty()) writes.back() = 31;  // the last chunk holds the 8 left
    EXPECT_EQ(writes, c.rs485Writes);
    const DeviceParameterBlock& a = p.Device(kMacA);
    const DeviceParameterBlock& b = p.Device(kMacB);
    EXPECT_EQ(a.osd.wUpgradeSrcPort == b.osd.wUpgradeSrcPort, c.network);
    EXPECT_EQ(a.osd.asCamera[2].wSourcePort == b.osd.asCamera[2].wSourcePort, c.cameras);
    EXPECT_EQ(a.modbus.dwBaudRate == b.modbus.dwBaudRate, c.rs485);
  }
}

TEST_F(CliCommands, FirstGenerationFirmwareOnlyWhenForced) {
  SimulatedPort old({"ip=192.168.1.70,mac=00E04C3A1B09,version=01.09,name=老"});
  CliResult r = RunCliOn(&old, "apply " + file + " --all --only rs485 --quiet");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "00E04C3A1B09  FAILED  firmware: first-generation firmware 01.09 is not served "
            "(--force-first-generation serves it all the same)\n"
            "0 of 1 device(s) done; failed: 00E04C3A1B09\n");
  EXPECT_TRUE(old.SentWith(CMD_DICTIONARY).empty());
  r = RunCliOn(&old, "set --all rs485.baud=2400 --quiet --force-first-generation");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(old.Device("00E04C3A1B09").modbus.dwBaudRate, 2400u);
}

TEST_F(CliCommands, ReportsAsText_Csv_AndJson) {
  CliResult r = Run("apply " + file +
                    " 00E04C3A1B01 00E04C3A1B03 --only cameras,rs485 --verify "
                    "--quiet");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out,
            "00E04C3A1B01  ok      192.168.1.64: cameras, rs485 written; verified (0.8 s)\n"
            "00E04C3A1B03  ok      192.168.1.66: cameras, rs485 written; verified (0.8 s)\n"
            "2 of 2 device(s) done\n");
  // A leading zero is decimal: 090 is ninety.
  r = Run("apply " + file +
          " 00E04C3A1B02 --only network --ip-from 192.168.001.090 --json --quiet");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out, R"({
  "file": ")" + file + R"(",
  "parts": [
    "network"
  ],
  "verify": false,
  "devices": [
    {
      "mac": "00E04C3A1B02",
      "name": "乙",
      "ip": "192.168.1.65",
      "version": "20.03",
      "ok": true,
      "failed_step": null,
      "error": null,
      "written": [
        "network"
      ],
      "static_ip": "192.168.1.90",
      "rs485_entries": 0,
      "line_text_frames": 0,
      "line_text_frames_acknowledged": 0,
      "verified": false,
      "mismatches": [],
      "notes": [],
      "retries": 0,
      "seconds": 0.002
    }
  ],
  "succeeded": 1,
  "failed": 0
}
)");
  // The device restarted at its new address; the list is in address order.
  r = Run("search --csv --wait 0.5");
  EXPECT_EQ(r.out,
            "mac,ip,name,version,first_generation,legacy_line_text,local_addresses\n"
            "00E04C3A1B01,192.168.1.64,甲,32.05,false,false,10.77.0.1\n"
            "00E04C3A1B03,192.168.1.66,丙,32.07,false,false,10.77.0.1\n"
            "00E04C3A1B02,192.168.1.90,乙,20.03,false,true,10.77.0.1\n");
}

TEST_F(CliCommands, SetWritesOnlyWhatChanged) {
  // One RS-485 field on two devices: one dictionary entry each, nothing else written.
  CliResult r = Run("set 00E04C3A1B01 00E04C3A1B03 rs485.baud=19200 --verify --quiet --parallel 1");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out,
            "00E04C3A1B01  ok      192.168.1.64: rs485.baud written (1 RS-485 entry); verified "
            "(0.0 s)\n"
            "00E04C3A1B03  ok      192.168.1.66: rs485.baud written (1 RS-485 entry); verified "
            "(0.0 s)\n"
            "2 of 2 device(s) done\n");
  EXPECT_EQ(Rs485Writes(port), (std::vector<int>{1, 1}));
  const Bytes write = port.SentWith(CMD_DICTIONARY)[1].bytes;  // after A's read of the entry
  EXPECT_EQ(Bytes(write.begin() + 10, write.end() - 1),
            (Bytes{0x42, 0x1F, 0x01, 0x94, 0x0D, 0x04, 0x00, 0x4B, 0x00, 0x00}));
  EXPECT_EQ(Sent(port, CMD_READ_PARAMS) + Sent(port, CMD_DOWNLOAD_PARAMS), 0);
  EXPECT_EQ(port.Device(kMacC).modbus.dwBaudRate, 19200u);
  // The same again changes nothing.
  r = Run("set 00E04C3A1B03 rs485.baud=3 --quiet");  // by index
  EXPECT_EQ(r.out,
            "00E04C3A1B03  ok      192.168.1.66: nothing to change (0.0 s)\n"
            "1 of 1 device(s) done\n");
  EXPECT_EQ(Rs485Writes(port).size(), 2u);

  // A line text and a slot name of legacy firmware: the entry, then the download last.
  r =
      Run("set 00E04C3A1B02 camera1.line1.text=ABCDEFGHIJKLMNOPQRS slot1.name=甲 --verify "
          "--quiet");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out,
            "00E04C3A1B02  ok      192.168.1.65: camera1.line1.text, slot1.name written "
            "(1 RS-485 entry), downloaded; verified (0.0 s)\n"
            "    camera1.line1.text: firmware 20.03 keeps the whole characters of the first 17 "
            "bytes of a line text\n"
            "1 of 1 device(s) done\n");
  size_t lastWrite = 0, download = 0;
  for (size_t i = 0; i < port.sent.size(); ++i) {
    if (port.sent[i].bytes[3] == CMD_DICTIONARY && port.sent[i].bytes[10] == 0x42) lastWrite = i;
    if (port.sent[i].bytes[3] == CMD_DOWNLOAD_PARAMS) download = i;
  }
  EXPECT_LT(lastWrite, download);  // the entry first: the download restarts the device
  EXPECT_STREQ(port.Device(kMacB).osd.asCamera[0].asLine[0].szText, "ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(Sent(port, CMD_DOWNLOAD_PARAMS), 1);

  // Addresses with leading zeros, in the device's own subnet, read as decimal.
  r = Run("set 00E04C3A1B01 network.ip=192.168.1.070 camera1.ip=010.0.0.1 --verify --quiet");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out,
            "00E04C3A1B01  ok      192.168.1.64: network.ip, camera1.ip written, downloaded, "
            "static IP 192.168.1.70; verified (0.8 s)\n"
            "1 of 1 device(s) done\n");
  const uint8_t* camera = port.Device(kMacA).osd.asCamera[0].abyCameraIP;
  EXPECT_EQ(std::vector<int>(camera, camera + 4), (std::vector<int>{10, 0, 0, 1}));
}

TEST_F(CliCommands, SetGivesAddressesByThePlan) {
  const struct {
    std::string values;
    int status;
    const char* message;
    std::vector<const char*> addresses;  // of A, B and C afterwards
  } cases[] = {
      {"network.ip=192.168.2.100",
       2,
       "the addresses 192.168.2.100 to 192.168.2.102 leave the subnet 192.168.1.0/255.255.255.0 "
       "of the gateway 192.168.1.1 of 00E04C3A1B01",
       {"192.168.1.64", "192.168.1.65", "192.168.1.66"}},
      {"network.ip=192.168.1.253",
       2,
       "192.168.1.255, meant for 00E04C3A1B03, is the broadcast",
       {"192.168.1.64", "192.168.1.65", "192.168.1.66"}},
      {"network.ip=192.168.1.63",
       2,
       "192.168.1.64, meant for 00E04C3A1B02, is the address of "
       "00E04C3A1B01",
       {"192.168.1.64", "192.168.1.65", "192.168.1.66"}},
      {"network.ip=192.168.1.100", 0, "", {"192.168.1.100", "192.168.1.101", "192.168.1.102"}},
      {"network.ip=10.0.0.10 network.gateway=10.0.0.1 network.mask=255.255.0.0",
       0,
       "",
       {"10.0.0.10", "10.0.0.11", "10.0.0.12"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.values);
    SimulatedPort p(kDevices);
    const CliResult r = RunCliOn(&p, "set --all --verify --quiet " + c.values);
    EXPECT_EQ(r.status, c.status) << Describe(r);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << Describe(r);
    EXPECT_EQ(Sent(p, CMD_DOWNLOAD_PARAMS), c.status ? 0 : 3);
    for (int i = 0; i < 3; ++i) {
      const uint8_t* ip = p.Device(std::string("00E04C3A1B0") + char('1' + i)).osd.abyIP;
      EXPECT_EQ(std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) +
                    "." + std::to_string(ip[3]),
                c.addresses[i]);
    }
  }
}

TEST_F(CliCommands, ShowAndDiffByName) {
  CliResult r = Run("show " + file + " rs485.* slot1.name");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out,
            "rs485.protocol       标准ModBus规约\n"
            "rs485.poll_interval  1100\n"
            "rs485.timeout        510\n"
            "rs485.retry_limit    4\n"
            "rs485.baud           19200\n"
            "rs485.parity         奇校验\n"
            "slot1.name           压力1\n");
  // A device is read for what is asked: one entry.
  r = Run("show 00E04C3A1B01 rs485.baud --json --quiet");
  EXPECT_EQ(r.out, "{\n  \"rs485.baud\": \"9600\"\n}\n");
  EXPECT_EQ(port.SentWith(CMD_DICTIONARY).size(), 1u);
  EXPECT_EQ(Sent(port, CMD_READ_PARAMS), 0);

  ParamImages other = *ImportParamFile(file);
  other.modbus.dwBaudRate = 2400;
  std::strcpy(other.modbus.asSlot[2].szUnit, "kPa");
  const std::string file2 = folder / "c.ini";
  ASSERT_TRUE(ExportParamFile(file2, other));
  r = Run("diff " + file + " " + file2);
  EXPECT_EQ(r.status, 1) << Describe(r);
  EXPECT_EQ(r.out, "rs485.baud  19200 -> 2400\nslot3.unit  \"MPa\" -> \"kPa\"\n");
  r = Run("diff " + file + " " + file2 + " --json");
  EXPECT_EQ(r.out, "{\n  \"a\": \"" + file + "\",\n  \"b\": \"" + file2 +
                       "\",\n  \"differences\": [\n    {\n      \"name\": \"rs485.baud\",\n"
                       "      \"a\": \"19200\",\n      \"b\": \"2400\"\n    },\n    {\n"
                       "      \"name\": \"slot3.unit\",\n      \"a\": \"MPa\",\n"
                       "      \"b\": \"kPa\"\n    }\n  ]\n}\n");
  r = Run("diff " + file + " " + file);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  // A device against the file read from it: the same.
  r = Run("diff 00e0:4c3a:1b02 " + file + " --quiet");
  EXPECT_EQ(r.status, 2) << Describe(r);  // not a MAC: a file that is not there
  r = Run("diff 00:e0:4c:3a:1b:02 " + file + " --quiet");
  EXPECT_EQ(r.status, 0) << Describe(r);

  // What show --json prints, set --values takes back: device A gets the file's RS-485 settings.
  const std::string values = folder.Write("v.json", Run("show " + file + " rs485.* --json").out);
  r = Run("set 00E04C3A1B01 --quiet --values " + values);
  EXPECT_EQ(r.out,
            "00E04C3A1B01  ok      192.168.1.64: rs485.poll_interval, rs485.timeout, "
            "rs485.retry_limit, rs485.baud, rs485.parity written (5 RS-485 entries) "
            "(0.0 s)\n1 of 1 device(s) done\n");
}

TEST(CliBackup, EveryDeviceIntoItsFileButASilentOne) {
  devsim::FaultOptions faults;
  faults.silentDevices = {kMacB};
  SimulatedPort port(kDevices, faults);
  TempFolder folder;
  const CliResult r = RunCliOn(&port, "backup --all --quiet --out-dir " + (folder / "all"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "00E04C3A1B01  ok      192.168.1.64  32.05  甲 -> " + (folder / "all") +
                       "/00E04C3A1B01.ini\n"
                       "00E04C3A1B02  FAILED  read: no reply to the parameter read within 5 s\n"
                       "00E04C3A1B03  ok      192.168.1.66  32.07  丙 -> " +
                       (folder / "all") +
                       "/00E04C3A1B03.ini\n"
                       "2 of 3 device(s) backed up\n");
  EXPECT_EQ(folder.Read("all/devices.csv"),
            "mac,ip,name,version,file,error\n"
            "00E04C3A1B01,192.168.1.64,甲,32.05,00E04C3A1B01.ini,\n"
            "00E04C3A1B02,192.168.1.65,乙,20.03,,read: no reply to the parameter read within 5 s\n"
            "00E04C3A1B03,192.168.1.66,丙,32.07,00E04C3A1B03.ini,\n");
  EXPECT_FALSE(std::ifstream(folder / "all/00E04C3A1B02.ini").good());
  const std::optional<ParamImages> c = ImportParamFile(folder / "all/00E04C3A1B03.ini");
  ASSERT_TRUE(c);
  EXPECT_EQ(std::memcmp(&c->osd, &port.Device(kMacC).osd, sizeof c->osd), 0);
  EXPECT_EQ(std::memcmp(&c->modbus, &port.Device(kMacC).modbus, offsetof(sModBusPara, awDictId)),
            0);
}

TEST(CliSearch, AnInventoryNamesTheDevicesMissingAndThoseNotInIt) {
  TempFolder folder;
  SimulatedPort site(kDevices);
  ASSERT_EQ(RunCliOn(&site, "backup --all --quiet --out-dir " + (folder / "site")).status, 0);
  const std::string list = folder / "site/devices.csv";
  // Later B is gone, and D, which the list does not hold, answers.
  SimulatedPort later({kDevices[0], kDevices[2], "ip=192.168.1.67,mac=00E04C3A1B04,version=32.05"});
  CliResult r = RunCliOn(&later, "search --expect-file " + list);
  EXPECT_EQ(r.status, 1) << Describe(r);
  EXPECT_EQ(r.out.substr(r.out.find("1 of 3")),
            "1 of 3 device(s) of " + list +
                " did not answer: 00E04C3A1B02\n1 device(s) answered that " + list +
                " does not list: 00E04C3A1B04\n");
  r = RunCliOn(&later, "search --csv --expect-file " + list);
  EXPECT_EQ(r.status, 1) << Describe(r);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;  // the list alone
  EXPECT_NE(r.err.find("did not answer: 00E04C3A1B02\n"), std::string::npos) << r.err;
  r = RunCliOn(&later, "search --json --expect-file " + list);
  const Json json = Json::parse(r.out);
  EXPECT_EQ(json["devices"].size(), 3u);
  EXPECT_EQ(json["missing"], Json::array({kMacB}));
  EXPECT_EQ(json["unexpected"], Json::array({"00E04C3A1B04"}));

  // A list of one's own: the MAC column anywhere, quoted, with separators; blank rows passed over.
  const std::string own = folder.Write(
      "own.csv",
      "Name,\"MAC\"\r\n\"东门, 1号\",00:e0:4c:3a:1b:01\r\n丙,00-E0-4C-3A-1B-03\r\n,\r\n");
  r = RunCliOn(&later, "search --expect-file " + own);
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_NE(r.out.find("all 2 device(s) of " + own + " answered\n"), std::string::npos) << r.out;
}

TEST_F(CliCommands, AVerifyComparesALineTextAsALegacyDeviceKeepsIt) {
  // Firmware 20.03 keeps the whole characters of a line text's first 17 bytes: a cut inside a
  // character leaves that character out, and the check expects exactly that.
  const struct {
    const char* sent;
    const char* kept;
  } cases[] = {
      {"AB温度温度温度温度", "AB温度温度温度温"},    // 18 bytes, the 17th is half of 度
      {"ABC温度温度温度温度", "ABC温度温度温度温"},  // 17 whole bytes
      {"温度：25.6℃", "温度：25.6℃"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    const CliResult set =
        Run(std::string("set 00E04C3A1B02 camera1.line1.text=") + c.sent + " --verify --quiet");
    EXPECT_EQ(set.status, 0) << Describe(set);
    EXPECT_NE(set.out.find("; verified"), std::string::npos) << Describe(set);
    EXPECT_EQ(LoadGbkText(port.Device(kMacB).osd.asCamera[0].asLine[0].szText, 73), c.kept);

    ParamImages images{};
    images.osd = port.Device(kMacA).osd;
    images.modbus = port.Device(kMacA).modbus;
    BuildDictionaryIndex(images.modbus);
    StoreGbkText(images.osd.asCamera[2].asLine[4].szText, 72, c.sent);
    const std::string texts = folder / "texts.ini";
    ASSERT_TRUE(ExportParamFile(texts, images));
    const CliResult apply = Run("apply " + texts + " 00E04C3A1B02 --only cameras --verify --quiet");
    EXPECT_EQ(apply.status, 0) << Describe(apply);
    EXPECT_EQ(LoadGbkText(port.Device(kMacB).osd.asCamera[2].asLine[4].szText, 73), c.kept);
  }
  // A device that keeps less than that is named by the field.
  port.answer = [&](const Bytes& request) {
    std::vector<Bytes> replies = port.SimulatorAnswer(request);
    if (request[3] == CMD_DOWNLOAD_PARAMS)
      port.Device(kMacB).osd.asCamera[0].asLine[0].szText[2] = 0;
    return replies;
  };
  const CliResult short_ = Run("set 00E04C3A1B02 camera1.line1.text=AB温度温度 --verify --quiet");
  EXPECT_EQ(short_.status, 1) << Describe(short_);
  EXPECT_NE(short_.out.find("camera1.line1.text: device has AB, sent AB温度温度"),
            std::string::npos)
      << Describe(short_);
}

TEST_F(CliCommands, SideBySideEachDeviceGetsItsPlannedAddressAndItsPlaceInTheReport) {
  // Device A's first RS-485 chunk is lost: it is written again after 10 s, so A finishes last.
  // Its address and its place in the report are still the first.
  bool lost = false;
  port.answer = [&](const Bytes& request) {
    if (request[3] == CMD_DICTIONARY && request[9] == 0x01 && request[10] == 0x42 && !lost) {
      lost = true;
      return std::vector<Bytes>{};
    }
    return port.SimulatorAnswer(request);
  };
  const CliResult r = Run("apply " + file +
                          " 00E04C3A1B01 00E04C3A1B02 00E04C3A1B03 --ip-from "
                          "192.168.1.100 --verify");
  EXPECT_EQ(r.status, 0) << Describe(r);
  EXPECT_EQ(r.out.find("00E04C3A1B01  ok      192.168.1.64: network, cameras, rs485 written, "
                       "static IP 192.168.1.100; verified"),
            0u)
      << Describe(r);
  EXPECT_LT(r.out.find("00E04C3A1B02  ok"), r.out.find("00E04C3A1B03  ok"));
  EXPECT_NE(r.err.find("[3/3] 00E04C3A1B01 done (3 done, 0 in flight, 0 failed)"),
            std::string::npos)
      << Describe(r);
  for (const auto& [mac, ip] : {std::pair{kMacA, 100}, {kMacB, 101}, {kMacC, 102}})
    EXPECT_EQ(port.Device(mac).osd.abyIP[3], ip) << mac;
  EXPECT_NE(port.SentWith(CMD_DOWNLOAD_PARAMS).front().bytes[9], 0x01);  // A's came last
  EXPECT_EQ(port.SentWith(CMD_DOWNLOAD_PARAMS).back().bytes[9], 0x01);
}
