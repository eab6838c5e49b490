#include "win32/win32_notifier.h"

#include <memory>
#include <string_view>

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
    ::SetDlgItemTextW(box, IDOK, L"确定");
    ::SetDlgItemTextW(box, IDYES, L"是");
    ::SetDlgItemTextW(box, IDNO, L"否");
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

// A box asked for by another thread, shared by the caller and the user-interface thread.
struct Win32Notifier::Request {
  std::string caption, text;
  UINT style;
  bool done = false;
};

Win32Notifier::Win32Notifier() : uiThread_(::GetCurrentThreadId()) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass);  // fails harmlessly when a second notifier registers it
  window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Notifier::~Win32Notifier() {
  ReleaseWaiting();
  // Requests still queued: their callers have been released.
  MSG message;
  while (::PeekMessageW(&message, window_, WM_SHOW_BOX, WM_SHOW_BOX, PM_REMOVE))
    delete reinterpret_cast<std::shared_ptr<Request>*>(message.lParam);
  ::DestroyWindow(window_);
}

bool Win32Notifier::ShutDown() {
  std::lock_guard lock(mutex_);
  return shutDown_;
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
  if (ShutDown()) return;
  const UINT style = BoxStyle(icon, false);
  if (::GetCurrentThreadId() == uiThread_) {
    Show(caption, text, style);
    return;
  }
  auto request = std::make_shared<Request>(Request{caption, text, style});
  auto* posted = new std::shared_ptr<Request>(request);
  if (!::PostMessageW(window_, WM_SHOW_BOX, 0, reinterpret_cast<LPARAM>(posted))) {
    delete posted;
    return;
  }
  std::unique_lock lock(mutex_);
  closed_.wait(lock, [&] { return request->done || shutDown_; });
}

bool Win32Notifier::AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) {
  if (ShutDown()) return false;
  return Show(caption, text, BoxStyle(icon, true)) == IDYES;
}

void Win32Notifier::ReleaseWaiting() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  closed_.notify_all();
}

LRESULT CALLBACK Win32Notifier::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SHOW_BOX) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  auto* self = reinterpret_cast<Win32Notifier*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  const std::unique_ptr<std::shared_ptr<Request>> posted(
      reinterpret_cast<std::shared_ptr<Request>*>(lParam));
  Request& request = **posted;
  if (!self->ShutDown()) self->Show(request.caption, request.text, request.style);
  std::lock_guard lock(self->mutex_);
  request.done = true;
  self->closed_.notify_all();
  return 0;
}

}  // namespace quillon::win32
