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

}  // namespace quillon
