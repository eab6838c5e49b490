#include "win32/config_main_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "win32/batch_dlg.h"
#include "win32/file_dialogs.h"
#include "win32/wide_text.h"

namespace quillon::win32 {

namespace {

// The bytes of datagrams the inbox holds at most, eight of the link's receive buffers.
constexpr size_t kInboxBytes = size_t{8} << 20;

// The timer that makes the hidden pages: the lowest of the window's messages, it comes once the
// window has been drawn.
constexpr UINT_PTR kMakePagesTimer = 1;
constexpr const wchar_t* kIniFilter = L"INI files(*.ini)\0*.ini\0";

// A multi-line edit box in a dialog answers Escape by closing the dialog, which here would end
// the program: the log box takes Escape as the rest of the window does, by doing nothing.
LRESULT CALLBACK LogKeys(HWND log, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                         DWORD_PTR) {
  if ((message == WM_KEYDOWN || message == WM_CHAR) && wParam == VK_ESCAPE) return 0;
  return ::DefSubclassProc(log, message, wParam, lParam);
}

}  // namespace

void CAboutDlg::OnCommand(int id, int /*code*/) {
  if (id == IDOK || id == IDCANCEL) ::EndDialog(Hwnd(), id);
}

CConfigMainDlg::CConfigMainDlg(ConfigSession& session, AddressSource addresses)
    : CDialogWindow(MainWindowLayout(), DialogRole::MainWindow),
      session_(session),
      main_(session),
      addresses_(std::move(addresses)),
      netPage_(session.Forms().net),
      rs485Page_(session.Forms().rs485) {
  icon_ = LoadProgramIcon(IDR_MAINFRAME, ::GetSystemMetrics(SM_CXICON));
  smallIcon_ = LoadProgramIcon(IDR_MAINFRAME, ::GetSystemMetrics(SM_CXSMICON));
}

CConfigMainDlg::~CConfigMainDlg() {
  if (icon_) ::DestroyIcon(icon_);
  if (smallIcon_) ::DestroyIcon(smallIcon_);
}

void CConfigMainDlg::Run(std::function<void(HWND)> onInit) {
  onInit_ = std::move(onInit);
  RunModal(nullptr);
}

void CConfigMainDlg::SetText(int id, const std::string& text) { win32::SetText(Item(id), text); }

void CConfigMainDlg::InsertColumn(int column, const std::string& heading) {
  std::wstring text = Wide(heading);
  LVCOLUMNW c{};
  c.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
  c.fmt = LVCFMT_LEFT;
  c.pszText = text.data();
  c.iSubItem = column;
  ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&c));
}

int CConfigMainDlg::ListClientWidth() {
  RECT client{};
  ::GetClientRect(Item(IDC_DEVICE_LIST), &client);
  return client.right;
}

void CConfigMainDlg::SetColumnWidth(int column, int width) {
  ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width);
}

void CConfigMainDlg::MakePages(const std::array<std::string, 2>& tabNames,
                               const PageInsets& insets) {
  // Both pages over the tab control's panel, the network page first; the others are made once
  // the window shows.
  const HWND tabs = Item(IDC_TABS);
  InsertTabs(tabs, {tabNames[0].c_str(), tabNames[1].c_str()});
  PlacePage(netPage_, tabs, insets);
  ::ShowWindow(netPage_.Hwnd(), SW_SHOW);
  ::SetTimer(Hwnd(), kMakePagesTimer, 0, nullptr);
  ::SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
  netPage_.onDownload = [this] { main_.OnPageEvent(PageEvent::NetDownload); };
  rs485Page_.onRead = [this] { main_.OnPageEvent(PageEvent::Rs485Read); };
  rs485Page_.onDownload = [this] { main_.OnPageEvent(PageEvent::Rs485Download); };
  rs485Page_.onRemoteAdjust = [this] { main_.OnPageEvent(PageEvent::RemoteAdjust); };
  rs485Page_.onSlotChosen = [this](int index) { main_.OnSlotChosen(index); };
}

BOOL CConfigMainDlg::OnInitDialog() {
  const HWND hwnd = Hwnd();
  {
    std::lock_guard lock(postMutex_);
    postTarget_ = hwnd;
  }
  ::SendMessageW(Item(IDC_LOG), EM_SETLIMITTEXT, kLogLimit, 0);
  ::SetWindowSubclass(Item(IDC_LOG), &LogKeys, 0, 0);
  if (const HMENU menu = ::GetSystemMenu(hwnd, FALSE)) {
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, Wide(kAboutMenuText).c_str());
  }
  ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  main_.Start(*this, *this, addresses_);
  ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
  if (onInit_) onInit_(hwnd);
  ::SetFocus(Item(IDC_SEARCH));
  return FALSE;
}

void CConfigMainDlg::OnDestroy() {
  {
    std::lock_guard lock(postMutex_);
    postTarget_ = nullptr;
    // What came but was never taken.
    inbox_.clear();
    inboxBytes_ = 0;
  }
  pending_.clear();
  ::KillTimer(Hwnd(), kMakePagesTimer);
  for (const auto& [id, action] : timers_) ::KillTimer(Hwnd(), id);
  timers_.clear();
  main_.Detach();
}

