// A notifier for tests: records every box instead of showing it, and returns at once as if the
// user had closed it. Safe from any thread (the link and the worker show boxes from theirs).
#pragma once

#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "report/notifier.h"

namespace quillon::fakes {

struct RecordedBox {
  std::string caption;
  std::string text;
  BoxIcon icon;
  bool operator==(const RecordedBox&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const RecordedBox& box) {
  return out << box.caption << ": " << box.text;
}

class RecordingNotifier : public Notifier {
 public:
  void ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) override {
    if (whileShown) whileShown();
    {
      std::lock_guard lock(mutex_);
      boxes_.push_back({caption, text, icon});
    }
    if (afterShown) afterShown();
  }
  // Records the question like a box and answers with `yes`.
  bool AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) override {
    ShowBox(caption, text, icon);
    return yes;
  }
  std::vector<RecordedBox> Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  size_t Count() const {
    std::lock_guard lock(mutex_);
    return boxes_.size();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    boxes_.clear();
  }

  // Set before any thread may show a box.
  std::function<void()> whileShown;  // runs while the box would be up
  std::function<void()> afterShown;  // runs once it is recorded
  bool yes = false;                  // the answer to every question

 private:
  mutable std::mutex mutex_;
  std::vector<RecordedBox> boxes_;
};

}  // namespace quillon::fakes
