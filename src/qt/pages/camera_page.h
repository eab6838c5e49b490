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
  // `form` is the camera's form; it outlives the page.
  explicit CCameraPage(CameraForm& form, QWidget* parent = nullptr);

  uint8_t CameraIndex() const { return form_.CameraIndex(); }

  void Show(CameraForm& form);
  void Read(CameraForm& form);

  const ControlMap& Controls() const { return controls_; }

 private:
  CameraForm& form_;
  ControlMap controls_;
};

}  // namespace quillon
