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
  // The one parameter block of the process: zero at start, never freed.
  static DeviceParameterBlock& Block() {
    static DeviceParameterBlock block{};
    return block;
  }

  QtNotifier notifier;
  UdpLink link{SystemSockets(), notifier, InterfaceAddresses};
};

CConfigApp::CConfigApp() : CConfigApp(std::make_unique<OwnParts>()) {}

CConfigApp::CConfigApp(std::unique_ptr<OwnParts> parts)
    : own_(std::move(parts)),
      link_(own_->link),
      notifier_(own_->notifier),
      session_(OwnParts::Block(), link_, notifier_),
      window_(std::make_unique<CConfigMainDlg>(session_, InterfaceAddresses)) {
  own_->notifier.SetParentWindow(window_.get());
}

CConfigApp::CConfigApp(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier,
                       const AddressSource& addresses)
    : link_(link),
      notifier_(notifier),
      session_(block, link_, notifier_),
      window_(std::make_unique<CConfigMainDlg>(session_, addresses)) {}

CConfigApp::~CConfigApp() { Stop(); }

void CConfigApp::Start() {
  link_.Start(
      [window = window_.get()](Datagram datagram) { window->PostDatagram(std::move(datagram)); });
  session_.StartWorker();
}

void CConfigApp::Stop() {
  // No thread that is stopped after this may wait for a box, and no datagram may be posted to a
  // window that is going away.
  notifier_.ReleaseWaiting();
  link_.Stop();
  session_.StopWorker();
}

int CConfigApp::Run() {
  Start();
  window_->exec();
  // However the window ended, no event loop follows: the program ends here.
  Stop();
  return 0;
}

}  // namespace quillon
