#include "qt/pages/camera_page.h"

#include <QComboBox>
#include <QLineEdit>

#include "qt/widgets/dialog_units.h"
#include "qt/widgets/ipv4_edit.h"

namespace quillon {

CCameraPage::CCameraPage(CameraForm& form, QWidget* parent) : QWidget(parent), form_(form) {
  setFont(DialogFont());
  const DialogLayout& layout = CameraPageLayout();
  const DialogUnits& du = DialogFontUnits();
  resize(du.Size(layout.cx, layout.cy));
  controls_ = BuildDialog(this, layout, du);
  BindLists(controls_, form_.Controls());
}

void CCameraPage::Show(CameraForm& form) { ShowControls(controls_, form.Controls()); }

void CCameraPage::Read(CameraForm& form) { ReadControls(controls_, form.Controls()); }

QLineEdit* CCameraPage::Edit(int id) const { return ControlAs<QLineEdit>(controls_, id); }

CIpAddressEdit* CCameraPage::CameraAddressEdit() const {
  return ControlAs<CIpAddressEdit>(controls_, IDC_CAMERA_IP);
}

QComboBox* CCameraPage::BrandCombo() const {
  return ControlAs<QComboBox>(controls_, IDC_CAMERA_BRAND);
}

QComboBox* CCameraPage::LineCountCombo() const {
  return ControlAs<QComboBox>(controls_, IDC_CAMERA_LINE_COUNT);
}

}  // namespace quillon
