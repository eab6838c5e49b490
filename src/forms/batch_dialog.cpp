#include "forms/batch_dialog.h"

namespace quillon {

namespace {

constexpr const char* kCaption = "提示";

}  // namespace

BatchDialog::BatchDialog(BatchForm& form, BatchView& view, BatchService& service,
                         Notifier& notifier, std::function<void(const std::string&)> log)
    : form_(form), view_(view), service_(service), notifier_(notifier), log_(std::move(log)) {}

void BatchDialog::OnInit() {
  view_.ShowRows(form_);
  view_.ShowInputs(form_);
}

void BatchDialog::OnRowChecked(size_t row, bool checked) {
  // A row that keeps its state (first-generation firmware, a batch under way) shows it again.
  form_.SetChecked(row, checked);
  view_.ShowRow(form_, row);
}

void BatchDialog::OnCheckAll(bool checked) {
  form_.CheckAll(checked);
  view_.ShowRows(form_);
}

void BatchDialog::OnInputChanged() {
  view_.ReadInputs(form_);
  view_.ShowInputs(form_);
}

void BatchDialog::OnBrowse() {
  const std::optional<std::string> path = view_.ChooseParamFile();
  if (!path) return;
  view_.ReadInputs(form_);
  if (!service_.ParamFileLoads(*path)) {
    notifier_.ShowBox(kProgramName, "参数载入错误", BoxIcon::None);
    return;
  }
  form_.file = *path;
  view_.ShowInputs(form_);
}

void BatchDialog::OnStart() {
  if (form_.Running()) return;
  view_.ReadInputs(form_);
  std::optional<std::string> refusal = form_.StartRefusal(service_.PagesRead());
  if (!refusal && !form_.fromPages && !service_.ParamFileLoads(form_.file)) {
    notifier_.ShowBox(kProgramName, "参数载入错误", BoxIcon::None);
    return;
  }
  if (!refusal) refusal = service_.PlanRefusal(form_);
  if (refusal) {
    // An empty refusal was told in a box of its own already (a page that cannot be stored).
    if (!refusal->empty()) notifier_.ShowBox(kCaption, *refusal, BoxIcon::Exclamation);
    return;
  }
  form_.Begin();
  closeWhenDone_ = false;
  view_.ShowRows(form_);
  view_.ShowInputs(form_);
  service_.Start(
      form_,
      [this](size_t row, BatchState state, std::string reason) {
        view_.Post(
            [this, row, state, reason = std::move(reason)] { OnReport(row, state, reason); });
      },
      [this] { view_.Post([this] { OnDone(); }); });
}

void BatchDialog::OnStop() {
  if (!form_.Running() || form_.Stopping()) return;
  form_.Stop();
  service_.Stop();
  view_.ShowInputs(form_);
}

void BatchDialog::OnExport() {
  const std::optional<std::string> path = view_.ChooseCsvFile("批量配置结果.csv");
  if (path && !service_.WriteFile(*path, form_.Csv()))
    notifier_.ShowBox(kCaption, "结果文件写入失败", BoxIcon::Exclamation);
}

bool BatchDialog::OnClose() {
  if (!form_.Running()) return true;
  if (!notifier_.AskYesNo(kCaption, kBatchCloseQuestion, BoxIcon::Question)) return false;
  closeWhenDone_ = true;
  OnStop();
  return false;
}

void BatchDialog::OnReport(size_t row, BatchState state, const std::string& reason) {
  form_.SetState(row, state, reason);
  view_.ShowRow(form_, row);
  view_.ShowInputs(form_);
  if (state == BatchState::Succeeded || state == BatchState::Verified ||
      state == BatchState::Failed)
    log_(form_.DeviceLogLine(row));
}

void BatchDialog::OnDone() {
  form_.Finish();
  log_(form_.FinalLogLine());
  view_.ShowInputs(form_);
  if (closeWhenDone_) view_.CloseDialog();
}

}  // namespace quillon
