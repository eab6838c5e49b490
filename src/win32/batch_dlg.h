// The batch dialog ("批量配置") of the Win32 window: the controls of its layout table, the devices
// in a list view with a check box per row, and every user action handed to the toolkit-free
// BatchDialog. What the service's thread reports is queued and handled by the dialog's own
// thread, woken by a posted message.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "forms/batch_dialog.h"
#include "win32/dialog_window.h"
#include "win32/form_view.h"

namespace quillon::win32 {

class CBatchDlg : public CDialogWindow, public BatchView {
 public:
  // `form` holds the devices and the inputs and outlives the dialog.
  CBatchDlg(BatchForm& form, BatchService& service, Notifier& notifier,
            std::function<void(const std::string&)> log);

  void ShowRows(const BatchForm& form) override;
  void ShowRow(const BatchForm& form, size_t row) override;
  void ShowInputs(BatchForm& form) override;
  void ReadInputs(BatchForm& form) override;
  std::optional<std::string> ChooseParamFile() override;
  std::optional<std::string> ChooseCsvFile(const std::string& defaultName) override;
  void CloseDialog() override;
  void Post(std::function<void()> action) override;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(const NMHDR& header) override;
  bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) override;

 private:
  BatchDialog logic_;
  FormView view_;
  bool showing_ = false;  // the list is being filled: its changes are no user's
  std::mutex postedMutex_;
  std::vector<std::function<void()>> posted_;
};

}  // namespace quillon::win32
