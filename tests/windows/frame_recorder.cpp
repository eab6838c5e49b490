// Records every datagram on UDP port 1901 in the private network of the Windows tests under Wine
// (scripts/wine-test.sh), so that the frames of a Windows program can be compared byte for byte
// with those of the Linux one: one line per datagram, the sender's address and the bytes in
// hexadecimal. Runs until SIGTERM or SIGINT.
//
//   quillon_frame_recorder FILE
#include <csignal>
#include <cstdio>

#include "link/broadcast_port.h"
#include "link/frame.h"
#include "link/socket_api.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnStop(int) { gStop = 1; }

}  // namespace

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc != 2) {
    std::fputs("usage: quillon_frame_recorder FILE\n", stderr);
    return 2;
  }
  std::signal(SIGTERM, OnStop);
  std::signal(SIGINT, OnStop);
  std::FILE* out = std::fopen(argv[1], "w");
  SocketApi& sockets = SystemSockets();
  const int socket = sockets.OpenUdp();
  if (out == nullptr || socket < 0 || sockets.SetReuseAddress(socket) < 0 ||
      sockets.Bind(socket, 0, kDevicePort) < 0) {
    std::fprintf(stderr, "quillon_frame_recorder: cannot listen on 1901\n");
    return 1;
  }
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
  uint8_t buffer[65536];
  while (!gStop) {
    ReceiveDetails details;
    const long size = sockets.ReceiveDetailed(socket, buffer, sizeof buffer, 100, details);
    if (size <= 0) continue;
    std::fprintf(out, "%s ", Ipv4Text(details.sender).c_str());
    for (long i = 0; i < size && i < static_cast<long>(sizeof buffer); ++i)
      std::fprintf(out, "%02X", buffer[i]);
    std::fputc('\n', out);
    std::fflush(out);
  }
  sockets.Close(socket);
  std::fclose(out);
  return 0;
}
