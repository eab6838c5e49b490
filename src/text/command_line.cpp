#include "text/command_line.h"

#ifdef _WIN32
// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "text/utf16.h"
#endif

namespace quillon {

#ifdef _WIN32

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    arguments_.assign(argv, argv + argc);
  } else {
    for (int i = 0; i < count; ++i) arguments_.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
  }
  ::SetConsoleOutputCP(CP_UTF8);
  for (std::string& argument : arguments_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
}

#else

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) : arguments_(argv, argv + argc) {
  for (std::string& argument : arguments_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
}

#endif

}  // namespace quillon
