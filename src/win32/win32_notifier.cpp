#include "win32/win32_notifier.h"

#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "win32/wide_text.h"

namespace quillon::win32 {

namespace {

constexpr UINT WM_SHOW_BOX = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"QuillonBoxes";

// Gives the box the program's own button texts, whatever the language of Windows: the hook sees
// the box as it is activated, before it is first drawn.
thread_local HHOOK buttonHook = nullptr;

LRESULT CALLBACK ButtonTexts(int code, WPARAM wParam, LPARAM lParam) {
  wchar_t className[16] = {};
  if (code == HCBT_ACTIVATE && ::GetClassNameW(reinterpret_cast<HWND>(wParam), className, 16) > 0 &&
      std::wstring_view(className) == L"#32770") {
    const HWND box = reinterpret_cast<HWND>(wParam);
    ::SetDlgItemTextW(box, IDOK, Wide(kOkButtonText).c_str());
    ::SetDlgItemTextW(box, IDYES, Wide(kYesButtonText).c_str());
    ::SetDlgItemTextW(box, IDNO, Wide(kNoButtonText).c_str());
    const HHOOK hook = buttonHook;
    buttonHook = nullptr;
    ::UnhookWindowsHookEx(hook);
    return 0;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

UINT BoxStyle(BoxIcon icon, bool yesNo) {
  const UINT buttons = yesNo ? MB_YESNO | MB_DEFBUTTON2 : MB_OK;
  switch (icon) {
    case BoxIcon::Exclamation:
      return buttons | MB_ICONEXCLAMATION;
    case BoxIcon::Question:
      return buttons | MB_ICONQUESTION;
    case BoxIcon::None:
      break;
  }
  return buttons;
}

Win32Notifier::Win32Notifier() : uiThread_(::GetCurrentThreadId()) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass);  // fails harmlessly when a second notifier registers it
  window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
}

Win32Notifier::~Win32Notifier() {
  ReleaseWaiting();
  // Requests still queued: their callers have been released.
  MSG message;
  while (::PeekMessageW(&message, window_, WM_SHOW_BOX, WM_SHOW_BOX, PM_REMOVE))
    delete reinterpret_cast<std::function<void()>*>(message.lParam);
  ::DestroyWindow(window_);
}

int Win32Notifier::Show(const std::string& caption, const std::string& text, UINT style) {
  buttonHook = ::SetWindowsHookExW(WH_CBT, &ButtonTexts, nullptr, ::GetCurrentThreadId());
  // Over the dialog that is up (the gear dialog, another box), so that it too waits for the box.
  HWND owner = owner_.load();
  if (owner) owner = ::GetLastActivePopup(owner);
  const int button = ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), style);
  if (buttonHook) {  // the box never came up
    ::UnhookWindowsHookEx(buttonHook);
    buttonHook = nullptr;
  }
  return button;
}

void Win32Notifier::ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) {
  if (wait_.Released()) return;
  const UINT style = BoxStyle(icon, false);
  if (::GetCurrentThreadId() == uiThread_) {
    Show(caption, text, style);
    return;
  }
  wait_.ShowAndWait(
      [this](std::function<void()> task) {
        auto* posted = new std::function<void()>(std::move(task));
        if (::PostMessageW(window_, WM_SHOW_BOX, 0, reinterpret_cast<LPARAM>(posted))) return true;
        delete posted;
        return false;
      },
      [this, caption, text, style] {
        if (!wait_.Released()) Show(caption, text, style);
      });
}

bool Win32Notifier::AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) {
  if (wait_.Released()) return false;
  return Show(caption, text, BoxStyle(icon, true)) == IDYES;
}

void Win32Notifier::ReleaseWaiting() { wait_.Release(); }

LRESULT CALLBACK Win32Notifier::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SHOW_BOX) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  const std::unique_ptr<std::function<void()>> task(
      reinterpret_cast<std::function<void()>*>(lParam));
  (*task)();
  return 0;
}

}  // namespace quillon::win32
