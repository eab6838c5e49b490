#include "win32/config_app.h"

#include <commctrl.h>
#include <ole2.h>

namespace quillon::win32 {

namespace {

// The one parameter block of the process: zero at start, never freed.
DeviceParameterBlock& ProcessBlock() {
  static DeviceParameterBlock block{};
  return block;
}

}  // namespace

CConfigApp::CConfigApp() : CConfigApp(ProcessBlock(), nullptr, InterfaceAddresses) {}

CConfigApp::CConfigApp(DeviceParameterBlock& block, FrameLink& link, AddressSource addresses)
    : CConfigApp(block, &link, std::move(addresses)) {}

CConfigApp::CConfigApp(DeviceParameterBlock& block, FrameLink* link, AddressSource addresses)
    : ownLink_(link ? nullptr
                    : std::make_unique<UdpLink>(SystemSockets(), notifier_, InterfaceAddresses)),
      link_(link ? *link : *ownLink_),
      session_(block, link_, notifier_),
      window_(session_, std::move(addresses)) {}

CConfigApp::~CConfigApp() { Stop(); }

void CConfigApp::Start(HWND window) {
  notifier_.SetOwner(window);
  // Link start-up (receive socket and thread, each datagram posted to the window), then the
  // dictionary worker, which needs the index the window's initialisation has built.
  link_.Start([this](Datagram datagram) { window_.PostDatagram(std::move(datagram)); });
  session_.StartWorker();
  started_ = true;
}

void CConfigApp::Stop() {
  notifier_.SetOwner(nullptr);
  // No thread that is stopped after this may wait for a box, and no datagram may be posted to a
  // window that is going away.
  notifier_.ReleaseWaiting();
  if (!started_) return;
  started_ = false;
  link_.Stop();
  session_.StopWorker();
}

int CConfigApp::Run() {
  const HRESULT com = ::OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_TAB_CLASSES | ICC_INTERNET_CLASSES};
  ::InitCommonControlsEx(&controls);
  window_.Run([this](HWND window) { Start(window); });
  // However the window ended, no message loop follows: the program ends here.
  Stop();
  if (SUCCEEDED(com)) ::OleUninitialize();
  return 0;
}

}  // namespace quillon::win32
