// `make bench`: Quillon's figures in one table, each beside its floor (bench_table.h). Runs only
// inside the private network of scripts/netns-run.sh: the program and the simulator broadcast.
//
//   cold start      quillon_window_bench --start, five fresh processes, against --bare
//   discovery       quillon_window_bench --full: searches in the real window, 10/100/1000 devices
//   RS-485          the session with its real worker and UDP link (SessionHarness), nine full
//                   transfers each way
//   peak memory     VmHWM of the --full process with 1000 devices listed
//   idle CPU        the receive thread and the dictionary worker over 10 idle seconds
//   quillon-cli     its RS-485 read, a batch of 50 devices, their backup and a set of one
//                   RS-485 field on them (cli_figures.cpp)
//
// A new figure is one more Table::Add here, measured in this process or, like the window's, in a
// process of its own that prints "name value" lines.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "support/session_harness.h"
#include "support/simulator_run.h"

extern char** environ;

using namespace quillon;
using namespace quillon::bench;
using namespace quillon::fakes;
using namespace std::chrono_literals;

namespace {

constexpr int kStartRuns = 5;
constexpr int kTransferRuns = 9;
constexpr int kChunks = 19;        // 566 entries, at most 31 per request
constexpr double kCycleMs = 10.0;  // the worker's and the receive thread's pacing
constexpr int kBurstDevices = 1000;

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// The directory of this program: quillon_window_bench lies beside it.
std::string OwnDirectory() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = 0;
  std::string text(path);
  return text.substr(0, text.rfind('/'));
}

// Starts `program` with `args` and returns what it printed; false when it fails or is not done
// within `timeout`. The moment of the start goes to the child in QUILLON_BENCH_SPAWNED_NS. No
// shell in between, so that the child's start-up is the program's own.
bool RunMeasuring(const std::string& program, const std::vector<std::string>& args,
                  std::chrono::seconds timeout, std::string& output) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  ::setenv("QUILLON_BENCH_SPAWNED_NS", std::to_string(MonotonicNs()).c_str(), 1);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    std::fprintf(stderr, "quillon_bench: cannot start %s: %s\n", program.c_str(),
                 std::strerror(spawned));
    return false;
  }
  output.clear();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool timedOut = false;
  for (;;) {
    pollfd pfd{pipeFds[0], POLLIN, 0};
    if (std::chrono::steady_clock::now() > deadline) {
      timedOut = true;
      break;
    }
    if (::poll(&pfd, 1, 200) <= 0) continue;
    char chunk[4096];
    const ssize_t n = ::read(pipeFds[0], chunk, sizeof chunk);
    if (n <= 0) break;
    output.append(chunk, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "quillon_bench: %s %s failed%s\n", program.c_str(),
                 args.empty() ? "" : args[0].c_str(), timedOut ? " (timed out)" : "");
    return false;
  }
  return true;
}

