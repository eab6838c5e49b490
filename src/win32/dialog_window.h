// A dialog of the window made from its layout table: modal (the main window, the gear dialog,
// the about box) or a page inside another dialog. A derived dialog handles what it needs of the
// dialog procedure; everything else takes the dialog manager's default.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "forms/dialog_layout.h"
#include "win32/dialog_template.h"

namespace quillon::win32 {

class CDialogWindow {
 public:
  CDialogWindow(const DialogLayout& layout, DialogRole role) : layout_(layout), role_(role) {}
  virtual ~CDialogWindow();
  CDialogWindow(const CDialogWindow&) = delete;
  CDialogWindow& operator=(const CDialogWindow&) = delete;

  // Runs the dialog modally over `owner` (none for the main window); returns EndDialog's result.
  INT_PTR RunModal(HWND owner);
  // Makes the page as a hidden child of `parent`.
  void CreatePage(HWND parent);

  HWND Hwnd() const { return hwnd_; }
  bool Created() const { return hwnd_ != nullptr; }
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
  const DialogLayout& Layout() const { return layout_; }

 protected:
  // WM_INITDIALOG, after the controls exist and are named. Returns what the dialog procedure
  // returns for it (FALSE once it set the focus itself).
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  virtual void OnNotify(const NMHDR& /*header*/) {}
  // Any other message; true when handled, with the dialog procedure's result in `result`.
  virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR& /*result*/) { return false; }
  // WM_DESTROY, while the controls still exist.
  virtual void OnDestroy() {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // The icons of the layout at their sizes: one the size of its control, else the system's.
  void LoadIcons();

  const DialogLayout& layout_;
  DialogRole role_;
  HWND hwnd_ = nullptr;
};

// Where a page stands over its tab control's client rectangle: the insets of the table, in
// pixels of 96 dots per inch, scaled to the window's.
RECT PageRect(HWND tabs, const PageInsets& insets);
// Makes `page` a hidden child of the tab control `tabs`, over its panel.
void PlacePage(CDialogWindow& page, HWND tabs, const PageInsets& insets);
// The tabs of a tab control, in order.
void InsertTabs(HWND tabs, std::initializer_list<const char*> texts);

// The program's module, which holds the icons.
HINSTANCE ProgramModule();
// An icon resource of the layout tables, `size` pixels wide and high (0: the system's size).
HICON LoadProgramIcon(int image, int size = 0);

}  // namespace quillon::win32
