#include "device/fleet_port.h"

#include <algorithm>

#include "link/frame.h"

namespace quillon {

namespace {

uint64_t DeviceKey(const uint8_t* mac) {
  uint64_t key = 0;
  for (int i = 0; i < 6; ++i) key = key << 8 | mac[i];
  return key;
}

}  // namespace

void FleetPort::Member::Serve(const uint8_t mac[6]) {
  const std::lock_guard lock(fleet_.mutex_);
  if (device_) fleet_.byDevice_.erase(*device_);
  device_ = DeviceKey(mac);
  fleet_.byDevice_[*device_] = this;
  received_.clear();
}

TransferPort::Clock::time_point FleetPort::Member::Now() {
  if (!fleet_.simulatedClock_) return fleet_.shared_.Now();
  const std::lock_guard lock(fleet_.mutex_);
  return fleet_.shared_.Now();
}

bool FleetPort::Member::Send(std::span<const uint8_t> frame) {
  if (!fleet_.simulatedClock_) {
    const std::lock_guard lock(fleet_.sendMutex_);
    return fleet_.shared_.Send(frame);
  }
  const std::lock_guard lock(fleet_.mutex_);
  return fleet_.shared_.Send(frame);
}

std::optional<PortDatagram> FleetPort::Member::Receive(Clock::time_point deadline) {
  std::unique_lock lock(fleet_.mutex_);
  return fleet_.simulatedClock_ ? fleet_.ReceiveInTime(*this, deadline, lock)
                                : fleet_.ReceiveOnTheNetwork(*this, deadline, lock);
}

namespace {

std::optional<PortDatagram> TakeFirst(std::deque<PortDatagram>& received) {
  if (received.empty()) return std::nullopt;
  PortDatagram datagram = std::move(received.front());
  received.pop_front();
  return datagram;
}

}  // namespace

std::optional<PortDatagram> FleetPort::ReceiveInTime(Member& member, Clock::time_point deadline,
                                                     std::unique_lock<std::mutex>& lock) {
  if (member.received_.empty()) {
    // Even past its deadline a member looks once more at what has come in meanwhile.
    member.waiting_ = true;
    member.deadline_ = deadline;
    --busy_;
    while (member.waiting_) {
      if (busy_ == 0)
        Pump();
      else
        wake_.wait(lock);
    }
  }
  return TakeFirst(member.received_);
}

std::optional<PortDatagram> FleetPort::ReceiveOnTheNetwork(Member& member,
                                                           Clock::time_point deadline,
                                                           std::unique_lock<std::mutex>& lock) {
  member.waiting_ = true;
  for (;;) {
    if (!member.received_.empty()) break;
    if (!reading_) {
      // This member reads for everybody until its own answer comes or its time is up.
      reading_ = true;
      lock.unlock();
      std::optional<PortDatagram> datagram = shared_.Receive(deadline);
      lock.lock();
      reading_ = false;
      if (!datagram) break;         // its time is up
      Route(std::move(*datagram));  // and reads on at once when it was not its own
      continue;
    }
    if (Clock::now() >= deadline) break;
    member.wake_.wait_until(lock, deadline);
  }
  member.waiting_ = false;
  // Another waiting member reads on.
  if (!reading_)
    for (Member& other : members_)
      if (other.waiting_) {
        other.wake_.notify_one();
        break;
      }
  return TakeFirst(member.received_);
}

FleetPort::Member& FleetPort::Join() {
  const std::lock_guard lock(mutex_);
  ++busy_;
  return members_.emplace_back(*this);
}

void FleetPort::Leave(Member& member) {
  const std::lock_guard lock(mutex_);
  if (member.device_) byDevice_.erase(*member.device_);
  members_.remove_if([&](const Member& m) { return &m == &member; });
  // The members left may all be waiting now: one of them reads the port.
  if (--busy_ == 0) wake_.notify_all();
  for (Member& other : members_) other.wake_.notify_one();
}

uint64_t FleetPort::Unrouted() const {
  const std::lock_guard lock(mutex_);
  return unrouted_;
}

void FleetPort::Release(Member& member) {
  member.waiting_ = false;
  ++busy_;
}

void FleetPort::Pump() {
  Clock::time_point earliest = Clock::time_point::max();
  for (const Member& member : members_)
    if (member.waiting_) earliest = std::min(earliest, member.deadline_);
  if (std::optional<PortDatagram> datagram = shared_.Receive(earliest)) {
    Route(std::move(*datagram));
    // A member whose deadline has passed gets what came in before it first: the port is read
    // again at once while anything is left in it.
    for (Member& member : members_)
      if (member.waiting_ && !member.received_.empty()) Release(member);
  } else {
    const Clock::time_point now = shared_.Now();
    for (Member& member : members_)
      if (member.waiting_ && (!member.received_.empty() || member.deadline_ <= now))
        Release(member);
  }
  if (busy_ > 0) wake_.notify_all();
}

void FleetPort::Route(PortDatagram datagram) {
  const Bytes& frame = datagram.bytes;
  // Our own broadcast requests come back too; they, and anything damaged, answer nobody.
  if (!IsAcceptableReply(frame) || frame.size() < kFramePayloadOffset) {
    ++unrouted_;
    return;
  }
  Member* member = nullptr;
  if (const auto named = byDevice_.find(DeviceKey(frame.data() + kFrameMacOffset));
      named != byDevice_.end())
    member = named->second;
  // The window reads no MAC in a download result or a dictionary reply. While one device alone
  // is served, such a reply reaches it whatever it names, as it reaches the window; its
  // transfer still checks that it answers what was asked.
  const uint8_t command = frame[3];
  if (!member && byDevice_.size() == 1 &&
      (command == CMD_DOWNLOAD_PARAMS || command == CMD_DICTIONARY))
    member = byDevice_.begin()->second;
  if (!member || member->received_.size() >= kMemberQueueLimit) {
    ++unrouted_;
    return;
  }
  member->received_.push_back(std::move(datagram));
  if (!simulatedClock_) member->wake_.notify_one();
}

}  // namespace quillon
