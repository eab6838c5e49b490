// One camera's page under the network page's camera tabs: the camera's address and ports, the
// login, the brand, the number of overlay lines and the eight overlay lines. The page shows its
// camera's form and reads its controls back into it; what the controls mean is the form's.
#pragma once

#include <QWidget>

#include "forms/net_param_form.h"
#include "qt/pages/dialog_builder.h"

class QComboBox;
class QLineEdit;

namespace quillon {

class CIpAddressEdit;

class CCameraPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRows = CameraForm::kRows;

  // `form` is the camera's form; it outlives the page.
  explicit CCameraPage(CameraForm& form, QWidget* parent = nullptr);

  uint8_t CameraIndex() const { return form_.CameraIndex(); }

  void Show(CameraForm& form);
  void Read(CameraForm& form);

  CIpAddressEdit* CameraAddressEdit() const;
  QLineEdit* CameraPortBox() const { return Edit(IDC_CAMERA_PORT); }
  QLineEdit* SourcePortBox() const { return Edit(IDC_CAMERA_SOURCE_PORT); }
  QLineEdit* UserBox() const { return Edit(IDC_CAMERA_USER); }
  QLineEdit* PasswordBox() const { return Edit(IDC_CAMERA_PASSWORD); }
  QComboBox* BrandCombo() const;
  QComboBox* LineCountCombo() const;
  QLineEdit* TextBox(int row) const { return Edit(IDC_LINE_TEXT + row); }
  QLineEdit* XBox(int row) const { return Edit(IDC_LINE_X + row); }
  QLineEdit* YBox(int row) const { return Edit(IDC_LINE_Y + row); }
  const ControlMap& Controls() const { return controls_; }

 private:
  QLineEdit* Edit(int id) const;

  CameraForm& form_;
  ControlMap controls_;
};

}  // namespace quillon
