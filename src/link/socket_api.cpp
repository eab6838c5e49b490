// The sockets of a POSIX system; the Winsock ones are in socket_api_windows.cpp.
#include "link/socket_api.h"

#ifndef _WIN32

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillon {
namespace {

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

class PosixSocketApi final : public SocketApi {
 public:
  int OpenUdp() override { return Remember(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)); }

  int SetBroadcast(int socket) override { return SetIntOption(socket, SO_BROADCAST, 1); }
  int SetReuseAddress(int socket) override { return SetIntOption(socket, SO_REUSEADDR, 1); }
  int SetReceiveBuffer(int socket, int bytes) override {
    return SetIntOption(socket, SO_RCVBUF, bytes);
  }
  int SetReceiveTimestamps(int socket) override { return SetIntOption(socket, SO_TIMESTAMP, 1); }

  int Bind(int socket, uint32_t address, uint16_t port) override {
    const sockaddr_in sa = MakeAddress(address, port);
    return Remember(::bind(socket, reinterpret_cast<const sockaddr*>(&sa), sizeof sa));
  }

  long SendTo(int socket, const uint8_t* bytes, size_t length, uint32_t address,
              uint16_t port) override {
    const sockaddr_in sa = MakeAddress(address, port);
    const ssize_t sent =
        ::sendto(socket, bytes, length, 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    return Remember(static_cast<long>(sent));
  }

  int SetPacketInfo(int socket) override {
    const int one = 1;
    return Remember(::setsockopt(socket, IPPROTO_IP, IP_PKTINFO, &one, sizeof one));
  }

  long Receive(int socket, uint8_t* buffer, size_t capacity, int timeoutMs,
               std::chrono::system_clock::time_point& received) override {
    ReceiveDetails details;
    const long size = ReceiveDetailed(socket, buffer, capacity, timeoutMs, details);
    received = details.received;
    return size;
  }

  long ReceiveDetailed(int socket, uint8_t* buffer, size_t capacity, int timeoutMs,
                       ReceiveDetails& details) override {
    details.sender = 0;
    details.interfaceIndex = 0;
    pollfd pfd{socket, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready < 0) return Remember(-1L);
    if (ready == 0) return 0;
    if ((pfd.revents & POLLIN) == 0) return Remember(-1L);
    iovec data{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timeval)) + CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from{};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // Linux cuts an oversized datagram to the buffer without saying so; MSG_TRUNC makes it
    // report the datagram's real size, so the caller can drop it.
    const ssize_t size = ::recvmsg(socket, &message, MSG_TRUNC);
    details.received = std::chrono::system_clock::now();
    if (size >= 0 && from.sin_family == AF_INET) details.sender = ntohl(from.sin_addr.s_addr);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP) {
        timeval stamp;
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        details.received = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(stamp.tv_sec) + std::chrono::microseconds(stamp.tv_usec)));
      } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        details.interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
      }
    }
    return Remember(static_cast<long>(size));
  }

  void Close(int socket) override {
    if (socket >= 0) ::close(socket);
  }

  int LastError() override { return lastError_; }

 private:
  int SetIntOption(int socket, int option, int value) {
    return Remember(::setsockopt(socket, SOL_SOCKET, option, &value, sizeof value));
  }

  // errno is per thread; the link asks for the error code right after the failed call on the
  // same thread, but keeping it here also serves a caller that logs it a little later.
  template <typename T>
  T Remember(T result) {
    if (result < 0) lastError_ = errno;
    return result;
  }

  thread_local static int lastError_;
};

thread_local int PosixSocketApi::lastError_ = 0;

uint32_t HostOrder(const sockaddr* address) {
  return address && address->sa_family == AF_INET
             ? ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr)
             : 0;
}

}  // namespace

SocketApi& SystemSockets() {
  static PosixSocketApi sockets;
  return sockets;
}

std::string SocketErrorText(int error) { return std::strerror(error); }

std::vector<InterfaceAddress> LocalInterfaceAddresses() {
  std::vector<InterfaceAddress> found;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return found;
  for (const ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
    if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET) continue;
    found.push_back({::if_nametoindex(ifa->ifa_name), HostOrder(ifa->ifa_addr),
                     HostOrder(ifa->ifa_netmask), (ifa->ifa_flags & IFF_UP) != 0,
                     (ifa->ifa_flags & IFF_LOOPBACK) != 0});
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace quillon

#endif
