// The about box: the application icon, the program's name and version, and "确定".
#pragma once

#include <QDialog>

namespace quillon {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// The application icon (icon resource of the program).
QIcon ApplicationIcon();

}  // namespace quillon
