// The program's message boxes: MessageBoxW with the program's captions, icons and buttons ("确定",
// or "是" and "否"), modal to the main window, always shown by the user-interface thread. A caller
// on another thread (the dictionary worker) waits until the user has closed the box while the
// user-interface thread keeps running.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "report/notifier.h"
#include "window/box_wait.h"

namespace quillon::win32 {

// MessageBoxW's style for a box with `icon`: an OK button, or "是" and "否" with "否" the default.
UINT BoxStyle(BoxIcon icon, bool yesNo);

class Win32Notifier : public Notifier {
 public:
  // Made on the user-interface thread, which shows every box.
  Win32Notifier();
  ~Win32Notifier() override;
  Win32Notifier(const Win32Notifier&) = delete;
  Win32Notifier& operator=(const Win32Notifier&) = delete;

  // The window the boxes are modal to; none before it exists and after it is gone.
  void SetOwner(HWND owner) { owner_.store(owner); }

  void ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) override;
  bool AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) override;
  void ReleaseWaiting() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // On the user-interface thread: the box, and the button that closed it.
  int Show(const std::string& caption, const std::string& text, UINT style);

  DWORD uiThread_;
  HWND window_ = nullptr;  // message-only: takes the requests of other threads
  std::atomic<HWND> owner_{nullptr};
  BoxWait wait_;
};

}  // namespace quillon::win32
