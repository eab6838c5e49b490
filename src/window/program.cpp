#include "window/program.h"

#include <utility>

namespace quillon {

DeviceParameterBlock& ConfigProgram::ProcessBlock() {
  static DeviceParameterBlock block{};
  return block;
}

void ConfigProgram::Start(std::function<void(Datagram)> post) {
  link_.Start(std::move(post));
  session_.StartWorker();
}

void ConfigProgram::Stop() {
  // No thread that is stopped after this may wait for a box, and no datagram may be posted to a
  // window that is going away.
  batch_.Stop();
  notifier_.ReleaseWaiting();
  link_.Stop();
  session_.StopWorker();
}

}  // namespace quillon
