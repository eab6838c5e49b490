#include "qt/app/config_app.h"

#include <QApplication>

#include "qt/app/about_dlg.h"
#include "qt/app/config_main_dlg.h"
#include "qt/app/qt_notifier.h"
#include "qt/widgets/dialog_units.h"

namespace quillon {

// What the program owns besides the window: its message boxes and the real UDP link.
struct CConfigApp::OwnParts {
  OwnParts() {
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral("2.3"));
    QApplication::setWindowIcon(ApplicationIcon());
    QApplication::setFont(DialogFont());
  }
  QtNotifier notifier;
  UdpLink link{SystemSockets(), notifier, InterfaceAddresses};
};

CConfigApp::CConfigApp() : CConfigApp(std::make_unique<OwnParts>()) {}

CConfigApp::CConfigApp(std::unique_ptr<OwnParts> parts)
    : own_(std::move(parts)),
      program_(ConfigProgram::ProcessBlock(), own_->link, own_->notifier),
      window_(std::make_unique<CConfigMainDlg>(program_.Session(), InterfaceAddresses)) {
  own_->notifier.SetParentWindow(window_.get());
  window_->SetBatch(program_.Batch());
}

CConfigApp::CConfigApp(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier,
                       const AddressSource& addresses)
    : program_(block, link, notifier),
      window_(std::make_unique<CConfigMainDlg>(program_.Session(), addresses)) {
  window_->SetBatch(program_.Batch());
}

CConfigApp::~CConfigApp() { Stop(); }

void CConfigApp::Start() {
  program_.Start(
      [window = window_.get()](Datagram datagram) { window->PostDatagram(std::move(datagram)); });
}

void CConfigApp::Stop() { program_.Stop(); }

int CConfigApp::Run() {
  Start();
  window_->exec();
  // However the window ended, no event loop follows: the program ends here.
  Stop();
  return 0;
}

}  // namespace quillon
