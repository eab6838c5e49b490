#include "link/udp_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <set>

#include "support/ends_within.h"
#include "support/recording_notifier.h"

using namespace quillon;
using namespace std::chrono_literals;

namespace {

// Sockets that live only in memory. Each socket remembers which options were set and whether it
// was bound and closed, so a send through a socket that is not ready shows up as a fault.
class FakeSockets : public SocketApi {
 public:
  struct Sent {
    int socket;
    Bytes bytes;
    uint32_t address;
    uint16_t port;
  };
  struct State {
    bool broadcast = false, reuse = false, bound = false, closed = false, timestamps = false;
    uint32_t address = 0;
    uint16_t port = 0;
    int receiveBuffer = 0;
  };

  bool failOpen = false, failBroadcast = false, failReuse = false, failBind = false;
  std::set<int> failSendOn;

  int OpenUdp() override {
    std::lock_guard lock(mutex_);
    if (failOpen) return -1;
    const int socket = nextSocket_++;
    states_[socket] = State{};
    return socket;
  }
  int SetBroadcast(int socket) override {
    return Update(socket, failBroadcast, [](State& s) { s.broadcast = true; });
  }
  int SetReuseAddress(int socket) override {
    return Update(socket, failReuse, [](State& s) { s.reuse = true; });
  }
  int SetReceiveBuffer(int socket, int bytes) override {
    return Update(socket, false, [bytes](State& s) { s.receiveBuffer = bytes; });
  }
  int SetReceiveTimestamps(int socket) override {
    return Update(socket, false, [](State& s) { s.timestamps = true; });
  }
  int Bind(int socket, uint32_t address, uint16_t port) override {
    return Update(socket, failBind, [=](State& s) {
      s.bound = true;
      s.address = address;
      s.port = port;
    });
  }
  long SendTo(int socket, const uint8_t* bytes, size_t length, uint32_t address,
              uint16_t port) override {
    std::lock_guard lock(mutex_);
    auto it = states_.find(socket);
    if (it == states_.end() || it->second.closed || !it->second.bound || !it->second.broadcast) {
      ++badSends_;
      return -1;
    }
    if (failSendOn.count(socket)) return -1;
    sent_.push_back({socket, Bytes(bytes, bytes + length), address, port});
    return static_cast<long>(length);
  }
  long Receive(int, uint8_t* buffer, size_t capacity, int timeoutMs,
               ReceiveTime& received) override {
    std::unique_lock lock(mutex_);
    if (!incoming_.empty()) {
      if (timeoutMs > 0) ++wakesWithData_;
      const Datagram datagram = std::move(incoming_.front());
      incoming_.pop_front();
      std::copy_n(datagram.bytes.begin(), std::min(capacity, datagram.bytes.size()), buffer);
      received = datagram.received;
      return static_cast<long>(datagram.bytes.size());
    }
    incomingReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs));
    return 0;
  }
  void Close(int socket) override {
    std::lock_guard lock(mutex_);
    states_[socket].closed = true;
  }
  int LastError() override { return 98; }

  // A datagram that reached the PC at `received` (the kernel's stamp).
  void Deliver(Bytes datagram, ReceiveTime received = ReceiveTime(std::chrono::seconds(1000))) {
    std::lock_guard lock(mutex_);
    incoming_.push_back({std::move(datagram), received});
    incomingReady_.notify_all();
  }
  // Datagrams that all reached the PC at once.
  void DeliverAll(std::vector<Bytes> datagrams) {
    std::lock_guard lock(mutex_);
    for (Bytes& datagram : datagrams) incoming_.push_back({std::move(datagram), ReceiveTime()});
    incomingReady_.notify_all();
  }
  // How many receives that would have waited found a datagram: the receive thread's wakes.
  int WakesWithData() {
    std::lock_guard lock(mutex_);
    return wakesWithData_;
  }
  int OpenedCount() {
    std::lock_guard lock(mutex_);
    return nextSocket_ - kFirstSocket;
  }
  State StateOf(int socket) {
    std::lock_guard lock(mutex_);
    return states_.at(socket);
  }
  std::vector<Sent> TakeSent() {
    std::lock_guard lock(mutex_);
    return std::exchange(sent_, {});
  }
  int BadSends() {
    std::lock_guard lock(mutex_);
    return badSends_;
  }

 private:
  static constexpr int kFirstSocket = 100;
  template <typename F>
  int Update(int socket, bool fail, F change) {
    std::lock_guard lock(mutex_);
    auto it = states_.find(socket);
    if (fail || it == states_.end() || it->second.closed) return -1;
    change(it->second);
    return 0;
  }

  std::mutex mutex_;
  std::condition_variable incomingReady_;
  int nextSocket_ = kFirstSocket;
  std::map<int, State> states_;
  std::vector<Sent> sent_;
  std::deque<Datagram> incoming_;
  int wakesWithData_ = 0;
  int badSends_ = 0;
};