void CConfigMainDlg::OnCommand(int id, int code) {
  // Enter (IDOK) and Escape (IDCANCEL) do nothing here: Enter in a box would end the program and
  // drop the edits. Only the close box ends the window.
  if (id == IDC_LOG && code == EN_CHANGE) main_.Log().BoxChanged();
  if (code == BN_CLICKED) main_.OnClicked(id);
}

void CConfigMainDlg::OnNotify(const NMHDR& header) {
  if (header.idFrom == IDC_TABS && header.code == TCN_SELCHANGE) OnSelchangeTab();
  if (header.idFrom != IDC_DEVICE_LIST) return;
  if (header.code == NM_DBLCLK) main_.OnDeviceDoubleClicked();
  // The list holds no texts of its own: it asks for each cell it draws or is asked for. The
  // notification is the list's to fill in.
  if (header.code == LVN_GETDISPINFOW)
    AnswerCell(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
}

void CConfigMainDlg::AnswerCell(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  item.pszText[0] = L'\0';
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= shownRows_ || item.iSubItem < 0 ||
      item.iSubItem >= kColumnCount)
    return;
  const std::wstring& text = rows_[shownRows_ - 1 - static_cast<size_t>(item.iItem)][item.iSubItem];
  const size_t copied = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
  text.copy(item.pszText, copied);
  item.pszText[copied] = L'\0';
}

void CConfigMainDlg::OnSelchangeTab() {
  const std::optional<MainPage> page =
      PageOfTab(static_cast<int>(::SendMessageW(Item(IDC_TABS), TCM_GETCURSEL, 0, 0)));
  if (!page) return;
  if (page == MainPage::Rs485) MakeRs485Page();
  ::ShowWindow(netPage_.Hwnd(), page == MainPage::Net ? SW_SHOW : SW_HIDE);
  ::ShowWindow(rs485Page_.Hwnd(), page == MainPage::Rs485 ? SW_SHOW : SW_HIDE);
}

void CConfigMainDlg::MakeRs485Page() {
  if (!rs485Page_.Created()) PlacePage(rs485Page_, Item(IDC_TABS), kMainPageInsets);
}

bool CConfigMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, INT_PTR& result) {
  switch (message) {
    case WM_FRAME_RECEIVED:
      TakeInbox();
      return true;
    case WM_SHOW_BATCH:
      showPosted_ = false;
      ShowBatch();
      return true;
    case WM_LOG_REFRESH: {
      {
        std::lock_guard lock(postMutex_);
        refreshPosted_ = false;
      }
      main_.OnLogRefresh();
      return true;
    }
    case WM_TIMER: {
      if (wParam == kMakePagesTimer) {
        ::KillTimer(Hwnd(), kMakePagesTimer);
        netPage_.MakeCameraPages();
        MakeRs485Page();
        return true;
      }
      const auto timer = timers_.find(static_cast<UINT_PTR>(wParam));
      if (timer == timers_.end()) return false;
      ::KillTimer(Hwnd(), timer->first);
      const std::function<void()> action = std::move(timer->second);
      timers_.erase(timer);
      action();
      return true;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
      {
        CAboutDlg about;
        about.RunModal(Hwnd());
      }
      result = TRUE;
      return true;
    case WM_CLOSE:
      // The dialog manager would turn the close box into IDCANCEL, which does nothing here.
      ::EndDialog(Hwnd(), 0);
      result = TRUE;
      return true;
    case WM_PAINT: {
      if (!::IsIconic(Hwnd())) return false;
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(Hwnd(), &paint);
      RECT client;
      ::GetClientRect(Hwnd(), &client);
      const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
      ::DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_);
      ::EndPaint(Hwnd(), &paint);
      result = TRUE;
      return true;
    }
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<INT_PTR>(icon_);
      return true;
    default:
      return false;
  }
}

void CConfigMainDlg::PostDatagram(Datagram datagram) {
  std::lock_guard lock(postMutex_);
  // What a kernel's receive buffer would hold at most; beyond it, a window that does not take
  // its datagrams loses the newest, as a full socket does.
  if (!postTarget_ || inboxBytes_ + datagram.bytes.size() > kInboxBytes) return;
  inboxBytes_ += datagram.bytes.size();
  inbox_.push_back(std::move(datagram));
  if (!wakePosted_) wakePosted_ = ::PostMessageW(postTarget_, WM_FRAME_RECEIVED, 0, 0);
}

void CConfigMainDlg::TakeInbox() {
  {
    std::lock_guard lock(postMutex_);
    wakePosted_ = false;
    for (Datagram& datagram : inbox_) pending_.push_back(std::move(datagram));
    inbox_.clear();
    inboxBytes_ = 0;
  }
  ++dispatching_;
  while (!pending_.empty()) {
    const Datagram datagram = std::move(pending_.front());
    pending_.pop_front();
    main_.OnDatagram(datagram);
  }
  --dispatching_;
  if (dispatching_ == 0) ShowBatch();
}

