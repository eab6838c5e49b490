#include "qt/pages/net_param_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "qt/pages/camera_page.h"
#include "qt/widgets/dialog_units.h"
#include "qt/widgets/ipv4_edit.h"
#include "qt/widgets/tab_control.h"

namespace quillon {

CNetParamPage::CNetParamPage(NetParamForm& form, QWidget* parent) : QWidget(parent) {
  setFont(DialogFont());
  const DialogLayout& layout = NetPageLayout();
  const DialogUnits& du = DialogFontUnits();
  resize(du.Size(layout.cx, layout.cy));
  controls_ = BuildDialog(this, layout, du);
  connect(ControlAs<QPushButton>(controls_, IDC_NET_DOWNLOAD), &QPushButton::clicked, this,
          &CNetParamPage::downloadRequested);

  // The camera tabs and their pages, placed over the tab control's panel.
  CTabControl* tabs = ControlAs<CTabControl>(controls_, IDC_CAMERA_TABS);
  for (int k = 0; k < kCameras; ++k) tabs->InsertItem(k, QString::fromUtf8(kCameraTabs[k]));
  const PageInsets& inset = kCameraPageInsets;
  const QRect client =
      tabs->ClientRect().adjusted(inset.left, inset.top, -inset.right, -inset.bottom);
  for (int k = 0; k < kCameras; ++k) {
    auto* page = new CCameraPage(form.cameras[k], tabs);
    page->setGeometry(client);
    page->hide();
    cameraPages_[k] = page;
  }
  tabs->SetCurrentSelection(0);
  cameraPages_[0]->show();
  connect(tabs, &CTabControl::selectionChanged, this, &CNetParamPage::OnSelchangeCameraTab);
}

void CNetParamPage::OnSelchangeCameraTab(int selection) {
  if (selection < 0 || selection >= kCameras) return;
  for (int k = 0; k < kCameras; ++k) cameraPages_[k]->setVisible(k == selection);
}

void CNetParamPage::Show(NetParamForm& form) {
  ShowControls(controls_, form.Controls());
  for (int k = 0; k < kCameras; ++k) cameraPages_[k]->Show(form.cameras[k]);
}

void CNetParamPage::Read(NetParamForm& form) {
  ReadControls(controls_, form.Controls());
  for (int k = 0; k < kCameras; ++k) cameraPages_[k]->Read(form.cameras[k]);
}

}  // namespace quillon
