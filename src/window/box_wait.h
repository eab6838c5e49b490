// What the program's boxes share in both windows: the texts of their buttons, whatever the
// language of the system, and the wait of a caller on another thread (the dictionary worker) for
// a box that the user-interface thread shows while it keeps running.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace quillon {

inline constexpr const char* kOkButtonText = "确定";
inline constexpr const char* kYesButtonText = "是";
inline constexpr const char* kNoButtonText = "否";

class BoxWait {
 public:
  // Hands `show` to the user-interface thread through `post`, which returns false when it could
  // not, and waits until it has run there, or until Release.
  void ShowAndWait(const std::function<bool(std::function<void()>)>& post,
                   std::function<void()> show);
  // Lets every caller still waiting go on; every later ShowAndWait returns at once.
  void Release();
  bool Released() const;
  // How many callers are waiting now.
  int Waiting() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable closed_;
  bool released_ = false;
  int waiting_ = 0;
};

}  // namespace quillon
