#include "win32/rs485_page.h"

#include <utility>

namespace quillon::win32 {

bool CRemoteAdjustDlg::Run(HWND owner, GearForm& form) {
  form_ = &form;
  saved_ = false;
  RunModal(owner);
  return saved_;
}

BOOL CRemoteAdjustDlg::OnInitDialog() {
  view_ = FormView(Hwnd());
  view_.Show(form_->Controls());
  return TRUE;
}

void CRemoteAdjustDlg::OnCommand(int id, int code) {
  if (id == IDC_GEAR_SAVE && code == BN_CLICKED) {
    view_.Read(form_->Controls());
    saved_ = true;
    ::EndDialog(Hwnd(), IDC_GEAR_SAVE);
  } else if (id == IDOK || id == IDCANCEL) {
    // Enter in a box must not save: the dialog has no default button.
    ::EndDialog(Hwnd(), id);
  }
}

BOOL CRs485Page::OnInitDialog() {
  view_ = FormView(Hwnd());
  view_.BindLists(form_.Controls());
  if (pending_) Show(*std::exchange(pending_, nullptr));
  return FALSE;
}

void CRs485Page::Show(Rs485Form& form) {
  if (!Created()) {
    pending_ = &form;
    return;
  }
  view_.Show(form.Controls());
  ApplyControlStates(form);
}

void CRs485Page::Read(Rs485Form& form) {
  if (Created()) view_.Read(form.Controls());
}

void CRs485Page::ApplyControlStates(const Rs485Form& form) {
  if (!Created()) return;
  for (const ControlLayout& c : Layout().controls)
    if (c.id != kStaticId) ::EnableWindow(Item(c.id), form.Enabled(c.id));
}

void CRs485Page::OnProtocolOrTypeChanged() {
  Read(form_);
  form_.UpdateControlStates();
  ApplyControlStates(form_);
}

void CRs485Page::OnCommand(int id, int code) {
  const std::optional<int> chosen = view_.OnListCommand(form_.Controls(), id, code);
  const bool rules = id == IDC_RS485_PROTOCOL || id == IDC_SLOT_DATA_TYPE;
  if (chosen && id == IDC_RS485_SLOT && onSlotChosen) onSlotChosen(*chosen);
  // Text typed into either list that is none of its items leaves it without a selection too.
  if (rules && (chosen || code == CBN_EDITCHANGE)) OnProtocolOrTypeChanged();
  if (code != BN_CLICKED) return;
  if (id == IDC_SLOT_REMOTE_ADJUST && onRemoteAdjust) onRemoteAdjust();
  if (id == IDC_RS485_READ && onRead) onRead();
  if (id == IDC_RS485_DOWNLOAD && onDownload) onDownload();
}

}  // namespace quillon::win32
