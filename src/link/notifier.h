// Message boxes go through one injectable notifier, so that tests capture them instead of
// blocking on a modal window.
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
};

}  // namespace quillon
