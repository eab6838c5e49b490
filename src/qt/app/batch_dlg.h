// The batch dialog ("批量配置") of the Qt window: the controls of its layout table, the devices as
// table rows with a check box each, and every user action handed to the toolkit-free BatchDialog.
// The devices are served by the BatchService given, on its own thread; what it reports reaches
// the dialog through the event loop.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "forms/batch_dialog.h"
#include "qt/pages/dialog_builder.h"

class QTableWidget;
class QTableWidgetItem;

namespace quillon {

class CBatchDlg : public QDialog, public BatchView {
  Q_OBJECT

 public:
  // `form` holds the devices and the inputs, which outlive the dialog: the next opening shows
  // what the user chose the last time.
  CBatchDlg(BatchForm& form, BatchService& service, Notifier& notifier,
            std::function<void(const std::string&)> log, QWidget* parent = nullptr);

  void ShowRows(const BatchForm& form) override;
  void ShowRow(const BatchForm& form, size_t row) override;
  void ShowInputs(BatchForm& form) override;
  void ReadInputs(BatchForm& form) override;
  std::optional<std::string> ChooseParamFile() override;
  std::optional<std::string> ChooseCsvFile(const std::string& defaultName) override;
  void CloseDialog() override;
  void Post(std::function<void()> action) override;

  const ControlMap& Controls() const { return controls_; }

 public slots:
  // Escape, the close box and "关闭": closed only when no batch runs, or once it has stopped.
  void reject() override;

 private:
  void OnItemChanged(QTableWidgetItem* item);

  BatchDialog logic_;
  ControlMap controls_;
  QTableWidget* list_ = nullptr;
  bool showing_ = false;  // the list is being filled: its changes are no user's
};

}  // namespace quillon
