#include "qt/app/batch_dlg.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <iterator>

#include "qt/app/param_file_dialogs.h"
#include "qt/widgets/dialog_units.h"

namespace quillon {

namespace {

// The columns' widths in dialog units; the last one takes the rest.
constexpr int kColumnWidths[] = {70, 96, 70, 44};

}  // namespace

CBatchDlg::CBatchDlg(BatchForm& form, BatchService& service, Notifier& notifier,
                     std::function<void(const std::string&)> log, QWidget* parent)
    : QDialog(parent), logic_(form, *this, service, notifier, std::move(log)) {
  controls_ = BuildDialogWindow(this, BatchDialogLayout());
  list_ = ControlAs<QTableWidget>(controls_, IDC_BATCH_LIST);
  list_->setColumnCount(static_cast<int>(std::size(kBatchColumns)));
  QStringList headers;
  for (const char* column : kBatchColumns) headers << QString::fromUtf8(column);
  list_->setHorizontalHeaderLabels(headers);
  for (int c = 0; c < static_cast<int>(std::size(kColumnWidths)); ++c)
    list_->setColumnWidth(c, DialogFontUnits().X(kColumnWidths[c]));
  list_->horizontalHeader()->setStretchLastSection(true);
  connect(list_, &QTableWidget::itemChanged, this, &CBatchDlg::OnItemChanged);

  const auto onClick = [this](int id, auto action) {
    auto* button = ControlAs<QAbstractButton>(controls_, id);
    // Enter in the dialog starts nothing by itself: no button is the default.
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
    connect(button, &QAbstractButton::clicked, this, action);
  };
  onClick(IDC_BATCH_ALL, [this] { logic_.OnCheckAll(true); });
  onClick(IDC_BATCH_NONE, [this] { logic_.OnCheckAll(false); });
  for (int id : {IDC_BATCH_FROM_PAGES, IDC_BATCH_FROM_FILE, IDC_BATCH_NETWORK})
    onClick(id, [this] { logic_.OnInputChanged(); });
  onClick(IDC_BATCH_BROWSE, [this] { logic_.OnBrowse(); });
  onClick(IDC_BATCH_START, [this] { logic_.OnStart(); });
  onClick(IDC_BATCH_STOP, [this] { logic_.OnStop(); });
  onClick(IDC_BATCH_EXPORT, [this] { logic_.OnExport(); });
  onClick(IDC_BATCH_CLOSE, [this] { reject(); });

  logic_.OnInit();
}

void CBatchDlg::ShowRows(const BatchForm& form) {
  showing_ = true;
  list_->setRowCount(static_cast<int>(form.Rows().size()));
  for (size_t r = 0; r < form.Rows().size(); ++r) {
    const BatchDevice& d = form.Rows()[r].device;
    const std::string* texts[] = {&d.ip, &d.name, &d.mac, &d.version};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(*texts[c]));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      list_->setItem(static_cast<int>(r), c, item);
    }
    auto* state = new QTableWidgetItem;
    state->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    list_->setItem(static_cast<int>(r), 4, state);
  }
  showing_ = false;
  for (size_t r = 0; r < form.Rows().size(); ++r) ShowRow(form, r);
}

void CBatchDlg::ShowRow(const BatchForm& form, size_t row) {
  if (row >= form.Rows().size() || static_cast<int>(row) >= list_->rowCount()) return;
  showing_ = true;
  const BatchRow& r = form.Rows()[row];
  QTableWidgetItem* first = list_->item(static_cast<int>(row), 0);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // A first-generation device is never served: its box cannot be ticked.
  if (r.state != BatchState::Unsupported && !form.Running()) flags |= Qt::ItemIsUserCheckable;
  first->setFlags(flags);
  first->setCheckState(r.checked ? Qt::Checked : Qt::Unchecked);
  list_->item(static_cast<int>(row), 4)->setText(QString::fromStdString(form.StateText(row)));
  showing_ = false;
}

void CBatchDlg::ShowInputs(BatchForm& form) {
  ShowControls(controls_, form.Controls());
  for (auto it = controls_.cbegin(); it != controls_.cend(); ++it)
    it.value()->setEnabled(form.Enabled(it.key()));
  ControlAs<QLabel>(controls_, IDC_BATCH_SUMMARY)->setText(QString::fromStdString(form.Summary()));
  // The check boxes of the rows follow a batch's start and end.
  for (size_t r = 0; r < form.Rows().size(); ++r) ShowRow(form, r);
}

void CBatchDlg::ReadInputs(BatchForm& form) { ReadControls(controls_, form.Controls()); }

std::optional<std::string> CBatchDlg::ChooseParamFile() {
  const auto dialog = MakeImportDialog(this);
  return RunFileDialog(*dialog);
}

std::optional<std::string> CBatchDlg::ChooseCsvFile(const std::string& defaultName) {
  const auto dialog = MakeCsvDialog(this, QString::fromStdString(defaultName));
  return RunFileDialog(*dialog);
}

void CBatchDlg::CloseDialog() { QDialog::reject(); }

void CBatchDlg::Post(std::function<void()> action) {
  // Dropped with the dialog: nothing posted runs once it is gone.
  QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
}

void CBatchDlg::reject() {
  if (logic_.OnClose()) QDialog::reject();
}

void CBatchDlg::OnItemChanged(QTableWidgetItem* item) {
  if (showing_ || item->column() != 0) return;
  logic_.OnRowChecked(static_cast<size_t>(item->row()), item->checkState() == Qt::Checked);
}

}  // namespace quillon
