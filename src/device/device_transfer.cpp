#include "device/device_transfer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

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

// "5 s", "0.5 s".
std::string SecondsText(std::chrono::milliseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(time.count()) / 1000);
  return text;
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

// The identifiers a command 9 reply answers: those of a write acknowledgement, or of the
// entries of a read reply that arrived whole. The walk stays inside the frame.
std::vector<uint16_t> AnsweredIds(const Bytes& frame) {
  std::vector<uint16_t> ids;
  if (frame.size() < kFrameOverhead + 3) return ids;
  const uint8_t* payload = frame.data() + kFramePayloadOffset;
  const size_t count = frame.size() - kFrameOverhead;
  const bool write = (payload[0] | payload[1] << 8) == kDictOpWrite;
  size_t at = 3;
  for (size_t i = 0; i < payload[2]; ++i) {
    if (at + (write ? 2 : 3) > count) break;
    const size_t next = write ? at + 2 : at + 3 + payload[at + 2];
    if (next > count) break;
    ids.push_back(static_cast<uint16_t>(payload[at] | payload[at + 1] << 8));
    at = next;
  }
  return ids;
}

// Marks the lines of `camera` that a reply answered.
void MarkLines(const Bytes& frame, int camera, bool (&lines)[8]) {
  for (const uint16_t id : AnsweredIds(frame)) {
    const int line = id - kCameraTextFirstId - 8 * camera;
    if (line >= 0 && line < 8) lines[line] = true;
  }
}

// A command 9 payload naming the lines of `camera` not yet done: read requests carry their
// identifiers, write requests the texts from the block.
size_t LinePayload(const DeviceParameterBlock& block, int camera, const bool (&done)[8], bool write,
                   uint8_t* payload) {
  const uint16_t op = write ? kDictOpWrite : kDictOpRead;
  payload[0] = static_cast<uint8_t>(op);
  payload[1] = static_cast<uint8_t>(op >> 8);
  payload[2] = 0;
  size_t length = 3;
  for (int l = 0; l < 8; ++l) {
    if (done[l]) continue;
    const auto id = static_cast<uint16_t>(kCameraTextFirstId + 8 * camera + l);
    if (write) {
      length += EncodeEntry(block, id, payload + length);
    } else {
      payload[length++] = static_cast<uint8_t>(id);
      payload[length++] = static_cast<uint8_t>(id >> 8);
    }
    ++payload[2];
  }
  return length;
}

