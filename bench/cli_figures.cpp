// quillon-cli's figures in the table of `make bench`, against quillon-devsim inside the private
// network of scripts/netns-run.sh:
//   1. a full RS-485 read of the 566 entries of one device, each request sent the moment the
//      previous answer is in (goal: under 60 ms, where the window's 10 ms polling takes the
//      RS-485 rows above);
//   2. fleets served side by side, each beside its one-after-the-other twin where that takes
//      minutes, not a quarter of an hour: apply --all --verify of 50 devices that restart for 5 s
//      after their download, at --parallel 1 and the default; of 1000 devices without restart at
//      --parallel 64, with quillon-cli's peak memory; backup --all and set --all of one RS-485
//      field of 1000 devices. Each beside its floor: the search's wait, then as many rounds as
//      --parallel allows, each one device's pauses (200 ms before and between its four
//      line-text frames) and its restart. The goal: at most 1.3 times the floor.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "cli_commands.h"
#include "device/device_search.h"
#include "device/device_transfer.h"
#include "files/param_file.h"
#include "link/broadcast_port.h"
#include "params/dictionary.h"
#include "support/devsim_process.h"

using namespace quillon;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kReadRuns = 20;
constexpr double kReadGoalMs = 60;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string Hex2(int n) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", n);
  return text;
}

std::unique_ptr<devsim::DevsimProcess> StartDevices(int count, const std::string& log) {
  std::vector<std::string> args{"--bind", devsim::DevsimProcess::DeviceAddress(), "--log", log};
  for (int i = 0; i < count; ++i) {
    args.push_back("--device");
    args.push_back("ip=192.168.1." + std::to_string(100 + i) + ",mac=00E04C3A2C" + Hex2(i) +
                   ",version=32.05,name=" + std::to_string(i + 1) + "号");
  }
  auto process = std::make_unique<devsim::DevsimProcess>(args);
  if (!process->Start()) {
    std::fprintf(stderr, "quillon_bench: quillon-cli: simulator: %s\n", process->Error().c_str());
    return nullptr;
  }
  return process;
}

// Median, min and max of the RS-485 read; false when a read failed.
bool MeasureRead(std::vector<double>& runs, int& requests) {
  const std::string log = devsim::DevsimProcess::TempPath("quillon-cli-bench-log");
  auto devices = StartDevices(1, log);
  if (!devices) return false;
  BroadcastPort port(SystemSockets(), InterfaceAddresses);
  std::string error;
  std::vector<FoundDevice> found;
  if (port.Open(error) != BroadcastPort::Opening::Opened ||
      !SearchDevices(port, 2s, {"00E04C3A2C00"}, found) || found.empty()) {
    std::fprintf(stderr, "quillon_bench: quillon-cli: device not found %s\n", error.c_str());
    return false;
  }
  for (int i = 0; i < kReadRuns; ++i) {
    auto block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*block);
    BuildDictionaryIndex(block->modbus);
    DeviceTransfer transfer(port, found[0].record.mac, false);
    const Clock::time_point start = Clock::now();
    if (!transfer.ReadRs485(*block).Ok()) {
      std::fprintf(stderr, "quillon_bench: quillon-cli: read %d failed\n", i + 1);
      return false;
    }
    runs.push_back(Ms(Clock::now() - start));
    requests = transfer.RequestsSent();
  }
  std::remove(log.c_str());
  return true;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  return text;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return lines;
  const std::string text = ReadAll(file);
  std::fclose(file);
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

std::string Hex4(int n) {
  char text[5];
  std::snprintf(text, sizeof text, "%04X", n);
  return text;
}

// A fleet of simulated devices of current firmware, 192.168.1.1 on, that restart for
// `restartMs` after a download.
std::unique_ptr<devsim::DevsimProcess> StartFleet(int count, int restartMs,
                                                  const std::string& log) {
  std::vector<std::string> args{"--bind", devsim::DevsimProcess::DeviceAddress(), "--log", log};
  for (int i = 0; i < count; ++i) {
    args.push_back("--device");
    args.push_back("ip=192.168." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250) +
                   ",mac=00E04C3A" + Hex4(i) + ",version=32.05,restart-ms=" +
                   std::to_string(restartMs) + ",name=" + std::to_string(i + 1) + "号");
  }
  auto process = std::make_unique<devsim::DevsimProcess>(args);
  if (!process->Start()) {
    std::fprintf(stderr, "quillon_bench: quillon-cli: simulator: %s\n", process->Error().c_str());
    return nullptr;
  }
  return process;
}

