// The window speaks to Windows only through the W functions: every text of the program is UTF-8
// (device texts came from GBK by code page 936, the program's own are written so), and turns into
// UTF-16 at the window's edge and back. So the window shows Chinese on every Windows, whatever
// its system locale, and a file name keeps every character the user typed.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "text/utf16.h"

namespace quillon::win32 {

// A window's text (a control's content), and a new one.
std::string WindowText(HWND window);
void SetText(HWND window, std::string_view utf8);

}  // namespace quillon::win32
