#include "simulated_device.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "device_dictionary.h"
#include "text/gbk.h"
#include "text/ipv4_text.h"

namespace quillon::devsim {
namespace {

constexpr size_t kDownloadHeader = 63;   // the same in a download frame
constexpr size_t kLegacyTextBytes = 17;  // line text bytes inside a legacy camera block
constexpr size_t kOversizeBytes = 2100;
constexpr uint16_t kForeignId = 9000;

// The device writes its numbers the way the program reads them: little-endian.
void Put(Bytes& out, const void* field, size_t size) {
  const auto* p = static_cast<const uint8_t*>(field);
  out.insert(out.end(), p, p + size);
}
void PutU16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Walks a download frame field by field; every take is bounds-checked by the caller, who made
// sure the frame holds the whole layout.
struct Reader {
  const uint8_t* p;
  void Take(void* field, size_t size) {
    std::memcpy(field, p, size);
    p += size;
  }
  uint16_t U16() {
    const uint16_t v = GetU16(p);
    p += 2;
    return v;
  }
};

void SetIp(uint8_t field[4], uint32_t ip) {
  for (int i = 0; i < 4; ++i) field[i] = static_cast<uint8_t>(ip >> (24 - 8 * i));
}

bool ParseHexMac(const std::string& text, uint8_t mac[6]) {
  if (text.size() != 12) return false;
  for (int i = 0; i < 6; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(text[2 * i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[2 * i + 1])))
      return false;
    mac[i] = static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
  }
  return true;
}

// A dictionary read request that names one of the camera line texts (5000 to 5031).
bool AsksForLineTexts(std::span<const uint8_t> frame) {
  const size_t end = frame.size() - 1;
  if (end < kFramePayloadOffset + 3 || GetU16(frame.data() + kFramePayloadOffset) != 8001)
    return false;
  for (size_t at = kFramePayloadOffset + 3; at + 2 <= end; at += 2) {
    const uint16_t id = GetU16(frame.data() + at);
    if (id >= 5000 && id <= 5031) return true;
  }
  return false;
}

// A dictionary write that carries a camera's line texts (the frames that follow a download).
bool WritesLineTexts(std::span<const uint8_t> frame) {
  const size_t end = frame.size() - 1;
  if (end < kFramePayloadOffset + 5 || GetU16(frame.data() + kFramePayloadOffset) != 8002)
    return false;
  const uint16_t first = GetU16(frame.data() + kFramePayloadOffset + 3);
  return first >= 5000 && first <= 5031;
}

const char* const kSlotNames[] = {"温度", "压力", "流量", "液位"};
const char* const kSlotUnits[] = {"℃", "MPa", "m3/h", "m"};

}  // namespace

std::string MacText(const uint8_t mac[6]) {
  char text[13];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return text;
}

bool ParseDeviceDescription(const std::string& description, int index, DeviceIdentity& identity,
                            std::string& error) {
  identity = DeviceIdentity{};
  identity.ip = 0xC0A80164 + static_cast<uint32_t>(index);  // 192.168.1.100 on
  const uint8_t defaultMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, static_cast<uint8_t>(index)};
  std::memcpy(identity.mac, defaultMac, 6);
  identity.name = "设备" + std::to_string(index + 1);

  size_t pos = 0;
  while (pos < description.size()) {
    const size_t eq = description.find('=', pos);
    if (eq == std::string::npos) {
      error = "expected key=value in '" + description.substr(pos) + "'";
      return false;
    }
    const std::string key = description.substr(pos, eq - pos);
    size_t end = key == "name" ? description.size() : description.find(',', eq + 1);
    if (end == std::string::npos) end = description.size();
    const std::string value = description.substr(eq + 1, end - eq - 1);
    pos = end + 1;

    if (key == "ip") {
      const std::optional<uint32_t> ip = ParseIpv4(value);
      if (!ip) {
        error = "bad ip '" + value + "'";
        return false;
      }
      identity.ip = *ip;
    } else if (key == "mac") {
      if (!ParseHexMac(value, identity.mac)) {
        error = "bad mac '" + value + "' (12 hex digits)";
        return false;
      }
    } else if (key == "version") {
      unsigned major = 0, minor = 0;
      if (std::sscanf(value.c_str(), "%u.%u", &major, &minor) != 2 || major > 255 || minor > 255) {
        error = "bad version '" + value + "' (major.minor)";
        return false;
      }
      identity.major = static_cast<uint8_t>(major);
      identity.minor = static_cast<uint8_t>(minor);
    } else if (key == "restart-ms") {
      char* end = nullptr;
      const long ms = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || ms < 0 || ms > 600000) {
        error = "bad restart-ms '" + value + "' (0 to 600000)";
        return false;
      }
      identity.restart = std::chrono::milliseconds(ms);
    } else if (key == "name") {
      identity.name = value;
    } else {
      error = "unknown key '" + key + "'";
      return false;
    }
  }
  return true;
}

