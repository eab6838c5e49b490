// Sockets in memory, for the transfer port on sockets: what each socket was bound to, what went
// out through which, and datagrams that a test has come in on a given interface. Nothing waits:
// a receive finds what is queued or nothing at once. One thread only.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "link/frame.h"
#include "link/socket_api.h"

namespace quillon::fakes {

class ScriptedSockets : public SocketApi {
 public:
  struct Socket {
    uint32_t address = 0;
    bool bound = false;
    bool closed = false;
  };
  struct Incoming {
    Bytes bytes;
    unsigned interfaceIndex;  // 0: the system does not tell
    uint32_t sender;
  };

  std::map<int, Socket> sockets;
  std::vector<int> sentThrough;  // the socket of each datagram sent
  std::deque<Incoming> incoming;

  // The addresses of the sockets bound to one, in the order they were opened.
  std::vector<uint32_t> BoundAddresses() const {
    std::vector<uint32_t> addresses;
    for (const auto& [socket, state] : sockets)
      if (state.bound && state.address != 0) addresses.push_back(state.address);
    return addresses;
  }

  int OpenUdp() override {
    sockets[next_] = {};
    return next_++;
  }
  int SetBroadcast(int) override { return 0; }
  int SetReuseAddress(int) override { return 0; }
  int SetReceiveBuffer(int, int) override { return 0; }
  int SetReceiveTimestamps(int) override { return 0; }
  int Bind(int socket, uint32_t address, uint16_t) override {
    sockets[socket].address = address;
    sockets[socket].bound = true;
    return 0;
  }
  long SendTo(int socket, const uint8_t*, size_t length, uint32_t, uint16_t) override {
    sentThrough.push_back(socket);
    return static_cast<long>(length);
  }
  long Receive(int socket, uint8_t* buffer, size_t capacity, int timeoutMs,
               std::chrono::system_clock::time_point& received) override {
    ReceiveDetails details;
    const long size = ReceiveDetailed(socket, buffer, capacity, timeoutMs, details);
    received = details.received;
    return size;
  }
  // Every datagram came in a second ago and waited in the socket since.
  long ReceiveDetailed(int, uint8_t* buffer, size_t capacity, int,
                       ReceiveDetails& details) override {
    if (incoming.empty()) return 0;
    const Incoming datagram = std::move(incoming.front());
    incoming.pop_front();
    std::copy_n(datagram.bytes.begin(), std::min(capacity, datagram.bytes.size()), buffer);
    details.received = std::chrono::system_clock::now() - std::chrono::seconds(1);
    details.sender = datagram.sender;
    details.interfaceIndex = datagram.interfaceIndex;
    return static_cast<long>(datagram.bytes.size());
  }
  void Close(int socket) override { sockets[socket].closed = true; }
  int LastError() override { return 0; }

 private:
  int next_ = 3;
};

}  // namespace quillon::fakes
