// The page under the main window's tab "485参数" and the gear dialog of its slots: native dialogs
// over the RS-485 form and the gear form. A slot change, "遥调参数设置", "读取" and "下载" go to
// the main window, whose session stores and shows through the forms; a change of the protocol or
// data-type list applies the form's control states.
#pragma once

#include <functional>

#include "forms/gear_form.h"
#include "forms/rs485_form.h"
#include "win32/dialog_window.h"
#include "win32/form_view.h"

namespace quillon::win32 {

// "遥调参数设置": eight gear values with their texts and the text of any other value. "保存"
// reads the rows into the form and closes; Enter, Escape and the close box close without it.
class CRemoteAdjustDlg : public CDialogWindow {
 public:
  CRemoteAdjustDlg() : CDialogWindow(GearDialogLayout(), DialogRole::Modal) {}

  // Shows `form` and runs the dialog modally over `owner`; true when the user saved.
  bool Run(HWND owner, GearForm& form);

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;

 private:
  GearForm* form_ = nullptr;
  FormView view_;
  bool saved_ = false;
};

class CRs485Page : public CDialogWindow {
 public:
  // `form` outlives the page.
  explicit CRs485Page(Rs485Form& form)
      : CDialogWindow(Rs485PageLayout(), DialogRole::Page), form_(form) {}

  // As a camera page: a page not made yet shows the form once it is made.
  void Show(Rs485Form& form);
  void Read(Rs485Form& form);
  // Enables and disables the controls as the form says.
  void ApplyControlStates(const Rs485Form& form);
  CRemoteAdjustDlg& RemoteAdjustDialog() { return m_dlgRemoteAdjust; }

  std::function<void(int)> onSlotChosen;  // the user chose slot `index`
  std::function<void()> onRemoteAdjust, onRead, onDownload;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;

 private:
  void OnProtocolOrTypeChanged();

  Rs485Form& form_;
  Rs485Form* pending_ = nullptr;  // shown before the page was made
  FormView view_;
  CRemoteAdjustDlg m_dlgRemoteAdjust;
};

}  // namespace quillon::win32
