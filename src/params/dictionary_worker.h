// The dictionary transfer worker: a background thread that moves every pending dictionary entry
// in command 9 chunks, waits for each answer, retries, reports progress and failures.
//
// Other code never sends these requests itself. It sets the marks of the block (abyDictWrite,
// abyDictRead) or asks for the camera texts (RequestCameraTexts), and the reply parser clears
// marks and byDictBusy; the worker polls those bytes every 10 ms.
//
// A transfer stays with the device it started with: the worker takes abySelectedMac when a
// transfer of RS-485 entries begins (nothing was pending before) and when a camera-text read
// begins, and addresses every request of that transfer to it, whatever the user selects
// meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

#include "device/device_rules.h"
#include "params/dictionary.h"
#include "params/parameter_block.h"
#include "report/notifier.h"

namespace quillon {

class DictionaryWorker {
 public:
  using Sender = std::function<void(const uint8_t* frame, uint16_t length)>;
  using LogSink = std::function<void(std::string_view text)>;

  enum class State : uint8_t {
    Dispatch = 0,        // idle: looks for work
    WaitWrite = 1,       // a write chunk waits for its acknowledgement
    WaitRead = 2,        // a read chunk waits for its reply
    WaitCameraText = 3,  // a camera's line texts wait for their reply
  };

  // The device's waits and tries, counted in the worker's milliseconds.
  static constexpr auto kChunkTimeoutMs = static_cast<uint16_t>(kChunkTimeout.count());
  static constexpr auto kCameraTextTimeoutMs = static_cast<uint16_t>(kCameraTextTimeout.count());
  static constexpr auto kMaxTries = static_cast<uint8_t>(kChunkTries);
  static constexpr int kCycleMs = 10;

  // `modelMutex` is held while a chunk is built from the block and while `request` is written;
  // whoever writes the block's settings and slots, or parses replies, holds it too. `send` and
  // `log` are called without it. Boxes are shown through `notifier`, which returns when the
  // user has closed the box.
  DictionaryWorker(DeviceParameterBlock& block, SessionFlags& flags, std::mutex& modelMutex,
                   DictionaryRequest& request, Sender send, LogSink log, Notifier& notifier);
  ~DictionaryWorker();  // stops the thread

  DictionaryWorker(const DictionaryWorker&) = delete;
  DictionaryWorker& operator=(const DictionaryWorker&) = delete;

  // Back to the start: idle, nothing waited for, camera counter 0, and the camera text request
  // flag cleared.
  void Reset();

  // Asks for the line texts of the four cameras of the device selected now (any thread). A
  // camera-text read still running for an earlier device is dropped without a trace, and the
  // read starts again with camera 1, so nothing of the earlier one can answer or time out the
  // new one.
  void RequestCameraTexts();

  // Names the device of the RS-485 transfer whose marks the caller sets now, holding the model
  // mutex: every request of it goes there, even if the worker has not yet seen the previous
  // transfer end. Marks set without it go to the device selected when the worker finds them.
  void BeginTransfer(const uint8_t mac[6]);

  // One 10 ms cycle (the thread sleeps before calling it).
  void Tick();

  // Reset, then a thread that sleeps 10 ms and ticks, until Stop.
  void Start();
  // Ends the thread after its current cycle and joins it. Safe to call when not running.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  // The machine's state, for tests and diagnostics; stable only while the thread is not running.
  State CurrentState() const { return state_; }
  uint8_t Retries() const { return retries_; }
  uint8_t CameraCounter() const { return cameraCounter_; }

 private:
  void Dispatch();
  void WaitChunk(bool write);
  void WaitCameraText();
  void SendPayload(const uint8_t* payload, size_t length, const uint8_t mac[6]);
  void EndRequest();
  void Log(std::string_view text) { log_(text); }
  void Run();

  DeviceParameterBlock& block_;
  SessionFlags& flags_;
  std::mutex& modelMutex_;
  DictionaryRequest& request_;
  Sender send_;
  LogSink log_;
  Notifier& notifier_;

  State state_ = State::Dispatch;
  uint16_t elapsed_ = 0;
  uint8_t retries_ = 0;
  uint8_t cameraCounter_ = 0;
  // The device of the RS-485 transfer under way; model mutex.
  uint8_t transferMac_[6] = {};
  bool transferUnderWay_ = false;
  uint8_t cameraMac_[6] = {};  // the device of the camera-text read under way
  std::atomic<bool> cameraRestart_{false};

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace quillon
