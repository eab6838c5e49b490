#include "qt/app/about_dlg.h"

#include <QIcon>
#include <QPushButton>

#include "qt/pages/dialog_builder.h"
#include "qt/widgets/dialog_units.h"

// The resources live in a static library; nothing else would pull them into the program.
static void InitQuillonResources() { Q_INIT_RESOURCE(quillon); }

namespace quillon {

QIcon ApplicationIcon() {
  static const QIcon icon = [] {
    InitQuillonResources();
    QIcon i;
    i.addFile(QStringLiteral(":/quillon-32.png"), QSize(32, 32));
    i.addFile(QStringLiteral(":/quillon.png"), QSize(256, 256));
    return i;
  }();
  return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  const ControlMap controls = BuildDialogWindow(this, AboutLayout());
  connect(ControlAs<QPushButton>(controls, IDC_ABOUT_OK), &QPushButton::clicked, this,
          &QDialog::accept);
}

}  // namespace quillon
