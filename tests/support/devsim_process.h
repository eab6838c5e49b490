// Starts quillon-devsim on the device side of the private network made by
// scripts/netns-run.sh, for end-to-end tests and benchmarks. It refuses to start anywhere else,
// so a test can never broadcast onto the machine's real network.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillon::devsim {

class DevsimProcess {
 public:
  // `args` are quillon-devsim's arguments (without the program name); pass
  // --bind $QUILLON_DEVICE_ADDR (see DeviceAddress()) and the devices.
  explicit DevsimProcess(std::vector<std::string> args);
  ~DevsimProcess();  // Stop()
  DevsimProcess(const DevsimProcess&) = delete;
  DevsimProcess& operator=(const DevsimProcess&) = delete;

  // Runs `nsenter --net=$QUILLON_DEVICE_NETNS -- $QUILLON_DEVSIM args...` and waits until the
  // simulator says it listens. False (with Error()) when the environment is missing, the start
  // fails or it is not ready within the timeout.
  bool Start(int timeoutMs = 5000);
  // SIGTERM, then waits for the end (SIGKILL after 3 s). Safe to call twice.
  void Stop();
  bool Running() const { return pid_ > 0; }
  const std::string& Error() const { return error_; }

  // The device side's address ($QUILLON_DEVICE_ADDR, 10.77.0.2 by default).
  static std::string DeviceAddress();
  // A fresh path under the temporary directory, for --dump and --log.
  static std::string TempPath(const std::string& stem);

 private:
  std::vector<std::string> args_;
  pid_t pid_ = -1;
  int readyFd_ = -1;
  std::string error_;
};

}  // namespace quillon::devsim
