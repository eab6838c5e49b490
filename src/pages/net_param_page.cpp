#include "pages/net_param_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/camera_page.h"
#include "widgets/dialog_units.h"
#include "widgets/ipv4_edit.h"
#include "widgets/page_controls.h"
#include "widgets/tab_control.h"

namespace quillon {

namespace {

const char* const kCameraTabNames[CNetParamPage::kCameras] = {"摄像头一", "摄像头二", "摄像头三",
                                                              "摄像头四"};

CIpAddressEdit* MakeAddress(QWidget* parent, const DialogUnits& du, QLabel* label, int x, int y,
                            int cx, int cy) {
  auto* edit = new CIpAddressEdit(parent);
  du.Place(edit, x, y, cx, cy);
  edit->SetAccessibleLabel(label->text());
  label->setBuddy(edit);
  return edit;
}

void CopyAddress(const CIpAddressEdit* edit, uint8_t (&bytes)[4]) {
  const auto address = edit->Address();
  std::copy(address.begin(), address.end(), bytes);
}

}  // namespace

CNetParamPage::CNetParamPage(QWidget* parent) : QWidget(parent) {
  setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  resize(du.Size(kWidthDu, kHeightDu));

  // Made in the tab order of the page. The group box only frames; it comes second so that the
  // label before it stays visible on top.
  QLabel* staticIpLabel = MakeLabel(this, du, QStringLiteral("静态IP"), 12, 33, 25, 8);
  auto* group = new QGroupBox(QStringLiteral("设备网络属性设置"), this);
  du.Place(group, 7, 15, 322, 90);
  group->lower();
  QLabel* netMaskLabel = MakeLabel(this, du, QStringLiteral("子网掩码"), 147, 33, 33, 8);
  QLabel* gatewayLabel = MakeLabel(this, du, QStringLiteral("网关"), 20, 56, 17, 8);
  staticIp_ = MakeAddress(this, du, staticIpLabel, 42, 29, 100, 15);
  netMask_ = MakeAddress(this, du, netMaskLabel, 185, 29, 100, 15);
  gateway_ = MakeAddress(this, du, gatewayLabel, 42, 52, 100, 15);

  dhcp_ = new QCheckBox(QStringLiteral("DHCP"), this);
  dhcp_->setAccessibleName(dhcp_->text());
  du.Place(dhcp_, 149, 55, 32, 10);

  download_ = new QPushButton(QStringLiteral("下载数据"), this);
  download_->setAccessibleName(download_->text());
  du.Place(download_, 139, 390, 57, 23);
  connect(download_, &QPushButton::clicked, this, &CNetParamPage::downloadRequested);

  cameraTabs_ = new CTabControl(this);
  cameraTabs_->setAccessibleName(QStringLiteral("摄像头"));
  du.Place(cameraTabs_, 7, 109, 322, 277);

  QLabel* upgradeLabel = MakeLabel(this, du, QStringLiteral("远程升级地址"), 14, 81, 49, 8);
  upgradeIp_ = MakeAddress(this, du, upgradeLabel, 65, 77, 100, 15);
  QLabel* targetLabel = MakeLabel(this, du, QStringLiteral("目标端口"), 177, 81, 33, 8);
  targetPort_ = MakeEdit(this, du, targetLabel->text(), 211, 78, 40, 14);
  LinkLabel(targetLabel, targetPort_);
  QLabel* sourceLabel = MakeLabel(this, du, QStringLiteral("源端口"), 257, 81, 25, 8);
  sourcePort_ = MakeEdit(this, du, sourceLabel->text(), 284, 78, 40, 14);
  LinkLabel(sourceLabel, sourcePort_);

  // The camera tabs and their pages, placed over the tab control's panel.
  for (int k = 0; k < kCameras; ++k)
    cameraTabs_->InsertItem(k, QString::fromUtf8(kCameraTabNames[k]));
  const QRect client = cameraTabs_->ClientRect().adjusted(8, 20, -8, -8);
  for (int k = 0; k < kCameras; ++k) {
    auto* page = new CCameraPage(cameraTabs_);
    page->setGeometry(client);
    page->hide();
    page->SetCameraIndex(static_cast<uint8_t>(k));
    cameraPages_[k] = page;
  }
  cameraTabs_->SetCurrentSelection(0);
  cameraPages_[0]->show();
  connect(cameraTabs_, &CTabControl::selectionChanged, this, &CNetParamPage::OnSelchangeCameraTab);
}

void CNetParamPage::OnSelchangeCameraTab(int selection) {
  if (selection < 0 || selection >= kCameras) return;
  for (int k = 0; k < kCameras; ++k) cameraPages_[k]->setVisible(k == selection);
}

void CNetParamPage::ParamsToPage(const sOSDCommPara& osd) {
  staticIp_->SetAddress(osd.abyIP);
  netMask_->SetAddress(osd.abyNetMask);
  gateway_->SetAddress(osd.abyGateway);
  // Anything but 0 shows as checked; the page itself only ever stores 0 or 1.
  dhcp_->setChecked(osd.byDHCP != 0);
  upgradeIp_->SetAddress(osd.abyUpgradeIP);
  WordToBox(targetPort_, osd.wUpgradeDstPort);
  WordToBox(sourcePort_, osd.wUpgradeSrcPort);
  for (CCameraPage* page : cameraPages_) page->ParamsToPage(osd);
  filled_ = true;
}

std::optional<UnmatchedList> CNetParamPage::Unmatched() const {
  for (int k = 0; k < kCameras; ++k) {
    std::optional<UnmatchedList> list = cameraPages_[k]->Unmatched();
    if (!list) continue;
    list->name = QString::fromUtf8(kCameraTabNames[k]) + u' ' + list->name;
    return list;
  }
  return std::nullopt;
}

bool CNetParamPage::PageToParams(sOSDCommPara& osd) {
  if (!filled_) return true;
  if (Unmatched()) return false;
  CopyAddress(staticIp_, osd.abyIP);
  CopyAddress(netMask_, osd.abyNetMask);
  CopyAddress(gateway_, osd.abyGateway);
  osd.byDHCP = dhcp_->isChecked() ? 1 : 0;
  CopyAddress(upgradeIp_, osd.abyUpgradeIP);
  osd.wUpgradeDstPort = BoxToWord(targetPort_);
  osd.wUpgradeSrcPort = BoxToWord(sourcePort_);
  for (CCameraPage* page : cameraPages_) page->PageToParams(osd);
  return true;
}

}  // namespace quillon
