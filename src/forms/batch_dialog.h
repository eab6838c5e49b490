// What the batch dialog does, apart from any toolkit: its buttons, its checks before a start, the
// rows as the service reports them, the main window's log lines, and its ways of closing. A
// window builds the controls from the dialog's layout, hands each user action to BatchDialog and
// does what BatchView asks; the devices are served by a BatchService on a thread of its own.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "forms/batch_form.h"
#include "report/notifier.h"

namespace quillon {

// What the dialog asks of its window. User-interface thread only, but for Post.
class BatchView {
 public:
  virtual ~BatchView() = default;
  // The list's rows anew, and one row's check and 状态.
  virtual void ShowRows(const BatchForm& form) = 0;
  virtual void ShowRow(const BatchForm& form, size_t row) = 0;
  // The inputs into their controls and back, each control enabled as the form says, and the
  // line under the list.
  virtual void ShowInputs(BatchForm& form) = 0;
  virtual void ReadInputs(BatchForm& form) = 0;
  // The open dialog for a parameter file, the save dialog for the CSV file.
  virtual std::optional<std::string> ChooseParamFile() = 0;
  virtual std::optional<std::string> ChooseCsvFile(const std::string& defaultName) = 0;
  virtual void CloseDialog() = 0;
  // Runs `action` on the user-interface thread, soon; callable from any thread.
  virtual void Post(std::function<void()> action) = 0;
};

// What serves the devices of a batch.
class BatchService {
 public:
  virtual ~BatchService() = default;
  // Whether the pages hold a read device's parameters.
  virtual bool PagesRead() = 0;
  // Whether `path` is a parameter file whose checks hold.
  virtual bool ParamFileLoads(const std::string& path) = 0;
  // Why the static addresses of the batch cannot be planned (the text of the box "提示"), or
  // nothing; an empty text when the service has said why in a box of its own.
  virtual std::optional<std::string> PlanRefusal(const BatchForm& form) = 0;
  // Starts serving the form's waiting rows and returns at once. Each change of a row comes
  // through `report`, and `done` once when no device is served any more; both from the
  // service's own thread.
  using Report = std::function<void(size_t row, BatchState state, std::string reason)>;
  virtual void Start(const BatchForm& form, Report report, std::function<void()> done) = 0;
  // No more devices are started; those under way finish.
  virtual void Stop() = 0;
  // Writes `contents` to `path`; false when it could not.
  virtual bool WriteFile(const std::string& path, const std::string& contents) = 0;
};

class BatchDialog {
 public:
  // `log` adds a line to the main window's log.
  BatchDialog(BatchForm& form, BatchView& view, BatchService& service, Notifier& notifier,
              std::function<void(const std::string&)> log);

  // The dialog was built: its rows and inputs are shown.
  void OnInit();
  // A row's check box, "全选", "全不选".
  void OnRowChecked(size_t row, bool checked);
  void OnCheckAll(bool checked);
  // An input changed that other controls' states follow (the source, the network part).
  void OnInputChanged();
  void OnBrowse();
  void OnStart();
  void OnStop();
  void OnExport();
  // "关闭", the close box or Escape; true when the dialog may close now.
  bool OnClose();

 private:
  void OnReport(size_t row, BatchState state, const std::string& reason);
  void OnDone();

  BatchForm& form_;
  BatchView& view_;
  BatchService& service_;
  Notifier& notifier_;
  std::function<void(const std::string&)> log_;
  bool closeWhenDone_ = false;
};

}  // namespace quillon