// The link shows every box with the program's name as caption and no icon.
class FakeNotifier : public fakes::RecordingNotifier {
 public:
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const fakes::RecordedBox& box : Boxes()) {
      EXPECT_EQ(box.caption, kProgramName);
      EXPECT_EQ(box.icon, BoxIcon::None);
      texts.push_back(box.text);
    }
    return texts;
  }
};

constexpr uint32_t Ip(int a, int b, int c, int d) {
  return uint32_t(a) << 24 | uint32_t(b) << 16 | uint32_t(c) << 8 | uint32_t(d);
}

class UdpLinkEndpoints : public ::testing::Test {
 protected:
  FakeSockets sockets;
  FakeNotifier notifier;
  std::vector<uint32_t> addresses;
  UdpLink link{sockets, notifier, [this] { return addresses; }};

  const Bytes frame{0xAA, 0x00, 0x01, 0x02, 0x02};
  void Send() { link.SendFrame(frame.data(), static_cast<uint16_t>(frame.size())); }
  std::vector<int> SentSockets() {
    std::vector<int> result;
    for (const auto& sent : sockets.TakeSent()) result.push_back(sent.socket);
    return result;
  }
};

TEST_F(UdpLinkEndpoints, OnlyTheFirstTenAddressesGetEndpoints) {
  for (int i = 1; i <= 12; ++i) addresses.push_back(Ip(10, 0, 0, i));
  link.RefreshEndpoints();

  const auto table = link.Endpoints();
  for (int i = 0; i < kEndpointCount; ++i) {
    EXPECT_TRUE(table[i].open);
    EXPECT_EQ(table[i].address, Ip(10, 0, 0, i + 1));
    const auto state = sockets.StateOf(table[i].socket);
    EXPECT_TRUE(state.broadcast && state.reuse && state.bound);
    EXPECT_EQ(state.address, Ip(10, 0, 0, i + 1));
    EXPECT_EQ(state.port, 1901);
  }
  EXPECT_EQ(sockets.OpenedCount(), 10);
  EXPECT_TRUE(notifier.Texts().empty());

  Send();
  const auto sent = sockets.TakeSent();
  ASSERT_EQ(sent.size(), 10u);
  for (int i = 0; i < kEndpointCount; ++i) {
    EXPECT_EQ(sent[i].socket, table[i].socket);  // index order 0 to 9
    EXPECT_EQ(sent[i].bytes, frame);
    EXPECT_EQ(sent[i].address, 0xFFFFFFFFu);
    EXPECT_EQ(sent[i].port, 1901);
  }
}

TEST_F(UdpLinkEndpoints, UnchangedAddressesKeepTheirSockets) {
  addresses = {Ip(10, 77, 0, 1), Ip(192, 168, 1, 5)};
  link.RefreshEndpoints();
  const auto before = link.Endpoints();
  link.RefreshEndpoints();

  EXPECT_EQ(sockets.OpenedCount(), 2);
  EXPECT_TRUE(notifier.Texts().empty());
  const auto after = link.Endpoints();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(after[i].socket, before[i].socket);
    EXPECT_FALSE(sockets.StateOf(after[i].socket).closed);
  }
}

TEST_F(UdpLinkEndpoints, ChangedOrderRebuildsOnlyTheChangedEntries) {
  addresses = {Ip(10, 0, 0, 1), Ip(10, 0, 0, 2), Ip(10, 0, 0, 3)};
  link.RefreshEndpoints();
  const auto before = link.Endpoints();

  addresses = {Ip(10, 0, 0, 2), Ip(10, 0, 0, 1), Ip(10, 0, 0, 3)};
  link.RefreshEndpoints();
  const auto after = link.Endpoints();

  EXPECT_EQ(sockets.OpenedCount(), 5);
  for (int i : {0, 1}) {
    EXPECT_TRUE(after[i].open);
    EXPECT_NE(after[i].socket, before[i].socket);
    EXPECT_EQ(after[i].address, addresses[i]);
    EXPECT_TRUE(sockets.StateOf(before[i].socket).closed);
    EXPECT_EQ(sockets.StateOf(after[i].socket).address, addresses[i]);
  }
  EXPECT_EQ(after[2].socket, before[2].socket);
  EXPECT_TRUE(notifier.Texts().empty());
}

