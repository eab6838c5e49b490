// Sockets in memory, for the transfer port on sockets: the address each socket was bound to,
// the socket of each datagram sent, and datagrams that a test has come in on a given interface,
// each a second ago. Nothing waits: a receive finds what is queued or nothing at once.
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
  struct Incoming {
    Bytes bytes;
    unsigned interfaceIndex;  // 0: the system does not tell
    uint32_t sender;
  };
  std::map<int, uint32_t> bound;  // socket: address
  std::vector<int> sentThrough;
  std::deque<Incoming> incoming;
  int opened = 0;

  int OpenUdp() override { return ++opened; }
  int SetBroadcast(int) override { return 0; }
  int SetReuseAddress(int) override { return 0; }
  int SetReceiveBuffer(int, int) override { return 0; }
  int SetReceiveTimestamps(int) override { return 0; }
  int Bind(int socket, uint32_t address, uint16_t) override { return (bound[socket] = address, 0); }
  long SendTo(int socket, const uint8_t*, size_t length, uint32_t, uint16_t) override {
    sentThrough.push_back(socket);
    return static_cast<long>(length);
  }
  long Receive(int, uint8_t*, size_t, int, std::chrono::system_clock::time_point&) override {
    return -1;  // the port asks for the details
  }
  long ReceiveDetailed(int, uint8_t* buffer, size_t capacity, int,
                       ReceiveDetails& details) override {
    if (incoming.empty()) return 0;
    const Incoming datagram = std::move(incoming.front());
    incoming.pop_front();
    std::copy_n(datagram.bytes.begin(), std::min(capacity, datagram.bytes.size()), buffer);
    details = {std::chrono::system_clock::now() - std::chrono::seconds(1), datagram.sender,
               datagram.interfaceIndex};
    return static_cast<long>(datagram.bytes.size());
  }
  void Close(int) override {}
  int LastError() override { return 0; }
};

}  // namespace quillon::fakes
