// The application object of the window on Windows: builds the parts the main window works with
// (the link, the message boxes, the session with its dictionary worker), runs the window modally,
// starts the link and the worker from the window's initialisation, and stops them in order when
// the window has closed. The program ends when the main window closes.
#pragma once

#include <memory>

#include "link/frame_link.h"
#include "link/udp_link.h"
#include "params/parameter_block.h"
#include "session/config_session.h"
#include "win32/config_main_dlg.h"
#include "win32/win32_notifier.h"
#include "window/program.h"

namespace quillon::win32 {

class CConfigApp {
 public:
  // The program: the process-wide parameter block, UDP sockets on port 1901, message boxes.
  // Made on the user-interface thread, as every constructor here.
  CConfigApp();
  // The same assembly on the given link and block; `addresses` fills the local-address box.
  CConfigApp(DeviceParameterBlock& block, FrameLink& link, AddressSource addresses);
  ~CConfigApp();  // Stop()

  CConfigApp(const CConfigApp&) = delete;
  CConfigApp& operator=(const CConfigApp&) = delete;

  // The window modally (common controls, COM for the file dialogs), then Stop. Returns the
  // program's exit code.
  int Run();
  // Boxes released, receive thread stopped, then the worker; safe to call twice.
  void Stop();

  ConfigSession& Session() { return program_.Session(); }
  CConfigMainDlg& Window() { return window_; }

 private:
  CConfigApp(DeviceParameterBlock& block, FrameLink* link, AddressSource addresses);
  void Start(HWND window);

  Win32Notifier notifier_;
  std::unique_ptr<UdpLink> ownLink_;  // the program's own; outlives what uses it
  ConfigProgram program_;
  CConfigMainDlg window_;
};

}  // namespace quillon::win32
