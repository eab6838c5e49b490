// The main window as the session sees it, for tests without widgets: it counts what it was asked
// to show and plays the device list. Every call but RequestLogRefresh comes from the thread that
// drives the session; RequestLogRefresh also comes from the dictionary worker.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "session/config_session.h"

namespace quillon::fakes {

class FakeConfigView : public ConfigView {
 public:
  void ShowLogText(const std::string& text) override {
    shownLog = text;
    ++logShows;
  }
  void RequestLogRefresh() override {
    refreshRequests.fetch_add(1);
    if (onRefreshRequest) onRefreshRequest();
  }
  void ClearDeviceList() override { rows.clear(); }
  void InsertDeviceRow(const DeviceRow& row) override { rows.insert(rows.begin(), row); }
  std::optional<DeviceRow> SelectedDeviceRow() override { return selected; }
  void NetParamsToPage() override {
    ++netShown;
    pageCalls.push_back("NetParamsToPage");
  }
  std::optional<RefusedList> NetPageToParams() override {
    pageCalls.push_back("NetPageToParams");
    if (netRefusal) return netRefusal;
    ++netStored;
    if (onNetPageToParams) onNetPageToParams();
    return std::nullopt;
  }
  void Rs485ParamsToPage() override {
    ++rs485Shown;
    pageCalls.push_back("Rs485ParamsToPage");
  }
  std::optional<RefusedList> Rs485PageToParams() override {
    pageCalls.push_back("Rs485PageToParams");
    if (rs485Refusal) return rs485Refusal;
    ++rs485Stored;
    if (onRs485PageToParams) onRs485PageToParams();
    return std::nullopt;
  }
  std::optional<std::string> ChooseExportFile(const std::string& defaultName) override {
    pageCalls.push_back("ChooseExportFile");
    exportDefaultNames.push_back(defaultName);
    return exportChoice;
  }
  std::optional<std::string> ChooseImportFile() override {
    pageCalls.push_back("ChooseImportFile");
    return importChoice;
  }
  void PauseMs(int milliseconds) override {
    pauses.push_back(milliseconds);
    if (realPauses) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  // Kept for the test to run: see RunLater and RunDue.
  void CallLater(int milliseconds, std::function<void()> action) override {
    later.push_back({milliseconds, std::chrono::steady_clock::now(), std::move(action)});
  }
  // Runs every action asked for so far, as if its time had come, in the order asked for.
  void RunLater() {
    auto all = std::move(later);
    later.clear();
    for (Later& one : all) one.action();
  }
  // Runs the actions whose time has come by the real clock.
  void RunDue() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<Later> due;
    for (auto it = later.begin(); it != later.end();) {
      if (now - it->asked >= std::chrono::milliseconds(it->milliseconds)) {
        due.push_back(std::move(*it));
        it = later.erase(it);
      } else {
        ++it;
      }
    }
    for (Later& one : due) one.action();
  }

  std::string shownLog;
  int logShows = 0, netShown = 0, netStored = 0, rs485Shown = 0, rs485Stored = 0;
  std::atomic<int> refreshRequests{0};
  std::vector<DeviceRow> rows;
  std::optional<DeviceRow> selected;
  std::vector<int> pauses;
  struct Later {
    int milliseconds;
    std::chrono::steady_clock::time_point asked;
    std::function<void()> action;
  };
  std::vector<Later> later;
  bool realPauses = false;  // the pauses block the caller, as they block the UI thread
  std::function<void()> onRefreshRequest;   // any thread; set before the worker starts
  std::function<void()> onNetPageToParams;  // plays the user editing while the page is read
  std::function<void()> onRs485PageToParams;
  // A list that the page refuses to store, as a page with typed text in a list would.
  std::optional<RefusedList> netRefusal, rs485Refusal;
  // The pages' copies and the file dialogs, in the order they were asked for.
  std::vector<std::string> pageCalls;
  // What the file dialogs answer: a path, or nullopt for a cancelled dialog.
  std::optional<std::string> exportChoice, importChoice;
  std::vector<std::string> exportDefaultNames;
};

}  // namespace quillon::fakes
