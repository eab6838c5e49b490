// The gear table of one RS-485 slot ("遥调参数设置"): eight gear values with the texts the device
// shows for them, and one text for any other value. Run shows the gear form the session filled
// from the current slot; "保存" reads the rows back into the form and closes; any other way of
// closing leaves the form as it was. Nothing is sent from here.
#pragma once

#include <QDialog>

#include "forms/gear_form.h"
#include "qt/pages/dialog_builder.h"

class QLineEdit;
class QPushButton;

namespace quillon {

class CRemoteAdjustDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CRemoteAdjustDlg(GearForm& form, QWidget* parent = nullptr);

  // Shows `form` in the rows and runs the dialog modally; true when the user saved, with the
  // rows read into `form`.
  bool Run(GearForm& form);
  // "保存": the rows into the form, and the dialog closes.
  void OnSave();

  const ControlMap& Controls() const { return controls_; }

 protected:
  // Enter closes without storing, as Esc does; only a focused "保存" takes it as a click.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  GearForm* form_;
  ControlMap controls_;
  bool saved_ = false;
};

}  // namespace quillon
