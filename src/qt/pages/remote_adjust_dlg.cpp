#include "qt/pages/remote_adjust_dlg.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "qt/widgets/dialog_units.h"

namespace quillon {

CRemoteAdjustDlg::CRemoteAdjustDlg(GearForm& form, QWidget* parent)
    : QDialog(parent), form_(&form) {
  controls_ = BuildDialogWindow(this, GearDialogLayout());
  // Enter in a box must not save: the button is no default.
  QPushButton* save = ControlAs<QPushButton>(controls_, IDC_GEAR_SAVE);
  save->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &CRemoteAdjustDlg::OnSave);
}

bool CRemoteAdjustDlg::Run(GearForm& form) {
  form_ = &form;
  saved_ = false;
  ShowControls(controls_, form.Controls());
  exec();
  return saved_;
}

void CRemoteAdjustDlg::OnSave() {
  ReadControls(controls_, form_->Controls());
  saved_ = true;
  done(0);
}

void CRemoteAdjustDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    QPushButton* save = ControlAs<QPushButton>(controls_, IDC_GEAR_SAVE);
    if (save->hasFocus())
      save->click();
    else
      reject();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace quillon
