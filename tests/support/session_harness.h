// A stand-in for the main window's user-interface thread, for end-to-end runs without Qt: a
// fake view, a notifier that records boxes, the real UDP link whose receive thread queues every
// datagram, and a pump that hands the queued datagrams to ConfigSession::OnFrameReceived on the
// caller's thread, as the window's message loop would. The dictionary worker runs on its own
// real thread.
//
// Only for use inside the private network of scripts/netns-run.sh: the link broadcasts.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/discovery.h"
#include "link/udp_link.h"
#include "params/dictionary.h"
#include "session/config_session.h"
#include "support/fake_view.h"
#include "support/recording_notifier.h"
#include "support/transfer_logs.h"

namespace quillon::fakes {

// The session with its real link and worker, and the pump that plays the UI thread.
// The box of a camera-text read that ended without an answer (kTextReadFailedLog).
inline const std::vector<RecordedBox> kTextReadFailedBoxes = {
    {"警告", "读取失败", BoxIcon::Question}};

class SessionHarness {
 public:
  using Clock = std::chrono::steady_clock;

  SessionHarness()
      : block_(std::make_unique<DeviceParameterBlock>()),
        link_(SystemSockets(), notifier, InterfaceAddresses),
        session(*block_, link_, notifier) {
    view.realPauses = true;
    session.AttachView(view);
    // The worker's log refresh requests and boxes wake the pump like a posted message.
    view.onRefreshRequest = [this] { Wake(); };
    notifier.afterShown = [this] { Wake(); };
  }
  ~SessionHarness() { Stop(); }

  // The main window's start-up, as far as the protocol goes: model, link, worker.
  void Start() {
    session.InitModel();
    link_.Start([this](Datagram datagram) {
      {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(datagram));
      }
      wake_.notify_all();
    });
    link_.RefreshEndpoints();
    session.StartWorker();
  }
  void Stop() {
    session.StopWorker();
    link_.Stop();
  }

  // Plays the UI thread until `done` holds or `timeout` has passed: hands every queued datagram
  // to OnFrameReceived and answers the worker's refresh requests with RefreshLog. Returns
  // whether `done` held.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      std::deque<Datagram> batch;
      {
        std::unique_lock lock(queueMutex_);
        if (queue_.empty() && !woken_)
          wake_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(5)));
        woken_ = false;
        batch.swap(queue_);
      }
      while (!batch.empty()) {
        const Datagram datagram = std::move(batch.front());
        batch.pop_front();
        session.OnFrameReceived(datagram.bytes, datagram.received);
        ++datagramsPumped;
        if (datagram.bytes.size() > 3 && datagram.bytes[0] == kReplyStart)
          ++repliesPumped_[datagram.bytes[3]];
        if (done()) {
          // What is left of the batch waits for the next pump, as in a window's message queue.
          std::lock_guard lock(queueMutex_);
          queue_.insert(queue_.begin(), batch.begin(), batch.end());
          return true;
        }
      }
      // Counted across pumps: a refresh asked for between two of them is still answered.
      const int refreshes = view.refreshRequests.load();
      if (refreshes != refreshesSeen_) {
        refreshesSeen_ = refreshes;
        session.RefreshLog();
      }
      view.RunDue();  // the window's timers
      if (done()) return true;
      if (Clock::now() >= deadline) return false;
    }
  }
  // Plays the UI thread for `duration`, whatever happens.
  void PumpFor(std::chrono::milliseconds duration) {
    Pump([] { return false; }, duration);
  }

  // Plays the UI threads of several harnesses in turn, as of several copies of the program on
  // one PC, until `done` holds or `timeout` has passed. Returns whether `done` held.
  static bool PumpAll(const std::vector<SessionHarness*>& harnesses,
                      const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      for (SessionHarness* h : harnesses)
        if (h->Pump(done, std::chrono::milliseconds(2))) return true;
      if (done()) return true;
      if (Clock::now() >= deadline) return false;
    }
  }

  // Search, then a double-click on the one device found: the read request goes out and, for
  // current firmware, the worker is asked for the camera texts. False when no device answered.
  bool SearchAndSelect(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    session.OnSearch();
    if (!Pump([this] { return !view.rows.empty(); }, timeout)) return false;
    view.selected = view.rows.front();
    session.OnDeviceDoubleClicked();
    return true;
  }

  // A double-click on the listed row of `macText`; false when no such row is listed.
  bool DoubleClick(const std::string& macText) {
    for (const DeviceRow& row : view.rows) {
      if (row.mac != macText) continue;
      view.selected = row;
      session.OnDeviceDoubleClicked();
      return true;
    }
    return false;
  }

  // Addresses the device directly, as a double-click would, without any request.
  void SelectMac(const std::string& macText) {
    uint8_t mac[6];
    ParseMacText(macText, mac);
    std::lock_guard lock(session.ModelMutex());
    std::memcpy(block_->abySelectedMac, mac, sizeof mac);
  }

  // Sets every write (or read) mark of the index, as the RS-485 page's buttons do.
  void MarkAll(bool write) {
    std::lock_guard lock(session.ModelMutex());
    sModBusPara& modbus = block_->modbus;
    uint8_t* marks = write ? modbus.abyDictWrite : modbus.abyDictRead;
    for (int i = 0; i < modbus.wDictCount; ++i) std::atomic_ref<uint8_t>(marks[i]).store(1);
  }
  int PendingWrites() {
    std::lock_guard lock(session.ModelMutex());
    return CountPendingWrites(block_->modbus);
  }
  int PendingReads() {
    std::lock_guard lock(session.ModelMutex());
    return CountPendingReads(block_->modbus);
  }

  // Whether the camera-text read has ended well: its last line is in the log and the worker has
  // taken down the request (it does so just after that line).
  bool CameraTextsRead() {
    return LogContains("摄像头4字典读取成功...\r\n") &&
           std::atomic_ref<uint8_t>(session.Flags().bCameraTextRequest).load() == 0;
  }
  // Plays the UI thread until the view shows the session's log: the worker's last lines reach it
  // through a refresh it asks for.
  bool ShowsLog(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    return Pump([this] { return view.shownLog == session.LogText(); }, timeout);
  }

  bool LogContains(const std::string& text) const {
    return session.LogText().find(text) != std::string::npos;
  }
  bool LogEndsWith(const std::string& text) const {
    const std::string log = session.LogText();
    return log.size() >= text.size() &&
           log.compare(log.size() - text.size(), text.size(), text) == 0;
  }
  int CountInLog(const std::string& text) const { return Occurrences(session.LogText(), text); }

  DeviceParameterBlock& Block() { return *block_; }

  // Device replies (start byte 0x55) with this command code handed to the session so far, good
  // or not: what a test waits for when the answer itself must change nothing.
  int RepliesPumped(uint8_t command) const { return repliesPumped_[command]; }

  // Declared before the link and the session: the receive thread and the worker reach them.
  FakeConfigView view;
  RecordingNotifier notifier;
  long datagramsPumped = 0;

 private:
  void Wake() {
    {
      std::lock_guard lock(queueMutex_);
      woken_ = true;
    }
    wake_.notify_all();
  }

  std::mutex queueMutex_;
  std::condition_variable wake_;
  std::deque<Datagram> queue_;
  bool woken_ = false;
  int refreshesSeen_ = 0;
  int repliesPumped_[256] = {};
  std::unique_ptr<DeviceParameterBlock> block_;
  UdpLink link_;

 public:
  ConfigSession session;  // last: its worker uses everything above
};

// A harness started as the main window starts.
struct StartedHarness : SessionHarness {
  StartedHarness() { Start(); }
};

}  // namespace quillon::fakes
