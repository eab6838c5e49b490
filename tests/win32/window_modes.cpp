// The modes of window_tests.exe beside its test cases, for scripts/wine-test.sh and
// scripts/screenshots.sh:
//   --steps OUT [SHOTS]   the program's own assembly played through the steps of
//                         tests/windows/window_steps.h against the simulated devices; the boxes
//                         go to OUT/boxes.txt, the exported file to OUT; with SHOTS (on a
//                         display) the window's pictures as SHOTS/windows-NAME.png
//   --probe EXE RUNS [ARG] starts EXE (with ARG) RUNS times, each until its main window shows
//                         and is drawn, and closes it by its close box: "window_shown_ms MS"
//                         per run
//   --bare [controls]     an empty dialog of the main window's size and caption: the least a
//                         window of this size costs to come up, beside which --probe times the
//                         program's; with "controls", the main window's dialog, its network page
//                         and first camera page with their controls but nothing of the program
//   --batch OUT [MAC]     the program's assembly against the simulated devices: a search, a
//                         read of MAC, then "批量配置" with every device ticked, addresses from
//                         192.168.1.100, 16 at a time and each checked back, then once more
//                         one at a time, stopped during the first device; each row's MAC and
//                         状态 as OUT/batch.txt
//   --discover DEVICES [BUFFER]
//                         the program's assembly, its link's receive buffer BUFFER bytes if
//                         given: "搜索" clicked until DEVICES rows are listed; "listed N" and
//                         "listed_ms MS"
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
// The imaging component's class ids are defined here: nothing else of the program uses it.
#include <initguid.h>
#include <wincodec.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "../windows/window_steps.h"
#include "link/udp_link.h"
#include "support/recording_notifier.h"
#include "win32/dialog_window.h"
#include "win32/wide_text.h"
#include "window_driver.h"

namespace quillon::fakes {

using namespace steps;

namespace {

// The window's picture as the screen shows it, as a PNG file.
bool SavePicture(HWND window, const std::string& path) {
  ::RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  RECT r{};
  ::GetWindowRect(window, &r);
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cx, cy);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(memory, old);
  bool saved = false;
  IWICImagingFactory* factory = nullptr;
  IWICBitmap* picture = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(
          factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &picture)) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
      SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->WriteSource(picture, nullptr)) &&
      SUCCEEDED(frame->Commit()))
    saved = SUCCEEDED(encoder->Commit());
  for (IUnknown* object :
       std::initializer_list<IUnknown*>{frame, encoder, stream, picture, factory})
    if (object) object->Release();
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return saved;
}

Page PageOf(Where where) {
  switch (where) {
    case Where::Net:
      return Page::Net;
    case Where::Camera2:
      return Page::Camera2;
    case Where::Rs485:
      return Page::Rs485;
    case Where::Dialog:
      return Page::Modal;
    case Where::Main:
      break;
  }
  return Page::Main;
}

std::string WindowsPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool Play(WindowRun& run, const Step& s, const std::string& out, const std::string& shots,
          std::ofstream& boxes) {
  const Page page = PageOf(s.where);
  if (page == Page::Modal && !WaitUntil([&] { return run.Dialog(Page::Modal) != nullptr; }))
    return false;
  switch (s.act) {
    case Act::Click:
      run.Click(page, s.id);
      return run.Settle();
    case Act::Type:
      run.Type(page, s.id, s.text);
      return run.Settle();
    case Act::Choose:
      run.Choose(page, s.id, s.number);
      return run.Settle();
    case Act::Address: {
      std::vector<std::string> fields(1);
      for (char c : s.text)
        if (c == '.')
          fields.emplace_back();
        else
          fields.back() += c;
      run.TypeAddress(page, s.id, fields);
      return run.Settle();
    }
    case Act::Tab:
      run.ClickTab(page, s.id, s.number);
      return run.Settle();
    case Act::DoubleClick: {
      const auto rows = run.Rows();
      for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i][2] == s.text) {
          run.DoubleClickRow(static_cast<int>(i));
          return run.Settle();
        }
      return false;
    }
    case Act::WaitRows:
      return run.Settle() &&
             WaitUntil([&] { return run.Rows().size() >= static_cast<size_t>(s.number); }, 60s);
    case Act::WaitLog:
      return run.Settle() &&
             WaitUntil([&] { return run.Session().LogText().find(s.text) != std::string::npos; },
                       60s);
    case Act::Box: {
      const Box box = run.WaitBox(s.text);
      if (!box) return false;
      boxes << BoxRecord(s.text, box.icon, box.text);
      return box.icon == s.icon && run.Press(box, s.number) && run.Settle();
    }
    case Act::Export:
    case Act::Import:
      run.Click(Page::Main, s.id);
      return run.AnswerFileDialog(WindowsPath(out + "/" + s.text)) && run.Settle();
    case Act::Shot:
      if (shots.empty()) return true;
      ::Sleep(300);  // the caret and the last repaints
      return SavePicture(run.Dialog(page), shots + "/windows-" + s.text + ".png");
    case Act::About: {
      ::PostMessageW(run.Main(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
      const Box about = run.WaitBox("关于 Quillon");
      if (!about) return false;
      if (!shots.empty()) {
        ::Sleep(300);
        if (!SavePicture(about.hwnd, shots + "/windows-" + s.text + ".png")) return false;
      }
      return run.Press(about, IDOK);
    }
  }
  return false;
}

}  // namespace