// The window's figures, each from fresh processes of quillon_window_bench.
bool WindowFigures(Table& table) {
  const std::string program = OwnDirectory() + "/quillon_window_bench";
  if (::access(program.c_str(), X_OK) != 0) {
    table.Note(
        "the window's figures were not measured: quillon_window_bench is built only "
        "with the Qt program (QUILLON_BUILD_GUI)");
    return true;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (::access("/usr/share/fonts/truetype/wqy", F_OK) == 0)
    ::setenv("QT_QPA_FONTDIR", "/usr/share/fonts/truetype/wqy", 0);

  Measurements start, bare, full;
  std::string output;
  for (int i = 0; i < kStartRuns; ++i) {
    if (!RunMeasuring(program, {"--start"}, 30s, output)) return false;
    start.Parse(output);
    if (!RunMeasuring(program, {"--bare"}, 30s, output)) return false;
    bare.Parse(output);
  }
  if (!RunMeasuring(program, {"--full"}, 180s, output)) return false;
  full.Parse(output);
  Measurements burst;
  if (!RunMeasuring(program, {"--burst"}, 120s, output)) return false;
  burst.Parse(output);

  table.Add({"cold start: process start → main window exposed",
             start.Median("exposed_after_process_start_ms"),
             bare.Median("exposed_after_process_start_ms"), "ms",
             Format("real CConfigApp offscreen in a fresh process (spawned until the window's "
                    "expose), median of %d; floor: a bare QApplication showing an empty widget",
                    kStartRuns)});
  table.Add({"cold start: assembly → main window exposed",
             start.Median("exposed_after_assembly_start_ms"),
             bare.Median("exposed_after_assembly_start_ms"), "ms",
             "from after the QApplication to the expose: link, session, worker, window; floor: "
             "the empty widget"});
  for (int devices : {10, 100, 1000}) {
    const std::string name = "discovery_" + std::to_string(devices) + "_ms";
    table.Add({Format("discovery, %d devices", devices), full.Median(name), kCycleMs, "ms",
               Format("\"搜索\" clicked in the real window until row %d is listed; median of %zu "
                      "(%.0f–%.0f ms); floor: the receive thread's 10 ms pause",
                      devices, full.Count(name), full.Min(name), full.Max(name))});
  }
  for (const auto& [devices, spreadMs] : {std::pair{1000, 50}, std::pair{5000, 1000}}) {
    const std::string name = "burst_" + std::to_string(devices);
    table.Add({Format("burst, %d devices answering within %d ms", devices, spreadMs),
               burst.Count(name + "_ms") ? burst.Median(name + "_ms") : -1,
               static_cast<double>(spreadMs), "ms",
               Format("\"搜索\" clicked until the last row is listed, with the receive buffer of "
                      "Linux's usual net.core.rmem_max (212992 bytes): %.0f of %d devices listed; "
                      "floor: the replies' own spread",
                      burst.Median(name + "_listed"), devices)});
  }
  const double emptyMb = full.Median("peak_resident_empty_kb") / 1024;
  table.Add({"peak memory, 1000 devices listed", full.Median("peak_resident_kb") / 1024, emptyMb,
             "MB",
             "VmHWM of the --full process after the searches (the list holds 1000 rows); floor: "
             "its VmHWM once the window was shown with an empty list"});
  const double idleMs = full.Median("idle_wall_ms");
  table.Add({"idle CPU of the receive thread and the worker",
             100 * full.Median("idle_background_cpu_ms") / idleMs,
             100 * full.Median("idle_floor_cpu_ms") / idleMs, "%",
             Format("their thread CPU clocks over %.1f s with the window shown and 1000 rows; "
                    "floor: two bare threads paced the same (10 ms sleeps; 10 ms + 100 ms "
                    "receive wait); the whole process: %.2f %%",
                    idleMs / 1000, 100 * full.Median("idle_process_cpu_ms") / idleMs)});
  return true;
}

// One full transfer of the 566 RS-485 entries; false when it did not finish within 20 s.
bool Transfer(SessionHarness& h, bool write, double& ms, int& requests) {
  h.session.ClearLog();
  const std::string done = write ? "正在下载字典,已完成100%\r\n" : "正在读取字典,已完成100%\r\n";
  const auto start = std::chrono::steady_clock::now();
  h.MarkAll(write);
  const bool finished = h.Pump(
      [&] { return (write ? h.PendingWrites() : h.PendingReads()) == 0 && h.LogEndsWith(done); },
      20s);
  ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  requests = h.CountInLog(write ? "正在下载字典... \r\n" : "正在读取字典... \r\n");
  return finished;
}

// Full RS-485 read and download through the session's real worker thread and UDP link.
//
// Each of the 19 chunks takes at least two worker cycles (the worker sleeps 10 ms before each):
// one sends it, the next one at the earliest sees its answer, and the cycle after that sends the
// next chunk. The receive thread's 10 ms pause before the reply (its first datagram is the
// program's own broadcast request, come back) runs on its own thread beside the worker's cycle:
//   floor = 19 chunks x 2 worker cycles x 10 ms = 380 ms
// In practice the reply, held back by that pause, reaches the session a fraction of a
// millisecond after the worker's next look, so most chunks take a third cycle (570 ms in all);
// when the phases fall the other way a transfer takes less, and runs of 435 ms have been seen,
// so 570 ms is no floor.
bool Rs485Figures(Table& table) {
  SimulatorRun sim;
  if (!sim.Start()) {
    std::fprintf(stderr, "quillon_bench: simulator: %s\n", sim.Error().c_str());
    return false;
  }
  SessionHarness h;
  h.Start();
  // Select the device as the user would, and let the camera text read finish first.
  if (!h.SearchAndSelect() ||
      !h.Pump([&] { return h.LogContains("摄像头4字典读取成功...\r\n"); }, 5s)) {
    std::fprintf(stderr, "quillon_bench: device not read:\n%s", h.session.LogText().c_str());
    return false;
  }
  const double floor = kChunks * 2 * kCycleMs;
  for (bool write : {false, true}) {
    Measurements runs;
    for (int i = 0; i < kTransferRuns; ++i) {
      double ms;
      int requests;
      if (!Transfer(h, write, ms, requests) || requests != kChunks) {
        std::fprintf(stderr, "quillon_bench: RS-485 %s %d: %d requests, unfinished or repeated\n",
                     write ? "download" : "read", i + 1, requests);
        return false;
      }
      runs.Add("ms", ms);
    }
    table.Add({write ? "RS-485 download, 566 entries" : "RS-485 read, 566 entries",
               runs.Median("ms"), floor, "ms",
               Format("real worker and UDP link against the simulator, marks set until the last "
                      "\"100%%\"; median of %d (%.0f–%.0f ms); floor: 19 chunks × 2 worker "
                      "cycles × 10 ms (the receive pause runs beside them; a chunk mostly takes a "
                      "third cycle, 570 ms in all)",
                      kTransferRuns, runs.Min("ms"), runs.Max("ms"))});
  }
  if (h.notifier.Count() != 0) {
    std::fprintf(stderr, "quillon_bench: a failure box was shown\n");
    return false;
  }
  return true;
}

// The "RcvbufErrors" counter of UDP in this network namespace: datagrams dropped because a
// receive buffer was full.
long UdpReceiveBufferErrors() {
  std::ifstream snmp("/proc/net/snmp");
  std::vector<std::string> names;
  for (std::string line; std::getline(snmp, line);) {
    if (line.rfind("Udp: ", 0) != 0) continue;
    std::istringstream words(line.substr(5));
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (names.empty()) {
      names = fields;
      continue;
    }
    for (size_t i = 0; i < names.size() && i < fields.size(); ++i)
      if (names[i] == "RcvbufErrors") return std::atol(fields[i].c_str());
  }
  return -1;
}

int BoundSocket(uint32_t address, int receiveBuffer) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  if (receiveBuffer) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(kDevicePort);
  sa.sin_addr.s_addr = htonl(address);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Counts the replies queued on `fd`; ends after 300 ms without one. `firstMs` and `lastMs`, when
// given, take the arrival of the first and the last after `since`.
int DrainReplies(int fd, long long since = 0, double* firstMs = nullptr, double* lastMs = nullptr) {
  int replies = 0;
  uint8_t datagram[4096];
  for (;;) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, 300) <= 0) break;
    const ssize_t n = ::recv(fd, datagram, sizeof datagram, 0);
    if (n <= 0 || datagram[0] != 0x55) continue;
    const double at = static_cast<double>(MonotonicNs() - since) / 1e6;
    if (replies++ == 0 && firstMs) *firstMs = at;
    if (lastMs) *lastMs = at;
  }
  return replies;
}

