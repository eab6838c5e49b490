#include "link/link_transfer_port.h"

#include <algorithm>
#include <limits>

namespace quillon {

bool LinkTransferPort::Send(std::span<const uint8_t> frame) {
  if (frame.empty() || frame.size() > std::numeric_limits<uint16_t>::max()) return false;
  link_.SendFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return true;
}

std::optional<PortDatagram> LinkTransferPort::Receive(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) return std::nullopt;
  PortDatagram datagram = std::move(queue_.front());
  queue_.pop_front();
  return datagram;
}

void LinkTransferPort::Deliver(Datagram datagram) {
  // The link stamps the wall clock; a transfer's deadlines run on the steady one.
  const auto age = std::chrono::system_clock::now() - datagram.received;
  PortDatagram taken{std::move(datagram.bytes),
                     Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                        std::max(age, std::chrono::system_clock::duration{}))};
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= kQueueLimit) return;
    queue_.push_back(std::move(taken));
  }
  arrived_.notify_one();
}

}  // namespace quillon
