// Playing the user at the Win32 window by messages, from a thread of the test's own while the
// window's user-interface thread runs the program's modal loop as the program does. Actions are
// posted, so that one that opens a box returns at once and the test then finds the box by its
// caption, reads it and closes it. Every wait has a limit; whatever is still open when the run
// ends is closed, and a window that does not end within its limit ends the test process, as a
// failing test, never a hanging one.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "forms/form_fields.h"
#include "link/frame_link.h"
#include "report/notifier.h"
#include "win32/config_app.h"

namespace quillon::fakes {

using namespace std::chrono_literals;

// Waits until `done` holds; false after `limit`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);

// The text of a window or control, as it shows it.
std::string TextOf(HWND window);

// A message box or dialog of the window's thread, found by its caption.
struct Box {
  HWND hwnd = nullptr;
  std::string text;              // a message box's text
  BoxIcon icon = BoxIcon::None;  // the system icon it shows
  explicit operator bool() const { return hwnd != nullptr; }
};

// Every top-level dialog of `thread` that is up, but `except`.
std::vector<HWND> OpenDialogs(DWORD thread, HWND except = nullptr);
// The next box or dialog with `caption` on `thread`; empty after `limit`.
Box WaitBox(DWORD thread, const std::string& caption, std::chrono::milliseconds limit = 20s);
// Closes a box with one of its buttons (IDOK, IDYES, IDNO) and waits until it is gone.
bool Press(const Box& box, int button);

// The window's dialogs: the main window, its pages, a camera page, or a modal dialog over it.
enum class Page { Main, Net, Camera0, Camera1, Camera2, Camera3, Rs485, Modal };

class WindowRun {
 public:
  // The program's own assembly (UDP link on port 1901, the process's block) on a new
  // user-interface thread.
  WindowRun();
  // The same assembly on `link` and `block`, the local-address box filled from `addresses`.
  WindowRun(DeviceParameterBlock& block, FrameLink& link, AddressSource addresses);
  // Closes every box and dialog still open, then the window by its close box, and waits for the
  // modal run to end.
  ~WindowRun();

  // Whether the window came up.
  bool Started() const { return main_ != nullptr; }
  HWND Main() const { return main_; }
  HWND Dialog(Page page) const;
  HWND Control(Page page, int id) const { return ::GetDlgItem(Dialog(page), id); }
  std::string Log() const;
  ConfigSession& Session() { return app_->Session(); }

  // A click on a button (or a check box).
  void Click(Page page, int id);
  // Text typed into an edit box or a combo box's field, replacing what it held.
  void Type(Page page, int id, const std::string& text);
  // Item `index` chosen from a combo box's list.
  void Choose(Page page, int id, int index);
  // The four fields of an IPv4 address control, as typed; an empty field stays blank.
  void TypeAddress(Page page, int id, const std::vector<std::string>& fields);
  // A click on tab `index` of a tab control.
  void ClickTab(Page page, int id, int index);
  // A double click on row `row` of the device list.
  void DoubleClickRow(int row);
  // A key pressed in a control.
  void Key(HWND control, UINT key);
  // Waits until the messages posted so far have been handled.
  bool Settle();

  // The next box or dialog with `caption` on the window's thread; empty after `limit`.
  Box WaitBox(const std::string& caption, std::chrono::milliseconds limit = 20s) {
    return fakes::WaitBox(uiThread_, caption, limit);
  }
  bool Press(const Box& box, int button) { return fakes::Press(box, button); }
  // Answers the next file dialog with `path`; false when none came or it did not close.
  bool AnswerFileDialog(const std::string& path, std::string* shownName = nullptr);
  // Every top-level window of the window's thread that is up, but the main window.
  std::vector<HWND> OpenDialogs() const { return fakes::OpenDialogs(uiThread_, main_); }

  // The rows of the device list, each as its four texts.
  std::vector<std::vector<std::string>> Rows() const;

 private:
  void Begin(std::function<std::unique_ptr<win32::CConfigApp>()> make);
  void CloseAll();

  std::unique_ptr<win32::CConfigApp> app_;
  std::thread ui_;
  DWORD uiThread_ = 0;
  HWND main_ = nullptr;
};

// The text of a list view's cell.
std::string CellText(HWND list, int row, int column);

// The children of `parent` that are dialogs, in their order.
std::vector<HWND> ChildDialogs(HWND parent);

}  // namespace quillon::fakes
