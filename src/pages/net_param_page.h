// The page under the main window's tab "网络参数": the device's own address settings, the
// remote-upgrade server, and one camera page per camera under its own tab control. Like every
// page it keeps no values: ParamsToPage and PageToParams copy between the controls and the
// network block, for itself and then for camera pages 0 to 3.
#pragma once

#include <QWidget>
#include <array>
#include <optional>

#include "params/parameter_block.h"
#include "widgets/page_controls.h"

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
  static constexpr int kWidthDu = 336;
  static constexpr int kHeightDu = 420;
  static constexpr int kCameras = 4;

  explicit CNetParamPage(QWidget* parent = nullptr);

  void ParamsToPage(const sOSDCommPara& osd);
  // Bytes 13 to 27 and 36 to 51 of the block are never written. Before the page was first filled
  // it stores nothing: its empty boxes and lists would overwrite the block with blanks. With a
  // list that holds what it cannot store (Unmatched) it stores nothing and returns false.
  bool PageToParams(sOSDCommPara& osd);
  // The first list of the page or of a camera page that holds typed text that is none of its
  // items, named with its camera.
  std::optional<UnmatchedList> Unmatched() const;

  CCameraPage* CameraPage(int k) const { return cameraPages_[k]; }
  CTabControl* CameraTabs() const { return cameraTabs_; }
  CIpAddressEdit* StaticIpEdit() const { return staticIp_; }
  CIpAddressEdit* NetMaskEdit() const { return netMask_; }
  CIpAddressEdit* GatewayEdit() const { return gateway_; }
  CIpAddressEdit* UpgradeIpEdit() const { return upgradeIp_; }
  QCheckBox* DhcpBox() const { return dhcp_; }
  QLineEdit* TargetPortBox() const { return targetPort_; }
  QLineEdit* SourcePortBox() const { return sourcePort_; }
  QPushButton* DownloadButton() const { return download_; }

 signals:
  // "下载数据" was clicked; the main window runs the parameter download.
  void downloadRequested();

 private:
  void OnSelchangeCameraTab(int selection);

  CTabControl* cameraTabs_ = nullptr;
  CIpAddressEdit* gateway_ = nullptr;
  CIpAddressEdit* netMask_ = nullptr;
  CIpAddressEdit* staticIp_ = nullptr;
  std::array<CCameraPage*, kCameras> cameraPages_{};

  CIpAddressEdit* upgradeIp_ = nullptr;
  QCheckBox* dhcp_ = nullptr;
  QLineEdit* targetPort_ = nullptr;
  QLineEdit* sourcePort_ = nullptr;
  QPushButton* download_ = nullptr;
  bool filled_ = false;
};

}  // namespace quillon
