// The two fixed layouts that carry sOSDCommPara over the wire: the read reply (command 3,
// device to program) and the download (command 4, program to device).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "device/device_rules.h"
#include "link/frame.h"
#include "params/parameter_block.h"

namespace quillon {

constexpr size_t kCameraBlockSize = 94;
constexpr size_t kCameraBlockSizeLegacy = 230;
constexpr size_t kReadReplyFrameSize = 446;
constexpr size_t kReadReplyFrameSizeLegacy = 990;
constexpr size_t kDownloadFrameSize = 440;
constexpr size_t kDownloadFrameSizeLegacy = 984;

// The 11-byte read request for a device.
Bytes BuildReadRequest(const uint8_t mac[6]);

// Maps an accepted command 3 reply frame (whole frame, offset 0 = start byte) into the block.
// A frame shorter than the layout (446 bytes, 990 with legacy line text) is refused: nothing is
// changed and false is returned.
bool MapReadReply(sOSDCommPara& osd, std::span<const uint8_t> frame, bool legacyLineText);

// The whole command 4 download frame (440 bytes, 984 with legacy line text).
Bytes BuildDownloadFrame(const sOSDCommPara& osd, const uint8_t mac[6], bool legacyLineText);

}  // namespace quillon
