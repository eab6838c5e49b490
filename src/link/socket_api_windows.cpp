// The sockets of Windows (Winsock 2.2) and its list of local addresses; the POSIX ones are in
// socket_api.cpp. Socket handles travel as int, as on POSIX: Winsock's handles are kernel handles,
// which Windows keeps within 32 bits so that they can pass between 32- and 64-bit programs.
//
// The arrival time of a datagram: Winsock has no SO_TIMESTAMP for UDP that every Windows (and
// Wine) offers. What stands in for the kernel's stamp is a thread of this layer per socket that
// asked for stamps: it waits on the socket, takes every datagram the moment it is there, stamps it
// and queues it (up to the socket's receive buffer size, as the kernel would hold it). A receive
// takes from that queue, however late, and gets the stamp of the moment the datagram came in, so a
// search reply that came in before the click keeps a time before the click however slowly the
// paced receive thread takes it, and is not listed.
#ifdef _WIN32

// winsock2.h comes first: the others need what it declares.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
#include <mswsock.h>
#include <windows.h>
#include <ws2tcpip.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/socket_api.h"
#include "text/utf16.h"

namespace quillon {
namespace {

// The largest datagram a receive can take whole; anything larger is reported as larger than
// any caller's buffer.
constexpr size_t kLargestDatagram = 65536;
// How long the stamping thread waits on its socket before it looks at its stop request again.
constexpr long kStampWaitUs = 20000;
// The most datagrams the stamping thread takes at one wake before it hands them on.
constexpr size_t kDatagramsPerWake = 1024;

SOCKET Handle(int socket) { return static_cast<SOCKET>(static_cast<intptr_t>(socket)); }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

// Winsock's receive with its control messages is reached through a function pointer.
LPFN_WSARECVMSG FindReceiveMessage(SOCKET socket) {
  GUID id = WSAID_WSARECVMSG;
  LPFN_WSARECVMSG function = nullptr;
  DWORD bytes = 0;
  if (::WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
                 sizeof function, &bytes, nullptr, nullptr) != 0)
    return nullptr;
  return function;
}

// One datagram, taken at once: its full size (capacity + 1 when Winsock only says that it was
// larger than the buffer), or -1 with the error in `error`.
long TakeDatagram(SOCKET socket, uint8_t* buffer, size_t capacity, ReceiveDetails& details,
                  int& error) {
  details.sender = 0;
  details.interfaceIndex = 0;
  static const LPFN_WSARECVMSG receiveMessage = FindReceiveMessage(socket);
  sockaddr_in from{};
  WSABUF data{static_cast<ULONG>(capacity), reinterpret_cast<char*>(buffer)};
  alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO)) + 64];
  WSAMSG message{};
  message.name = reinterpret_cast<sockaddr*>(&from);
  message.namelen = sizeof from;
  message.lpBuffers = &data;
  message.dwBufferCount = 1;
  message.Control = WSABUF{sizeof control, control};
  DWORD size = 0;
  int result = SOCKET_ERROR;
  if (receiveMessage != nullptr) {
    result = receiveMessage(socket, &message, &size, nullptr, nullptr);
  } else {
    int fromLength = sizeof from;
    const int n = ::recvfrom(socket, reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
    result = n < 0 ? SOCKET_ERROR : 0;
    size = n < 0 ? 0 : static_cast<DWORD>(n);
    message.Control.len = 0;
  }
  details.received = std::chrono::system_clock::now();
  if (result == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    if (error != WSAEMSGSIZE) return -1;
    size = static_cast<DWORD>(capacity + 1);
  }
  if (from.sin_family == AF_INET) details.sender = ntohl(from.sin_addr.s_addr);
  if (message.Control.len > 0) {
    for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c != nullptr;
         c = WSA_CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        IN_PKTINFO info;
        std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
        details.interfaceIndex = info.ipi_ifindex;
      }
    }
  }
  return static_cast<long>(size);
}

