#include "params/dictionary_worker.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "link/frame.h"

namespace quillon {

namespace {

constexpr const char* kBoxCaption = "警告";

std::string Format(const char* format, int value) {
  char text[96];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

uint8_t LoadShared(uint8_t& byte) { return std::atomic_ref<uint8_t>(byte).load(); }
void StoreShared(uint8_t& byte, uint8_t value) { std::atomic_ref<uint8_t>(byte).store(value); }

}  // namespace

DictionaryWorker::DictionaryWorker(DeviceParameterBlock& block, SessionFlags& flags,
                                   std::mutex& modelMutex, DictionaryRequest& request, Sender send,
                                   LogSink log, Notifier& notifier)
    : block_(block),
      flags_(flags),
      modelMutex_(modelMutex),
      request_(request),
      send_(std::move(send)),
      log_(std::move(log)),
      notifier_(notifier) {}

DictionaryWorker::~DictionaryWorker() { Stop(); }

void DictionaryWorker::Reset() {
  state_ = State::Dispatch;
  elapsed_ = 0;
  retries_ = 0;
  cameraCounter_ = 0;
  transferUnderWay_ = false;
  cameraRestart_.store(false);
  StoreShared(flags_.bCameraTextRequest, 0);
}

void DictionaryWorker::RequestCameraTexts() {
  cameraRestart_.store(true);
  StoreShared(flags_.bCameraTextRequest, 1);
}

void DictionaryWorker::BeginTransfer(const uint8_t mac[6]) {
  std::memcpy(transferMac_, mac, sizeof transferMac_);
  transferUnderWay_ = true;
}

void DictionaryWorker::EndRequest() {
  std::lock_guard<std::mutex> lock(modelMutex_);
  request_.outstanding = false;
}

void DictionaryWorker::Start() {
  if (thread_.joinable()) return;
  Reset();
  stop_.store(false);
  thread_ = std::thread([this] { Run(); });
}

void DictionaryWorker::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void DictionaryWorker::Run() {
  while (!stop_.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kCycleMs));
    if (stop_.load()) break;
    Tick();
  }
}

void DictionaryWorker::Tick() {
  if (cameraRestart_.load()) {
    // A new device's texts were asked for: whatever camera of the earlier read is still
    // waiting is given up silently. The restart itself is taken where camera 1 is asked for:
    // the new request may set its flag between this check and the dispatch below, and camera 1
    // would then be asked for in this tick and once more in the next.
    if (state_ == State::WaitCameraText) {
      EndRequest();
      state_ = State::Dispatch;
      elapsed_ = 0;
    }
    // The request stands even if the earlier read cleared the flag after it was set.
    StoreShared(flags_.bCameraTextRequest, 1);
  }
  switch (state_) {
    case State::Dispatch:
      Dispatch();
      break;
    case State::WaitWrite:
      WaitChunk(true);
      break;
    case State::WaitRead:
      WaitChunk(false);
      break;
    case State::WaitCameraText:
      WaitCameraText();
      break;
  }
}

void DictionaryWorker::SendPayload(const uint8_t* payload, size_t length, const uint8_t mac[6]) {
  const Bytes frame = BuildRequestFrame(CMD_DICTIONARY, mac, payload, length);
  send_(frame.data(), static_cast<uint16_t>(frame.size()));
}

