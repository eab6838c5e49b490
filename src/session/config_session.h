// The protocol side of the main window, without widgets: the log text, the session flags, the
// dispatch of received frames, search, parameter read and parameter download, the dictionary
// worker, and the export and import of parameter files. The application object builds one on its
// link and notifier; the main window attaches itself as the view. Tests drive it with a fake
// view, link and notifier.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/param_file.h"
#include "forms/page_forms.h"
#include "link/discovery.h"
#include "link/frame_link.h"
#include "params/dictionary_worker.h"
#include "params/parameter_block.h"
#include "report/notifier.h"

namespace quillon {

// The texts of one row of the device list.
struct DeviceRow {
  std::string ip;       // "192.168.1.100"
  std::string name;     // UTF-8
  std::string mac;      // "0011223344AB"
  std::string version;  // "03.07"
};

// What the session needs of the main window. Every call but RequestLogRefresh comes from the
// user-interface thread.
class ConfigView {
 public:
  virtual ~ConfigView() = default;
  // Replaces the information log box's content with `text` (lines end in "\r\n").
  virtual void ShowLogText(const std::string& text) = 0;
  // Asks the user-interface thread to call ConfigSession::RefreshLog soon; any thread.
  virtual void RequestLogRefresh() = 0;
  virtual void ClearDeviceList() = 0;
  // Inserts a row at the top of the device list.
  virtual void InsertDeviceRow(const DeviceRow& row) = 0;
  // The row the user has selected, if any.
  virtual std::optional<DeviceRow> SelectedDeviceRow() = 0;
  // The pages and the gear dialog show the session's forms (Forms()): Show puts a form into the
  // controls, Read takes what the controls hold into the form. A form is not changed by Show.
  virtual void ShowNetForm(NetParamForm& form) = 0;
  virtual void ReadNetForm(NetParamForm& form) = 0;
  virtual void ShowRs485Form(Rs485Form& form) = 0;
  virtual void ReadRs485Form(Rs485Form& form) = 0;
  // Runs the gear dialog modally over `form`; true when the user saved, with the dialog's
  // controls read into the form. Any other way of closing it answers false.
  virtual bool RunGearDialog(GearForm& form) = 0;
  // The file dialogs of the parameter files, modal to the window: the path the user chose, or
  // nullopt when the dialog was cancelled.
  virtual std::optional<std::string> ChooseExportFile(const std::string& defaultName) = 0;
  virtual std::optional<std::string> ChooseImportFile() = 0;
  // Blocks the user-interface thread for the pauses of the read and download sequences.
  virtual void PauseMs(int milliseconds) = 0;
  // Calls `action` on the user-interface thread once `milliseconds` have passed, unless the view
  // is gone by then.
  virtual void CallLater(int milliseconds, std::function<void()> action) = 0;
};

class ConfigSession {
 public:
  // Until a view is attached, what the session would show goes nowhere.
  ConfigSession(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier);
  ~ConfigSession();  // stops the dictionary worker

  // The view that shows the session: set by the main window while it exists, before the worker
  // starts and after it has stopped.
  void AttachView(ConfigView& view) { view_.store(&view); }
  void DetachView() { view_.store(&nullView_); }

  // Start-up of the model: zeroes the block, builds the dictionary index, clears the flags.
  void InitModel();

  // The log text, shared with the dictionary worker.
  void AppendLog(std::string_view text);  // any thread; the box changes at the next refresh
  void RefreshLog();                      // UI thread
  void ClearLog();                        // UI thread: empty the text, then refresh
  std::string LogText() const;

  // "搜索": clears the log, refreshes the endpoints, broadcasts the search request, empties
  // the device list. Replies that reached the PC before the click belong to an earlier search
  // and are not listed.
  void OnSearch();
  // A double-click on the device list: reads the selected device's parameters. Until that
  // device's reply is accepted, nothing may be downloaded; after 5 s without it the log says so.
  void OnDeviceDoubleClicked();
  // "下载数据" of the network page.
  void OnDownload();
  // "导出参数": the pages into the block, then both images into a parameter file.
  void OnExportParams();
  // "导入参数": both images from a parameter file whose checks pass, then onto the pages.
  void OnImportParams();
  // The local time that names a new parameter file; tests set a clock of their own.
  void SetLocalClock(std::function<std::tm()> clock) { localClock_ = std::move(clock); }
  // "读取" of the RS-485 page: once a device's parameters were read, empties the log and marks
  // every dictionary entry for reading; the worker fetches them. Download stays refused until
  // every entry has been answered.
  void OnRs485Read();
  // "下载" of the RS-485 page: once RS-485 parameters were read, stores the page into the block
  // under the model mutex, empties the log and marks every entry for download. Values that came
  // from another device or from a file go out only when the user says so.
  void OnRs485Download();
  // The block shown on the pages: the network page with its camera pages, the RS-485 page.
  void NetParamsToPage();
  void Rs485ParamsToPage();
  // The user chose another slot on the RS-485 page: the slot being left is stored into the
  // block, then the chosen one is shown; a list that cannot be stored keeps the slot shown.
  void OnSlotChanged(int index);
  // "遥调参数设置": the gear dialog over the shown slot's table; "保存" stores it into the block.
  // Nothing is sent: the table travels with the next RS-485 download.
  void OnRemoteAdjust();
  // A page refused to store a list's typed text.
  void OnListRefused(const RefusedList& list);
  // One received datagram, on the UI thread, with the moment it reached the PC.
  void OnFrameReceived(std::span<const uint8_t> datagram, ReceiveTime received);

