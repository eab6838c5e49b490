// quillon-cli's figures in the table of `make bench`, against quillon-devsim inside the private
// network of scripts/netns-run.sh:
//   1. a full RS-485 read of the 566 entries of one device, each request sent the moment the
//      previous answer is in (goal: under 60 ms, where the window's 10 ms polling takes the
//      RS-485 rows above);
//   2. a batch of 50 devices, every part applied and checked by reading back, beside the pauses
//      that the devices need after each download (200 ms before and between their four
//      line-text frames), which no speed-up may take away.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "cli_commands.h"
#include "cli_options.h"
#include "device_search.h"
#include "files/param_file.h"
#include "link/broadcast_port.h"
#include "params/dictionary.h"
#include "session/device_transfer.h"
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
  if (!port.Open(error) || !cli::SearchDevices(port, 2s, {"00E04C3A2C00"}, found) ||
      found.empty()) {
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

struct Batch {
  double wallMs = 0;
  int frames = 0;  // line-text frames, each after a pause kept for its device
  int verified = 0;
  double searchMs = 0;
};

// The batch as the command line runs it: `apply FILE --all --ip-from ... --verify --json`.
bool MeasureBatch(Batch& batch) {
  const std::string log = devsim::DevsimProcess::TempPath("quillon-cli-bench-log");
  const std::string file = devsim::DevsimProcess::TempPath("quillon-cli-bench") + ".ini";
  auto devices = StartDevices(kBatchDevices, log);
  if (!devices) return false;
  BroadcastPort port(SystemSockets(), InterfaceAddresses);
  std::string error;
  if (!port.Open(error)) return false;
  const cli::PortOpener open = [&](std::string&) -> TransferPort* { return &port; };

  std::vector<std::string> words = {"quillon-cli", "read", "00E04C3A2C00",
                                    "--out",       file,   "--quiet"};
  auto run = [&](std::vector<std::string>& w, std::FILE* out) {
    std::vector<char*> argv;
    for (std::string& word : w) argv.push_back(word.data());
    cli::CliOptions options;
    std::string message;
    if (!cli::ParseCliCommandLine(static_cast<int>(argv.size()), argv.data(), options, message))
      return -1;
    return cli::RunCommand(options, open, out, stderr);
  };
  std::FILE* sink = std::tmpfile();
  if (run(words, sink) != 0) return false;

  const double searchSeconds = 1;
  words = {"quillon-cli",
           "apply",
           file,
           "--all",
           "--ip-from",
           "192.168.2.10",
           "--verify",
           "--json",
           "--quiet",
           "--wait",
           std::to_string(searchSeconds)};
  std::FILE* report = std::tmpfile();
  const Clock::time_point start = Clock::now();
  const int status = run(words, report);
  batch.wallMs = Ms(Clock::now() - start);
  batch.searchMs = searchSeconds * 1000;
  std::string json;
  std::rewind(report);
  char chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, report)) > 0;) json.append(chunk, n);
  std::fclose(report);
  std::fclose(sink);
  std::remove(file.c_str());
  std::remove(log.c_str());
  if (status != 0) {
    std::fprintf(stderr, "quillon_bench: quillon-cli: the batch failed:\n%s", json.c_str());
    return false;
  }
  batch.verified = Count(json, "\"verified\": true");
  for (size_t at = json.find("\"line_text_frames\": "); at != std::string::npos;
       at = json.find("\"line_text_frames\": ", at + 1))
    batch.frames += std::atoi(json.c_str() + at + 20);
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
  return batch.verified == kBatchDevices;
}

}  // namespace quillon