int GrantedReceiveBuffer(int fd) {
  int granted = 0;
  socklen_t size = sizeof granted;
  ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &size);
  return granted;
}

// What the many-device figures rest on: the receive buffer the program gets, and whether the
// simulator's burst of 1000 search replies comes quickly and fits into it whole while nobody
// takes any (the program takes one per 10 ms); and the same for the buffer the program would get
// where net.core.rmem_max has its usual default of 212992 bytes.
void NetworkNotes(Table& table) {
  const int asked = 1 << 20;  // what the program's link asks for
  const int usualMax = 212992;
  const int probe = BoundSocket(0, asked);
  const int capped = BoundSocket(0, usualMax);
  const int sender = BoundSocket(0x0A4D0001, 0);  // 10.77.0.1, the PC side
  std::string rmemMax = "not readable";
  if (std::ifstream file("/proc/sys/net/core/rmem_max"); file) std::getline(file, rmemMax);
  SimulatorRun sim(SimulatorRun::ManyDevices(kBurstDevices));
  if (probe < 0 || capped < 0 || sender < 0 || !sim.Start()) {
    table.Note("network checks not run: " +
               (probe < 0 || capped < 0 || sender < 0 ? "no socket" : sim.Error()));
    for (int fd : {probe, capped, sender})
      if (fd >= 0) ::close(fd);
    return;
  }
  table.Note(
      Format("receive buffer: the link asks for SO_RCVBUF %d bytes and gets %d (the kernel "
             "doubles it for its bookkeeping); net.core.rmem_max in the private network: %s",
             asked, GrantedReceiveBuffer(probe), rmemMax.c_str()));

  const uint8_t search[] = {0xAA, 0x00, 0x01, 0x02, 0x02};
  sockaddr_in broadcast{};
  broadcast.sin_family = AF_INET;
  broadcast.sin_port = htons(kDevicePort);
  broadcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  auto send = [&] {
    ::sendto(sender, search, sizeof search, 0, reinterpret_cast<const sockaddr*>(&broadcast),
             sizeof broadcast);
  };
  double firstMs = 0, lastMs = 0;
  const long long sent = MonotonicNs();
  send();
  const int taken = DrainReplies(probe, sent, &firstMs, &lastMs);
  DrainReplies(capped);
  send();
  std::this_thread::sleep_for(1s);  // nobody takes any meanwhile
  const int queued = DrainReplies(probe);
  const int queuedCapped = DrainReplies(capped);
  table.Note(
      Format("burst: the simulator answers a search for %d devices with replies arriving "
             "%.1f to %.1f ms after the request (%d taken as they came); left unread for "
             "1 s, %d of %d waited whole in the receive buffer",
             kBurstDevices, firstMs, lastMs, taken, queued, kBurstDevices));
  table.Note(
      Format("with net.core.rmem_max at its usual %d, the link would get %d bytes, and "
             "only %d of the %d replies would wait whole for 1 s; the receive thread takes "
             "every waiting reply each time it wakes, so none waits that long (the burst rows)",
             usualMax, GrantedReceiveBuffer(capped), queuedCapped, kBurstDevices));
  for (int fd : {probe, capped, sender}) ::close(fd);
}

}  // namespace

