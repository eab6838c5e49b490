#include "win32/net_param_page.h"

#include <commctrl.h>

#include <utility>

namespace quillon::win32 {

BOOL CCameraPage::OnInitDialog() {
  view_ = FormView(Hwnd());
  view_.BindLists(form_.Controls());
  if (pending_) Show(*std::exchange(pending_, nullptr));
  return FALSE;  // a page takes no focus of its own
}

void CCameraPage::Show(CameraForm& form) {
  if (Created())
    view_.Show(form.Controls());
  else
    pending_ = &form;
}

void CCameraPage::Read(CameraForm& form) {
  if (Created()) view_.Read(form.Controls());
}

void CCameraPage::OnCommand(int id, int code) { view_.OnListCommand(form_.Controls(), id, code); }

CNetParamPage::CNetParamPage(NetParamForm& form)
    : CDialogWindow(NetPageLayout(), DialogRole::Page),
      form_(form),
      cameraPages_{CCameraPage(form.cameras[0]), CCameraPage(form.cameras[1]),
                   CCameraPage(form.cameras[2]), CCameraPage(form.cameras[3])} {}

BOOL CNetParamPage::OnInitDialog() {
  view_ = FormView(Hwnd());
  view_.BindLists(form_.Controls());
  const HWND tabs = Item(IDC_CAMERA_TABS);
  InsertTabs(tabs, {kCameraTabs[0], kCameraTabs[1], kCameraTabs[2], kCameraTabs[3]});
  MakeCameraPage(0);
  ::SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
  ::ShowWindow(cameraPages_[0].Hwnd(), SW_SHOW);
  return FALSE;
}

void CNetParamPage::MakeCameraPage(int k) {
  CCameraPage& page = CameraPage(k);
  if (!page.Created()) PlacePage(page, Item(IDC_CAMERA_TABS), kCameraPageInsets);
}

void CNetParamPage::MakeCameraPages() {
  for (int k = 0; k < kCameras; ++k) MakeCameraPage(k);
}

void CNetParamPage::OnCommand(int id, int code) {
  if (id == IDC_NET_DOWNLOAD && code == BN_CLICKED && onDownload) onDownload();
}

void CNetParamPage::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_CAMERA_TABS || header.code != TCN_SELCHANGE) return;
  const int selection = static_cast<int>(::SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0));
  if (selection < 0 || selection >= kCameras) return;
  MakeCameraPage(selection);
  for (int k = 0; k < kCameras; ++k)
    ::ShowWindow(cameraPages_[static_cast<size_t>(k)].Hwnd(), k == selection ? SW_SHOW : SW_HIDE);
}

void CNetParamPage::Show(NetParamForm& form) {
  view_.Show(form.Controls());
  for (int k = 0; k < kCameras; ++k) CameraPage(k).Show(form.cameras[static_cast<size_t>(k)]);
}

void CNetParamPage::Read(NetParamForm& form) {
  view_.Read(form.Controls());
  for (int k = 0; k < kCameras; ++k) CameraPage(k).Read(form.cameras[static_cast<size_t>(k)]);
}

}  // namespace quillon::win32