SimulatedDevice::SimulatedDevice(const DeviceIdentity& identity, int variant)
    : identity_(identity) {
  std::memset(&block_, 0, sizeof block_);
  FillDefaults(variant);
}

std::string SimulatedDevice::MacText() const { return devsim::MacText(identity_.mac); }

void SimulatedDevice::FillDefaults(int variant) {
  const int v = variant;
  sOSDCommPara& osd = block_.osd;
  osd.byDHCP = 0;
  SetIp(osd.abyIP, identity_.ip);
  SetIp(osd.abyGateway, (identity_.ip & 0xFFFFFF00) | 1);
  SetIp(osd.abyNetMask, 0xFFFFFF00);
  osd.dwAux = 0x12345600u + static_cast<uint32_t>(v);
  osd.wAux = static_cast<uint16_t>(0x0100 + v);
  SetIp(osd.abyUpgradeIP, 0xC0A801C8 + static_cast<uint32_t>(v));  // 192.168.1.200 on
  osd.wUpgradeSrcPort = static_cast<uint16_t>(6000 + v);
  osd.wUpgradeDstPort = static_cast<uint16_t>(7000 + v);
  for (int c = 0; c < 4; ++c) {
    sCameraPara& cam = osd.asCamera[c];
    StoreGbkText(cam.szUser, 29, "admin" + std::to_string(c + 1));
    StoreGbkText(cam.szPassword, 29, "pass" + std::to_string(v + 1) + std::to_string(c + 1));
    SetIp(cam.abyCameraIP, 0xC0A80100 + static_cast<uint32_t>(101 + 10 * v + c));
    cam.wSourcePort = static_cast<uint16_t>(8000 + 10 * v + c);
    cam.wCameraPort = static_cast<uint16_t>(8080 + c);
    for (int l = 0; l < 8; ++l) {
      sOverlayLine& line = cam.asLine[l];
      line.wX = static_cast<uint16_t>(16 + 8 * v);
      line.wY = static_cast<uint16_t>(32 + 48 * l);
      const std::string prefix = v == 0 ? std::string() : "D" + std::to_string(v + 1);
      StoreGbkText(
          line.szText, 72,
          prefix + "摄像头" + std::to_string(c + 1) + " 第" + std::to_string(l + 1) + "行");
    }
    cam.byBrand = static_cast<uint8_t>((c + v) % 5);
    cam.byLineCount = static_cast<uint8_t>(8 - (c + v) % 4);
  }

  sModBusPara& mb = block_.modbus;
  mb.byProtocol = 1;
  mb.wPollInterval = static_cast<uint16_t>(1000 + 100 * v);
  mb.wTimeout = static_cast<uint16_t>(500 + 10 * v);
  mb.wRetryLimit = static_cast<uint16_t>(3 + v);
  mb.dwBaudRate = v % 2 ? 19200 : 9600;
  mb.byParity = static_cast<uint8_t>(v % 3);
  for (int k = 0; k < 16; ++k) {
    sSlotPara& s = mb.asSlot[k];
    s.byEnable = k < 12 ? 1 : 0;
    s.byChannel = static_cast<uint8_t>(k % 8);
    s.bySlaveAddr = static_cast<uint8_t>(1 + k + v);
    s.byFuncCode = k % 2 ? 4 : 3;
    s.wStartReg = static_cast<uint16_t>(100 + 2 * k + 1000 * v);
    s.wRegCount = static_cast<uint16_t>(1 + k % 2);
    s.wDataOffset = static_cast<uint16_t>(k % 3);
    s.dwDataType = static_cast<uint32_t>((k + v) % 15);
    s.byDecimals = static_cast<uint8_t>(k % 4);
    s.fScaleA = 1.0f + 0.5f * static_cast<float>(k);
    s.fOffsetB = static_cast<float>(v) - 0.25f * static_cast<float>(k);
    StoreGbkText(s.szName, 30, kSlotNames[v % 4] + std::to_string(k + 1));
    StoreGbkText(s.szUnit, 8, kSlotUnits[v % 4]);
    s.fAlarmValue = 50.0f + static_cast<float>(k);
    StoreGbkText(s.szAlarmText, 10, "报警" + std::to_string(k + 1));
    StoreGbkText(s.szNormalText, 10, "正常" + std::to_string(k + 1));
    for (int j = 0; j < 8; ++j) {
      s.afGearValue[j] = static_cast<float>(j + 1) * 1.5f;
      StoreGbkText(s.aszGearText[j], 10, "档位" + std::to_string(j + 1));
    }
    StoreGbkText(s.aszGearText[8], 10, "其他");
    s.byDataBits = static_cast<uint8_t>(4 + k % 3);
  }
}

