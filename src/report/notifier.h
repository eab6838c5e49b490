// The reporting port: every layer that has to tell the user something in a box goes through one
// injectable notifier, so that tests capture the boxes instead of blocking on a modal window.
// It sits below every other folder and includes nothing of the program.
#pragma once

#include <string>

namespace quillon {

// The caption of the link's failure boxes and of the file-check box.
inline constexpr const char* kProgramName = "Quillon";

enum class BoxIcon { None, Exclamation, Question };

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows a modal box with an OK button and returns when the user has closed it. May be called
  // from any thread; an implementation shows the box on the user-interface thread.
  virtual void ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) = 0;
  // Shows a modal box with the buttons "是" and "否" and returns whether the user chose "是";
  // closing the box in any other way answers "否". User-interface thread only.
  virtual bool AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) = 0;
  // Lets every caller still waiting for a box go on, and every later call from another thread
  // return at once, so that a thread being stopped at exit never waits for a box that nobody
  // will show any more. A notifier whose boxes never wait has nothing to do.
  virtual void ReleaseWaiting() {}
};

}  // namespace quillon
