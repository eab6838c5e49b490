#include "window/main_window.h"

#include <cstdint>
#include <vector>

#include "text/ipv4_text.h"

namespace quillon {

std::array<std::string, kColumnCount> DeviceCells(const DeviceRow& row) {
  return {row.ip, row.name, row.mac, row.version};
}

std::optional<MainPage> PageOfTab(int selection) {
  if (selection == 0) return MainPage::Net;
  if (selection == 1) return MainPage::Rs485;
  return std::nullopt;
}

LogBoxText::Change LogBoxText::Show(const std::string& text) {
  const bool grows = !edited_ && !shown_.empty() && shown_.back() == '\n' &&
                     text.size() >= shown_.size() && text.compare(0, shown_.size(), shown_) == 0;
  const size_t from = grows ? shown_.size() : 0;
  shown_ = text;
  edited_ = false;
  showing_ = true;
  return {grows, std::string_view(text).substr(from)};
}

bool LogBoxText::BoxChanged() {
  if (showing_) return false;
  edited_ = true;  // the next text replaces the box's whole content
  return true;
}

void MainWindow::Start(MainWindowControls& controls, ConfigView& view,
                       const AddressSource& addresses) {
  controls_ = &controls;
  controls.SetText(IDC_LOCAL_PORT, kLocalPortText);
  for (int column = 0; column < kColumnCount; ++column)
    controls.InsertColumn(column, kDeviceColumns[column]);
  // The widths are set once, from the list's client width.
  const int client = controls.ListClientWidth();
  for (int column = 0; column < kColumnCount; ++column)
    controls.SetColumnWidth(column, DeviceColumnWidth(column, client));

  session_.AttachView(view);
  session_.AppendLog(kHelpText);
  session_.RefreshLog();
  controls.MakePages({kPageTabs[0], kPageTabs[1]}, kMainPageInsets);
  session_.InitModel();

  const std::vector<uint32_t> local = addresses ? addresses() : std::vector<uint32_t>{};
  controls.SetText(IDC_LOCAL_IP, local.empty() ? "0.0.0.0" : Ipv4Text(local.front()));
}

void MainWindow::OnClicked(int id) {
  switch (id) {
    case IDC_SEARCH:
      session_.OnSearch();
      break;
    case IDC_CLEAR_LOG:
      session_.ClearLog();
      break;
    case IDC_EXPORT:
      session_.OnExportParams();
      break;
    case IDC_IMPORT:
      session_.OnImportParams();
      break;
    case IDC_BATCH:
      OnBatch();
      break;
    default:
      break;
  }
}

void MainWindow::OnBatch() {
  if (!batch_ || !controls_) return;
  if (session_.FoundDevices().empty()) {
    batch_->Boxes().ShowBox("提示", "请先搜索设备", BoxIcon::Exclamation);
    return;
  }
  if (session_.RefusedForTransfer()) return;
  batch_->Fill(batchForm_);
  session_.SetBatchRunning(true);
  controls_->RunBatchDialog(batchForm_, *batch_, batch_->Boxes(), [this](const std::string& line) {
    session_.AppendLog(line);
    session_.RefreshLog();
  });
  session_.SetBatchRunning(false);
}

void MainWindow::OnPageEvent(PageEvent event) {
  switch (event) {
    case PageEvent::NetDownload:
      session_.OnDownload();
      break;
    case PageEvent::Rs485Read:
      session_.OnRs485Read();
      break;
    case PageEvent::Rs485Download:
      session_.OnRs485Download();
      break;
    case PageEvent::RemoteAdjust:
      session_.OnRemoteAdjust();
      break;
  }
}

}  // namespace quillon