  // The clock that times the download acknowledgements (tests step it).
  using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;
  void SetClock(SteadyClock clock) { now_ = std::move(clock); }

  // The dictionary worker thread: sends through the link, logs into the log text (and asks the
  // view for a refresh), shows its boxes through the notifier.
  void StartWorker();
  void StopWorker();
  // One 10 ms cycle of the worker on the caller's thread, for a run that steps the worker by
  // hand instead of starting its thread.
  void TickWorker() { worker_.Tick(); }

  // What a batch of many devices takes from the session (UI thread): the devices the last
  // search found, newest first and each once; whether the pages hold a device's parameters; the
  // pages stored into the block and taken as a parameter file's images (nothing after the box
  // of a list that cannot be stored).
  const std::vector<DeviceRecord>& FoundDevices() const { return found_; }
  bool ParamsRead();
  std::optional<ParamImages> PageImages();
  // While a batch runs, the main window's search, read, downloads and import are refused with
  // the box of a transfer under way, and so is a batch while a transfer runs (true after the
  // box).
  void SetBatchRunning(bool running) { batchRunning_ = running; }
  bool RefusedForTransfer();

  SessionFlags& Flags() { return flags_; }
  // What the pages and the gear dialog show; the session fills and stores them.
  PageForms& Forms() { return forms_; }
  // Keeps the worker's encoding of an entry apart from a page's write of the same slot.
  std::mutex& ModelMutex() { return modelMutex_; }

 private:
  // Each returns false for a frame it drops without a trace (no log refresh follows).
  bool OnSearchReply(std::span<const uint8_t> frame);
  bool OnReadReply(std::span<const uint8_t> frame);
  bool OnDownloadResult(std::span<const uint8_t> frame);
  bool OnDictionaryReply(std::span<const uint8_t> frame);
  void MarkAllEntries(uint8_t (&marks)[kDictCapacity]);
  // A page read into its form and stored into the block (the caller holds the model mutex),
  // naming a list that cannot be stored.
  std::optional<RefusedList> NetPageToParams();
  std::optional<RefusedList> Rs485PageToParams();
  // While a batch runs, shows the box that refuses an action of the main window.
  bool RefusedForBatch();
  // Asks before the RS-485 values of another device or of a file go to the selected device.
  bool ConfirmRs485Target();
  // Stores a page; on a refused list, shows the box and returns false.
  bool Stored(const std::optional<RefusedList>& refused);
  ConfigView& View() { return *view_.load(); }
  void OnReadTimeout(uint32_t request);

  // Shows nothing; the view until the main window attaches itself.
  class NullView : public ConfigView {
   public:
    void ShowLogText(const std::string&) override {}
    void RequestLogRefresh() override {}
    void ClearDeviceList() override {}
    void InsertDeviceRow(const DeviceRow&) override {}
    std::optional<DeviceRow> SelectedDeviceRow() override { return std::nullopt; }
    void ShowNetForm(NetParamForm&) override {}
    void ReadNetForm(NetParamForm&) override {}
    void ShowRs485Form(Rs485Form&) override {}
    void ReadRs485Form(Rs485Form&) override {}
    bool RunGearDialog(GearForm&) override { return false; }
    std::optional<std::string> ChooseExportFile(const std::string&) override {
      return std::nullopt;
    }
    std::optional<std::string> ChooseImportFile() override { return std::nullopt; }
    void PauseMs(int) override {}
    void CallLater(int, std::function<void()>) override {}
  };

  DeviceParameterBlock& block_;
  NullView nullView_;
  std::atomic<ConfigView*> view_{&nullView_};  // the worker asks it for refreshes
  FrameLink& link_;
  Notifier& notifier_;
  SessionFlags flags_;
  std::mutex modelMutex_;
  PageForms forms_;                // model mutex while filled or stored
  DictionaryRequest dictRequest_;  // the worker's outstanding command 9 request; model mutex
  // The UI thread's own: when the last search was pressed, which read request is the latest,
  // and when the last download went out.
  std::optional<ReceiveTime> searchStarted_;
  std::vector<DeviceRecord> found_;
  bool batchRunning_ = false;
  uint32_t readRequests_ = 0;
  std::optional<std::chrono::steady_clock::time_point> downloadSent_;
  // Where the RS-485 values of the block came from: the device they were last read from in full
  // or downloaded to, or a parameter file; and the device of the RS-485 read under way.
  struct Rs485Origin {
    enum class Kind { None, Device, File } kind = Kind::None;
    std::array<uint8_t, 6> mac{};
    std::string file;
  };
  Rs485Origin rs485Origin_;
  std::array<uint8_t, 6> rs485ReadMac_{};
  SteadyClock now_ = [] { return std::chrono::steady_clock::now(); };
  mutable std::mutex logMutex_;
  std::string log_;
  std::function<std::tm()> localClock_;
  DictionaryWorker worker_;  // last: it uses the members above
};

}  // namespace quillon
