#include "app/about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "widgets/dialog_units.h"
#include "widgets/page_controls.h"

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
  setWindowTitle(QStringLiteral("关于 Quillon"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  setFixedSize(du.Size(kWidthDu, kHeightDu));

  // A platform icon control keeps the icon's own size (32 x 32 pixels) at its position.
  auto* icon = new QLabel(this);
  icon->setPixmap(ApplicationIcon().pixmap(32, 32));
  icon->setAccessibleName(QStringLiteral("Quillon"));
  icon->setGeometry(du.X(11), du.Y(17), 32, 32);

  MakeLabel(this, du, QStringLiteral("Quillon 2.3 版"), 40, 10, 119, 8);

  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setAccessibleName(ok->text());
  ok->setDefault(true);
  du.Place(ok, 178, 7, 50, 14);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quillon