Bytes SimulatedDevice::SearchReply() const {
  Bytes body(4, 0);  // four bytes the program does not read
  PutU32(body, identity_.ip);
  Put(body, identity_.mac, 6);
  body.push_back(identity_.minor);
  body.push_back(identity_.major);
  body.push_back(0);
  body.push_back(0);
  const std::string name = Utf8ToGbk(identity_.name);
  body.insert(body.end(), name.begin(), name.end());
  body.push_back(0);
  return BuildReplyFrame(CMD_SEARCH, body.data(), body.size());
}

Bytes SimulatedDevice::ReadReply() const {
  const sOSDCommPara& osd = block_.osd;
  Bytes body;
  Put(body, identity_.mac, 6);
  body.push_back(osd.byDHCP);
  Put(body, osd.abyIP, 4);
  Put(body, osd.abyGateway, 4);
  Put(body, osd.abyNetMask, 4);
  PutU32(body, osd.dwAux);
  PutU16(body, osd.wAux);
  for (const sCameraPara& cam : osd.asCamera) {
    PutU16(body, cam.wSourcePort);
    PutU16(body, cam.wCameraPort);
    Put(body, cam.abyCameraIP, 4);
  }
  PutU16(body, osd.wUpgradeSrcPort);
  PutU16(body, osd.wUpgradeDstPort);
  Put(body, osd.abyUpgradeIP, 4);
  for (const sCameraPara& cam : osd.asCamera) {
    Put(body, cam.szUser, 30);
    Put(body, cam.szPassword, 30);
    for (const sOverlayLine& line : cam.asLine) {
      if (LegacyLineText()) Put(body, line.szText, kLegacyTextBytes);
      PutU16(body, line.wX);
      PutU16(body, line.wY);
    }
    body.push_back(cam.byBrand);
    body.push_back(cam.byLineCount);
  }
  return BuildReplyFrame(CMD_READ_PARAMS, body.data(), body.size());
}

