// The page under the main window's tab "485参数": the settings of the device's RS-485 port and
// its sixteen acquisition slots, one slot shown at a time. The page shows the RS-485 form and
// reads its controls back into it; a slot change, "遥调参数设置", "读取" and "下载" go to the
// main window, whose session stores and shows through the form. A change of the protocol or data
// type list applies the form's control states.
#pragma once

#include <QWidget>

#include "forms/rs485_form.h"
#include "qt/pages/dialog_builder.h"
#include "qt/pages/remote_adjust_dlg.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace quillon {

class CRs485Page : public QWidget {
  Q_OBJECT

 public:
  // `form` and `gearForm` outlive the page.
  CRs485Page(Rs485Form& form, GearForm& gearForm, QWidget* parent = nullptr);
  ~CRs485Page() override;

  void Show(Rs485Form& form);
  void Read(Rs485Form& form);
  // Enables and disables the controls as the form says.
  void ApplyControlStates(const Rs485Form& form);

  const ControlMap& Controls() const { return controls_; }
  CRemoteAdjustDlg& RemoteAdjustDialog() { return m_dlgRemoteAdjust; }

 signals:
  // The user chose slot `index` in the slot selector.
  void slotChosen(int index);
  // "遥调参数设置" was clicked.
  void remoteAdjustRequested();
  // "读取" was clicked; the main window runs the RS-485 read.
  void readRequested();
  // "下载" was clicked; the main window runs the RS-485 download.
  void downloadRequested();

 private:
  void OnProtocolOrTypeChanged();
  QComboBox* Combo(int id) const { return ControlAs<QComboBox>(controls_, id); }
  QPushButton* Button(int id) const { return ControlAs<QPushButton>(controls_, id); }

  Rs485Form& form_;
  // The gear dialog, a window of its own without a parent, lives as long as the page.
  CRemoteAdjustDlg m_dlgRemoteAdjust;
  ControlMap controls_;
};

}  // namespace quillon
