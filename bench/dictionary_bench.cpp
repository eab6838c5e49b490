// Wall time of a full dictionary read and a full dictionary download of the 566 RS-485 entries,
// through the real worker thread and UDP link against quillon-devsim. Run it only inside the
// private network of scripts/netns-run.sh (`make bench` does): the link broadcasts.
//
// The figures are set against the floor that the 10 ms polling puts under a transfer. Each of the
// 19 chunks needs at least one worker cycle to send it and one more to see its answer (the
// worker sleeps 10 ms before every cycle), and the receive thread pauses 10 ms before every
// datagram it takes; the program's own broadcast request comes back to its receive socket first,
// so the reply is taken no sooner than one pause after the request went out.
//   floor = 19 chunks x (2 x 10 ms worker cycles + 10 ms receive pause) = 570 ms
// That is the cadence of the chunks. The measured window (marks set until the last "100%" line)
// can come in a little under it: the first send waits only the rest of the worker's current
// cycle (0 to 10 ms), and after the last answer no further send cycle follows, so its bound is
// 18 x 30 ms + 20 ms = 560 ms plus that phase.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/session_harness.h"
#include "support/simulator_run.h"

using namespace quillon;
using namespace quillon::fakes;
using namespace std::chrono_literals;

namespace {

constexpr int kRuns = 5;
constexpr int kChunks = 19;  // 566 entries, at most 31 per request
constexpr double kCycleMs = 10.0;
constexpr double kFloorMs = kChunks * (2 * kCycleMs + kCycleMs);

struct Run {
  double ms = 0;
  int requests = 0;    // chunk requests the worker sent
  long datagrams = 0;  // datagrams the receive thread handed over (own requests included)
};

// One full transfer in one direction; false when it did not finish within 20 s.
bool Transfer(SessionHarness& h, bool write, Run& run) {
  h.session.ClearLog();
  const long datagramsBefore = h.datagramsPumped;
  const std::string done = write ? "正在下载字典,已完成100%\r\n" : "正在读取字典,已完成100%\r\n";
  const auto start = std::chrono::steady_clock::now();
  h.MarkAll(write);
  const bool finished = h.Pump(
      [&] { return (write ? h.PendingWrites() : h.PendingReads()) == 0 && h.LogEndsWith(done); },
      20s);
  run.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  run.requests = h.CountInLog(write ? "正在下载字典... \r\n" : "正在读取字典... \r\n");
  run.datagrams = h.datagramsPumped - datagramsBefore;
  return finished;
}

void PrintRow(const char* direction, std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
  const Run& median = runs[runs.size() / 2];
  std::printf("%-9s %4zu %8.1f %10.1f %8.1f %10.1f %9.0f %8.2f %9d %10ld\n", direction, runs.size(),
              runs.front().ms, median.ms, runs.back().ms, median.ms / kChunks, kFloorMs,
              median.ms / kFloorMs, median.requests, median.datagrams);
}

}  // namespace

int main() {
  if (!std::getenv("QUILLON_DEVICE_NETNS")) {
    std::fprintf(stderr,
                 "dictionary_bench: run it under scripts/netns-run.sh (make bench): it "
                 "broadcasts\n");
    return 2;
  }
  SimulatorRun sim;
  if (!sim.Start()) {
    std::fprintf(stderr, "dictionary_bench: simulator: %s\n", sim.Error().c_str());
    return 1;
  }
  SessionHarness h;
  h.Start();
  // Select the device as the user would, and let the camera text read finish first.
  if (!h.SearchAndSelect() ||
      !h.Pump([&] { return h.LogContains("摄像头4字典读取成功...\r\n"); }, 5s)) {
    std::fprintf(stderr, "dictionary_bench: device not read:\n%s", h.session.LogText().c_str());
    return 1;
  }

  std::vector<Run> reads, writes;
  for (int i = 0; i < kRuns; ++i) {
    Run run;
    if (!Transfer(h, false, run)) {
      std::fprintf(stderr, "dictionary_bench: read %d did not finish\n", i + 1);
      return 1;
    }
    reads.push_back(run);
  }
  for (int i = 0; i < kRuns; ++i) {
    Run run;
    if (!Transfer(h, true, run)) {
      std::fprintf(stderr, "dictionary_bench: download %d did not finish\n", i + 1);
      return 1;
    }
    writes.push_back(run);
  }
  if (h.notifier.Count() != 0) {
    std::fprintf(stderr, "dictionary_bench: a failure box was shown\n");
    return 1;
  }

  std::printf(
      "Dictionary transfer of the 566 RS-485 entries (%d chunks of at most 31), worker thread\n"
      "and UDP link against quillon-devsim in a private network; %d runs per direction.\n\n",
      kChunks, kRuns);
  std::printf("%-9s %4s %8s %10s %8s %10s %9s %8s %9s %10s\n", "direction", "runs", "min ms",
              "median ms", "max ms", "ms/chunk", "floor ms", "med/floor", "requests", "datagrams");
  PrintRow("read", reads);
  PrintRow("download", writes);
  std::printf(
      "\nfloor = %d chunks x (2 x %.0f ms worker cycles: send, then see the answer\n"
      "                      + %.0f ms receive-thread pause before the reply datagram)\n"
      "      = %d x %.0f ms = %.0f ms  (chunk cadence; the measured window, marks set until\n"
      "        the last 100%% line, can end up to 10 ms sooner: no send cycle follows the last\n"
      "        answer, and the first send waits 0-10 ms for the worker's current cycle)\n"
      "requests: chunk requests sent in the median run (%d when none is repeated);\n"
      "datagrams: received by the program in that run, its own broadcast requests included.\n",
      kChunks, kCycleMs, kCycleMs, kChunks, 3 * kCycleMs, kFloorMs, kChunks);
  return 0;
}
