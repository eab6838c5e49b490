// quillon-cli's figures in the table of `make bench`, against quillon-devsim inside the private
// network of scripts/netns-run.sh:
//   1. a full RS-485 read of the 566 entries of one device, each request sent the moment the
//      previous answer is in (goal: under 60 ms, where the window's 10 ms polling takes the
//      RS-485 rows above);
//   2. a batch of 50 devices, every part applied and checked by reading back, beside the pauses
//      that the devices need after each download (200 ms before and between their four
//      line-text frames), which no speed-up may take away;
//   3. backup --all of the 50 devices, and set --all of one RS-485 field on them, each beside
//      the search's wait: reads and dictionary writes impose no pause, and a set of one RS-485
//      field sends one dictionary entry per device, as the simulator's log counts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "cli_commands.h"
#include "device/device_transfer.h"
#include "device_search.h"
#include "files/param_file.h"
#include "link/broadcast_port.h"
#include "params/dictionary.h"
#include "support/devsim_process.h"

using namespace quillon;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kReadRuns = 20;
constexpr int kBatchDevices = 50;
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
  std::vector<cli::FoundDevice> found;
  if (port.Open(error) != BroadcastPort::Opening::Opened ||
      !cli::SearchDevices(port, 2s, {"00E04C3A2C00"}, found) || found.empty()) {
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

struct Batch {
  double wallMs = 0;
  int frames = 0;  // line-text frames, each after a pause kept for its device
  int verified = 0;
  double searchMs = 0;
  double backupMs = 0;
  int backedUp = 0;
  double setMs = 0;
  int set = 0;
  int setEntries = 0;  // dictionary entries the devices were sent by the set
  int setWrites = 0;   // the write requests that carried them
};

// The batch as the command line runs it: `apply FILE --all --ip-from ... --verify --json`, then
// `backup --all` and `set --all rs485.baud=19200` on the same 50 devices.
bool MeasureBatch(Batch& batch) {
  const std::string log = devsim::DevsimProcess::TempPath("quillon-cli-bench-log");
  const std::string file = devsim::DevsimProcess::TempPath("quillon-cli-bench") + ".ini";
  const std::string folder = devsim::DevsimProcess::TempPath("quillon-cli-backup");
  auto devices = StartDevices(kBatchDevices, log);
  if (!devices) return false;
  BroadcastPort port(SystemSockets(), InterfaceAddresses);
  std::string error;
  if (port.Open(error) != BroadcastPort::Opening::Opened) return false;
  const cli::PortOpener open = [&](std::optional<uint32_t>) {
    return cli::OpenedPort{&port, {}, false};
  };
  // Runs quillon-cli; its standard output comes back in `out`, its wall time in `ms`.
  auto run = [&](std::vector<std::string> words, std::string& out, double& ms) {
    std::vector<const char*> argv{"quillon-cli"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    std::FILE* report = std::tmpfile();
    const Clock::time_point start = Clock::now();
    const int status =
        cli::RunCli(static_cast<int>(argv.size()), argv.data(), open, report, stderr);
    ms = Ms(Clock::now() - start);
    out = ReadAll(report);
    std::fclose(report);
    if (status != 0)
      std::fprintf(stderr, "quillon_bench: quillon-cli %s failed:\n%s", words.front().c_str(),
                   out.c_str());
    return status == 0;
  };
  std::string out;
  double ms = 0;
  if (!run({"read", "00E04C3A2C00", "--out", file, "--quiet"}, out, ms)) return false;

  const double searchSeconds = 1;
  const std::string wait = std::to_string(searchSeconds);
  batch.searchMs = searchSeconds * 1000;
  if (!run({"apply", file, "--all", "--ip-from", "192.168.1.10", "--verify", "--json", "--quiet",
            "--wait", wait},
           out, batch.wallMs))
    return false;
  batch.verified = Count(out, "\"verified\": true");
  for (size_t at = out.find("\"line_text_frames\": "); at != std::string::npos;
       at = out.find("\"line_text_frames\": ", at + 1))
    batch.frames += std::atoi(out.c_str() + at + 20);

  if (!run({"backup", "--all", "--out-dir", folder, "--json", "--quiet", "--wait", wait}, out,
           batch.backupMs))
    return false;
  batch.backedUp = Count(out, "\"ok\": true");
  std::filesystem::remove_all(folder);

  const size_t logged = Lines(log).size();
  if (!run({"set", "--all", "rs485.baud=19200", "--json", "--quiet", "--wait", wait}, out,
           batch.setMs))
    return false;
  batch.set = Count(out, "\"rs485_entries\": 1,");
  const std::vector<std::string> lines = Lines(log);
  for (size_t i = logged; i < lines.size(); ++i) {
    if (lines[i].rfind("dict-write ", 0) != 0) continue;
    ++batch.setWrites;
    batch.setEntries += std::atoi(lines[i].c_str() + lines[i].find(' ', 11));
  }
  std::remove(file.c_str());
  std::remove(log.c_str());
  return true;
}

}  // namespace

namespace quillon {

bool CliFigures(bench::Table& table) {
  std::vector<double> runs;
  int requests = 0;
  if (!MeasureRead(runs, requests)) return false;
  std::sort(runs.begin(), runs.end());
  Batch batch;
  if (!MeasureBatch(batch)) return false;

  const double median = runs[runs.size() / 2];
  char how[256];
  std::snprintf(how, sizeof how,
                "quillon-cli's transfer, %zu reads, %d requests each, min %.1f / max %.1f ms; "
                "goal under %.0f ms%s",
                runs.size(), requests, runs.front(), runs.back(), kReadGoalMs,
                median < kReadGoalMs ? "" : " (ABOVE THE GOAL)");
  table.Add({"quillon-cli RS-485 read, 566 entries", median, 0, "ms", how});
  const double pausesMs = batch.frames * 200.0;
  const double restMs = batch.wallMs - pausesMs - batch.searchMs;
  std::snprintf(how, sizeof how,
                "apply --all --verify, every part; floor: %d line-text frames x 200 ms kept for "
                "the devices; besides: %.0f ms search, %.0f ms per device; %d/%d verified",
                batch.frames, batch.searchMs, restMs / kBatchDevices, batch.verified,
                kBatchDevices);
  table.Add({"quillon-cli batch, 50 devices", batch.wallMs, pausesMs, "ms", how});
  std::snprintf(how, sizeof how,
                "backup --all: every device read whole into a file of its own; floor: the "
                "%.0f ms search, reads impose no pause; besides: %.1f ms per device; %d/%d "
                "backed up",
                batch.searchMs, (batch.backupMs - batch.searchMs) / kBatchDevices, batch.backedUp,
                kBatchDevices);
  table.Add({"quillon-cli backup, 50 devices", batch.backupMs, batch.searchMs, "ms", how});
  std::snprintf(how, sizeof how,
                "set --all rs485.baud=19200: read and write of that one entry; floor: the %.0f "
                "ms search, dictionary writes impose no pause; besides: %.1f ms per device; "
                "%d entries in %d write requests to %d devices",
                batch.searchMs, (batch.setMs - batch.searchMs) / kBatchDevices, batch.setEntries,
                batch.setWrites, batch.set);
  table.Add(
      {"quillon-cli set of one RS-485 field, 50 devices", batch.setMs, batch.searchMs, "ms", how});
  return batch.verified == kBatchDevices && batch.backedUp == kBatchDevices &&
         batch.set == kBatchDevices && batch.setEntries == kBatchDevices &&
         batch.setWrites == kBatchDevices;
}

}  // namespace quillon