int RunSteps(const std::string& out, const std::string& shots) {
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  WindowRun run;
  if (!run.Started()) {
    std::fprintf(stderr, "window_tests --steps: the window did not come up\n");
    return 1;
  }
  std::ofstream boxes(out + "/boxes.txt", std::ios::binary);
  const std::vector<Step>& all = WindowSteps();
  for (size_t i = 0; i < all.size(); ++i) {
    if (Play(run, all[i], out, shots, boxes)) continue;
    std::fprintf(stderr, "window_tests --steps: step %zu (%d, %d, \"%s\") failed; the log:\n%s\n",
                 i + 1, static_cast<int>(all[i].act), all[i].id, all[i].text.c_str(),
                 run.Session().LogText().c_str());
    return 1;
  }
  return 0;
}

int RunBatch(const std::string& out, const std::string& readMac) {
  WindowRun run;
  const auto fail = [&](const char* what) {
    std::fprintf(stderr, "window_tests --batch: %s; the log:\n%s\n", what,
                 run.Session().LogText().c_str());
    return 1;
  };
  if (!run.Started()) return fail("the window did not come up");
  run.Click(Page::Main, IDC_SEARCH);
  // Every device answers the search: the read's own and the batch's.
  WaitUntil([&] { return run.Rows().size() >= 21; }, 60s);
  if (!run.Settle()) return fail("the search did not settle");
  const auto rows = run.Rows();
  const auto read =
      std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r[2] == readMac; });
  if (read == rows.end()) return fail("the device to read is not listed");
  run.DoubleClickRow(static_cast<int>(read - rows.begin()));
  if (!WaitUntil([&] {
        return run.Session().LogText().find("摄像头4字典读取成功...\r\n") != std::string::npos &&
               std::atomic_ref<uint8_t>(run.Session().Flags().bCameraTextRequest).load() == 0;
      }))
    return fail("the read did not end");
  run.Click(Page::Main, IDC_BATCH);
  if (!WaitUntil([&] { return run.Dialog(Page::Modal) != nullptr; })) return fail("no dialog");
  const HWND dialog = run.Dialog(Page::Modal);
  run.Click(Page::Modal, IDC_BATCH_ALL);
  run.TypeAddress(Page::Modal, IDC_BATCH_START_IP, {"192", "168", "1", "100"});
  run.Click(Page::Modal, IDC_BATCH_START);
  const HWND summary = ::GetDlgItem(dialog, IDC_BATCH_SUMMARY);
  const HWND start = ::GetDlgItem(dialog, IDC_BATCH_START);
  if (!run.Settle() || !WaitUntil([&] { return ::IsWindowEnabled(start) != FALSE; }, 240s))
    return fail("the batch did not end");
  std::ofstream file(out + "/batch.txt", std::ios::binary);
  file << TextOf(summary) << "\n";
  const HWND list = ::GetDlgItem(dialog, IDC_BATCH_LIST);
  const auto count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row)
    file << CellText(list, row, 2) << " " << CellText(list, row, 4) << "\n";
  const std::string log = run.Session().LogText();
  const size_t last = log.rfind("批量配置完成");
  if (last == std::string::npos) return fail("the log has no line of the batch's end");
  file << log.substr(last);
  // Once more, one device at a time, stopped while the first is under way: the rest never start.
  run.Type(Page::Modal, IDC_BATCH_PARALLEL, "1");
  run.Click(Page::Modal, IDC_BATCH_START);
  if (!WaitUntil([&] { return CellText(list, 0, 4) == "进行中"; }, 60s))
    return fail("the second batch did not start");
  run.Click(Page::Modal, IDC_BATCH_STOP);
  if (!run.Settle() || !WaitUntil([&] { return ::IsWindowEnabled(start) != FALSE; }, 120s))
    return fail("the stopped batch did not end");
  file << "stopped: " << TextOf(summary) << "\n";
  for (int row = 1; row < count; ++row) file << "stopped " << CellText(list, row, 4) << "\n";
  run.Click(Page::Modal, IDC_BATCH_CLOSE);
  if (!run.Settle() || !WaitUntil([&] { return run.Dialog(Page::Modal) == nullptr; }))
    return fail("the dialog did not close");
  return 0;
}

