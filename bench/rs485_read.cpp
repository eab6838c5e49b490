// The full RS-485 read of one device (its 566 entries) with quillon-cli's own transfers, timed;
// `make bench` runs the Linux and the Windows build of it (the latter under Wine) against the
// same simulator, in the private network of scripts/netns-run.sh.
//
//   rs485_read MAC RUNS     prints "median X ms (min-max Y-Z ms), N requests"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device/device_search.h"
#include "device/device_transfer.h"
#include "link/broadcast_port.h"
#include "params/dictionary.h"

int main(int argc, char** argv) {
  using namespace quillon;
  using Clock = std::chrono::steady_clock;
  const int runs = argc == 3 ? std::atoi(argv[2]) : 0;
  if (runs <= 0) {
    std::fputs("usage: rs485_read MAC RUNS\n", stderr);
    return 2;
  }
  BroadcastPort port(SystemSockets(), InterfaceAddresses);
  std::string error;
  std::vector<FoundDevice> found;
  if (port.Open(error) != BroadcastPort::Opening::Opened ||
      !SearchDevices(port, std::chrono::seconds(2), {argv[1]}, found) || found.empty()) {
    std::fprintf(stderr, "rs485_read: %s not found %s\n", argv[1], error.c_str());
    return 1;
  }
  std::vector<double> ms;
  int requests = 0;
  for (int i = 0; i < runs; ++i) {
    auto block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*block);
    BuildDictionaryIndex(block->modbus);
    DeviceTransfer transfer(port, found[0].record.mac, false);
    const Clock::time_point start = Clock::now();
    if (!transfer.ReadRs485(*block).Ok()) {
      std::fprintf(stderr, "rs485_read: read %d failed\n", i + 1);
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    requests = transfer.RequestsSent();
  }
  std::sort(ms.begin(), ms.end());
  std::printf("median %.2f ms (min-max %.2f-%.2f ms), %d requests\n", ms[ms.size() / 2], ms.front(),
              ms.back(), requests);
  return 0;
}
