// The main window's measurements for `make bench`, each taken in a fresh process that
// quillon_bench starts, offscreen, with the program's own assembly (CConfigApp on real sockets):
//
//   --start   from the start of the process, and from the start of the assembly, until the main
//             window is exposed
//   --bare    the same for a bare QApplication showing an empty widget: the toolkit's own share
//   --full    searches listing 10, 100 and 1000 simulated devices, the peak memory with 1000
//             devices listed, and the CPU that the receive thread and the dictionary worker use
//             over 10 idle seconds, beside two bare threads paced as they are
//   --burst   searches answered by 1000 devices within 50 ms and by 5000 within 1 s, with the
//             receive buffer that Linux's usual net.core.rmem_max of 212992 bytes grants
//
// Prints one "name value" line per measurement (bench_table.h). Only inside the private network
// of scripts/netns-run.sh: the program's link broadcasts. quillon_bench passes the moment it
// started this process in QUILLON_BENCH_SPAWNED_NS.
#include <dirent.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "link/udp_link.h"
#include "qt/app/config_app.h"
#include "qt/app/config_main_dlg.h"
#include "support/qt_control.h"
#include "support/recording_notifier.h"
#include "support/simulator_run.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

constexpr int kIdleSeconds = 10;

void Print(const std::string& name, double value) {
  std::fputs(MeasurementLine(name, value).c_str(), stdout);
  std::fflush(stdout);
}

double MsSince(long long ns) { return static_cast<double>(MonotonicNs() - ns) / 1e6; }

// Runs the event loop, as the program's would run, for `ms`.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs the event loop until `done` holds (looked at every millisecond) or `timeoutMs` passed.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  poll.start(1);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

bool Exposed(QWidget& widget) {
  return widget.windowHandle() != nullptr && widget.windowHandle()->isExposed();
}

// The kernel ids of this process's threads.
std::set<pid_t> Threads() {
  std::set<pid_t> ids;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ids.insert(static_cast<pid_t>(std::atoi(entry->d_name)));
    ::closedir(dir);
  }
  return ids;
}

// The CPU time of a thread of this process, by its kernel id, from the thread's CPU clock (the
// clock id that pthread_getcpuclockid gives: the id's complement shifted by three, with the
// per-thread and scheduler-time bits). Nanosecond resolution, unlike the ticks of /proc.
double ThreadCpuMs(pid_t id) {
  const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(id) << 3) | 6u);
  timespec used{};
  if (clock_gettime(clock, &used) != 0) return -1;
  return static_cast<double>(used.tv_sec) * 1e3 + static_cast<double>(used.tv_nsec) / 1e6;
}

double ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// VmHWM of this process: the most resident memory it has held, in kB.
double PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6);
  return -1;
}

// --start and --bare.
int MeasureStart(bool bare, long long spawned) {
  const long long assembly = MonotonicNs();
  if (bare) {
    QWidget widget;
    widget.resize(960, 720);
    widget.show();
    if (!RunUntil([&] { return Exposed(widget); }, 10000)) return 1;
    Print("exposed_after_process_start_ms", MsSince(spawned));
    Print("exposed_after_assembly_start_ms", MsSince(assembly));
    return 0;
  }
  CConfigApp program;
  program.Start();
  program.Window().show();
  if (!RunUntil([&] { return Exposed(program.Window()); }, 10000)) return 1;
  Print("exposed_after_process_start_ms", MsSince(spawned));
  Print("exposed_after_assembly_start_ms", MsSince(assembly));
  program.Stop();
  return 0;
}

// One search in the window until the `devices`th row is listed; -1 when it is not in time or
// more rows follow.
// "搜索" clicked until `devices` rows are listed, in ms; -1 when fewer were listed (`listed`
// gets how many).
double DiscoveryMs(CConfigMainDlg& window, int devices, int* listedRows = nullptr) {
  QTreeWidget& list = *fakes::ById<QTreeWidget>(window, IDC_DEVICE_LIST);
  long long listed = 0;
  QEventLoop loop;
  const auto inserted = QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, [&] {
    if (!listed && list.topLevelItemCount() >= devices) {
      listed = MonotonicNs();
      loop.quit();
    }
  });
  QTimer::singleShot(devices * 30 + 5000, &loop, &QEventLoop::quit);
  const long long clicked = MonotonicNs();
  fakes::ById<QPushButton>(window, IDC_SEARCH)
      ->click();  // empties the list, then the replies come as queued calls
  loop.exec();
  QObject::disconnect(inserted);
  RunFor(300);  // a stray reply would be listed now
  if (listedRows) *listedRows = list.topLevelItemCount();
  if (!listed || list.topLevelItemCount() != devices) {
    std::fprintf(stderr, "window_bench: %d of %d devices listed\n", list.topLevelItemCount(),
                 devices);
    return -1;
  }
  return static_cast<double>(listed - clicked) / 1e6;
}

