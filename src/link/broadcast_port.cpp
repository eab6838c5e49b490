#include "link/broadcast_port.h"

#include <algorithm>
#include <utility>

namespace quillon {

namespace {

constexpr uint32_t kAnyAddress = 0;
constexpr uint32_t kBroadcastAddress = 0xFFFFFFFF;
// A batch's replies may come faster than they are handled for a moment; the kernel holds them.
constexpr int kReceiveBufferBytes = 1 << 20;

std::string ErrorText(const char* what, int error) {
  return std::string(what) + ": " + SocketErrorText(error);
}

}  // namespace

BroadcastPort::BroadcastPort(SocketApi& sockets, AddressSource addresses,
                             InterfaceSource interfaces)
    : sockets_(sockets),
      addresses_(std::move(addresses)),
      interfaceSource_(std::move(interfaces)) {}

BroadcastPort::~BroadcastPort() {
  if (receiveSocket_ >= 0) sockets_.Close(receiveSocket_);
  for (const Endpoint& endpoint : endpoints_) sockets_.Close(endpoint.socket);
}

BroadcastPort::Opening BroadcastPort::Open(std::string& error, std::optional<uint32_t> via) {
  std::vector<uint32_t> addresses = addresses_ ? addresses_() : std::vector<uint32_t>{};
  if (via) {
    // Checked before any socket is opened: a mistyped card changes nothing on the network.
    if (std::find(addresses.begin(), addresses.end(), *via) == addresses.end()) {
      std::string list;
      for (const uint32_t address : addresses)
        list += (list.empty() ? "" : ", ") + Ipv4Text(address);
      error = Ipv4Text(*via) + " is not an address of this PC; " +
              (list.empty() ? "it has no network interface with an IPv4 address up"
                            : "its addresses: " + list);
      return Opening::NotLocal;
    }
    addresses = {*via};
  }
  receiveSocket_ = sockets_.OpenUdp();
  if (receiveSocket_ < 0) {
    error = ErrorText("cannot open a UDP socket", sockets_.LastError());
    return Opening::Failed;
  }
  sockets_.SetBroadcast(receiveSocket_);
  // Address reuse lets the window and this program listen on port 1901 side by side; both get
  // every broadcast.
  if (sockets_.SetReuseAddress(receiveSocket_) < 0 ||
      sockets_.Bind(receiveSocket_, kAnyAddress, kDevicePort) < 0) {
    error = ErrorText("cannot listen on UDP port 1901", sockets_.LastError());
    return Opening::Failed;
  }
  sockets_.SetReceiveBuffer(receiveSocket_, kReceiveBufferBytes);
  sockets_.SetReceiveTimestamps(receiveSocket_);
  // Which interface each reply comes in on tells through which of the PC's addresses the
  // device answers.
  sockets_.SetPacketInfo(receiveSocket_);
  interfaces_ = interfaceSource_ ? interfaceSource_() : std::vector<InterfaceAddress>{};
  via_ = via;
  for (const InterfaceAddress& entry : interfaces_)
    if (via && entry.address == *via && viaIndex_ == 0) viaIndex_ = entry.index;

  std::string failures;
  for (const uint32_t address : addresses) {
    const int socket = sockets_.OpenUdp();
    if (socket < 0) continue;
    if (sockets_.SetBroadcast(socket) < 0 || sockets_.SetReuseAddress(socket) < 0 ||
        sockets_.Bind(socket, address, kDevicePort) < 0) {
      failures += "; " + Ipv4Text(address) + ": " + SocketErrorText(sockets_.LastError());
      sockets_.Close(socket);
      continue;
    }
    endpoints_.push_back({address, socket});
  }
  if (endpoints_.empty()) {
    error = addresses.empty() ? "no network interface with an IPv4 address is up"
                              : "cannot broadcast from any local address" + failures;
    return Opening::Failed;
  }
  return Opening::Opened;
}

bool BroadcastPort::Send(std::span<const uint8_t> frame) {
  bool any = false;
  for (const Endpoint& endpoint : endpoints_) {
    if (sockets_.SendTo(endpoint.socket, frame.data(), frame.size(), kBroadcastAddress,
                        kDevicePort) >= 0)
      any = true;
  }
  return any;
}

std::optional<PortDatagram> BroadcastPort::Receive(Clock::time_point deadline) {
  // A datagram taken too late for the last wait is the next one for whoever waits longer.
  if (held_) {
    if (held_->received > deadline) return std::nullopt;
    return std::exchange(held_, std::nullopt);
  }
  uint8_t buffer[kMaxDatagram];
  for (;;) {
    const Clock::time_point now = Clock::now();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    ReceiveDetails details;
    const long size = sockets_.ReceiveDetailed(receiveSocket_, buffer, sizeof buffer,
                                               left > 0 ? static_cast<int>(left) : 0, details);
    if (size <= 0 || static_cast<size_t>(size) > sizeof buffer) {
      // Nothing, an empty or oversized datagram, or an interrupted wait.
      if (Clock::now() >= deadline) return std::nullopt;
      continue;
    }
    // The kernel's stamp is wall-clock time; only its age is carried over to the steady clock,
    // so a change of the wall clock does not move it.
    const Clock::time_point taken = Clock::now();
    const auto age = std::chrono::system_clock::now() - details.received;
    const Clock::time_point received =
        age > std::chrono::system_clock::duration::zero()
            ? taken - std::chrono::duration_cast<Clock::duration>(age)
            : taken;
    if (via_) {
      // Through one card only: what another card hears is for another network. A system that
      // cannot tell the card gets everything, as without the choice.
      if (viaIndex_ != 0 && details.interfaceIndex != 0 && details.interfaceIndex != viaIndex_)
        continue;
    }
    PortDatagram datagram{Bytes(buffer, buffer + size), received,
                          via_ ? *via_ : LocalAddress(details.interfaceIndex, details.sender)};
    // Past the deadline only what arrived in time counts for this wait; a later one is kept for
    // the next (another transfer's, when devices are served side by side).
    if (left <= 0 && received > deadline) {
      held_ = std::move(datagram);
      return std::nullopt;
    }
    return datagram;
  }
}

uint32_t BroadcastPort::LocalAddress(unsigned index, uint32_t sender) const {
  // An interface may carry several addresses: the one on the sender's subnet, else its first.
  uint32_t first = 0;
  for (const InterfaceAddress& entry : interfaces_) {
    if (index == 0 || entry.index != index) continue;
    if ((entry.address & entry.mask) == (sender & entry.mask)) return entry.address;
    if (first == 0) first = entry.address;
  }
  return first;
}

std::vector<uint32_t> BroadcastPort::Addresses() const {
  std::vector<uint32_t> addresses;
  for (const Endpoint& endpoint : endpoints_) addresses.push_back(endpoint.address);
  return addresses;
}

}  // namespace quillon
