#include "win32/batch_dlg.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "win32/file_dialogs.h"
#include "win32/wide_text.h"

namespace quillon::win32 {

namespace {

// Posted to the dialog when the service's thread queued something for it.
constexpr UINT WM_BATCH_POSTED = WM_APP + 21;
// The columns' widths in dialog units; the last one takes the rest.
constexpr int kColumnWidths[] = {70, 96, 70, 44};

}  // namespace

CBatchDlg::CBatchDlg(BatchForm& form, BatchService& service, Notifier& notifier,
                     std::function<void(const std::string&)> log)
    : CDialogWindow(BatchDialogLayout(), DialogRole::Modal),
      logic_(form, *this, service, notifier, std::move(log)) {}

BOOL CBatchDlg::OnInitDialog() {
  view_ = FormView(Hwnd());
  const HWND list = Item(IDC_BATCH_LIST);
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  RECT client{};
  ::GetClientRect(list, &client);
  int left = client.right;
  for (int column = 0; column < static_cast<int>(std::size(kBatchColumns)); ++column) {
    std::wstring heading = Wide(kBatchColumns[column]);
    LVCOLUMNW c{};
    c.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
    c.fmt = LVCFMT_LEFT;
    c.pszText = heading.data();
    c.iSubItem = column;
    if (column < static_cast<int>(std::size(kColumnWidths))) {
      RECT units{0, 0, kColumnWidths[column], 8};
      ::MapDialogRect(Hwnd(), &units);
      c.cx = units.right;
      left -= units.right;
    } else {
      c.cx = std::max(left, 40);
    }
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                   reinterpret_cast<LPARAM>(&c));
  }
  logic_.OnInit();
  return TRUE;
}

void CBatchDlg::ShowRows(const BatchForm& form) {
  const HWND list = Item(IDC_BATCH_LIST);
  showing_ = true;
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (size_t r = 0; r < form.Rows().size(); ++r) {
    const BatchDevice& d = form.Rows()[r].device;
    const std::string* texts[] = {&d.ip, &d.name, &d.mac, &d.version};
    for (int c = 0; c < 4; ++c) {
      std::wstring text = Wide(*texts[c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = c;
      item.pszText = text.data();
      ::SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r,
                     reinterpret_cast<LPARAM>(&item));
    }
  }
  showing_ = false;
  for (size_t r = 0; r < form.Rows().size(); ++r) ShowRow(form, r);
}

void CBatchDlg::ShowRow(const BatchForm& form, size_t row) {
  const HWND list = Item(IDC_BATCH_LIST);
  if (row >= form.Rows().size() ||
      static_cast<LRESULT>(row) >= ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))
    return;
  showing_ = true;
  const BatchRow& r = form.Rows()[row];
  // State image 1 is the empty box, 2 the ticked one; 0 shows none: a first-generation device
  // cannot be ticked.
  const int image = r.state == BatchState::Unsupported ? 0 : r.checked ? 2 : 1;
  LVITEMW state{};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(image);
  ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  std::wstring text = Wide(form.StateText(row));
  LVITEMW item{};
  item.iSubItem = 4;
  item.pszText = text.data();
  ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  showing_ = false;
}

void CBatchDlg::ShowInputs(BatchForm& form) {
  view_.Show(form.Controls());
  for (const ControlLayout& c : Layout().controls)
    if (c.id != kStaticId) ::EnableWindow(Item(c.id), form.Enabled(c.id) ? TRUE : FALSE);
  SetText(Item(IDC_BATCH_SUMMARY), form.Summary());
}

void CBatchDlg::ReadInputs(BatchForm& form) { view_.Read(form.Controls()); }

std::optional<std::string> CBatchDlg::ChooseParamFile() {
  return ChooseFile(Hwnd(), false, "*.ini", L"INI files(*.ini)\0*.ini\0", L"ini");
}

std::optional<std::string> CBatchDlg::ChooseCsvFile(const std::string& defaultName) {
  return ChooseFile(Hwnd(), true, defaultName, L"CSV files(*.csv)\0*.csv\0", L"csv");
}

void CBatchDlg::CloseDialog() { ::EndDialog(Hwnd(), IDC_BATCH_CLOSE); }

void CBatchDlg::Post(std::function<void()> action) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(action));
  }
  ::PostMessageW(Hwnd(), WM_BATCH_POSTED, 0, 0);
}

void CBatchDlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_BATCH_ALL:
      return logic_.OnCheckAll(true);
    case IDC_BATCH_NONE:
      return logic_.OnCheckAll(false);
    case IDC_BATCH_FROM_PAGES:
    case IDC_BATCH_FROM_FILE:
    case IDC_BATCH_NETWORK:
      return logic_.OnInputChanged();
    case IDC_BATCH_BROWSE:
      return logic_.OnBrowse();
    case IDC_BATCH_START:
      return logic_.OnStart();
    case IDC_BATCH_STOP:
      return logic_.OnStop();
    case IDC_BATCH_EXPORT:
      return logic_.OnExport();
    case IDC_BATCH_CLOSE:
    case IDCANCEL:  // Escape and the close box
      if (logic_.OnClose()) ::EndDialog(Hwnd(), IDC_BATCH_CLOSE);
      return;
    default:
      return;  // Enter (IDOK) starts nothing by itself
  }
}

void CBatchDlg::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_BATCH_LIST || header.code != LVN_ITEMCHANGED || showing_) return;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  if (change.iItem < 0 || !(change.uChanged & LVIF_STATE) ||
      !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK))
    return;
  // The user ticked or cleared a box; a refused change is undone by the row shown again.
  const bool checked = ((change.uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
  logic_.OnRowChecked(static_cast<size_t>(change.iItem), checked);
}

bool CBatchDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
  if (message != WM_BATCH_POSTED) return false;
  std::vector<std::function<void()>> actions;
  {
    std::lock_guard lock(postedMutex_);
    actions.swap(posted_);
  }
  for (const auto& action : actions) action();
  result = TRUE;
  return true;
}

}  // namespace quillon::win32
