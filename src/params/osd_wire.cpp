#include "params/osd_wire.h"

#include <cstring>

#include "text/gbk.h"

namespace quillon {

namespace {

constexpr size_t kUserBytes = 30;  // szUser and szPassword travel whole, 30 bytes each

static_assert(69 + 4 * kCameraBlockSize + 1 == kReadReplyFrameSize);
static_assert(69 + 4 * kCameraBlockSizeLegacy + 1 == kReadReplyFrameSizeLegacy);
static_assert(63 + 4 * kCameraBlockSize + 1 == kDownloadFrameSize);
static_assert(63 + 4 * kCameraBlockSizeLegacy + 1 == kDownloadFrameSizeLegacy);
static_assert(60 + 8 * 4 + 2 == kCameraBlockSize);
static_assert(60 + 8 * (kLegacyLineTextBytes + 4) + 2 == kCameraBlockSizeLegacy);

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Walks the camera blocks from `p` into the block. User name and password are always terminated
// at their byte 29; a legacy line text replaces only the first 17 bytes of szText and is
// terminated at byte 17, the rest of the field keeps what it held.
void ReadCameraBlocks(sOSDCommPara& osd, const uint8_t* p, bool legacy) {
  for (sCameraPara& cam : osd.asCamera) {
    std::memcpy(cam.szUser, p, kUserBytes);
    cam.szUser[kUserBytes - 1] = 0;
    p += kUserBytes;
    std::memcpy(cam.szPassword, p, kUserBytes);
    cam.szPassword[kUserBytes - 1] = 0;
    p += kUserBytes;
    for (sOverlayLine& line : cam.asLine) {
      if (legacy) {
        std::memcpy(line.szText, p, kLegacyLineTextBytes);
        line.szText[kLegacyLineTextBytes] = 0;
        p += kLegacyLineTextBytes;
      }
      line.wX = GetU16(p);
      line.wY = GetU16(p + 2);
      p += 4;
    }
    cam.byBrand = p[0];
    cam.byLineCount = p[1];
    p += 2;
  }
}

// The 17 bytes of a legacy line text as sent: the field's first 17 bytes, except that a text
// whose 17th byte is the first half of a Chinese character ends before it, so the device never
// shows half a character (16 bytes then).
void LegacyLineText(const sOverlayLine& line, uint8_t* out) {
  std::memcpy(out, line.szText, kLegacyLineTextBytes);
  const std::string_view text = FieldText(line.szText, sizeof line.szText);
  if (text.size() < kLegacyLineTextBytes) return;
  const size_t whole = LegacyLineTextKept(text).size();
  std::memset(out + whole, 0, kLegacyLineTextBytes - whole);
}

// The reverse walk: everything goes as stored, no terminator is forced.
uint8_t* WriteCameraBlocks(const sOSDCommPara& osd, uint8_t* p, bool legacy) {
  for (const sCameraPara& cam : osd.asCamera) {
    std::memcpy(p, cam.szUser, kUserBytes);
    p += kUserBytes;
    std::memcpy(p, cam.szPassword, kUserBytes);
    p += kUserBytes;
    for (const sOverlayLine& line : cam.asLine) {
      if (legacy) {
        LegacyLineText(line, p);
        p += kLegacyLineTextBytes;
      }
      PutU16(p, line.wX);
      PutU16(p + 2, line.wY);
      p += 4;
    }
    p[0] = cam.byBrand;
    p[1] = cam.byLineCount;
    p += 2;
  }
  return p;
}

}  // namespace

Bytes BuildReadRequest(const uint8_t mac[6]) {
  return BuildRequestFrame(CMD_READ_PARAMS, mac, nullptr, 0);
}

bool MapReadReply(sOSDCommPara& osd, std::span<const uint8_t> frame, bool legacyLineText) {
  // The device's frames are taken at fixed offsets; a short one would make us read past the
  // datagram, so it is refused as a whole rather than applied in part.
  const size_t needed = legacyLineText ? kReadReplyFrameSizeLegacy : kReadReplyFrameSize;
  if (frame.size() < needed) return false;

  const uint8_t* f = frame.data();
  osd.byDHCP = f[10];
  std::memcpy(osd.abyIP, f + 11, 4);
  std::memcpy(osd.abyGateway, f + 15, 4);
  std::memcpy(osd.abyNetMask, f + 19, 4);
  osd.dwAux = GetU32(f + 23);
  osd.wAux = GetU16(f + 27);
  for (int c = 0; c < 4; ++c) {
    const uint8_t* p = f + 29 + 8 * c;
    sCameraPara& cam = osd.asCamera[c];
    cam.wSourcePort = GetU16(p);
    cam.wCameraPort = GetU16(p + 2);
    std::memcpy(cam.abyCameraIP, p + 4, 4);
  }
  osd.wUpgradeSrcPort = GetU16(f + 61);
  osd.wUpgradeDstPort = GetU16(f + 63);
  std::memcpy(osd.abyUpgradeIP, f + 65, 4);
  ReadCameraBlocks(osd, f + 69, legacyLineText);
  return true;
}

Bytes BuildDownloadFrame(const sOSDCommPara& osd, const uint8_t mac[6], bool legacyLineText) {
  const size_t cameraBlock = legacyLineText ? kCameraBlockSizeLegacy : kCameraBlockSize;
  // Frame offsets 10 .. 62 hold the settings, the camera blocks follow; offsets below are
  // payload offsets (frame offset - 10).
  uint8_t payload[53 + 4 * kCameraBlockSizeLegacy] = {};
  payload[0] = osd.byDHCP;
  std::memcpy(payload + 1, osd.abyIP, 4);
  std::memcpy(payload + 5, osd.abyGateway, 4);
  std::memcpy(payload + 9, osd.abyNetMask, 4);
  for (int c = 0; c < 4; ++c) {
    uint8_t* p = payload + 13 + 8 * c;
    const sCameraPara& cam = osd.asCamera[c];
    PutU16(p, cam.wSourcePort);
    PutU16(p + 2, cam.wCameraPort);
    std::memcpy(p + 4, cam.abyCameraIP, 4);
  }
  PutU16(payload + 45, osd.wUpgradeSrcPort);
  PutU16(payload + 47, osd.wUpgradeDstPort);
  std::memcpy(payload + 49, osd.abyUpgradeIP, 4);
  WriteCameraBlocks(osd, payload + 53, legacyLineText);
  return BuildRequestFrame(CMD_DOWNLOAD_PARAMS, mac, payload, 53 + 4 * cameraBlock);
}

}  // namespace quillon