void DictionaryWorker::Dispatch() {
  uint8_t payload[kDictFrameBufferSize];
  size_t length = 0;
  State next = State::Dispatch;
  uint8_t mac[6];
  {
    // Writes come before reads, and both before the camera texts, so a download started
    // between two cameras goes out before the next camera is asked for.
    std::lock_guard<std::mutex> lock(modelMutex_);
    if (CountPendingWrites(block_.modbus) != 0) {
      length = BuildWriteChunk(block_, payload, sizeof payload);
      next = State::WaitWrite;
    } else if (CountPendingReads(block_.modbus) != 0) {
      length = BuildReadChunk(block_, payload, sizeof payload);
      next = State::WaitRead;
    } else {
      transferUnderWay_ = false;  // nothing pending: the transfer, if any, has ended
    }
    if (next != State::Dispatch) {
      if (!transferUnderWay_) {
        std::memcpy(transferMac_, block_.abySelectedMac, sizeof transferMac_);
        transferUnderWay_ = true;
      }
      std::memcpy(mac, transferMac_, sizeof mac);
      request_.Record(payload, length);
    }
  }

  if (next == State::WaitWrite || next == State::WaitRead) {
    StoreShared(block_.modbus.byDictBusy, 1);
    Log(next == State::WaitWrite ? "正在下载字典... \r\n" : "正在读取字典... \r\n");
    state_ = next;
    SendPayload(payload, length, mac);
    return;
  }

  if (LoadShared(flags_.bCameraTextRequest) != 0) {
    if (cameraRestart_.exchange(false) || cameraCounter_ >= 4) cameraCounter_ = 0;
    length = BuildCameraTextReadPayload(cameraCounter_, payload);
    {
      std::lock_guard<std::mutex> lock(modelMutex_);
      if (cameraCounter_ == 0) std::memcpy(cameraMac_, block_.abySelectedMac, sizeof cameraMac_);
      request_.Record(payload, length);
    }
    StoreShared(block_.modbus.byDictBusy, 1);
    ++cameraCounter_;
    Log(Format("正在读取摄像头%d字典...\r\n", cameraCounter_));
    state_ = State::WaitCameraText;
    SendPayload(payload, length, cameraMac_);
    return;
  }

  elapsed_ = 0;
  retries_ = 0;
}

void DictionaryWorker::WaitChunk(bool write) {
  if (LoadShared(block_.modbus.byDictBusy) != 0) {
    elapsed_ = static_cast<uint16_t>(elapsed_ + kCycleMs);
    if (elapsed_ < kChunkTimeoutMs) return;
    elapsed_ = 0;
    ++retries_;
    if (retries_ < kMaxTries) {
      // Back to dispatch, which sends the entries still marked once more.
      Log(write ? "下载超时正在重试... \r\n" : "读取超时正在重试... \r\n");
      state_ = State::Dispatch;
      return;
    }
    retries_ = 0;
    {
      // The transfer has failed: a reply that still comes answers nothing.
      std::lock_guard<std::mutex> lock(modelMutex_);
      request_.outstanding = false;
      uint8_t* marks = write ? block_.modbus.abyDictWrite : block_.modbus.abyDictRead;
      for (int i = 0; i < kDictCapacity; ++i) StoreShared(marks[i], 0);
      // A read cut short leaves slots that were never read: they must not be downloaded.
      if (!write) StoreShared(flags_.b485Read, 0);
    }
    Log(write ? "下载失败... \r\n" : "读取失败... \r\n");
    notifier_.ShowBox(kBoxCaption, write ? "下载失败" : "读取失败", BoxIcon::Question);
    state_ = State::Dispatch;
    return;
  }

  int count;
  int pending;
  {
    std::lock_guard<std::mutex> lock(modelMutex_);
    count = block_.modbus.wDictCount;
    pending = write ? CountPendingWrites(block_.modbus) : CountPendingReads(block_.modbus);
  }
  // An empty index cannot have had anything pending; call it complete rather than divide by 0.
  const int percent =
      count == 0 ? 100 : static_cast<int>(static_cast<double>(count - pending) / count * 100);
  Log(Format(write ? "正在下载字典,已完成%d%%\r\n" : "正在读取字典,已完成%d%%\r\n", percent));
  elapsed_ = 0;
  retries_ = 0;
  state_ = State::Dispatch;
}

void DictionaryWorker::WaitCameraText() {
  if (LoadShared(block_.modbus.byDictBusy) != 0) {
    elapsed_ = static_cast<uint16_t>(elapsed_ + kCycleMs);
    if (elapsed_ < kCameraTextTimeoutMs) return;
    // No retry for camera texts: the remaining cameras are given up and the next text read
    // starts again with camera 1.
    elapsed_ = 0;
    EndRequest();
    StoreShared(flags_.bCameraTextRequest, 0);
    Log("读取失败... \r\n");
    notifier_.ShowBox(kBoxCaption, "读取失败", BoxIcon::Question);
    cameraCounter_ = 0;
    state_ = State::Dispatch;
    return;
  }
  Log(Format("摄像头%d字典读取成功...\r\n", cameraCounter_));
  if (cameraCounter_ >= 4) {
    cameraCounter_ = 0;
    StoreShared(flags_.bCameraTextRequest, 0);
  }
  elapsed_ = 0;
  state_ = State::Dispatch;
}

}  // namespace quillon
