#include "win32/wide_text.h"

namespace quillon::win32 {

std::string WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Utf8(text);
}

void SetText(HWND window, std::string_view utf8) { ::SetWindowTextW(window, Wide(utf8).c_str()); }

}  // namespace quillon::win32