bool SimulatedDevice::ApplyDownload(std::span<const uint8_t> frame) {
  const size_t cameraBlock = LegacyLineText() ? 230 : 94;
  if (frame.size() < kDownloadHeader + 4 * cameraBlock + 1) return false;

  sOSDCommPara& osd = block_.osd;
  Reader in{frame.data() + kFramePayloadOffset};
  in.Take(&osd.byDHCP, 1);
  in.Take(osd.abyIP, 4);
  in.Take(osd.abyGateway, 4);
  in.Take(osd.abyNetMask, 4);
  for (sCameraPara& cam : osd.asCamera) {
    cam.wSourcePort = in.U16();
    cam.wCameraPort = in.U16();
    in.Take(cam.abyCameraIP, 4);
  }
  osd.wUpgradeSrcPort = in.U16();
  osd.wUpgradeDstPort = in.U16();
  in.Take(osd.abyUpgradeIP, 4);
  for (sCameraPara& cam : osd.asCamera) {
    in.Take(cam.szUser, 30);
    cam.szUser[29] = 0;
    in.Take(cam.szPassword, 30);
    cam.szPassword[29] = 0;
    for (sOverlayLine& line : cam.asLine) {
      if (LegacyLineText()) {
        in.Take(line.szText, kLegacyTextBytes);
        line.szText[kLegacyTextBytes] = 0;
      }
      line.wX = in.U16();
      line.wY = in.U16();
    }
    in.Take(&cam.byBrand, 1);
    in.Take(&cam.byLineCount, 1);
  }
  return true;
}

void SimulatedDevice::Restart() {
  const uint8_t* ip = block_.osd.abyIP;
  if (block_.osd.byDHCP == 0)
    identity_.ip = static_cast<uint32_t>(ip[0]) << 24 | ip[1] << 16 | ip[2] << 8 | ip[3];
}

SimulatedDevice::Phase SimulatedDevice::PhaseAt(std::chrono::steady_clock::time_point now) const {
  if (!downloaded_ || identity_.restart.count() == 0) return Phase::Answering;
  const auto restart = restartAt_.value_or(lastTaken_ + kLineTextWindow);
  if (now < restart) return Phase::TakingLineTexts;
  if (now < restart + identity_.restart) return Phase::Restarting;
  return Phase::Answering;
}

void SimulatedDevice::Downloaded(std::chrono::steady_clock::time_point now) {
  downloaded_ = true;
  lastTaken_ = now;
  camerasTaken_ = 0;
  restartAt_.reset();
}

void SimulatedDevice::TookLineTexts(std::chrono::steady_clock::time_point now, int camera) {
  lastTaken_ = now;
  camerasTaken_ |= 1u << camera;
  if (camerasTaken_ == 0xF) restartAt_ = now;
}

Bytes SimulatedDevice::DownloadResult(uint8_t result) const {
  Bytes body(identity_.mac, identity_.mac + 6);
  body.push_back(result);
  return BuildReplyFrame(CMD_DOWNLOAD_PARAMS, body.data(), body.size());
}

Simulator::Simulator(std::vector<DeviceIdentity> identities, FaultOptions faults)
    : faults_(faults) {
  for (size_t i = 0; i < identities.size(); ++i) {
    devices_.emplace_back(identities[i], static_cast<int>(i));
    silentLeft_.push_back(faults.silent);
    answered_.push_back(0);
  }
}

