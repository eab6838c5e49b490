// The page under the main window's tab "网络参数": the device's own address settings, the
// remote-upgrade server, and one camera page per camera under its own tab control. The page
// shows the network form and reads its controls back into it, for itself and then for camera
// pages 0 to 3; what the controls mean is the form's.
#pragma once

#include <QWidget>
#include <array>

#include "forms/net_param_form.h"
#include "qt/pages/dialog_builder.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quillon {

class CCameraPage;
class CIpAddressEdit;
class CTabControl;

class CNetParamPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCameras = NetParamForm::kCameras;

  // `form` outlives the page.
  explicit CNetParamPage(NetParamForm& form, QWidget* parent = nullptr);

  void Show(NetParamForm& form);
  void Read(NetParamForm& form);

  CCameraPage* CameraPage(int k) const { return cameraPages_[k]; }
  const ControlMap& Controls() const { return controls_; }

 signals:
  // "下载数据" was clicked; the main window runs the parameter download.
  void downloadRequested();

 private:
  void OnSelchangeCameraTab(int selection);

  ControlMap controls_;
  std::array<CCameraPage*, kCameras> cameraPages_{};
};

}  // namespace quillon
