#include "text/command_line.h"

#ifdef _WIN32
// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#endif

namespace quillon {

#ifdef _WIN32

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    arguments_.assign(argv, argv + argc);
  } else {
    for (int i = 0; i < count; ++i) {
      const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string text(static_cast<size_t>(size > 0 ? size : 1), '\0');
      if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
      text.resize(text.size() - 1);  // the terminator the call counted
      arguments_.push_back(std::move(text));
    }
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