int Bare(bool controls) {
  struct Plain : win32::CDialogWindow {
    explicit Plain(const DialogLayout& layout) : CDialogWindow(layout, win32::DialogRole::Page) {}
  };
  struct Empty : win32::CDialogWindow {
    Empty(const DialogLayout& layout, bool pages)
        : CDialogWindow(layout, win32::DialogRole::MainWindow), pages_(pages) {}
    BOOL OnInitDialog() override {
      if (!pages_) return TRUE;
      // The pages that show at the start, as the window makes them, without anything of the
      // program in them.
      win32::PlacePage(net_, Item(IDC_TABS), kMainPageInsets);
      win32::PlacePage(camera_, net_.Item(IDC_CAMERA_TABS), kCameraPageInsets);
      ::ShowWindow(net_.Hwnd(), SW_SHOW);
      ::ShowWindow(camera_.Hwnd(), SW_SHOW);
      return TRUE;
    }
    void OnCommand(int id, int) override {
      if (id == IDCANCEL) ::EndDialog(Hwnd(), 0);
    }
    bool pages_;
    Plain net_{NetPageLayout()}, camera_{CameraPageLayout()};
  };
  if (controls) {
    Empty(MainWindowLayout(), true).RunModal(nullptr);
    return 0;
  }
  DialogLayout layout = MainWindowLayout();
  layout.controls.clear();
  Empty(layout, false).RunModal(nullptr);
  return 0;
}

int Probe(const std::string& program, int runs, const std::string& argument) {
  for (int i = 0; i < runs; ++i) {
    std::wstring command = L"\"" + Wide(program) + L"\" " + Wide(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
      std::fprintf(stderr, "window_tests --probe: cannot start %s (error %lu)\n", program.c_str(),
                   ::GetLastError());
      return 1;
    }
    const std::wstring caption = Wide(kMainCaption);
    HWND window = nullptr;
    WaitUntil(
        [&] {
          window = ::FindWindowW(nullptr, caption.c_str());
          // Shown and drawn: nothing of it waits to be painted.
          return window && ::IsWindowVisible(window) && !::GetUpdateRect(window, nullptr, FALSE);
        },
        30s);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (window) ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    const DWORD ended = ::WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    if (ended != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (!window || ended != WAIT_OBJECT_0 || code != 0) {
      std::fprintf(stderr, "window_tests --probe: %s %s\n", program.c_str(),
                   !window ? "showed no window within 30 s" : "did not end by its close box");
      return 1;
    }
    std::printf("window_shown_ms %.1f\n", ms);
    std::fflush(stdout);
  }
  return 0;
}

int Discover(int devices, int receiveBuffer) {
  DeviceParameterBlock block{};
  RecordingNotifier notifier;
  UdpLink link(SystemSockets(), notifier, InterfaceAddresses);
  if (receiveBuffer > 0) link.SetReceiveBufferBytes(receiveBuffer);
  WindowRun run(block, link, InterfaceAddresses);
  if (!run.Started()) {
    std::fprintf(stderr, "window_tests --discover: the window did not come up\n");
    return 1;
  }
  const HWND list = run.Control(Page::Main, IDC_DEVICE_LIST);
  auto listed = [&] { return static_cast<long>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); };
  const auto clicked = std::chrono::steady_clock::now();
  run.Click(Page::Main, IDC_SEARCH);
  const bool all = WaitUntil([&] { return listed() >= devices; }, 60s);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - clicked).count();
  WaitUntil([&] { return listed() > devices; }, 300ms);  // a stray reply would be listed by then
  std::printf("listed %ld\n", listed());
  if (all) std::printf("listed_ms %.1f\n", ms);
  return 0;
}

}  // namespace quillon::fakes
