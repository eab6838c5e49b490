#include "window_driver.h"

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "forms/dialog_layout.h"
#include "win32/wide_text.h"

namespace quillon::fakes {

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// A file dialog's name box: the explorer style's combo box (or its edit field), or the edit of
// the older style.
HWND FileNameBox(HWND dialog) {
  if (HWND combo = ::GetDlgItem(dialog, cmb13)) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (ClassOf(combo) == L"ComboBoxEx32" || ClassOf(combo) == L"ComboBox")
      return ::GetComboBoxInfo(combo, &info) && info.hwndItem ? info.hwndItem : combo;
    return combo;
  }
  return ::GetDlgItem(dialog, edt1);
}

// A box's icon by the system's shared icons, which a message box shows as they are.
BoxIcon IconOf(HICON icon) {
  if (icon && icon == ::LoadIconW(nullptr, IDI_EXCLAMATION)) return BoxIcon::Exclamation;
  if (icon && icon == ::LoadIconW(nullptr, IDI_QUESTION)) return BoxIcon::Question;
  return BoxIcon::None;
}

// A marker the user-interface thread takes in the order of everything posted before it: the
// text limit of the read-only port box, which nothing else uses.
std::atomic<UINT> settleMarks{1000};

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

std::string TextOf(HWND window) { return win32::WindowText(window); }

std::vector<HWND> ChildDialogs(HWND parent) {
  std::vector<HWND> dialogs;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child) == L"#32770") dialogs.push_back(child);
  return dialogs;
}

WindowRun::WindowRun() {
  Begin([] { return std::make_unique<win32::CConfigApp>(); });
}

WindowRun::WindowRun(DeviceParameterBlock& block, FrameLink& link, AddressSource addresses) {
  Begin([&block, &link, addresses] {
    return std::make_unique<win32::CConfigApp>(block, link, addresses);
  });
}