// One run of the quillon-cli program: its status, standard output, wall time and peak memory.
struct CliRun {
  int status = -1;
  std::string out;
  double ms = 0;
  double peakMb = 0;
};

CliRun RunCliProcess(const std::vector<std::string>& words) {
  CliRun run;
  std::FILE* out = std::tmpfile();
  std::vector<std::string> all{QUILLON_CLI};
  all.insert(all.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : all) argv.push_back(word.data());
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(fileno(out), STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    run.ms = Ms(Clock::now() - start);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024;
  }
  run.out = ReadAll(out);
  std::fclose(out);
  if (run.status != 0)
    std::fprintf(stderr, "quillon_bench: quillon-cli %s failed (%d):\n%s", words.front().c_str(),
                 run.status, run.out.c_str());
  return run;
}

constexpr double kSearchSeconds = 1;
constexpr double kPausesMs = 4 * 200;  // before and between a device's four line-text frames
constexpr double kGoalTimesFloor = 1.3;

// The floor of a batch: the search's wait, then the rounds that `parallel` allows, each one
// device's pauses and restart.
double FloorMs(int devices, int parallel, double perDeviceMs) {
  const int rounds = (devices + parallel - 1) / parallel;
  return kSearchSeconds * 1000 + rounds * perDeviceMs;
}

void AddBatchRow(bench::Table& table, const std::string& name, const CliRun& run, double floorMs,
                 const std::string& what, int done, int devices, bool goal) {
  char how[320];
  std::snprintf(how, sizeof how, "%s; %d/%d done%s", what.c_str(), done, devices,
                goal ? (run.ms <= kGoalTimesFloor * floorMs ? "; goal at most 1.3 x the floor"
                                                            : "; goal at most 1.3 x the floor "
                                                              "(ABOVE THE GOAL)")
                     : "");
  table.Add({name, run.ms, floorMs, "ms", how});
}

// The file a read of the first device writes, with a subnet of room for a thousand devices, so
// that --ip-from can count their addresses in it.
bool FleetFile(const std::string& file, const std::string& mac) {
  if (RunCliProcess({"read", mac, "--out", file, "--quiet"}).status != 0) return false;
  std::optional<ParamImages> images = ImportParamFile(file);
  if (!images) return false;
  const uint8_t mask[4] = {255, 255, 0, 0};
  std::memcpy(images->osd.abyNetMask, mask, 4);
  return ExportParamFile(file, *images);
}

// apply --all --verify of `devices` that restart for `restartMs`, at each of `parallels` (0:
// the default).
bool MeasureApply(bench::Table& table, int devices, int restartMs,
                  const std::vector<int>& parallels, bool memoryRow) {
  const std::string log = devsim::DevsimProcess::TempPath("quillon-cli-bench-log");
  const std::string file = devsim::DevsimProcess::TempPath("quillon-cli-bench") + ".ini";
  auto fleet = StartFleet(devices, restartMs, log);
  if (!fleet || !FleetFile(file, "00E04C3A0000")) return false;
  bool ok = true;
  for (const int parallel : parallels) {
    std::vector<std::string> words{
        "apply",    file,     "--all",   "--ip-from", "192.168.100.1",
        "--verify", "--json", "--quiet", "--wait",    std::to_string(kSearchSeconds)};
    if (parallel) words.insert(words.end(), {"--parallel", std::to_string(parallel)});
    const CliRun run = RunCliProcess(words);
    const int verified = Count(run.out, "\"verified\": true");
    const int used = parallel ? parallel : cli::kDefaultParallel;
    const double floorMs = FloorMs(devices, used, kPausesMs + restartMs);
    char name[96], what[200];
    std::snprintf(name, sizeof name, "quillon-cli apply, %d devices%s, --parallel %d", devices,
                  restartMs ? ", restarting 5 s" : "", used);
    std::snprintf(what, sizeof what,
                  "apply --all --verify, every part; floor: %.0f ms search, then %d round(s) of "
                  "%.0f ms pauses%s",
                  kSearchSeconds * 1000, (devices + used - 1) / used, kPausesMs,
                  restartMs ? " and the restart" : "");
    AddBatchRow(table, name, run, floorMs, what, verified, devices, used > 1);
    if (memoryRow)
      table.Add({"quillon-cli apply, 1000 devices: peak memory", run.peakMb, 0, "MB",
                 run.peakMb <= 50 ? "the program's resident set at most; goal at most 50 MB"
                                  : "the program's resident set at most; goal at most 50 MB "
                                    "(ABOVE THE GOAL)"});
    ok = ok && run.status == 0 && verified == devices;
  }
  std::remove(file.c_str());
  std::remove(log.c_str());
  return ok;
}

