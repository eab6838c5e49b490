// The network as a transfer that waits for its answers sees it: broadcast a request, then take
// the datagrams that come in until a deadline. Nothing runs on a thread of its own and nothing
// paces the receiving, so an answer is taken the moment it is there. The command-line tool talks
// to devices through the broadcast port; tests put a simulated network with a clock of its own in
// its place, so that a 10 s timeout costs no real time.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "link/frame.h"

namespace quillon {

// One received datagram: its bytes, when it reached the PC, and the PC's address it came in
// through.
struct PortDatagram {
  Bytes bytes;
  std::chrono::steady_clock::time_point received;
  uint32_t localAddress = 0;  // host order; 0 when unknown
};

class TransferPort {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~TransferPort() = default;
  // The port's clock: the real steady clock, or a simulated one.
  virtual Clock::time_point Now() = 0;
  // Broadcasts one frame to 255.255.255.255:1901 through every local address. False when it
  // could not leave through any of them.
  virtual bool Send(std::span<const uint8_t> frame) = 0;
  // The next datagram of 1 to 2048 bytes, waiting for it until `deadline` at most; nullopt once
  // the deadline has passed without one. A datagram that had reached the PC before the deadline
  // is still handed over when it is taken a little later.
  virtual std::optional<PortDatagram> Receive(Clock::time_point deadline) = 0;
  // Whether the port's clock moves only while somebody waits on it (a simulated one), so that
  // transfers side by side must all be waiting before any of them lets time pass.
  virtual bool ClockMovesByWaiting() const { return false; }
};

}  // namespace quillon
