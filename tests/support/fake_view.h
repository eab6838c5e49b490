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
  void ShowNetForm(NetParamForm&) override {
    ++netShown;
    pageCalls.push_back("NetParamsToPage");
  }
  void ReadNetForm(NetParamForm& form) override {
    pageCalls.push_back("NetPageToParams");
    ++netRead;
    if (onNetPageToParams) onNetPageToParams();
    if (onReadNetForm) onReadNetForm(form);
  }
  void ShowRs485Form(Rs485Form&) override {
    ++rs485Shown;
    pageCalls.push_back("Rs485ParamsToPage");
  }
  void ReadRs485Form(Rs485Form& form) override {
    pageCalls.push_back("Rs485PageToParams");
    ++rs485Read;
    if (onRs485PageToParams) onRs485PageToParams();
    if (onReadRs485Form) onReadRs485Form(form);
  }
  bool RunGearDialog(GearForm& form) override {
    pageCalls.push_back("RunGearDialog");
    return onGearDialog && onGearDialog(form);
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
  int logShows = 0, netShown = 0, netRead = 0, rs485Shown = 0, rs485Read = 0;
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
  // What the user has typed into the pages when they are read: their forms as the controls
  // would leave them.
  std::function<void(NetParamForm&)> onReadNetForm;
  std::function<void(Rs485Form&)> onReadRs485Form;
  // The gear dialog: what the user types into it, and whether "保存" closes it.
  std::function<bool(GearForm&)> onGearDialog;
  // The pages' copies and the file dialogs, in the order they were asked for.
  std::vector<std::string> pageCalls;
  // What the file dialogs answer: a path, or nullopt for a cancelled dialog.
  std::optional<std::string> exportChoice, importChoice;
  std::vector<std::string> exportDefaultNames;
};

}  // namespace quillon::fakes