// backup --all and set --all rs485.baud=19200 of `devices`, one after the other and side by
// side: reads and dictionary writes impose no pause, so the floor is the search's wait.
bool MeasureReadsAndSets(bench::Table& table, int devices) {
  const std::string log = devsim::DevsimProcess::TempPath("quillon-cli-bench-log");
  const std::string folder = devsim::DevsimProcess::TempPath("quillon-cli-backup");
  auto fleet = StartFleet(devices, 0, log);
  if (!fleet) return false;
  bool ok = true;
  for (const int parallel : {1, 0}) {
    const int used = parallel ? parallel : cli::kDefaultParallel;
    const std::vector<std::string> common{"--json",     "--quiet",
                                          "--wait",     std::to_string(kSearchSeconds),
                                          "--parallel", std::to_string(used)};
    std::vector<std::string> words{"backup", "--all", "--out-dir", folder};
    words.insert(words.end(), common.begin(), common.end());
    const CliRun backup = RunCliProcess(words);
    const int backedUp = Count(backup.out, "\"ok\": true");
    std::filesystem::remove_all(folder);
    AddBatchRow(table,
                "quillon-cli backup, " + std::to_string(devices) + " devices, --parallel " +
                    std::to_string(used),
                backup, kSearchSeconds * 1000,
                "backup --all: every device read whole into a file of its own; floor: the "
                "search's wait, reads impose no pause",
                backedUp, devices, used > 1);

    const size_t logged = Lines(log).size();
    words = {"set", "--all", "rs485.baud=" + std::string(parallel ? "4800" : "2400")};
    words.insert(words.end(), common.begin(), common.end());
    const CliRun set = RunCliProcess(words);
    const int sets = Count(set.out, "\"rs485_entries\": 1,");
    int entries = 0, writes = 0;
    const std::vector<std::string> lines = Lines(log);
    for (size_t i = logged; i < lines.size(); ++i) {
      if (lines[i].rfind("dict-write ", 0) != 0) continue;
      ++writes;
      entries += std::atoi(lines[i].c_str() + lines[i].find(' ', 11));
    }
    AddBatchRow(table,
                "quillon-cli set of one RS-485 field, " + std::to_string(devices) +
                    " devices, --parallel " + std::to_string(used),
                set, kSearchSeconds * 1000,
                "set --all rs485.baud: read and write of that one entry, " +
                    std::to_string(entries) + " entries in " + std::to_string(writes) +
                    " requests; floor: the search's wait, dictionary writes impose no pause",
                sets, devices, used > 1);
    ok = ok && backedUp == devices && sets == devices && entries == devices && writes == devices;
  }
  std::remove(log.c_str());
  return ok;
}

}  // namespace

namespace quillon {

bool CliFigures(bench::Table& table) {
  std::vector<double> runs;
  int requests = 0;
  if (!MeasureRead(runs, requests)) return false;
  std::sort(runs.begin(), runs.end());

  const double median = runs[runs.size() / 2];
  char how[256];
  std::snprintf(how, sizeof how,
                "quillon-cli's transfer, %zu reads, %d requests each, min %.1f / max %.1f ms; "
                "goal under %.0f ms%s",
                runs.size(), requests, runs.front(), runs.back(), kReadGoalMs,
                median < kReadGoalMs ? "" : " (ABOVE THE GOAL)");
  table.Add({"quillon-cli RS-485 read, 566 entries", median, 0, "ms", how});
  // The one-after-the-other twin of the 1000-device apply would take a quarter of an hour:
  // the 50 devices' twin stands for it.
  bool ok = MeasureApply(table, 50, 5000, {1, 0}, false);
  ok = MeasureApply(table, 1000, 0, {64}, true) && ok;
  ok = MeasureReadsAndSets(table, 1000) && ok;
  return ok;
}

}  // namespace quillon
