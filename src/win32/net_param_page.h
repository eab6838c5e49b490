// The page under the main window's tab "网络参数" with its four camera pages under a tab control
// of their own: native child dialogs over the network form. What the controls mean is the form's;
// the page shows it and reads its controls back, for itself and then for camera pages 0 to 3.
#pragma once

#include <array>
#include <functional>

#include "forms/net_param_form.h"
#include "win32/dialog_window.h"
#include "win32/form_view.h"

namespace quillon::win32 {

class CCameraPage : public CDialogWindow {
 public:
  explicit CCameraPage(CameraForm& form)
      : CDialogWindow(CameraPageLayout(), DialogRole::Page), form_(form) {}

  void Show(CameraForm& form) { view_.Show(form.Controls()); }
  void Read(CameraForm& form) { view_.Read(form.Controls()); }

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;

 private:
  CameraForm& form_;
  FormView view_;
};

class CNetParamPage : public CDialogWindow {
 public:
  static constexpr int kCameras = NetParamForm::kCameras;

  // `form` outlives the page.
  explicit CNetParamPage(NetParamForm& form);

  void Show(NetParamForm& form);
  void Read(NetParamForm& form);
  CCameraPage& CameraPage(int k) { return cameraPages_[static_cast<size_t>(k)]; }

  // "下载数据" was clicked.
  std::function<void()> onDownload;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(const NMHDR& header) override;

 private:
  NetParamForm& form_;
  FormView view_;
  std::array<CCameraPage, kCameras> cameraPages_;
};

}  // namespace quillon::win32
