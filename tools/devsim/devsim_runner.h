// quillon-devsim's command line and its socket loop on UDP port 1901.
#pragma once

#include <string>
#include <vector>

#include "simulated_device.h"

namespace quillon::devsim {

struct DevsimOptions {
  std::string bindAddress;  // the device side's own address; replies leave from it
  std::vector<DeviceIdentity> devices;
  std::string dumpPath;  // empty: no dump
  std::string logPath;   // empty: stderr
  // The replies to one request (the search replies of many devices) go out evenly spread over
  // this many milliseconds instead of back to back; 0: back to back.
  int spreadMs = 0;
  FaultOptions faults;
};

// Parses argv (argv[0] is the program). With --help, returns true with `help` set and the help
// in `text`; on a bad command line returns false with the reason in `text`.
bool ParseDevsimCommandLine(int argc, const char* const* argv, DevsimOptions& options, bool& help,
                            std::string& text);

// Serves until SIGTERM or SIGINT; returns the process exit code.
int RunDevsim(const DevsimOptions& options);

}  // namespace quillon::devsim