Simulator::Outcome Simulator::Handle(std::span<const uint8_t> datagram) {
  Outcome outcome;
  if (!IsWellFormedRequest(datagram)) return outcome;
  const uint8_t command = datagram[3];

  const std::chrono::steady_clock::time_point now = clock();
  if (command == CMD_SEARCH) {
    outcome.log.push_back("search");
    for (size_t i = 0; i < devices_.size(); ++i) {
      if (devices_[i].PhaseAt(now) != SimulatedDevice::Phase::Answering) {
        outcome.log.push_back("restarting search " + devices_[i].MacText());
        continue;
      }
      if (faults_.faultSearch && silentLeft_[i] > 0) {
        --silentLeft_[i];
        outcome.log.push_back("silent search " + devices_[i].MacText());
        continue;
      }
      outcome.replies.push_back(devices_[i].SearchReply());
    }
    if (faults_.faultSearch) Misbehave(outcome.replies);
    return outcome;
  }
  if (datagram.size() < kFrameOverhead) return outcome;  // no room for a MAC

  for (size_t i = 0; i < devices_.size(); ++i) {
    SimulatedDevice& device = devices_[i];
    if (std::memcmp(datagram.data() + kFrameMacOffset, device.Identity().mac, 6) != 0) continue;
    const SimulatedDevice::Phase phase = device.PhaseAt(now);
    if (phase == SimulatedDevice::Phase::Restarting ||
        (phase == SimulatedDevice::Phase::TakingLineTexts &&
         !(command == CMD_DICTIONARY && WritesLineTexts(datagram)))) {
      outcome.log.push_back("restarting " + device.MacText());
      continue;
    }
    Outcome one = HandleAddressed(device, static_cast<int>(i), datagram);
    if (command == CMD_DOWNLOAD_PARAMS && one.stateChanged && !faults_.refuseDownload)
      device.Downloaded(now);
    if (phase == SimulatedDevice::Phase::TakingLineTexts && !one.replies.empty())
      device.TookLineTexts(now, (GetU16(datagram.data() + kFramePayloadOffset + 3) - 5000) / 8);
    outcome.replies.insert(outcome.replies.end(), one.replies.begin(), one.replies.end());
    outcome.log.insert(outcome.log.end(), one.log.begin(), one.log.end());
    outcome.stateChanged = outcome.stateChanged || one.stateChanged;
  }
  return outcome;
}

Simulator::Outcome Simulator::HandleAddressed(SimulatedDevice& device, int index,
                                              std::span<const uint8_t> frame) {
  Outcome outcome;
  const std::string mac = device.MacText();
  const uint8_t command = frame[3];
  static const char* const kNames[] = {"", "", "search", "read", "download",
                                       "", "", "",       "",     "dict"};
  const char* what = command < 10 && kNames[command][0] ? kNames[command] : "command";

  if (silentLeft_[index] > 0) {
    --silentLeft_[index];
    outcome.log.push_back(std::string("silent ") + what + " " + mac);
    return outcome;
  }
  auto listed = [&mac](const std::vector<std::string>& macs) {
    return std::find(macs.begin(), macs.end(), mac) != macs.end();
  };
  if (listed(faults_.silentDevices)) {
    outcome.log.push_back(std::string("silent ") + what + " " + mac);
    return outcome;
  }
  if (command == CMD_DICTIONARY && listed(faults_.silentTextDevices) && AsksForLineTexts(frame)) {
    outcome.log.push_back("silent dict-texts " + mac);
    return outcome;
  }
  if (faults_.silentAfter >= 0 && answered_[index] >= faults_.silentAfter) {
    outcome.log.push_back(std::string("silent ") + what + " " + mac);
    return outcome;
  }
  ++answered_[index];

  switch (command) {
    case CMD_READ_PARAMS:
      outcome.log.push_back("read " + mac);
      outcome.replies.push_back(device.ReadReply());
      break;
    case CMD_DOWNLOAD_PARAMS: {
      if (!device.ApplyDownload(frame)) {
        outcome.log.push_back("download " + mac + " bad-size " + std::to_string(frame.size()));
        outcome.replies.push_back(device.DownloadResult(0));
        break;
      }
      outcome.stateChanged = true;
      const bool ok = !faults_.refuseDownload;
      outcome.log.push_back("download " + mac + (ok ? " ok" : " refused"));
      outcome.replies.push_back(device.DownloadResult(ok ? 1 : 0));
      // The acknowledgement goes out first; then the device restarts, as a real one does.
      if (ok) device.Restart();
      break;
    }
    case CMD_DICTIONARY:
      outcome = HandleDictionary(device, frame);
      break;
    default:
      outcome.log.push_back("command " + std::to_string(command) + " " + mac + " ignored");
      return outcome;
  }
  Misbehave(outcome.replies);
  return outcome;
}