// Waits up to `timeoutUs` for a datagram on `socket`: 1 ready, 0 not, -1 error.
int WaitReadable(SOCKET socket, long timeoutUs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval wait{timeoutUs / 1000000, timeoutUs % 1000000};
  const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
  return ready == SOCKET_ERROR ? -1 : ready > 0 ? 1 : 0;
}

// The stamping thread of one socket and the datagrams it has taken.
class Stamper {
 public:
  Stamper(SOCKET socket, size_t limit) : socket_(socket), limit_(limit) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Stamper() {
    stop_ = true;
    thread_.join();
  }
  Stamper(const Stamper&) = delete;
  Stamper& operator=(const Stamper&) = delete;

  long Receive(uint8_t* buffer, size_t capacity, int timeoutMs, ReceiveDetails& details) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                           [this] { return !queue_.empty(); }))
      return 0;
    Taken taken = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= taken.bytes.size();
    lock.unlock();
    std::memcpy(buffer, taken.bytes.data(), std::min(capacity, taken.bytes.size()));
    details = taken.details;
    return taken.size;
  }

 private:
  struct Taken {
    std::vector<uint8_t> bytes;
    long size;
    ReceiveDetails details;
  };

  void Run() {
    std::vector<uint8_t> buffer(kLargestDatagram);
    while (!stop_) {
      const int ready = WaitReadable(socket_, kStampWaitUs);
      if (ready < 0) {
        // Not bound yet, or closed under us: look again a little later.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      if (ready == 0) continue;
      // Everything that is waiting, at once: a burst of replies leaves the socket's buffer as
      // soon as the thread wakes, whoever is slow to take them from the queue.
      std::vector<Taken> batch;
      do {
        Taken& taken = batch.emplace_back();
        int error = 0;
        taken.size = TakeDatagram(socket_, buffer.data(), buffer.size(), taken.details, error);
        if (taken.size < 0) {
          batch.pop_back();
          break;
        }
        const size_t kept = std::min(buffer.size(), static_cast<size_t>(taken.size));
        taken.bytes.assign(buffer.begin(), buffer.begin() + static_cast<long>(kept));
      } while (batch.size() < kDatagramsPerWake && !stop_ && WaitReadable(socket_, 0) == 1);
      Queue(batch);
    }
  }

  void Queue(std::vector<Taken>& batch) {
    if (batch.empty()) return;
    std::lock_guard lock(mutex_);
    for (Taken& taken : batch) {
      // A full buffer drops what comes, as the kernel's does.
      if (queuedBytes_ + taken.bytes.size() > limit_) continue;
      queuedBytes_ += taken.bytes.size();
      queue_.push_back(std::move(taken));
    }
    arrived_.notify_all();
  }

  SOCKET socket_;
  size_t limit_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Taken> queue_;
  size_t queuedBytes_ = 0;
  std::thread thread_;
};

