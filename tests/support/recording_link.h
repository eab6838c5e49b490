// A link for tests: records every frame that would have been broadcast, counts the endpoint
// refreshes, and hands datagrams that a test delivers to whoever started it, as the receive
// thread would. Safe from any thread (the dictionary worker sends from its own).
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "link/frame_link.h"

namespace quillon::fakes {

class RecordingLink : public FrameLink {
 public:
  void Start(DatagramHandler onDatagram) override {
    std::lock_guard lock(mutex_);
    onDatagram_ = std::move(onDatagram);
  }
  void Stop() override {
    std::lock_guard lock(mutex_);
    onDatagram_ = nullptr;
  }
  void RefreshEndpoints() override {
    std::lock_guard lock(mutex_);
    ++refreshes_;
  }
  void SendFrame(const uint8_t* bytes, uint16_t length) override {
    std::lock_guard lock(mutex_);
    sent_.emplace_back(bytes, bytes + length);
  }

  // A datagram arriving now (or at `received`), on the calling thread as on a receive thread;
  // dropped unless started.
  void Deliver(Bytes datagram, ReceiveTime received = std::chrono::system_clock::now()) {
    DatagramHandler handler;
    {
      std::lock_guard lock(mutex_);
      handler = onDatagram_;
    }
    if (handler) handler(Datagram{std::move(datagram), received});
  }

  std::vector<Bytes> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  int Refreshes() const {
    std::lock_guard lock(mutex_);
    return refreshes_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    sent_.clear();
    refreshes_ = 0;
  }

 private:
  mutable std::mutex mutex_;
  DatagramHandler onDatagram_;
  std::vector<Bytes> sent_;
  int refreshes_ = 0;
};

}  // namespace quillon::fakes