TEST_F(UdpLinkEndpoints, EntriesBeyondFewerAddressesStayOpenAndSend) {
  addresses = {Ip(10, 0, 0, 1), Ip(10, 0, 0, 2), Ip(10, 0, 0, 3)};
  link.RefreshEndpoints();
  const auto before = link.Endpoints();

  addresses = {Ip(10, 0, 0, 1)};
  link.RefreshEndpoints();
  EXPECT_EQ(sockets.OpenedCount(), 3);

  Send();
  EXPECT_EQ(SentSockets(),
            (std::vector<int>{before[0].socket, before[1].socket, before[2].socket}));
}

TEST_F(UdpLinkEndpoints, NoAddressesLeavesTheTableAsItWas) {
  link.RefreshEndpoints();
  Send();
  EXPECT_TRUE(sockets.TakeSent().empty());
  EXPECT_TRUE(notifier.Texts().empty());

  addresses = {Ip(10, 0, 0, 1)};
  link.RefreshEndpoints();
  addresses.clear();
  link.RefreshEndpoints();
  EXPECT_TRUE(link.Endpoints()[0].open);
}

TEST_F(UdpLinkEndpoints, EachSetupFailureShowsItsBoxAndLeavesTheEntryClosed) {
  struct Case {
    bool FakeSockets::*flag;
    const char* text;
  };
  const Case cases[] = {
      {&FakeSockets::failOpen, "套接字创建失败"},
      {&FakeSockets::failBroadcast, "设置socket规则失败"},
      {&FakeSockets::failReuse, "设置socket规则失败2"},
      {&FakeSockets::failBind, "绑定SOCKET出错 -1  错误代码 98"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FakeSockets fakeSockets;
    FakeNotifier boxes;
    std::vector<uint32_t> list{Ip(10, 0, 0, 1), Ip(10, 0, 0, 2)};
    UdpLink failing(fakeSockets, boxes, [&] { return list; });

    fakeSockets.*c.flag = true;
    failing.RefreshEndpoints();
    // One box per address; the loop goes on with the next address after each.
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{c.text, c.text}));
    for (const auto& entry : failing.Endpoints()) EXPECT_FALSE(entry.open);
    failing.SendFrame(frame.data(), 5);
    EXPECT_TRUE(fakeSockets.TakeSent().empty());
    EXPECT_EQ(boxes.Texts().size(), 2u);  // no send, so no "端口被占用"

    // The next search rebuilds the failed entries.
    fakeSockets.*c.flag = false;
    failing.RefreshEndpoints();
    EXPECT_TRUE(failing.Endpoints()[0].open);
    EXPECT_TRUE(failing.Endpoints()[1].open);
    EXPECT_EQ(boxes.Texts().size(), 2u);
  }
}

TEST_F(UdpLinkEndpoints, FailedSendShowsPortBusyAndTheNextEntryStillSends) {
  addresses = {Ip(10, 0, 0, 1), Ip(10, 0, 0, 2)};
  link.RefreshEndpoints();
  const auto table = link.Endpoints();
  sockets.failSendOn.insert(table[0].socket);

  Send();
  EXPECT_EQ(notifier.Texts(), (std::vector<std::string>{"端口被占用"}));
  EXPECT_EQ(SentSockets(), (std::vector<int>{table[1].socket}));
}

TEST_F(UdpLinkEndpoints, BoxesAreShownWithoutBlockingSendsFromOtherThreads) {
  addresses = {Ip(10, 0, 0, 1), Ip(10, 0, 0, 2)};
  link.RefreshEndpoints();
  sockets.failBind = true;
  addresses = {Ip(10, 0, 0, 1), Ip(10, 0, 0, 9)};

  // While the bind box of entry 1 is open, the worker thread sends through entry 0.
  notifier.whileShown = [&] {
    fakes::EndsWithin(
        30s, [&] { Send(); }, "a send while a box is up");
  };
  link.RefreshEndpoints();
  EXPECT_EQ(SentSockets(), (std::vector<int>{link.Endpoints()[0].socket}));
}

TEST_F(UdpLinkEndpoints, SendsFromAnotherThreadNeverUseAHalfBuiltEntry) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    while (!done) Send();
  });
  for (int round = 0; round < 200; ++round) {
    addresses = {Ip(10, 0, 0, 1 + round % 2), Ip(10, 0, 0, 2 - round % 2)};
    link.RefreshEndpoints();
  }
  done = true;
  worker.join();
  EXPECT_EQ(sockets.BadSends(), 0);
  EXPECT_TRUE(notifier.Texts().empty());
}

