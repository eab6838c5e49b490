// The one assembly of the program, whichever window shows it: the session on a link and a
// notifier, with the one order of starting and of stopping them. Each window's application
// object builds it on the program's sockets and boxes, or on a test's, and hands Start the
// window's way of taking a datagram onto its user-interface thread.
#pragma once

#include <functional>

#include "link/frame_link.h"
#include "params/parameter_block.h"
#include "report/notifier.h"
#include "session/config_session.h"
#include "window/batch_service.h"

namespace quillon {

class ConfigProgram {
 public:
  ConfigProgram(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier)
      : link_(link),
        notifier_(notifier),
        session_(block, link, notifier),
        batch_(session_, link, notifier) {}
  ~ConfigProgram() { Stop(); }
  ConfigProgram(const ConfigProgram&) = delete;
  ConfigProgram& operator=(const ConfigProgram&) = delete;

  // The one parameter block of the process: zero at start, never freed.
  static DeviceParameterBlock& ProcessBlock();

  // Link start-up (receive socket and thread, each datagram handed to `post`), then the
  // dictionary worker, which needs the index the window's initialisation has built.
  void Start(std::function<void(Datagram)> post);
  // No more devices of a batch started, boxes released, receive thread stopped, then the
  // worker; safe to call twice.
  void Stop();

  ConfigSession& Session() { return session_; }
  WindowBatch& Batch() { return batch_; }

 private:
  FrameLink& link_;
  Notifier& notifier_;
  ConfigSession session_;
  WindowBatch batch_;  // last: its thread is joined before the session goes
};

}  // namespace quillon
