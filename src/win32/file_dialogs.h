// The common open and save dialogs of the window, for the parameter files and the batch results.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quillon::win32 {

// The open or save dialog of the window for one kind of file over `owner`: the file chosen, or
// nothing when it was cancelled. `filter` is the pairs of names and patterns, each ended by a
// zero; `extension` is added to a name typed without one.
std::optional<std::string> ChooseFile(HWND owner, bool save, const std::string& initialName,
                                      const wchar_t* filter, const wchar_t* extension);

}  // namespace quillon::win32