Simulator::Outcome Simulator::HandleDictionary(SimulatedDevice& device,
                                               std::span<const uint8_t> frame) {
  Outcome outcome;
  const std::string mac = device.MacText();
  // The request's items end before the checksum; nothing inside the frame may lead beyond it.
  const size_t end = frame.size() - 1;
  if (end < kFramePayloadOffset + 3) {
    outcome.log.push_back("dict-short " + mac);
    return outcome;
  }
  const uint8_t* p = frame.data();
  const uint16_t op = GetU16(p + kFramePayloadOffset);
  const int count = p[kFramePayloadOffset + 2];
  const int limit = faults_.partialAck >= 0 ? std::min(count, faults_.partialAck) : count;
  size_t at = kFramePayloadOffset + 3;

  Bytes body(device.Identity().mac, device.Identity().mac + 6);
  PutU16(body, op);
  body.push_back(0);  // count, filled in below
  int answered = 0;

  DeviceParameterBlock& state = device.Block();
  if (op == kOpReadItems) {
    for (int i = 0; i < count && at + 2 <= end; ++i, at += 2) {
      if (i >= limit) continue;
      const uint16_t id = GetU16(p + at);
      const std::vector<uint8_t> value = ItemValue(state.osd, state.modbus, id);
      PutU16(body, id);
      body.push_back(static_cast<uint8_t>(value.size()));
      body.insert(body.end(), value.begin(), value.end());
      ++answered;
    }
    if (faults_.foreignId) {
      PutU16(body, kForeignId);
      body.push_back(1);
      body.push_back(0x5A);
      ++answered;
    }
    outcome.log.push_back("dict-read " + mac + " " + std::to_string(count) + " ids");
  } else if (op == kOpWriteItems) {
    for (int i = 0; i < count && at + 3 <= end; ++i) {
      const uint16_t id = GetU16(p + at);
      const size_t length = std::min<size_t>(p[at + 2], end - (at + 3));
      if (i < limit) {
        StoreItem(state.osd, state.modbus, id, std::span<const uint8_t>(p + at + 3, length));
        PutU16(body, id);
        ++answered;
      }
      at += 3 + length;
    }
    outcome.stateChanged = answered > 0;
    outcome.log.push_back("dict-write " + mac + " " + std::to_string(count) + " ids");
  } else {
    outcome.log.push_back("dict-op " + std::to_string(op) + " " + mac + " ignored");
    return outcome;
  }
  if (limit < count) outcome.log.back() += " answered " + std::to_string(limit);
  body[8] = static_cast<uint8_t>(answered);
  outcome.replies.push_back(BuildReplyFrame(CMD_DICTIONARY, body.data(), body.size()));
  return outcome;
}

void Simulator::Misbehave(std::vector<Bytes>& replies) const {
  for (Bytes& reply : replies) {
    if (faults_.oversize) {
      // A whole, well-formed frame, only too large for the program's receive buffer.
      Bytes body(reply.begin() + 4, reply.end() - 1);
      body.resize(kOversizeBytes - 5, 0);
      reply = BuildReplyFrame(reply[3], body.data(), body.size());
    }
    if (faults_.truncate) {
      // Cut short but otherwise well-formed, so it passes the envelope checks and tests how
      // the handlers treat a frame shorter than their fields.
      const size_t keep = std::max<size_t>(reply.size() / 2, 5);
      Bytes body(reply.begin() + 4, reply.begin() + static_cast<long>(keep) - 1);
      reply = BuildReplyFrame(reply[3], body.data(), body.size());
    }
    if (faults_.foreignMac && reply[3] != CMD_SEARCH && reply.size() >= kFrameOverhead) {
      // Another device's MAC where this one names itself (a search reply names it elsewhere
      // and is left alone); the checksum is made right again.
      std::memcpy(reply.data() + kFrameMacOffset, kForeignReplyMac, 6);
      reply.back() = FrameChecksum(reply.data() + 3, reply.size() - 4);
    }
    if (faults_.badChecksum) reply.back() = static_cast<uint8_t>(reply.back() + 1);
  }
  if (faults_.answerTwice) {
    std::vector<Bytes> twice;
    for (const Bytes& reply : replies) {
      twice.push_back(reply);
      twice.push_back(reply);
    }
    replies = std::move(twice);
  }
}

}  // namespace quillon::devsim
