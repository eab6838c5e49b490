#include "win32/file_dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "win32/wide_text.h"

namespace quillon::win32 {

std::optional<std::string> ChooseFile(HWND owner, bool save, const std::string& initialName,
                                      const wchar_t* filter, const wchar_t* extension) {
  // Room for the long file names of Windows 10.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring initial = Wide(initialName);
  initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
  if (!chosen) return std::nullopt;
  return Utf8(file.data());
}

}  // namespace quillon::win32
