// The application object: builds the parts the main window works with (the link, the boxes, the
// session with its dictionary worker), hands them to the window, starts them, and stops them in
// order when the window has closed. The program ends when the main window closes.
//
// The program builds it on real sockets and message boxes; tests build the same assembly on a
// recording link or notifier where they need one.
#pragma once

#include <memory>

#include "link/frame_link.h"
#include "link/udp_link.h"
#include "params/parameter_block.h"
#include "report/notifier.h"
#include "session/config_session.h"
#include "window/program.h"

namespace quillon {

class CConfigMainDlg;

class CConfigApp {
 public:
  // The program: the process-wide parameter block, UDP sockets on port 1901 and message boxes.
  // Needs a QApplication.
  CConfigApp();
  // The same assembly on the given parts. `addresses` fills the local-address box.
  CConfigApp(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier,
             const AddressSource& addresses);
  ~CConfigApp();  // Stop()

  CConfigApp(const CConfigApp&) = delete;
  CConfigApp& operator=(const CConfigApp&) = delete;

  // Link start-up (receive socket and thread, each datagram posted to the window), then the
  // dictionary worker, which needs the index the window's initialisation has built.
  void Start();
  // Boxes released, receive thread stopped, then the worker; safe to call twice.
  void Stop();
  // Start, the main window modally, Stop. Returns the program's exit code.
  int Run();

  ConfigSession& Session() { return program_.Session(); }
  CConfigMainDlg& Window() { return *window_; }

 private:
  struct OwnParts;
  CConfigApp(std::unique_ptr<OwnParts> parts);

  std::unique_ptr<OwnParts> own_;  // the program's own link and boxes; outlives what uses them
  ConfigProgram program_;
  std::unique_ptr<CConfigMainDlg> window_;
};

}  // namespace quillon
