// The few socket calls the link makes, behind an interface so that tests can inject failures
// and count sockets without touching the network. This is where the system's sockets (POSIX or
// Winsock) and its list of local addresses are reached; nothing else of the program sees them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
  virtual int OpenUdp() = 0;                                // -1 on failure
  virtual int SetBroadcast(int socket) = 0;                 // SO_BROADCAST = 1; 0 or -1
  virtual int SetReuseAddress(int socket) = 0;              // SO_REUSEADDR = 1; 0 or -1
  virtual int SetReceiveBuffer(int socket, int bytes) = 0;  // SO_RCVBUF; 0 or -1
  // Each datagram keeps the moment it reached the PC; 0 or -1. Linux: SO_TIMESTAMP, the
  // kernel's stamp. Windows has no such stamp for UDP: a thread of the socket layer takes every
  // datagram the moment it is there and stamps it (see socket_api_windows.cpp).
  virtual int SetReceiveTimestamps(int socket) = 0;
  virtual int Bind(int socket, uint32_t address, uint16_t port) = 0;  // host order; 0 or -1
  // One datagram to address:port (host order); bytes sent or -1.
  virtual long SendTo(int socket, const uint8_t* bytes, size_t length, uint32_t address,
                      uint16_t port) = 0;
  // Waits up to timeoutMs for one datagram. Returns its full size (which may exceed `capacity`,
  // then only `capacity` bytes were copied), 0 for an empty datagram or none within the
  // timeout, -1 on error. `received` gets the moment the datagram reached the PC: its stamp when
  // the socket has SetReceiveTimestamps, otherwise the moment it was taken.
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
  virtual int LastError() = 0;  // the system's code of the last failed call (errno, WSA error)
};

// The real sockets of the system.
SocketApi& SystemSockets();

// The text of a code from LastError.
std::string SocketErrorText(int error);

// An IPv4 address of one of the PC's interfaces.
struct InterfaceAddress {
  unsigned index = 0;    // the interface's index, as ReceiveDetails tells it
  uint32_t address = 0;  // host order
  uint32_t mask = 0;     // host order
  bool up = false;
  bool loopback = false;
};

// Every IPv4 address of the PC's interfaces, in the order the system lists them.
std::vector<InterfaceAddress> LocalInterfaceAddresses();

}  // namespace quillon