class WindowsSocketApi final : public SocketApi {
 public:
  WindowsSocketApi() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }

  int OpenUdp() override {
    if (!started_) {
      lastError_ = WSANOTINITIALISED;
      return -1;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) return Failed(-1);
    // A sent datagram that an ICMP "port unreachable" answers would otherwise fail the next
    // receive on this socket with WSAECONNRESET.
    BOOL off = FALSE;
    DWORD bytes = 0;
    ::WSAIoctl(socket, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &bytes, nullptr, nullptr);
    return static_cast<int>(socket);
  }

  int SetBroadcast(int socket) override { return SetIntOption(socket, SO_BROADCAST, 1); }
  int SetReuseAddress(int socket) override { return SetIntOption(socket, SO_REUSEADDR, 1); }
  int SetReceiveBuffer(int socket, int bytes) override {
    return SetIntOption(socket, SO_RCVBUF, bytes);
  }

  int SetReceiveTimestamps(int socket) override {
    if (Handle(socket) == INVALID_SOCKET) {
      lastError_ = WSAENOTSOCK;
      return -1;
    }
    int buffer = 0;
    int length = sizeof buffer;
    if (::getsockopt(Handle(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&buffer),
                     &length) != 0)
      return Failed(-1);
    std::lock_guard lock(stampersMutex_);
    std::unique_ptr<Stamper>& stamper = stampers_[socket];
    if (!stamper)
      stamper = std::make_unique<Stamper>(
          Handle(socket), std::max<size_t>(static_cast<size_t>(buffer), kLargestDatagram));
    return 0;
  }

  int Bind(int socket, uint32_t address, uint16_t port) override {
    const sockaddr_in sa = MakeAddress(address, port);
    return ::bind(Handle(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0
               ? 0
               : Failed(-1);
  }

  long SendTo(int socket, const uint8_t* bytes, size_t length, uint32_t address,
              uint16_t port) override {
    const sockaddr_in sa = MakeAddress(address, port);
    const int sent =
        ::sendto(Handle(socket), reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0,
                 reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    return sent == SOCKET_ERROR ? Failed(-1L) : static_cast<long>(sent);
  }

  int SetPacketInfo(int socket) override {
    const DWORD one = 1;
    return ::setsockopt(Handle(socket), IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&one),
                        sizeof one) == 0
               ? 0
               : Failed(-1);
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
    if (Stamper* stamper = StamperOf(socket))
      return stamper->Receive(buffer, capacity, timeoutMs, details);
    const int ready = WaitReadable(Handle(socket), static_cast<long>(timeoutMs) * 1000);
    if (ready < 0) return Failed(-1L);
    if (ready == 0) return 0;
    int error = 0;
    const long size = TakeDatagram(Handle(socket), buffer, capacity, details, error);
    if (size < 0) lastError_ = error;
    return size;
  }

  void Close(int socket) override {
    if (Handle(socket) == INVALID_SOCKET) return;
    std::unique_ptr<Stamper> stamper;
    {
      std::lock_guard lock(stampersMutex_);
      auto it = stampers_.find(socket);
      if (it != stampers_.end()) {
        stamper = std::move(it->second);
        stampers_.erase(it);
      }
    }
    stamper.reset();  // its thread has ended before the handle goes
    ::closesocket(Handle(socket));
  }

  int LastError() override { return lastError_; }

 private:
  int SetIntOption(int socket, int option, int value) {
    return ::setsockopt(Handle(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0
               ? 0
               : Failed(-1);
  }

  template <typename T>
  T Failed(T result) {
    lastError_ = ::WSAGetLastError();
    return result;
  }

  Stamper* StamperOf(int socket) {
    std::lock_guard lock(stampersMutex_);
    auto it = stampers_.find(socket);
    return it == stampers_.end() ? nullptr : it->second.get();
  }

  bool started_ = false;
  std::mutex stampersMutex_;
  std::map<int, std::unique_ptr<Stamper>> stampers_;
  thread_local static int lastError_;
};

thread_local int WindowsSocketApi::lastError_ = 0;

}  // namespace

SocketApi& SystemSockets() {
  static WindowsSocketApi sockets;
  return sockets;
}

std::string SocketErrorText(int error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? Utf8(std::wstring_view(text, length)) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return (message.empty() ? "Winsock error" : message) + " (" + std::to_string(error) + ")";
}

std::vector<InterfaceAddress> LocalInterfaceAddresses() {
  std::vector<InterfaceAddress> found;
  ULONG size = 16384;
  std::vector<uint8_t> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = ::GetAdaptersAddresses(
        AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return found;
  for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
       adapter != nullptr; adapter = adapter->Next) {
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress;
         unicast != nullptr; unicast = unicast->Next) {
      const sockaddr* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      const unsigned prefix = std::min<unsigned>(unicast->OnLinkPrefixLength, 32);
      found.push_back({static_cast<unsigned>(adapter->IfIndex),
                       ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr),
                       prefix == 0 ? 0u : 0xFFFFFFFFu << (32 - prefix),
                       adapter->OperStatus == IfOperStatusUp,
                       adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK});
    }
  }
  return found;
}

}  // namespace quillon

#endif
