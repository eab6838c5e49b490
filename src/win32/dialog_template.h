// Dialog templates made in memory from the layout table: the same dialog units, ids, texts and
// tab order as the Qt pages, handed to the dialog manager, which places every control by the
// dialog font ("宋体" 9 pt) as a template from a resource file would be placed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "forms/dialog_layout.h"

namespace quillon::win32 {

// How a dialog stands: the main window (caption, system menu, minimise box, fixed size, in the
// task bar), a page inside another dialog, or a modal dialog over the main window.
enum class DialogRole { MainWindow, Page, Modal };

// The window class, styles and extended styles a control of `kind` is made with.
struct ControlClass {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};
ControlClass ClassOf(ControlKind kind);
DWORD DialogStyle(DialogRole role);

inline constexpr wchar_t kDialogFace[] = L"宋体";
inline constexpr WORD kDialogPoints = 9;

// A DLGTEMPLATEEX with its items, DWORD-aligned as the dialog manager wants it.
class DialogTemplate {
 public:
  DialogTemplate(const DialogLayout& layout, DialogRole role);
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value);
  void Text(const std::wstring& text);
  void Align();

  std::vector<WORD> words_;
};

}  // namespace quillon::win32
