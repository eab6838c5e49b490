// The transfer port on real sockets: one socket bound to 0.0.0.0:1901 that receives, and one
// socket per local IPv4 address that broadcasts, as the window's link has them, but without a
// receive thread: a transfer takes each datagram itself as soon as it arrives. Or, through one
// network card only: one sending socket on that card's address, and only what comes in on that
// card is taken.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/socket_api.h"
#include "link/transfer_port.h"
#include "link/udp_link.h"
#include "text/ipv4_text.h"

namespace quillon {

// Every IPv4 address of the PC's interfaces, as LocalInterfaceAddresses lists them.
using InterfaceSource = std::function<std::vector<InterfaceAddress>()>;

class BroadcastPort : public TransferPort {
 public:
  BroadcastPort(SocketApi& sockets, AddressSource addresses,
                InterfaceSource interfaces = LocalInterfaceAddresses);
  ~BroadcastPort() override;
  BroadcastPort(const BroadcastPort&) = delete;
  BroadcastPort& operator=(const BroadcastPort&) = delete;

  enum class Opening {
    Opened,
    Failed,    // no receive socket, or no address could send
    NotLocal,  // `via` is not one of the PC's addresses (the error lists them)
  };
  // Opens the receive socket and one sending socket per local address, or only the one of
  // `via`. The error says why it did not open.
  Opening Open(std::string& error, std::optional<uint32_t> via = std::nullopt);

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
  InterfaceSource interfaceSource_;
  int receiveSocket_ = -1;
  std::vector<Endpoint> endpoints_;
  std::vector<InterfaceAddress> interfaces_;
  std::optional<uint32_t> via_;
  std::optional<PortDatagram> held_;  // taken after the deadline of the wait that took it
  unsigned viaIndex_ = 0;             // the interface of via_; 0 when the system does not tell
};

}  // namespace quillon
