// The few socket calls the link makes, behind an interface so that tests can inject failures
// and count sockets without touching the network.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quillon {

// What a receive can tell besides the bytes: when the datagram reached the PC, who sent it, and
// on which of the PC's interfaces it came in.
struct ReceiveDetails {
  std::chrono::system_clock::time_point received;
  uint32_t sender = 0;  // IPv4, host order
  // The receiving interface's index; 0 when the socket cannot tell (packet information not
  // asked for with SetPacketInfo).
  unsigned interfaceIndex = 0;
};

class SocketApi {
 public:
  virtual ~SocketApi() = default;
  virtual int OpenUdp() = 0;                                          // -1 on failure
  virtual int SetBroadcast(int socket) = 0;                           // SO_BROADCAST = 1; 0 or -1
  virtual int SetReuseAddress(int socket) = 0;                        // SO_REUSEADDR = 1; 0 or -1
  virtual int SetReceiveBuffer(int socket, int bytes) = 0;            // SO_RCVBUF; 0 or -1
  virtual int SetReceiveTimestamps(int socket) = 0;                   // SO_TIMESTAMP = 1; 0 or -1
  virtual int Bind(int socket, uint32_t address, uint16_t port) = 0;  // host order; 0 or -1
  // One datagram to address:port (host order); bytes sent or -1.
  virtual long SendTo(int socket, const uint8_t* bytes, size_t length, uint32_t address,
                      uint16_t port) = 0;
  // Waits up to timeoutMs for one datagram. Returns its full size (which may exceed `capacity`,
  // then only `capacity` bytes were copied), 0 for an empty datagram or none within the
  // timeout, -1 on error. `received` gets the moment the datagram reached the PC: the kernel's
  // stamp when the socket has SO_TIMESTAMP, otherwise the moment it was taken.
  virtual long Receive(int socket, uint8_t* buffer, size_t capacity, int timeoutMs,
                       std::chrono::system_clock::time_point& received) = 0;
  // Asks the socket to tell the receiving interface of each datagram (IP_PKTINFO); 0 or -1.
  virtual int SetPacketInfo(int socket) {
    (void)socket;
    return -1;
  }
  // Receive with everything the socket can tell about the datagram.
  virtual long ReceiveDetailed(int socket, uint8_t* buffer, size_t capacity, int timeoutMs,
                               ReceiveDetails& details) {
    details.sender = 0;
    details.interfaceIndex = 0;
    return Receive(socket, buffer, capacity, timeoutMs, details.received);
  }
  virtual void Close(int socket) = 0;
  virtual int LastError() = 0;  // errno of the last failed call
};

// The real sockets.
SocketApi& PosixSockets();

}  // namespace quillon
