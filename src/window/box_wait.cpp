#include "window/box_wait.h"

#include <memory>
#include <utility>

namespace quillon {

void BoxWait::ShowAndWait(const std::function<bool(std::function<void()>)>& post,
                          std::function<void()> show) {
  if (Released()) return;
  auto done = std::make_shared<bool>(false);
  const bool posted = post([this, done, show = std::move(show)] {
    show();
    std::lock_guard lock(mutex_);
    *done = true;
    closed_.notify_all();
  });
  if (!posted) return;
  std::unique_lock lock(mutex_);
  ++waiting_;
  closed_.wait(lock, [&] { return *done || released_; });
  --waiting_;
}

void BoxWait::Release() {
  std::lock_guard lock(mutex_);
  released_ = true;
  closed_.notify_all();
}

bool BoxWait::Released() const {
  std::lock_guard lock(mutex_);
  return released_;
}

int BoxWait::Waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

}  // namespace quillon