void WindowRun::Begin(std::function<std::unique_ptr<win32::CConfigApp>()> make) {
  std::atomic<DWORD> thread{0};
  ui_ = std::thread([this, make, &thread] {
    app_ = make();
    thread = ::GetCurrentThreadId();
    app_->Run();
    app_.reset();  // on the thread that made it, as the boxes' window wants
  });
  WaitUntil([&] { return thread != 0; });
  uiThread_ = thread;
  struct Search {
    std::wstring caption;
    HWND found = nullptr;
  } search{Wide(kMainCaption)};
  WaitUntil([&] {
    ::EnumThreadWindows(
        uiThread_,
        [](HWND window, LPARAM param) {
          auto& s = *reinterpret_cast<Search*>(param);
          wchar_t text[128] = {};
          ::GetWindowTextW(window, text, 128);
          if (!::IsWindowVisible(window) || s.caption != text) return TRUE;
          s.found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  main_ = search.found;
  // The hidden pages are made once the window has shown.
  WaitUntil([&] {
    const std::vector<HWND> pages = ChildDialogs(::GetDlgItem(main_, IDC_TABS));
    return pages.size() == 2 && ChildDialogs(::GetDlgItem(pages[0], IDC_CAMERA_TABS)).size() == 4;
  });
}

WindowRun::~WindowRun() {
  CloseAll();
  if (main_) ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
  std::atomic<bool> ended{false};
  std::thread joiner([&] {
    ui_.join();
    ended = true;
  });
  if (!WaitUntil([&] { return ended.load(); }, 30s)) {
    std::fprintf(stderr, "window_tests: the window did not end within 30 s of its close box\n");
    std::fflush(nullptr);
    std::_Exit(1);
  }
  joiner.join();
}

void WindowRun::CloseAll() {
  // A message box with Yes and No has no cancel; every dialog takes one of these.
  for (int round = 0; round < 50; ++round) {
    const std::vector<HWND> open = OpenDialogs();
    if (open.empty()) return;
    for (HWND dialog : open)
      for (int button : {IDCANCEL, IDNO, IDOK})
        if (::GetDlgItem(dialog, button) || button == IDCANCEL)
          ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    WaitUntil([&] { return OpenDialogs().size() < open.size(); }, 2s);
  }
}

HWND WindowRun::Dialog(Page page) const {
  auto at = [](const std::vector<HWND>& dialogs, size_t i) {
    return i < dialogs.size() ? dialogs[i] : nullptr;
  };
  const std::vector<HWND> pages = ChildDialogs(::GetDlgItem(main_, IDC_TABS));
  switch (page) {
    case Page::Main:
      return main_;
    case Page::Net:
      return at(pages, 0);
    case Page::Rs485:
      return at(pages, 1);
    case Page::Modal: {
      const std::vector<HWND> open = OpenDialogs();
      return open.empty() ? nullptr : open.front();
    }
    default: {
      const auto k = static_cast<size_t>(static_cast<int>(page) - static_cast<int>(Page::Camera0));
      return at(ChildDialogs(::GetDlgItem(at(pages, 0), IDC_CAMERA_TABS)), k);
    }
  }
}

std::string WindowRun::Log() const { return TextOf(::GetDlgItem(main_, IDC_LOG)); }

void WindowRun::Click(Page page, int id) { ::PostMessageW(Control(page, id), BM_CLICK, 0, 0); }

void WindowRun::Type(Page page, int id, const std::string& text) {
  HWND target = Control(page, id);
  if (ClassOf(target) == L"ComboBox") {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(target, &info)) target = info.hwndItem;
  }
  ::PostMessageW(target, EM_SETSEL, 0, -1);
  const std::wstring typed = Wide(text);
  if (typed.empty()) ::PostMessageW(target, WM_CHAR, VK_BACK, 0);
  for (wchar_t c : typed) ::PostMessageW(target, WM_CHAR, c, 1);
}

void WindowRun::Choose(Page page, int id, int index) {
  const HWND combo = Control(page, id);
  ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ::PostMessageW(Dialog(page), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void WindowRun::TypeAddress(Page page, int id, const std::vector<std::string>& fields) {
  const HWND control = Control(page, id);
  ::SendMessageW(control, IPM_CLEARADDRESS, 0, 0);
  std::vector<HWND> edits;
  for (HWND child = ::GetWindow(control, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    edits.push_back(child);
  std::sort(edits.begin(), edits.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    ::GetWindowRect(a, &ra);
    ::GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  for (size_t i = 0; i < edits.size() && i < fields.size(); ++i)
    ::SendMessageW(edits[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(fields[i]).c_str()));
}

void WindowRun::ClickTab(Page page, int id, int index) {
  const HWND tabs = Control(page, id);
  RECT r{};
  ::SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(tabs, WM_LBUTTONUP, 0, at);
}

void WindowRun::DoubleClickRow(int row) {
  const HWND list = Control(Page::Main, IDC_DEVICE_LIST);
  // A row below the list's bottom edge is scrolled to first.
  ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  RECT r{};
  r.left = LVIR_LABEL;
  ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(list, WM_LBUTTONUP, 0, at);
  ::PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void WindowRun::Key(HWND control, UINT key) {
  ::PostMessageW(control, WM_KEYDOWN, key, 1);
  ::PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

bool WindowRun::Settle() {
  const HWND port = Control(Page::Main, IDC_LOCAL_PORT);
  const UINT mark = ++settleMarks;
  ::PostMessageW(port, EM_SETLIMITTEXT, mark, 0);
  return WaitUntil([&] { return ::SendMessageW(port, EM_GETLIMITTEXT, 0, 0) == mark; });
}

std::vector<HWND> OpenDialogs(DWORD thread, HWND except) {
  std::pair<HWND, std::vector<HWND>> found{except, {}};
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM param) {
        auto& [skip, dialogs] = *reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(param);
        if (window != skip && ::IsWindowVisible(window) && ClassOf(window) == L"#32770")
          dialogs.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.second;
}

Box WaitBox(DWORD thread, const std::string& caption, std::chrono::milliseconds limit) {
  Box box;
  WaitUntil(
      [&] {
        for (HWND dialog : OpenDialogs(thread)) {
          if (TextOf(dialog) != caption) continue;
          box.hwnd = dialog;
          for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            const LONG style = ::GetWindowLongW(c, GWL_STYLE);
            if (ClassOf(c) != L"Static") continue;
            if ((style & SS_TYPEMASK) == SS_ICON)
              box.icon = IconOf(reinterpret_cast<HICON>(::SendMessageW(c, STM_GETICON, 0, 0)));
            else if (box.text.empty() && !TextOf(c).empty())
              box.text = TextOf(c);
          }
          return true;
        }
        return false;
      },
      limit);
  return box;
}

bool Press(const Box& box, int button) {
  if (!box) return false;
  ::PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box.hwnd, button)));
  return WaitUntil([&] { return !::IsWindow(box.hwnd); });
}

bool WindowRun::AnswerFileDialog(const std::string& path, std::string* shownName) {
  HWND dialog = nullptr;
  if (!WaitUntil([&] {
        for (HWND open : OpenDialogs())
          if (FileNameBox(open)) dialog = open;
        return dialog != nullptr;
      }))
    return false;
  const HWND name = FileNameBox(dialog);
  if (shownName) *shownName = TextOf(name);
  std::wstring typed = Wide(path);
  std::replace(typed.begin(), typed.end(), L'/', L'\\');
  ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); });
}

std::string CellText(HWND list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

std::vector<std::vector<std::string>> WindowRun::Rows() const {
  const HWND list = Control(Page::Main, IDC_DEVICE_LIST);
  const auto count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<std::vector<std::string>> rows;
  for (int row = 0; row < count; ++row) {
    std::vector<std::string>& cells = rows.emplace_back();
    for (int column = 0; column < 4; ++column) cells.push_back(CellText(list, row, column));
  }
  return rows;
}

}  // namespace quillon::fakes
