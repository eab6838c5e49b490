#include "session/device_transfer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "params/osd_wire.h"

namespace quillon {

namespace {

TransferResult Failed(TransferResult::Status status, std::string message) {
  return TransferResult{status, std::move(message)};
}

TransferResult CannotSend() {
  return Failed(TransferResult::Status::SendFailed,
                "the request could not be sent through any local address");
}

int Percent(int total, int pending) {
  if (total <= 0) return 100;
  return static_cast<int>(static_cast<double>(total - pending) / total * 100);
}

void MarkAll(sModBusPara& modbus, uint8_t* marks) {
  const int count = std::min<int>(modbus.wDictCount, kDictCapacity);
  for (int i = 0; i < count; ++i) std::atomic_ref<uint8_t>(marks[i]).store(1);
}

void ClearMarks(uint8_t* marks) {
  for (int i = 0; i < kDictCapacity; ++i) std::atomic_ref<uint8_t>(marks[i]).store(0);
}

}  // namespace

DeviceTransfer::DeviceTransfer(TransferPort& port, const uint8_t mac[6], bool legacyLineText)
    : port_(port), legacy_(legacyLineText) {
  std::memcpy(mac_, mac, sizeof mac_);
}

void DeviceTransfer::Progress(std::string_view step, int percent) {
  if (progress_) progress_(step, percent);
}

bool DeviceTransfer::Send(const Bytes& frame) {
  ++requestsSent_;
  return port_.Send(frame);
}

bool DeviceTransfer::SendDictionary(const uint8_t* payload, size_t length) {
  return Send(BuildRequestFrame(CMD_DICTIONARY, mac_, payload, length));
}

bool DeviceTransfer::WaitFor(Clock::time_point deadline,
                             const std::function<void(const PortDatagram&)>& handle,
                             const std::function<bool()>& done) {
  while (!done()) {
    std::optional<PortDatagram> datagram = port_.Receive(deadline);
    if (!datagram) return done();
    // Our own broadcast requests come back too; they, and anything damaged, are no answer.
    if (!IsAcceptableReply(datagram->bytes)) continue;
    handle(*datagram);
  }
  return true;
}

bool DeviceTransfer::TakeDictionaryReply(DeviceParameterBlock& block, const PortDatagram& datagram,
                                         DictionaryRequest& request, Clock::time_point sentAt) {
  const Bytes& frame = datagram.bytes;
  // A reply that reached the PC before the request left answers an earlier one: a duplicate, or
  // the late answer of the device served before.
  if (frame[3] != CMD_DICTIONARY || frame.size() < kFrameOverhead || datagram.received < sentAt)
    return false;
  const DictionaryReplyResult result = ParseDictionaryReply(
      block, frame.data() + kFramePayloadOffset, frame.size() - kFrameOverhead, request);
  if (result.kind == DictionaryReplyResult::Kind::Ignored) return false;
  for (std::string line : result.logLines) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    notes_.push_back(std::move(line));
  }
  return true;
}

TransferResult DeviceTransfer::ReadParams(sOSDCommPara& osd) {
  Progress("reading parameters", 0);
  const Clock::time_point sentAt = port_.Now();
  if (!Send(BuildReadRequest(mac_))) return CannotSend();
  bool read = false;
  WaitFor(
      sentAt + kReadReplyTimeout,
      [&](const PortDatagram& datagram) {
        const Bytes& frame = datagram.bytes;
        if (frame[3] != CMD_READ_PARAMS || datagram.received < sentAt ||
            frame.size() < kFramePayloadOffset ||
            std::memcmp(frame.data() + kFrameMacOffset, mac_, sizeof mac_) != 0)
          return;
        // A reply shorter than its layout is refused whole and changes nothing.
        read = MapReadReply(osd, frame, legacy_);
      },
      [&] { return read; });
  if (!read)
    return Failed(TransferResult::Status::NoReply, "no reply to the parameter read within 5 s");
  Progress("reading parameters", 100);
  return {};
}

TransferResult DeviceTransfer::ReadCameraTexts(DeviceParameterBlock& block) {
  for (int camera = 0; camera < 4; ++camera) {
    Progress("reading line texts", camera * 25);
    uint8_t payload[kDictFrameBufferSize];
    const size_t length = BuildCameraTextReadPayload(camera, payload);
    request_.Record(payload, length);
    const Clock::time_point sentAt = port_.Now();
    if (!SendDictionary(payload, length)) {
      request_.outstanding = false;
      return CannotSend();
    }
    const bool answered = WaitFor(
        sentAt + kCameraTextTimeout,
        [&](const PortDatagram& datagram) {
          TakeDictionaryReply(block, datagram, request_, sentAt);
        },
        [&] { return !request_.outstanding; });
    if (!answered) {
      request_.outstanding = false;
      char text[96];
      std::snprintf(text, sizeof text, "no reply to the read of camera %d's line texts within 5 s",
                    camera + 1);
      return Failed(TransferResult::Status::NoReply, text);
    }
  }
  Progress("reading line texts", 100);
  return {};
}

