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

  // A page not made yet shows the form once it is made; until then its controls hold nothing
  // the user could have changed, and reading them leaves the form as it is.
  void Show(CameraForm& form);
  void Read(CameraForm& form);

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;

 private:
  CameraForm& form_;
  CameraForm* pending_ = nullptr;  // shown before the page was made
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
  // The page makes camera page 0 at once, the others when they are first chosen or when this is
  // called (once the window shows): Wine makes a control in about a millisecond, and the window
  // shows sooner with the three hidden pages' 150 controls made after it.
  void MakeCameraPages();

  // "下载数据" was clicked.
  std::function<void()> onDownload;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(const NMHDR& header) override;

 private:
  void MakeCameraPage(int k);

  NetParamForm& form_;
  FormView view_;
  std::array<CCameraPage, kCameras> cameraPages_;
};

}  // namespace quillon::win32
