// Many devices served side by side over one port. Each device's transfer talks through a member
// of the fleet, a port of its own: what it sends goes out through the one shared port, and what
// it receives are the replies that name its device, in the order they came in. A reply of device
// B never reaches the transfer of device A, so B's answer cannot complete A's request, and a
// member's timeout is its own: a lost reply is retried for its device alone.
//
// On the network, one waiting member at a time reads the shared port and hands each datagram to
// the member of the device it names, waking that member alone; the others wait for their own
// answers or deadlines, and one of them reads on when the reader has its answer. So a member
// waits exactly as long as its own transfer asks, whatever the others do. On a port with a
// simulated clock the shared port is read only while every member waits, until the earliest of
// their deadlines at most: the clock moves only when nothing is left to do before it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <span>

#include "link/transfer_port.h"

namespace quillon {

class FleetPort {
 public:
  using Clock = TransferPort::Clock;

  explicit FleetPort(TransferPort& shared)
      : shared_(shared), simulatedClock_(shared.ClockMovesByWaiting()) {}
  FleetPort(const FleetPort&) = delete;
  FleetPort& operator=(const FleetPort&) = delete;

  class Member : public TransferPort {
   public:
    explicit Member(FleetPort& fleet) : fleet_(fleet) {}
    // The device this member serves from now on: replies that name it come here. What was
    // received for the device served before is dropped.
    void Serve(const uint8_t mac[6]);

    Clock::time_point Now() override;
    bool Send(std::span<const uint8_t> frame) override;
    std::optional<PortDatagram> Receive(Clock::time_point deadline) override;

   private:
    friend class FleetPort;
    FleetPort& fleet_;
    std::optional<uint64_t> device_;
    std::deque<PortDatagram> received_;
    bool waiting_ = false;
    Clock::time_point deadline_{};
    std::condition_variable wake_;  // on the network: an answer, or the turn to read
  };

  // A member for one thread, made before the thread starts. It counts as busy (the shared port
  // is not read for anybody) until it waits in Receive, and until it leaves.
  Member& Join();
  void Leave(Member& member);

  // Datagrams that named no device being served, or a damaged or a request frame; and those
  // dropped because a member had too many unread.
  uint64_t Unrouted() const;

  // More datagrams than this waiting for one member: the newest are dropped.
  static constexpr size_t kMemberQueueLimit = 4096;

 private:
  // Takes the next datagram of the shared port for its member; called with every member
  // waiting, with the lock held (simulated clock).
  void Pump();
  std::optional<PortDatagram> ReceiveInTime(Member& member, Clock::time_point deadline,
                                            std::unique_lock<std::mutex>& lock);
  std::optional<PortDatagram> ReceiveOnTheNetwork(Member& member, Clock::time_point deadline,
                                                  std::unique_lock<std::mutex>& lock);
  void Route(PortDatagram datagram);
  void Release(Member& member);

  TransferPort& shared_;
  const bool simulatedClock_;
  mutable std::mutex mutex_;
  std::mutex sendMutex_;
  bool reading_ = false;  // on the network: a member reads the shared port
  std::condition_variable wake_;
  std::list<Member> members_;
  std::map<uint64_t, Member*> byDevice_;
  int busy_ = 0;
  uint64_t unrouted_ = 0;
};

}  // namespace quillon