void CConfigMainDlg::ShowBatch() {
  if (logDue_) {
    const std::string text = std::move(*logDue_);
    logDue_.reset();
    PutLogText(text);
  }
  ShowDeviceRows();
}

void CConfigMainDlg::RequestLogRefresh() {
  {
    std::lock_guard lock(postMutex_);
    if (refreshPosted_ || !postTarget_) return;
    refreshPosted_ = ::PostMessageW(postTarget_, WM_LOG_REFRESH, 0, 0);
  }
}

void CConfigMainDlg::ShowLogText(const std::string& text) {
  if (dispatching_ == 0) {
    logDue_.reset();
    PutLogText(text);
    return;
  }
  // A box that one of the batch's datagrams opens shows the log as it is by then.
  logDue_ = text;
  if (!showPosted_) showPosted_ = ::PostMessageW(Hwnd(), WM_SHOW_BATCH, 0, 0);
}

void CConfigMainDlg::PutLogText(const std::string& text) {
  const HWND log = Item(IDC_LOG);
  // The new lines go in in one append, while the box has room for them.
  const LogBoxText::Change change = main_.Log().Show(text);
  const std::wstring shown = Wide(change.text);
  const int length = ::GetWindowTextLengthW(log);
  if (change.append && length + static_cast<long long>(shown.size()) <= kLogLimit) {
    ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(length), length);
    ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(shown.c_str()));
  } else {
    ::SetWindowTextW(log, Wide(text).c_str());
  }
  main_.Log().Shown();
  const int end = ::GetWindowTextLengthW(log);
  ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
  ::SendMessageW(log, EM_SCROLLCARET, 0, 0);
}

void CConfigMainDlg::ClearDeviceList() {
  rows_.clear();
  shownRows_ = 0;
  ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_SETITEMCOUNT, 0, 0);
}

void CConfigMainDlg::InsertDeviceRow(const DeviceRow& row) {
  const std::array<std::string, kColumnCount> cells = DeviceCells(row);
  rows_.push_back({Wide(cells[0]), Wide(cells[1]), Wide(cells[2]), Wide(cells[3])});
  if (dispatching_ == 0) {
    ShowDeviceRows();
  } else if (!showPosted_) {
    showPosted_ = ::PostMessageW(Hwnd(), WM_SHOW_BATCH, 0, 0);
  }
}

void CConfigMainDlg::ShowDeviceRows() {
  if (rows_.size() == shownRows_) return;
  const HWND list = Item(IDC_DEVICE_LIST);
  // The new rows go above the old ones: the selected and the focused row move down with their
  // devices.
  const WPARAM added = rows_.size() - shownRows_;
  const auto selected =
      ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  const auto focused = ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
  shownRows_ = rows_.size();
  ::SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(shownRows_), 0);
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (focused >= 0) {
    state.stateMask = state.state = LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(focused) + added,
                   reinterpret_cast<LPARAM>(&state));
  }
  if (selected >= 0) {
    state.stateMask = state.state = LVIS_SELECTED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(selected) + added,
                   reinterpret_cast<LPARAM>(&state));
  }
}

std::optional<DeviceRow> CConfigMainDlg::SelectedDeviceRow() {
  const auto index = ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                    LVNI_SELECTED);
  if (index < 0 || static_cast<size_t>(index) >= shownRows_) return std::nullopt;
  const auto& cells = rows_[shownRows_ - 1 - static_cast<size_t>(index)];
  return DeviceRowOf(cells, [](const std::wstring& cell) { return Utf8(cell); });
}

bool CConfigMainDlg::RunGearDialog(GearForm& form) {
  return rs485Page_.RemoteAdjustDialog().Run(Hwnd(), form);
}

std::optional<std::string> CConfigMainDlg::ChooseExportFile(const std::string& defaultName) {
  return ChooseFile(Hwnd(), true, defaultName, kIniFilter, L"ini");
}

std::optional<std::string> CConfigMainDlg::ChooseImportFile() {
  return ChooseFile(Hwnd(), false, "*.ini", kIniFilter, L"ini");
}

void CConfigMainDlg::RunBatchDialog(BatchForm& form, BatchService& service, Notifier& notifier,
                                    std::function<void(const std::string&)> log) {
  CBatchDlg dialog(form, service, notifier, std::move(log));
  dialog.RunModal(Hwnd());
}

void CConfigMainDlg::PauseMs(int milliseconds) {
  // The pauses of the read and download sequences block the user-interface thread on purpose:
  // no other handler may run between the frames.
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

void CConfigMainDlg::CallLater(int milliseconds, std::function<void()> action) {
  if (!Hwnd()) return;
  const UINT_PTR id = nextTimer_++;
  if (::SetTimer(Hwnd(), id, static_cast<UINT>(milliseconds < 0 ? 0 : milliseconds), nullptr))
    timers_[id] = std::move(action);
}

}  // namespace quillon::win32
