// The system's own sockets (POSIX, or Winsock under Wine), on the loopback address only.
#include "link/socket_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace quillon;

namespace {

constexpr uint32_t kLoopback = 0x7F000001;

// A socket bound to the first free loopback port from 40000 on; 0 when none was.
uint16_t BindFreePort(SocketApi& sockets, int socket) {
  for (uint16_t port = 40000; port < 40200; ++port)
    if (sockets.Bind(socket, kLoopback, port) == 0) return port;
  return 0;
}

}  // namespace

// The rule that a search reply from before the click is not listed rests on this: a datagram
// that waits in the socket keeps the moment it came in, however late it is taken (the kernel's
// SO_TIMESTAMP on Linux, the stamping thread of the socket layer on Windows).
TEST(SystemSockets, AWaitingDatagramKeepsTheMomentItCameIn) {
  SocketApi& sockets = SystemSockets();
  const int receiver = sockets.OpenUdp();
  const int sender = sockets.OpenUdp();
  ASSERT_GE(receiver, 0);
  ASSERT_GE(sender, 0);
  const uint16_t port = BindFreePort(sockets, receiver);
  ASSERT_NE(port, 0);
  ASSERT_EQ(sockets.SetReceiveTimestamps(receiver), 0);
  uint8_t buffer[16] = {};
  ReceiveDetails details;
  // Linux turns its receive stamps on a moment after the first socket of the system asks for
  // them (until then a datagram is stamped when it is taken): probes, each taken 20 ms after it
  // was sent, show when they are on.
  bool stamping = false;
  for (int probe = 0; probe < 100 && !stamping; ++probe) {
    ASSERT_EQ(sockets.SendTo(sender, buffer, 1, kLoopback, port), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto taken = std::chrono::system_clock::now();
    ASSERT_EQ(sockets.ReceiveDetailed(receiver, buffer, sizeof buffer, 5000, details), 1);
    stamping = details.received < taken - std::chrono::milliseconds(10);
  }
  ASSERT_TRUE(stamping);

  const auto sent = std::chrono::system_clock::now();
  const uint8_t bytes[] = {0x55, 0x00, 0x01, 0x02};
  ASSERT_EQ(sockets.SendTo(sender, bytes, sizeof bytes, kLoopback, port), 4);
  // The datagram waits while the "click" comes; a loopback datagram is there at once, and the
  // stamping thread takes it within its 20 ms wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto click = std::chrono::system_clock::now();

  ASSERT_EQ(sockets.ReceiveDetailed(receiver, buffer, sizeof buffer, 5000, details), 4);
  EXPECT_EQ(buffer[0], 0x55);
  EXPECT_EQ(buffer[3], 0x02);
  EXPECT_EQ(details.sender, kLoopback);
  EXPECT_GE(details.received, sent - std::chrono::milliseconds(100));  // clocks of one PC
  EXPECT_LT(details.received, click);
  // Nothing else is waiting: the next receive ends empty at its timeout.
  EXPECT_EQ(sockets.ReceiveDetailed(receiver, buffer, sizeof buffer, 50, details), 0);
  sockets.Close(sender);
  sockets.Close(receiver);
}
