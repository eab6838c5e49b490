// What the rest of the program needs of the link: receiving datagrams on a thread of its own,
// refreshing the local endpoints, and broadcasting. The program uses the UDP link; tests put a
// recording link in its place.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "link/frame.h"

namespace quillon {

// When a datagram reached the PC: the kernel's receive time where the socket can tell it, so a
// datagram that waited in a queue keeps the moment it arrived. Wall-clock time, as the kernel
// stamps it.
using ReceiveTime = std::chrono::system_clock::time_point;

// One received datagram with its receive time; the bytes travel with it to the UI thread.
struct Datagram {
  Bytes bytes;
  ReceiveTime received;
};

class FrameLink {
 public:
  // Called on the receive thread with each datagram of 1 to 2048 bytes; the callee takes it
  // (the main window posts it to its own thread).
  using DatagramHandler = std::function<void(Datagram)>;

  virtual ~FrameLink() = default;
  // Link start-up: the receiving side and its thread. A second call does nothing.
  virtual void Start(DatagramHandler onDatagram) = 0;
  // Stops receiving: no call of the handler follows the return. Safe to call twice.
  virtual void Stop() = 0;
  // Brings the table of local endpoints in line with the PC's current addresses (UI thread).
  virtual void RefreshEndpoints() = 0;
  // Broadcasts one datagram to 255.255.255.255:1901 through every open endpoint (any thread).
  virtual void SendFrame(const uint8_t* bytes, uint16_t length) = 0;
};

}  // namespace quillon
