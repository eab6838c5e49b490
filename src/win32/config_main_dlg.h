// The main window: local address, search, the device list, the information log and the tab
// control with the network and RS-485 pages, as a native dialog. The protocol flows live in the
// ConfigSession that the application object hands it; the window is that session's view and
// routes its controls' events to it.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/frame_link.h"
#include "link/udp_link.h"
#include "session/config_session.h"
#include "win32/dialog_window.h"
#include "win32/net_param_page.h"
#include "win32/rs485_page.h"
#include "window/main_window.h"

namespace quillon::win32 {

// Datagrams wait in the window's inbox; the worker asks for a refresh of the log box; what a
// batch of datagrams changed in the list and the log is due on screen.
inline constexpr UINT WM_FRAME_RECEIVED = WM_USER + 10;
inline constexpr UINT WM_LOG_REFRESH = WM_USER + 11;
inline constexpr UINT WM_SHOW_BATCH = WM_USER + 12;

class CAboutDlg : public CDialogWindow {
 public:
  CAboutDlg() : CDialogWindow(AboutLayout(), DialogRole::Modal) {}

 protected:
  void OnCommand(int id, int code) override;
};

class CConfigMainDlg : public CDialogWindow, public ConfigView, private MainWindowControls {
 public:
  // `addresses` fills the local-address box with the PC's first address.
  CConfigMainDlg(ConfigSession& session, AddressSource addresses);
  ~CConfigMainDlg() override;

  // Runs the window modally; returns when its close box ended it. `onInit` runs at the end of
  // the window's initialisation, with the window: the application object starts the link and
  // the worker there.
  void Run(std::function<void(HWND)> onInit);

  // Hands one received datagram to the user-interface thread, which dispatches it; any thread.
  // It goes into the window's inbox, which the user-interface thread empties whole at each wake:
  // the caller never waits for that thread, and only the first datagram of a batch posts.
  void PostDatagram(Datagram datagram);

  // The batch dialog's service ("批量配置").
  void SetBatch(WindowBatch& batch) { main_.SetBatch(batch); }

  // ConfigView.
  void ShowLogText(const std::string& text) override;
  void RequestLogRefresh() override;
  void ClearDeviceList() override;
  void InsertDeviceRow(const DeviceRow& row) override;
  std::optional<DeviceRow> SelectedDeviceRow() override;
  void ShowNetForm(NetParamForm& form) override { netPage_.Show(form); }
  void ReadNetForm(NetParamForm& form) override { netPage_.Read(form); }
  void ShowRs485Form(Rs485Form& form) override { rs485Page_.Show(form); }
  void ReadRs485Form(Rs485Form& form) override { rs485Page_.Read(form); }
  bool RunGearDialog(GearForm& form) override;
  std::optional<std::string> ChooseExportFile(const std::string& defaultName) override;
  std::optional<std::string> ChooseImportFile() override;
  void PauseMs(int milliseconds) override;
  void CallLater(int milliseconds, std::function<void()> action) override;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(const NMHDR& header) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnDestroy() override;

 private:
  // MainWindowControls.
  void SetText(int id, const std::string& text) override;
  void InsertColumn(int column, const std::string& heading) override;
  int ListClientWidth() override;
  void SetColumnWidth(int column, int width) override;
  void MakePages(const std::array<std::string, 2>& tabs, const PageInsets& insets) override;
  void RunBatchDialog(BatchForm& form, BatchService& service, Notifier& notifier,
                      std::function<void(const std::string&)> log) override;

  void OnSelchangeTab();
  // The RS-485 page, as the hidden camera pages, is made once the window shows, or when its tab
  // is chosen first.
  void MakeRs485Page();
  // Dispatches every datagram of the inbox, in the order they came. The list and the log change
  // once for the whole batch, at its end (or when a box opened meanwhile lets WM_SHOW_BATCH in).
  void TakeInbox();
  void ShowBatch();
  void PutLogText(const std::string& text);
  void ShowDeviceRows();
  void AnswerCell(NMLVDISPINFOW& info) const;

  ConfigSession& session_;
  MainWindow main_;
  AddressSource addresses_;
  std::function<void(HWND)> onInit_;
  CNetParamPage netPage_;
  CRs485Page rs485Page_;
  HICON icon_ = nullptr, smallIcon_ = nullptr;
  std::mutex postMutex_;
  HWND postTarget_ = nullptr;  // the window, for the other threads' posts, while it takes them
  // Under postMutex_: the datagrams not yet taken, their bytes, and whether a wake is posted.
  std::vector<Datagram> inbox_;
  size_t inboxBytes_ = 0;
  bool wakePosted_ = false;
  bool refreshPosted_ = false;
  // The user-interface thread's own: taken from the inbox but not yet dispatched (a box opened by
  // one of them dispatches the next ones meanwhile), how deep the dispatching is, and the changes
  // kept for the end of the batch.
  std::deque<Datagram> pending_;
  int dispatching_ = 0;
  bool showPosted_ = false;
  std::optional<std::string> logDue_;
  // The device list's rows, oldest first (the list shows them newest first); the list has been
  // told of the first shownRows_.
  std::vector<std::array<std::wstring, 4>> rows_;
  size_t shownRows_ = 0;
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR nextTimer_ = 0x100;  // CallLater's; below them the window's own
};

}  // namespace quillon::win32
