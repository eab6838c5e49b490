#include "forms/batch_form.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "forms/dialog_layout.h"

namespace quillon {

namespace {

// A field of the CSV file, quoted where a spreadsheet would otherwise split it.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

void BatchForm::Fill(std::vector<BatchDevice> devices) {
  rows_.clear();
  for (BatchDevice& device : devices) {
    BatchRow row;
    row.state = device.firstGeneration ? BatchState::Unsupported : BatchState::Idle;
    row.device = std::move(device);
    rows_.push_back(std::move(row));
  }
  batchSize_ = 0;
  begun_ = running_ = stopping_ = false;
}

bool BatchForm::SetChecked(size_t row, bool checked) {
  if (row >= rows_.size() || running_ || rows_[row].state == BatchState::Unsupported) return false;
  rows_[row].checked = checked;
  return true;
}

void BatchForm::CheckAll(bool checked) {
  for (size_t i = 0; i < rows_.size(); ++i) SetChecked(i, checked);
}

size_t BatchForm::CheckedCount() const {
  return static_cast<size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const BatchRow& r) { return r.checked; }));
}

FormControls BatchForm::Controls() {
  // The second radio button shows the other side of the first; what it reads back is ignored.
  fromFile_ = !fromPages;
  return {{IDC_BATCH_FROM_PAGES, &fromPages},
          {IDC_BATCH_FROM_FILE, &fromFile_},
          {IDC_BATCH_FILE, &file},
          {IDC_BATCH_NETWORK, &network},
          {IDC_BATCH_CAMERAS, &cameras},
          {IDC_BATCH_RS485, &rs485},
          {IDC_BATCH_START_IP, &startIp},
          {IDC_BATCH_VERIFY, &verify},
          {IDC_BATCH_PARALLEL, &parallel}};
}

bool BatchForm::Enabled(int id) const {
  switch (id) {
    case IDC_BATCH_LIST:
    case IDC_BATCH_SUMMARY:
    case IDC_BATCH_EXPORT:
    case IDC_BATCH_CLOSE:
      return true;
    case IDC_BATCH_STOP:
      return running_ && !stopping_;
    case IDC_BATCH_FILE:
    case IDC_BATCH_BROWSE:
      return !running_ && !fromPages;
    case IDC_BATCH_START_IP:
      return !running_ && network;
    default:
      return !running_;
  }
}

unsigned BatchForm::Parts() const {
  return (network ? kBatchNetwork : 0u) | (cameras ? kBatchCameras : 0u) |
         (rs485 ? kBatchRs485 : 0u);
}

std::optional<int> BatchForm::Parallel() const {
  int value = 0;
  const char* end = parallel.data() + parallel.size();
  const auto [at, error] = std::from_chars(parallel.data(), end, value);
  if (error != std::errc() || at != end || value < 1 || value > kMaxParallel) return std::nullopt;
  return value;
}

bool BatchForm::NeedsStartIp() const { return network && CheckedCount() > 1; }

std::optional<std::string> BatchForm::StartRefusal(bool pagesRead) const {
  if (CheckedCount() == 0) return "请勾选要配置的设备";
  if (Parts() == 0) return "请至少选择一项参数";
  if (fromPages && !pagesRead) return "请先双击设备列表读取参数";
  if (!fromPages && file.empty()) return "请选择参数文件";
  if (!Parallel()) return "同时配置台数应为1到64";
  if (NeedsStartIp() && startIp == Ipv4Value{}) return "请填写起始IP";
  return std::nullopt;
}

void BatchForm::Begin() {
  batchSize_ = 0;
  for (BatchRow& row : rows_) {
    if (!row.checked) continue;
    row.state = BatchState::Waiting;
    row.reason.clear();
    ++batchSize_;
  }
  begun_ = running_ = true;
  stopping_ = false;
}

void BatchForm::SetState(size_t row, BatchState state, std::string reason) {
  if (row >= rows_.size()) return;
  rows_[row].state = state;
  rows_[row].reason = std::move(reason);
}

void BatchForm::Finish() { running_ = stopping_ = false; }

size_t BatchForm::Count(BatchState state) const {
  return static_cast<size_t>(std::count_if(
      rows_.begin(), rows_.end(), [state](const BatchRow& r) { return r.state == state; }));
}

std::string BatchForm::StateText(size_t row) const {
  if (row >= rows_.size()) return {};
  switch (rows_[row].state) {
    case BatchState::Idle:
      return {};
    case BatchState::Unsupported:
      return "不支持";
    case BatchState::Waiting:
      return "等待";
    case BatchState::Running:
      return "进行中";
    case BatchState::Succeeded:
      return "成功";
    case BatchState::Verified:
      return "成功（已校验）";
    case BatchState::Failed:
      return "失败：" + rows_[row].reason;
  }
  return {};
}

std::string BatchForm::Summary() const {
  if (!begun_) return {};
  const size_t failed = Count(BatchState::Failed);
  const size_t done = Count(BatchState::Succeeded) + Count(BatchState::Verified) + failed;
  return "已完成 " + std::to_string(done) + "/" + std::to_string(batchSize_) + "，失败 " +
         std::to_string(failed);
}

std::string BatchForm::DeviceLogLine(size_t row) const {
  if (row >= rows_.size()) return {};
  const BatchDevice& d = rows_[row].device;
  return "批量配置 " + d.mac + " (" + d.ip + ")：" + StateText(row) + "\r\n";
}

std::string BatchForm::FinalLogLine() const {
  const size_t failed = Count(BatchState::Failed);
  const size_t succeeded = Count(BatchState::Succeeded) + Count(BatchState::Verified);
  return "批量配置完成：成功 " + std::to_string(succeeded) + " 台，失败 " + std::to_string(failed) +
         " 台\r\n";
}

std::string BatchForm::Csv() const {
  std::string csv = "\xEF\xBB\xBF";
  for (size_t c = 0; c < std::size(kBatchColumns); ++c)
    csv += std::string(c == 0 ? "" : ",") + kBatchColumns[c];
  csv += "\r\n";
  for (size_t i = 0; i < rows_.size(); ++i) {
    const BatchDevice& d = rows_[i].device;
    csv += CsvField(d.ip) + ',' + CsvField(d.name) + ',' + CsvField(d.mac) + ',' +
           CsvField(d.version) + ',' + CsvField(StateText(i)) + "\r\n";
  }
  return csv;
}

}  // namespace quillon
