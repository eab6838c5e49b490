// One quillon-devsim on the device side of the private network, for end-to-end tests and
// benchmarks: its devices and fault options, its dump and log files (removed again), starting
// and stopping it, and reading what it logged and what its devices hold.
//
// Only inside the private network of scripts/netns-run.sh: the simulator broadcasts.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devsim_state.h"
#include "support/devsim_process.h"

namespace quillon::fakes {

class SimulatorRun {
 public:
  // The standard devices: current firmware, legacy line texts, first generation.
  static constexpr const char* kCurrentMac = "00E04C3A1B01";
  static constexpr const char* kLegacyMac = "00E04C3A1B02";
  static constexpr const char* kFirstGenMac = "00E04C3A1B03";
  static constexpr const char* kCurrentDevice =
      "ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=1号机房 东门";
  static constexpr const char* kLegacyDevice =
      "ip=192.168.1.65,mac=00E04C3A1B02,version=20.03,name=2号泵站";
  static constexpr const char* kFirstGenDevice =
      "ip=192.168.1.66,mac=00E04C3A1B03,version=01.09,name=老设备";
  static std::vector<std::string> ThreeDevices() {
    return {kCurrentDevice, kLegacyDevice, kFirstGenDevice};
  }
  // `count` devices of current firmware, each with a MAC (00E04C000000 on), address and name of
  // its own: a large network for the benchmarks.
  static std::vector<std::string> ManyDevices(int count);

  // `devices`: quillon-devsim --device descriptions.
  explicit SimulatorRun(std::vector<std::string> devices = {kCurrentDevice});
  ~SimulatorRun();  // stops the simulator and removes its files
  SimulatorRun(const SimulatorRun&) = delete;
  SimulatorRun& operator=(const SimulatorRun&) = delete;

  // Starts it with the given fault options; false with Error() when it does not come up.
  bool Start(const std::vector<std::string>& faults = {});
  void Stop();
  std::string Error() const;

  // A device's parameters as last dumped; nullopt when the dump lacks it.
  std::optional<DeviceState> State(const std::string& mac = kCurrentMac) const;
  // The request log, one line per request ("read 00E04C3A1B01", "dict-write ...").
  std::vector<std::string> LogLines() const;
  int CountLogLines(const std::string& prefix) const;

  const std::string dumpPath;
  const std::string logPath;
  // The device side's address the simulator sends from; the private network's by default.
  std::string bindAddress;

 private:
  std::vector<std::string> devices_;
  std::unique_ptr<devsim::DevsimProcess> process_;
};

}  // namespace quillon::fakes
