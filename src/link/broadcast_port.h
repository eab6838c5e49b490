// The transfer port on real sockets: one socket bound to 0.0.0.0:1901 that receives, and one
// socket per local IPv4 address that broadcasts, as the window's link has them, but without a
// receive thread: a transfer takes each datagram itself as soon as it arrives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/socket_api.h"
#include "link/transfer_port.h"
#include "link/udp_link.h"

namespace quillon {

class BroadcastPort : public TransferPort {
 public:
  BroadcastPort(SocketApi& sockets, AddressSource addresses);
  ~BroadcastPort() override;
  BroadcastPort(const BroadcastPort&) = delete;
  BroadcastPort& operator=(const BroadcastPort&) = delete;

  // Opens the receive socket and one sending socket per local address. False with a message
  // when the receive socket cannot be had or no address can send.
  bool Open(std::string& error);

  Clock::time_point Now() override { return Clock::now(); }
  bool Send(std::span<const uint8_t> frame) override;
  std::optional<PortDatagram> Receive(Clock::time_point deadline) override;

  // The local addresses that send (host order), in the order the system lists them.
  std::vector<uint32_t> Addresses() const;

 private:
  struct Endpoint {
    uint32_t address;
    int socket;
  };
  // The PC's address that a datagram from `sender` came in through on interface `index`.
  uint32_t LocalAddress(unsigned index, uint32_t sender) const;

  SocketApi& sockets_;
  AddressSource addresses_;
  int receiveSocket_ = -1;
  std::vector<Endpoint> endpoints_;
  std::vector<InterfaceAddress> interfaces_;
};

// "10.77.0.1" for 0x0A4D0001.
std::string Ipv4Text(uint32_t address);

}  // namespace quillon
