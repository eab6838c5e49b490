#include "support/simulator_run.h"

#include <cstdio>
#include <fstream>

namespace quillon::fakes {

std::vector<std::string> SimulatorRun::ManyDevices(int count) {
  std::vector<std::string> devices;
  for (int i = 0; i < count; ++i) {
    char description[96];
    std::snprintf(description, sizeof description,
                  "ip=10.1.%d.%d,mac=00E04C%06X,version=32.05,name=机房%d号", i / 250, i % 250 + 1,
                  static_cast<unsigned>(i), i + 1);
    devices.push_back(description);
  }
  return devices;
}

SimulatorRun::SimulatorRun(std::vector<std::string> devices)
    : dumpPath(devsim::DevsimProcess::TempPath("quillon-sim-dump")),
      logPath(devsim::DevsimProcess::TempPath("quillon-sim-log")),
      bindAddress(devsim::DevsimProcess::DeviceAddress()),
      devices_(std::move(devices)) {}

SimulatorRun::~SimulatorRun() {
  Stop();
  std::remove(dumpPath.c_str());
  std::remove((dumpPath + ".tmp").c_str());
  std::remove(logPath.c_str());
}

bool SimulatorRun::Start(const std::vector<std::string>& faults) {
  std::vector<std::string> args{"--bind", bindAddress, "--dump", dumpPath, "--log", logPath};
  for (const std::string& device : devices_) {
    args.push_back("--device");
    args.push_back(device);
  }
  args.insert(args.end(), faults.begin(), faults.end());
  process_ = std::make_unique<devsim::DevsimProcess>(std::move(args));
  return process_->Start();
}

void SimulatorRun::Stop() {
  if (process_) process_->Stop();
}

std::string SimulatorRun::Error() const { return process_ ? process_->Error() : "not started"; }

std::optional<DeviceState> SimulatorRun::State(const std::string& mac) const {
  auto all = devsim::LoadDevsimDump(dumpPath);
  auto it = all.find(mac);
  if (it == all.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> SimulatorRun::LogLines() const {
  std::vector<std::string> lines;
  std::ifstream in(logPath);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int SimulatorRun::CountLogLines(const std::string& prefix) const {
  int n = 0;
  for (const std::string& line : LogLines()) n += line.rfind(prefix, 0) == 0;
  return n;
}

}  // namespace quillon::fakes
