// What the protocol flows need of the link: refreshing the local endpoints and broadcasting.
#pragma once

#include <cstdint>

namespace quillon {

class FrameLink {
 public:
  virtual ~FrameLink() = default;
  // Brings the table of local endpoints in line with the PC's current addresses (UI thread).
  virtual void RefreshEndpoints() = 0;
  // Broadcasts one datagram to 255.255.255.255:1901 through every open endpoint (any thread).
  virtual void SendFrame(const uint8_t* bytes, uint16_t length) = 0;
};

}  // namespace quillon
