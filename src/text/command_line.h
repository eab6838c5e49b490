// The program's command line in UTF-8, whatever the system hands to main(): on Windows, argv is
// in the ANSI code page, which cannot hold every name or path, so the arguments are taken from
// the UTF-16 command line instead, and the console is told that the output is UTF-8.
#pragma once

#include <string>
#include <vector>

namespace quillon {

class Utf8CommandLine {
 public:
  Utf8CommandLine(int argc, char** argv);
  Utf8CommandLine(const Utf8CommandLine&) = delete;
  Utf8CommandLine& operator=(const Utf8CommandLine&) = delete;

  int Count() const { return static_cast<int>(arguments_.size()); }
  // argv in UTF-8, ending in a null pointer as argv does; valid while this object lives.
  char** Values() { return pointers_.data(); }

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> pointers_;
};

}  // namespace quillon