class UdpLinkReceive : public ::testing::Test {
 protected:
  FakeSockets sockets;
  FakeNotifier notifier;
  UdpLink link{sockets, notifier, [] { return std::vector<uint32_t>{}; }};

  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Datagram> received;

  void StartCollecting() {
    link.Start([this](Datagram datagram) {
      std::lock_guard lock(mutex);
      received.push_back(std::move(datagram));
      arrived.notify_all();
    });
  }
  bool WaitFor(size_t count) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, 5s, [&] { return received.size() >= count; });
  }
};

TEST_F(UdpLinkReceive, StartSetsUpTheReceiveSocketOnPort1901) {
  StartCollecting();
  link.Stop();
  const auto state = sockets.StateOf(100);
  EXPECT_TRUE(state.broadcast && state.reuse && state.bound);
  EXPECT_EQ(state.address, 0u);
  EXPECT_EQ(state.port, 1901);
  EXPECT_GE(state.receiveBuffer, 256 * 1024);
  EXPECT_TRUE(state.timestamps);
  EXPECT_TRUE(notifier.Texts().empty());
}

TEST_F(UdpLinkReceive, HandsOverDatagramsUpTo2048BytesInOrder) {
  StartCollecting();
  Bytes full(2048);
  for (size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(i * 7);
  const ReceiveTime first(std::chrono::seconds(1700000000));
  sockets.Deliver(full, first);
  sockets.Deliver(Bytes(2049, 0x55));  // too large: dropped
  sockets.Deliver(Bytes{});            // empty: ignored
  sockets.Deliver(Bytes{0x55, 0x00, 0x01, 0x07, 0x07}, first + 3ms);
  sockets.Deliver(Bytes{0x01}, first + 4ms);
  ASSERT_TRUE(WaitFor(3));
  link.Stop();

  std::lock_guard lock(mutex);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].bytes, full);
  EXPECT_EQ(received[1].bytes, (Bytes{0x55, 0x00, 0x01, 0x07, 0x07}));
  EXPECT_EQ(received[2].bytes, (Bytes{0x01}));
  // Each keeps the moment it reached the PC, however late the paced thread takes it.
  EXPECT_EQ(received[0].received, first);
  EXPECT_EQ(received[1].received, first + 3ms);
  EXPECT_EQ(received[2].received, first + 4ms);
}

// A burst leaves the kernel's queue at the thread's next wake, 256 datagrams at most per wake,
// instead of one per 10 ms while the rest wait in a buffer that may be too small for them.
TEST_F(UdpLinkReceive, ABurstIsTakenWholeAtTheNextWakes) {
  std::vector<Bytes> burst;
  for (int i = 0; i < 300; ++i) burst.push_back({0x55, static_cast<uint8_t>(i), 0x02});
  StartCollecting();
  sockets.DeliverAll(burst);
  ASSERT_TRUE(WaitFor(300));
  link.Stop();
  EXPECT_EQ(sockets.WakesWithData(), 2);
  std::lock_guard lock(mutex);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(received[i].bytes, burst[i]) << i;
}

TEST_F(UdpLinkReceive, StopJoinsPromptlyWhileNothingArrives) {
  StartCollecting();
  // The thread looks at its stop request at least every 110 ms; the limit leaves room for a
  // loaded machine.
  fakes::EndsWithin(
      10s, [&] { link.Stop(); }, "Stop");
  sockets.Deliver(Bytes{0x55});
  std::this_thread::sleep_for(50ms);
  std::lock_guard lock(mutex);
  EXPECT_TRUE(received.empty());
}

TEST(UdpLinkStart, FailuresShowTheirBoxesAndStartGoesOn) {
  {
    FakeSockets sockets;
    FakeNotifier notifier;
    sockets.failOpen = true;
    UdpLink link(sockets, notifier, [] { return std::vector<uint32_t>{}; });
    link.Start([](Datagram) {});
    // The option calls on the failed socket fail too and report themselves.
    EXPECT_EQ(notifier.Texts(), (std::vector<std::string>{"套接字错误,请检查错误并重新打开软件",
                                                          "设置规则失败1", "设置规则失败2"}));
  }
  {
    FakeSockets sockets;
    FakeNotifier notifier;
    sockets.failReuse = true;
    sockets.failBind = true;  // not reported
    UdpLink link(sockets, notifier, [] { return std::vector<uint32_t>{}; });
    link.Start([](Datagram) {});
    EXPECT_EQ(notifier.Texts(), (std::vector<std::string>{"设置规则失败2"}));
  }
}

}  // namespace
