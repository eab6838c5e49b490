// The application object: sets up the program's look and runs the main window; the program
// ends when the main window closes.
#pragma once

namespace quillon {

class CConfigApp {
 public:
  // Needs a QApplication. Returns the program's exit code.
  int Run();
};

}  // namespace quillon