namespace quillon {
bool CliFigures(bench::Table& table);  // cli_figures.cpp
}  // namespace quillon

int main() {
  if (!std::getenv("QUILLON_DEVICE_NETNS")) {
    std::fprintf(stderr,
                 "quillon_bench: run it under scripts/netns-run.sh (make bench): it broadcasts\n");
    return 2;
  }
  // A runtime directory for the window's processes, as a desktop session would give them, and
  // gone again at the end.
  char runtime[] = "/tmp/quillon-bench-XXXXXX";
  const bool ownRuntime = !std::getenv("XDG_RUNTIME_DIR") && ::mkdtemp(runtime) != nullptr;
  if (ownRuntime) ::setenv("XDG_RUNTIME_DIR", runtime, 1);
  struct RemoveRuntime {
    const char* path;
    ~RemoveRuntime() {
      if (path) ::rmdir(path);
    }
  } removeRuntime{ownRuntime ? runtime : nullptr};

  const long dropsBefore = UdpReceiveBufferErrors();
  Table table;
  // QUILLON_BENCH_ONLY=cli measures quillon-cli's figures alone, as when they are worked on.
  const char* only = std::getenv("QUILLON_BENCH_ONLY");
  const bool all = !only || std::string(only) != "cli";
  // The window's processes first, while this one has no threads and no sockets.
  if (all && !WindowFigures(table)) return 1;
  if (all && !Rs485Figures(table)) return 1;
  // A batch whose devices did not all succeed still shows its figures, then fails.
  const bool cliDone = CliFigures(table);
  const long dropsAfter = UdpReceiveBufferErrors();
  table.Note(
      Format("datagrams dropped for a full receive buffer while the figures above were "
             "measured: %ld (UDP RcvbufErrors of the private network)",
             dropsAfter - dropsBefore));
  NetworkNotes(table);  // drops datagrams on purpose: after the count
  table.Print();
  return cliDone ? 0 : 1;
}
