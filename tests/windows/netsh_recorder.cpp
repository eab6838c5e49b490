// Stands in for netsh.exe in the installer's test under Wine, whose own netsh does little with
// firewall rules: each call appends its command line, as one UTF-8 line, to the file that
// QUILLON_NETSH_LOG names, and succeeds.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
  wchar_t log[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"QUILLON_NETSH_LOG", log, MAX_PATH)) return 1;
  // The arguments, after the program's own name.
  const wchar_t* line = ::GetCommandLineW();
  bool quoted = false;
  for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
    if (*line == L'"') quoted = !quoted;
  while (*line == L' ' || *line == L'\t') ++line;
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), size, nullptr, nullptr);
  FILE* file = _wfopen(log, L"ab");
  if (!file) return 1;
  std::fprintf(file, "%s\n", text.c_str());
  std::fclose(file);
  return 0;
}
