#include "app/config_app.h"

#include <QApplication>

#include "app/about_dlg.h"
#include "app/config_main_dlg.h"
#include "pages/dialog_units.h"

namespace quillon {

int CConfigApp::Run() {
  QApplication::setApplicationName(QStringLiteral("Quillon"));
  QApplication::setApplicationVersion(QStringLiteral("2.3"));
  QApplication::setWindowIcon(ApplicationIcon());
  QApplication::setFont(DialogFont());

  // The one parameter block of the process: zero at start, never freed.
  static DeviceParameterBlock block{};
  std::unique_ptr<CConfigMainDlg> window = CConfigMainDlg::CreateProgramWindow(block);
  window->exec();
  // However the window ended, no event loop follows: the program ends here.
  return 0;
}

}  // namespace quillon
