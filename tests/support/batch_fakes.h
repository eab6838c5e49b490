// Stand-ins for a batch dialog's window and for the service that serves its devices: the window
// keeps what the service's thread posts until the test runs it, the service keeps what it was
// given to report with.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forms/batch_dialog.h"

namespace quillon::fakes {

// A window that posts nothing by itself: what the service's thread posts waits in `posted`
// until the test runs it, as a window's message loop would.
struct FakeBatchView : BatchView {
  void ShowRows(const BatchForm&) override {}
  void ShowRow(const BatchForm&, size_t) override {}
  void ShowInputs(BatchForm&) override {}
  void ReadInputs(BatchForm&) override {}
  std::optional<std::string> ChooseParamFile() override { return chosen; }
  std::optional<std::string> ChooseCsvFile(const std::string&) override { return chosen; }
  void CloseDialog() override { closed = true; }
  void Post(std::function<void()> action) override { posted.push_back(std::move(action)); }
  void RunPosted() {
    for (size_t i = 0; i < posted.size(); ++i) posted[i]();
    posted.clear();
  }
  std::optional<std::string> chosen;
  std::vector<std::function<void()>> posted;
  bool closed = false;
};

struct FakeBatchService : BatchService {
  bool PagesRead() override { return true; }
  bool ParamFileLoads(const std::string& path) override { return path == "good.ini"; }
  std::optional<std::string> PlanRefusal(const BatchForm&) override { return plan; }
  void Start(const BatchForm&, Report r, std::function<void()> d) override {
    report = std::move(r), done = std::move(d);
  }
  void Stop() override { stopped = true; }
  bool WriteFile(const std::string& path, const std::string& contents) override {
    written = path + "|" + contents.substr(0, 3);
    return true;
  }
  std::optional<std::string> plan;
  Report report;
  std::function<void()> done;
  bool stopped = false;
  std::string written;
};

}  // namespace quillon::fakes
