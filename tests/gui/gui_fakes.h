// Fakes for the widget tests: a link that records what would have been broadcast and a
// notifier that records boxes instead of showing them.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/frame_link.h"
#include "link/notifier.h"
#include "support/recording_notifier.h"

namespace quillon::testing {

class RecordingLink : public FrameLink {
 public:
  void RefreshEndpoints() override { ++refreshes; }
  void SendFrame(const uint8_t* bytes, uint16_t length) override {
    std::lock_guard lock(mutex);
    sent.emplace_back(bytes, bytes + length);
  }
  std::vector<std::vector<uint8_t>> Sent() {
    std::lock_guard lock(mutex);
    return sent;
  }

  int refreshes = 0;
  std::mutex mutex;
  std::vector<std::vector<uint8_t>> sent;
};

using Box = fakes::RecordedBox;
using fakes::RecordingNotifier;

}  // namespace quillon::testing
