#include "win32/dialog_window.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "win32/form_view.h"
#include "win32/wide_text.h"

namespace quillon::win32 {

HINSTANCE ProgramModule() { return ::GetModuleHandleW(nullptr); }

HICON LoadProgramIcon(int image, int size) {
  return static_cast<HICON>(::LoadImageW(ProgramModule(), MAKEINTRESOURCEW(image), IMAGE_ICON, size,
                                         size, size == 0 ? LR_DEFAULTSIZE : 0));
}

CDialogWindow::~CDialogWindow() {
  if (hwnd_ && role_ == DialogRole::Page) ::DestroyWindow(hwnd_);
}

INT_PTR CDialogWindow::RunModal(HWND owner) {
  const DialogTemplate dialog(layout_, role_);
  return ::DialogBoxIndirectParamW(ProgramModule(), dialog.Get(), owner, &DialogProc,
                                   reinterpret_cast<LPARAM>(this));
}

void CDialogWindow::CreatePage(HWND parent) {
  const DialogTemplate dialog(layout_, DialogRole::Page);
  ::CreateDialogIndirectParamW(ProgramModule(), dialog.Get(), parent, &DialogProc,
                               reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CDialogWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogWindow*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
  }
  if (!self) return FALSE;
  const INT_PTR result = self->Handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

INT_PTR CDialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      LoadIcons();
      NameControls(hwnd_, layout_);
      return OnInitDialog();
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return FALSE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default: {
      INT_PTR result = FALSE;
      return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
  }
}

void CDialogWindow::LoadIcons() {
  // The dialog manager makes the controls in the table's order, which is their order among the
  // dialog's children.
  HWND control = ::GetWindow(hwnd_, GW_CHILD);
  for (const ControlLayout& c : layout_.controls) {
    if (!control) break;
    if (c.kind == ControlKind::Icon && (c.cx != 0 || c.cy != 0)) {
      RECT area{0, 0, c.cx, c.cy};
      ::MapDialogRect(hwnd_, &area);
      // The largest of the icon's sizes that fits the control: the dialog manager would load
      // the system's size, which the control then cuts.
      const int fits = std::min(area.right, area.bottom);
      int size = 16;
      for (int s : {24, 32, 48})
        if (s <= fits) size = s;
      if (HICON icon = LoadProgramIcon(c.image, size))
        ::SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    control = ::GetWindow(control, GW_HWNDNEXT);
  }
}

RECT PageRect(HWND tabs, const PageInsets& insets) {
  RECT client{};
  ::GetClientRect(tabs, &client);
  const UINT dpi = ::GetDpiForWindow(tabs);
  auto scaled = [dpi](int pixels) { return ::MulDiv(pixels, static_cast<int>(dpi), 96); };
  return {client.left + scaled(insets.left), client.top + scaled(insets.top),
          client.right - scaled(insets.right), client.bottom - scaled(insets.bottom)};
}

void PlacePage(CDialogWindow& page, HWND tabs, const PageInsets& insets) {
  page.CreatePage(tabs);
  // The page's background is the tab panel's where a visual style draws one.
  ::EnableThemeDialogTexture(page.Hwnd(), ETDT_ENABLETAB);
  const RECT r = PageRect(tabs, insets);
  ::SetWindowPos(page.Hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void InsertTabs(HWND tabs, std::initializer_list<const char*> texts) {
  int index = 0;
  for (const char* text : texts) {
    std::wstring wide = Wide(text);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = wide.data();
    ::SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(index++),
                   reinterpret_cast<LPARAM>(&item));
  }
}

}  // namespace quillon::win32