TransferResult DeviceTransfer::ReadRs485(DeviceParameterBlock& block) {
  MarkAll(block.modbus, block.modbus.abyDictRead);
  return TransferMarked(block, false);
}

TransferResult DeviceTransfer::WriteRs485(DeviceParameterBlock& block) {
  MarkAll(block.modbus, block.modbus.abyDictWrite);
  return TransferMarked(block, true);
}

TransferResult DeviceTransfer::TransferMarked(DeviceParameterBlock& block, bool write) {
  sModBusPara& modbus = block.modbus;
  const char* step = write ? "writing RS-485 entries" : "reading RS-485 entries";
  const int total = modbus.wDictCount;
  int tries = 0;
  for (;;) {
    const int pending = write ? CountPendingWrites(modbus) : CountPendingReads(modbus);
    Progress(step, Percent(total, pending));
    if (pending == 0) return {};

    uint8_t payload[kDictFrameBufferSize];
    const size_t length =
        write ? BuildWriteChunk(block, payload, sizeof payload) : BuildReadChunk(block, payload);
    request_.Record(payload, length);
    std::atomic_ref<uint8_t>(modbus.byDictBusy).store(1);
    const Clock::time_point sentAt = port_.Now();
    if (!SendDictionary(payload, length)) {
      request_.outstanding = false;
      return CannotSend();
    }
    const bool answered = WaitFor(
        sentAt + kChunkTimeout,
        [&](const PortDatagram& datagram) {
          TakeDictionaryReply(block, datagram, request_, sentAt);
        },
        [&] { return !request_.outstanding; });
    if (answered) {
      tries = 0;
      continue;
    }
    // Timed out: the entries still marked go out again, up to three tries per chunk.
    request_.outstanding = false;
    if (++tries < kChunkTries) {
      ++retries_;
      continue;
    }
    ClearMarks(write ? modbus.abyDictWrite : modbus.abyDictRead);
    char text[160];
    std::snprintf(text, sizeof text,
                  "no reply to an RS-485 %s request within 10 s, three times; %d of %d entries "
                  "were %s",
                  write ? "write" : "read", total - pending, total, write ? "written" : "read");
    return Failed(TransferResult::Status::NoReply, text);
  }
}

TransferResult DeviceTransfer::Download(DeviceParameterBlock& block) {
  Progress("downloading parameters", 0);
  const Bytes frame = BuildDownloadFrame(block.osd, mac_, legacy_);
  const Clock::time_point sentAt = port_.Now();
  if (!Send(frame)) return CannotSend();

  std::optional<uint8_t> result;
  DictionaryRequest texts[4];
  Clock::time_point textSentAt[4] = {};
  int textsSent = 0;
  const auto handle = [&](const PortDatagram& datagram) {
    const Bytes& reply = datagram.bytes;
    if (reply[3] == CMD_DOWNLOAD_PARAMS) {
      // The result byte sits at offset 10, before the checksum. The device's MAC in this reply
      // is not read: only the device being served has a download outstanding.
      if (!result && datagram.received >= sentAt && reply.size() >= kFramePayloadOffset + 2)
        result = reply[kFramePayloadOffset];
      return;
    }
    for (int c = 0; c < textsSent; ++c) {
      if (texts[c].outstanding && TakeDictionaryReply(block, datagram, texts[c], textSentAt[c])) {
        ++textFramesAcknowledged_;
        return;
      }
    }
  };
  const auto refused = [&] { return result && *result != 1; };

  if (!legacy_) {
    // The device takes the line texts after the parameters: 200 ms after them, 200 ms apart.
    Clock::time_point next = sentAt + kTextFramePause;
    for (int camera = 0; camera < 4; ++camera) {
      WaitFor(next, handle, refused);
      if (refused()) break;
      devicePauses_ += kTextFramePause;
      uint8_t payload[kDictFrameBufferSize];
      const size_t length = BuildCameraTextWritePayload(block, camera, payload);
      texts[camera].Record(payload, length);
      textSentAt[camera] = port_.Now();
      ++textsSent;
      ++textFramesSent_;
      if (!SendDictionary(payload, length)) return CannotSend();
      Progress("downloading parameters", 20 * (camera + 1));
      next = port_.Now() + kTextFramePause;
    }
  }
  WaitFor(sentAt + kDownloadResultTimeout, handle, [&] { return result.has_value(); });
  if (textsSent > 0) {
    // The acknowledgements of the line texts are counted for the report; the window's pause
    // after the last frame is as long as they are waited for.
    WaitFor(textSentAt[textsSent - 1] + kTextFramePause, handle, [&] {
      for (int c = 0; c < textsSent; ++c)
        if (texts[c].outstanding) return false;
      return true;
    });
  }
  if (!result)
    return Failed(TransferResult::Status::NoReply, "no answer to the download within 5 s");
  if (*result != 1) {
    char text[96];
    std::snprintf(text, sizeof text, "the device refused the download (result %u)",
                  unsigned{*result});
    return Failed(TransferResult::Status::Refused, text);
  }
  Progress("downloading parameters", 100);
  return {};
}

}  // namespace quillon
