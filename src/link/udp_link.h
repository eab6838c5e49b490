// The UDP link on port 1901: one receive socket bound to 0.0.0.0:1901 with its receive thread,
// and a table of ten local endpoints (one socket per local IPv4 address) used for sending every
// request as a broadcast to 255.255.255.255:1901.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "link/frame_link.h"
#include "link/socket_api.h"
#include "report/notifier.h"

namespace quillon {

constexpr int kEndpointCount = 10;

struct LocalEndpoint {
  uint32_t address = 0;  // IPv4, host byte order (10.77.0.1 is 0x0A4D0001)
  int socket = -1;
  bool open = false;
};

// The PC's IPv4 addresses in host byte order: interfaces that are up and not loopback, in the
// order the system lists them.
using AddressSource = std::function<std::vector<uint32_t>()>;
std::vector<uint32_t> InterfaceAddresses();

class UdpLink : public FrameLink {
 public:
  UdpLink(SocketApi& sockets, Notifier& notifier, AddressSource addresses);
  ~UdpLink() override;  // stops the receive thread and closes the sockets

  // The receive buffer the receive socket asks for (SO_RCVBUF), before Start. The kernel grants
  // at most net.core.rmem_max of it; the default leaves room for the replies of 1000 devices.
  void SetReceiveBufferBytes(int bytes) { receiveBufferBytes_ = bytes; }

  // Link start-up: receive socket, its options and binding, then the receive thread. Failures
  // show their boxes and start-up goes on.
  void Start(DatagramHandler onDatagram) override;
  // Orderly stop of the receive thread (the program may simply end instead).
  void Stop() override;

  void RefreshEndpoints() override;
  void SendFrame(const uint8_t* bytes, uint16_t length) override;

  // A copy of the endpoint table, for tests and diagnostics.
  std::array<LocalEndpoint, kEndpointCount> Endpoints() const;

 private:
  void ReceiveLoop();
  // A failure box of the link: the program's name as caption, OK button, no icon.
  void ShowLinkBox(const std::string& text);

  SocketApi& sockets_;
  Notifier& notifier_;
  AddressSource addresses_;
  DatagramHandler onDatagram_;
  int receiveSocket_ = -1;
  int receiveBufferBytes_ = 1 << 20;
  mutable std::mutex endpointsMutex_;  // SendFrame runs on the worker thread too
  std::array<LocalEndpoint, kEndpointCount> endpoints_{};
  std::atomic<bool> stopping_{false};
  std::thread receiveThread_;
};

}  // namespace quillon