bool AllDone(const bool (&lines)[8]) {
  return std::all_of(std::begin(lines), std::end(lines), [](bool line) { return line; });
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

bool DeviceTransfer::AnswersRead(std::chrono::milliseconds timeout) {
  auto scratch = std::make_unique<sOSDCommPara>();
  // A question, not a step of the transfer: no progress.
  const TransferProgress progress = std::exchange(progress_, nullptr);
  const bool answered = ReadParams(*scratch, timeout).Ok();
  progress_ = progress;
  return answered;
}

TransferResult DeviceTransfer::ReadParams(sOSDCommPara& osd, std::chrono::milliseconds timeout) {
  Progress("reading parameters", 0);
  const Clock::time_point sentAt = port_.Now();
  if (!Send(BuildReadRequest(mac_))) return CannotSend();
  bool read = false;
  WaitFor(
      sentAt + timeout,
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
    return Failed(TransferResult::Status::NoReply,
                  "no reply to the parameter read within " + SecondsText(timeout));
  Progress("reading parameters", 100);
  return {};
}

TransferResult DeviceTransfer::ReadCameraTexts(DeviceParameterBlock& block) {
  for (int camera = 0; camera < 4; ++camera) {
    Progress("reading line texts", camera * 25);
    // A device that answers some of the lines is asked again for the others: a line left unread
    // would go back to it empty with the next download.
    // The camera has its 5 s in all, however many times it is asked again within them.
    bool answered[8] = {};
    const Clock::time_point deadline = port_.Now() + kCameraTextTimeout;
    while (!AllDone(answered)) {
      uint8_t payload[kDictFrameBufferSize];
      const size_t length = LinePayload(block, camera, answered, false, payload);
      request_.Record(payload, length);
      const Clock::time_point sentAt = port_.Now();
      if (!SendDictionary(payload, length)) {
        request_.outstanding = false;
        return CannotSend();
      }
      // A reply that leaves lines out keeps the request open; the lines it did carry are stored
      // and the others are asked for again at once. A reply that brought no new line is no
      // reason to ask again: the camera's time runs on.
      bool newLines = false;
      const bool replied = WaitFor(
          deadline,
          [&](const PortDatagram& datagram) {
            if (!TakeDictionaryReply(block, datagram, request_, sentAt)) return;
            const int before = std::count(answered, answered + 8, true);
            MarkLines(datagram.bytes, camera, answered);
            newLines = newLines || std::count(answered, answered + 8, true) > before;
          },
          [&] { return !request_.outstanding || newLines; });
      if (!replied) {
        request_.outstanding = false;
        char text[96];
        std::snprintf(text, sizeof text,
                      "no reply to the read of camera %d's line texts within 5 s", camera + 1);
        return Failed(TransferResult::Status::NoReply, text);
      }
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
  // The entries marked at the start, however few: progress and a failure count those.
  const int total = write ? CountPendingWrites(modbus) : CountPendingReads(modbus);
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
  // The line texts of each camera: which lines the device has acknowledged, and the request
  // that carried the others last.
  bool acknowledged[4][8] = {};
  DictionaryRequest texts[4];
  Clock::time_point textSentAt[4] = {};
  const auto handle = [&](const PortDatagram& datagram) {
    const Bytes& reply = datagram.bytes;
    if (reply[3] == CMD_DOWNLOAD_PARAMS) {
      // The result byte sits at offset 10, before the checksum. The device's MAC in this reply
      // is not read: only the device being served has a download outstanding.
      if (!result && datagram.received >= sentAt && reply.size() >= kFramePayloadOffset + 2)
        result = reply[kFramePayloadOffset];
      return;
    }
    for (int c = 0; c < 4; ++c) {
      if (!texts[c].outstanding || !TakeDictionaryReply(block, datagram, texts[c], textSentAt[c]))
        continue;
      MarkLines(reply, c, acknowledged[c]);
      ++textFramesAcknowledged_;
      return;
    }
  };
  const auto refused = [&] { return result && *result != 1; };
  const auto missing = [&](int c) { return AllDone(acknowledged[c]) ? 0 : 1; };

  if (!legacy_) {
    // The device takes the line texts after the parameters: 200 ms after them, 200 ms apart.
    // Lines it did not acknowledge go out again after the four frames, three tries in all, as
    // any dictionary entry.
    Clock::time_point next = sentAt + kTextFramePause;
    for (int round = 0; round < kChunkTries && !refused(); ++round) {
      Clock::time_point lastSent{};
      for (int c = 0; c < 4; ++c) {
        if (missing(c) == 0) continue;
        WaitFor(next, handle, refused);
        if (refused()) break;
        devicePauses_ += kTextFramePause;
        uint8_t payload[kDictFrameBufferSize];
        const size_t length = LinePayload(block, c, acknowledged[c], true, payload);
        texts[c].Record(payload, length);
        textSentAt[c] = lastSent = port_.Now();
        ++textFramesSent_;
        if (round > 0) ++retries_;
        if (!SendDictionary(payload, length)) return CannotSend();
        Progress("downloading parameters", round == 0 ? 20 * (c + 1) : 80);
        next = port_.Now() + kTextFramePause;
      }
      // The window's pause after the last frame is as long as the acknowledgements are waited
      // for before the missing lines go out again.
      WaitFor(lastSent + kTextFramePause, handle,
              [&] { return missing(0) + missing(1) + missing(2) + missing(3) == 0; });
      if (missing(0) + missing(1) + missing(2) + missing(3) == 0) break;
      next = port_.Now();
    }
  }
  WaitFor(sentAt + kDownloadResultTimeout, handle, [&] { return result.has_value(); });
  if (!result)
    return Failed(TransferResult::Status::NoReply, "no answer to the download within 5 s");
  if (*result != 1) {
    char text[96];
    std::snprintf(text, sizeof text, "the device refused the download (result %u)",
                  unsigned{*result});
    return Failed(TransferResult::Status::Refused, text);
  }
  for (int c = 0; !legacy_ && c < 4; ++c) {
    if (missing(c) == 0) continue;
    std::string lines;
    for (int l = 0; l < 8; ++l)
      if (!acknowledged[c][l]) lines += (lines.empty() ? "" : ", ") + std::to_string(l + 1);
    return Failed(TransferResult::Status::NoReply,
                  "the device took the parameters but did not acknowledge the line texts of "
                  "camera " +
                      std::to_string(c + 1) + " (line " + lines + "), three times");
  }
  Progress("downloading parameters", 100);
  return {};
}

}  // namespace quillon