int MeasureBurst() {
  DeviceParameterBlock block{};
  fakes::RecordingNotifier notifier;
  UdpLink link(SystemSockets(), notifier, InterfaceAddresses);
  link.SetReceiveBufferBytes(212992);
  CConfigApp program(block, link, notifier, InterfaceAddresses);
  program.Start();
  program.Window().show();
  if (!RunUntil([&] { return Exposed(program.Window()); }, 10000)) return 1;
  struct Burst {
    int devices, spreadMs;
  };
  for (const Burst burst : {Burst{1000, 50}, Burst{5000, 1000}}) {
    fakes::SimulatorRun sim(fakes::SimulatorRun::ManyDevices(burst.devices));
    if (!sim.Start({"--spread-ms", std::to_string(burst.spreadMs)})) {
      std::fprintf(stderr, "window_bench: simulator: %s\n", sim.Error().c_str());
      return 1;
    }
    int listed = 0;
    const double ms = DiscoveryMs(program.Window(), burst.devices, &listed);
    const std::string name = "burst_" + std::to_string(burst.devices);
    Print(name + "_listed", listed);
    if (ms >= 0) Print(name + "_ms", ms);
  }
  program.Stop();
  return 0;
}

// A bare thread paced as one of the program's background threads, doing nothing else: the
// worker sleeps 10 ms per cycle; the receive thread sleeps 10 ms, then waits up to 100 ms for a
// datagram that, while idle, never comes.
class PacedThread {
 public:
  explicit PacedThread(bool receivePacing)
      : thread_([this, receivePacing] {
          id_.store(::gettid());
          while (!stop_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (receivePacing) ::poll(nullptr, 0, 100);
          }
        }) {
    while (id_.load() == 0) std::this_thread::yield();
  }
  ~PacedThread() {
    stop_.store(true);
    thread_.join();
  }
  pid_t Id() const { return id_.load(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<pid_t> id_{0};
  std::thread thread_;
};

int MeasureFull() {
  CConfigApp program;
  const std::set<pid_t> before = Threads();
  program.Start();
  std::vector<pid_t> background;
  for (pid_t id : Threads())
    if (!before.count(id)) background.push_back(id);
  program.Window().show();
  if (!RunUntil([&] { return Exposed(program.Window()); }, 10000)) return 1;
  RunFor(200);
  Print("peak_resident_empty_kb", PeakResidentKb());

  struct Size {
    int devices, runs;
  };
  for (const Size size : {Size{10, 5}, Size{100, 5}, Size{1000, 3}}) {
    fakes::SimulatorRun sim(fakes::SimulatorRun::ManyDevices(size.devices));
    if (!sim.Start()) {
      std::fprintf(stderr, "window_bench: simulator: %s\n", sim.Error().c_str());
      return 1;
    }
    for (int run = 0; run < size.runs; ++run) {
      const double ms = DiscoveryMs(program.Window(), size.devices);
      if (ms < 0) return 1;
      Print("discovery_" + std::to_string(size.devices) + "_ms", ms);
    }
  }
  Print("peak_resident_kb", PeakResidentKb());
  Print("rows_listed",
        fakes::ById<QTreeWidget>(program.Window(), IDC_DEVICE_LIST)->topLevelItemCount());

  // Idle: the window shown with 1000 rows, no traffic.
  Print("background_threads", static_cast<double>(background.size()));
  if (background.size() != 2) {
    std::fprintf(stderr, "window_bench: %zu threads started with the link and the worker\n",
                 background.size());
    return 1;
  }
  PacedThread workerFloor(false), receiveFloor(true);
  auto cpu = [&](const std::vector<pid_t>& ids) {
    double sum = 0;
    for (pid_t id : ids) sum += ThreadCpuMs(id);
    return sum;
  };
  const std::vector<pid_t> floors = {workerFloor.Id(), receiveFloor.Id()};
  const double threads0 = cpu(background), floors0 = cpu(floors), process0 = ProcessCpuMs();
  const long long wall0 = MonotonicNs();
  RunFor(kIdleSeconds * 1000);
  const double threads1 = cpu(background), floors1 = cpu(floors), process1 = ProcessCpuMs();
  Print("idle_wall_ms", MsSince(wall0));
  Print("idle_background_cpu_ms", threads1 - threads0);
  Print("idle_floor_cpu_ms", floors1 - floors0);
  Print("idle_process_cpu_ms", (process1 - process0) - (floors1 - floors0));
  program.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* spawned = std::getenv("QUILLON_BENCH_SPAWNED_NS");
  const long long start = spawned ? std::atoll(spawned) : MonotonicNs();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "--start" && mode != "--bare" && mode != "--full" && mode != "--burst") {
    std::fprintf(stderr, "usage: quillon_window_bench --start|--bare|--full|--burst\n");
    return 2;
  }
  if (!std::getenv("QUILLON_DEVICE_NETNS")) {
    std::fprintf(stderr, "window_bench: run it under scripts/netns-run.sh: it broadcasts\n");
    return 2;
  }
  QApplication application(argc, argv);
  if (mode == "--full") return MeasureFull();
  if (mode == "--burst") return MeasureBurst();
  return MeasureStart(mode == "--bare", start);
}
