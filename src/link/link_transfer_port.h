// The window's link as a port for transfers that wait for their answers, the way the devices of
// a batch are served: frames go out through the link, and what the link receives while the port
// is attached is handed over in order, each datagram with the moment it reached the PC. The
// window's own handling of replies sees none of it meanwhile.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "link/frame_link.h"
#include "link/transfer_port.h"

namespace quillon {

class LinkTransferPort : public TransferPort {
 public:
  explicit LinkTransferPort(FrameLink& link) : link_(link) {}

  Clock::time_point Now() override { return Clock::now(); }
  bool Send(std::span<const uint8_t> frame) override;
  std::optional<PortDatagram> Receive(Clock::time_point deadline) override;

  // A datagram from the link's receive thread. Beyond kQueueLimit unread ones the newest are
  // dropped, as a socket's full buffer would.
  void Deliver(Datagram datagram);

  static constexpr size_t kQueueLimit = 4096;

 private:
  FrameLink& link_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<PortDatagram> queue_;
};

}  // namespace quillon
