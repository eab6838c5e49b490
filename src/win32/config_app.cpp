#include "win32/config_app.h"

#include <commctrl.h>
#include <ole2.h>

namespace quillon::win32 {

CConfigApp::CConfigApp() : CConfigApp(ConfigProgram::ProcessBlock(), nullptr, InterfaceAddresses) {}

CConfigApp::CConfigApp(DeviceParameterBlock& block, FrameLink& link, AddressSource addresses)
    : CConfigApp(block, &link, std::move(addresses)) {}

CConfigApp::CConfigApp(DeviceParameterBlock& block, FrameLink* link, AddressSource addresses)
    : ownLink_(link ? nullptr
                    : std::make_unique<UdpLink>(SystemSockets(), notifier_, InterfaceAddresses)),
      program_(block, link ? *link : *ownLink_, notifier_),
      window_(program_.Session(), std::move(addresses)) {
  window_.SetBatch(program_.Batch());
}

CConfigApp::~CConfigApp() { Stop(); }

void CConfigApp::Start(HWND window) {
  notifier_.SetOwner(window);
  program_.Start([this](Datagram datagram) { window_.PostDatagram(std::move(datagram)); });
}

void CConfigApp::Stop() {
  notifier_.SetOwner(nullptr);
  program_.Stop();
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
