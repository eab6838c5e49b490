#include "link/udp_link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quillon {
namespace {

constexpr uint32_t kAnyAddress = 0;
constexpr uint32_t kBroadcastAddress = 0xFFFFFFFF;
// How long one receive waits before the thread looks at its stop request again.
constexpr int kReceivePollMs = 100;
// The most datagrams one wake of the receive thread takes from the socket. Replies to a search
// come in a burst, and a usual receive buffer (net.core.rmem_max 212992) holds only about 500 of
// them: they leave the kernel as soon as the thread wakes, yet one wake never holds more than
// this many datagrams' worth of memory in flight.
constexpr int kDatagramsPerWake = 256;

}  // namespace

std::vector<uint32_t> InterfaceAddresses() {
  std::vector<uint32_t> addresses;
  for (const InterfaceAddress& entry : LocalInterfaceAddresses())
    if (entry.up && !entry.loopback) addresses.push_back(entry.address);
  return addresses;
}

UdpLink::UdpLink(SocketApi& sockets, Notifier& notifier, AddressSource addresses)
    : sockets_(sockets), notifier_(notifier), addresses_(std::move(addresses)) {}

UdpLink::~UdpLink() {
  Stop();
  if (receiveSocket_ >= 0) sockets_.Close(receiveSocket_);
  std::lock_guard lock(endpointsMutex_);
  for (LocalEndpoint& entry : endpoints_) {
    if (entry.socket >= 0) sockets_.Close(entry.socket);
    entry = LocalEndpoint{};
  }
}

void UdpLink::ShowLinkBox(const std::string& text) {
  notifier_.ShowBox(kProgramName, text, BoxIcon::None);
}

void UdpLink::Start(DatagramHandler onDatagram) {
  if (receiveThread_.joinable()) return;  // started once per link
  onDatagram_ = std::move(onDatagram);

  // Every step goes on after a failure, as the socket calls on a failed socket fail in turn
  // and show their own boxes; the program then runs without received frames.
  receiveSocket_ = sockets_.OpenUdp();
  if (receiveSocket_ < 0) ShowLinkBox("套接字错误,请检查错误并重新打开软件");

  {
    std::lock_guard lock(endpointsMutex_);
    endpoints_.fill(LocalEndpoint{});
  }

  if (sockets_.SetBroadcast(receiveSocket_) < 0) ShowLinkBox("设置规则失败1");
  if (sockets_.SetReuseAddress(receiveSocket_) < 0) ShowLinkBox("设置规则失败2");
  sockets_.SetReceiveBuffer(receiveSocket_, receiveBufferBytes_);
  // Each datagram keeps the moment it reached the PC, not the later moment the paced thread
  // takes it: a search tells the replies to an earlier search apart by it.
  sockets_.SetReceiveTimestamps(receiveSocket_);
  sockets_.Bind(receiveSocket_, kAnyAddress, kDevicePort);  // a failure is not reported

  stopping_ = false;
  receiveThread_ = std::thread([this] { ReceiveLoop(); });
}

void UdpLink::Stop() {
  stopping_ = true;
  if (receiveThread_.joinable()) receiveThread_.join();
}

void UdpLink::ReceiveLoop() {
  uint8_t buffer[kMaxDatagram];
  while (!stopping_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The first receive waits for a datagram; the others take only what is waiting already.
    for (int taken = 0; taken < kDatagramsPerWake && !stopping_; ++taken) {
      const int waitMs = taken == 0 ? kReceivePollMs : 0;
      ReceiveTime received;
      const long size = sockets_.Receive(receiveSocket_, buffer, sizeof buffer, waitMs, received);
      if (size < 0 || (size == 0 && waitMs == 0)) break;  // an error, or nothing more waiting
      // Empty datagrams and datagrams larger than the buffer are dropped unseen.
      if (size == 0 || static_cast<size_t>(size) > sizeof buffer) continue;
      if (onDatagram_) onDatagram_(Datagram{Bytes(buffer, buffer + size), received});
    }
  }
}

void UdpLink::RefreshEndpoints() {
  const std::vector<uint32_t> addresses = addresses_ ? addresses_() : std::vector<uint32_t>{};
  const size_t count = std::min<size_t>(addresses.size(), kEndpointCount);

  for (size_t i = 0; i < count; ++i) {
    const uint32_t address = addresses[i];
    int oldSocket = -1;
    {
      std::lock_guard lock(endpointsMutex_);
      LocalEndpoint& entry = endpoints_[i];
      if (entry.open && entry.address == address) continue;
      // Clear the entry before anything else: from here on no send uses it until it is open.
      oldSocket = entry.socket;
      entry = LocalEndpoint{};
    }
    if (oldSocket >= 0) sockets_.Close(oldSocket);

    // The new socket is set up outside the lock: a failure box waits for the user, and the
    // dictionary worker must be able to send through the other entries meanwhile.
    const int socket = sockets_.OpenUdp();
    if (socket < 0) {
      ShowLinkBox("套接字创建失败");
      continue;
    }
    if (sockets_.SetBroadcast(socket) < 0) {
      sockets_.Close(socket);
      ShowLinkBox("设置socket规则失败");
      continue;
    }
    if (sockets_.SetReuseAddress(socket) < 0) {
      sockets_.Close(socket);
      ShowLinkBox("设置socket规则失败2");
      continue;
    }
    const int bound = sockets_.Bind(socket, address, kDevicePort);
    if (bound < 0) {
      const int error = sockets_.LastError();
      sockets_.Close(socket);
      {
        std::lock_guard lock(endpointsMutex_);
        endpoints_[i].address = address;  // the entry knows its address but stays closed
      }
      char text[96];
      std::snprintf(text, sizeof text, "绑定SOCKET出错 %d  错误代码 %d", bound, error);
      ShowLinkBox(text);
      continue;
    }

    std::lock_guard lock(endpointsMutex_);
    endpoints_[i] = LocalEndpoint{address, socket, true};
  }
  // Entries beyond the addresses found keep what they hold, open or not.
}

void UdpLink::SendFrame(const uint8_t* bytes, uint16_t length) {
  for (int i = 0; i < kEndpointCount; ++i) {
    long sent = 0;
    {
      // Held only for the one send, so that a refresh never hands out a half-built entry
      // and never closes a socket under a send.
      std::lock_guard lock(endpointsMutex_);
      const LocalEndpoint& entry = endpoints_[i];
      if (!entry.open) continue;
      sent = sockets_.SendTo(entry.socket, bytes, length, kBroadcastAddress, kDevicePort);
    }
    if (sent < 0) ShowLinkBox("端口被占用");
  }
}

std::array<LocalEndpoint, kEndpointCount> UdpLink::Endpoints() const {
  std::lock_guard lock(endpointsMutex_);
  return endpoints_;
}

}  // namespace quillon
