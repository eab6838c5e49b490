#include "qt/app/param_file_dialogs.h"

#include <QFile>
#include <QFileDialog>

namespace quillon {

namespace {

// One entry that shows the files matching *.ini.
const char* const kFilter = "INI files(*.ini)";

std::unique_ptr<QFileDialog> MakeDialog(QWidget* owner, QFileDialog::AcceptMode mode,
                                        const char* filter = kFilter, const char* suffix = "ini") {
  auto dialog = std::make_unique<QFileDialog>(owner);
  dialog->setAcceptMode(mode);
  dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                      : QFileDialog::ExistingFile);
  dialog->setNameFilter(QString::fromUtf8(filter));
  dialog->setDefaultSuffix(QString::fromUtf8(suffix));
  // There is no read-only check box to hide; a save dialog confirms an overwrite by default.
  dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog->setWindowModality(Qt::WindowModal);
  return dialog;
}

}  // namespace

std::unique_ptr<QFileDialog> MakeExportDialog(QWidget* owner, const QString& defaultName) {
  auto dialog = MakeDialog(owner, QFileDialog::AcceptSave);
  dialog->selectFile(defaultName);
  return dialog;
}

std::unique_ptr<QFileDialog> MakeImportDialog(QWidget* owner) {
  auto dialog = MakeDialog(owner, QFileDialog::AcceptOpen);
  dialog->selectFile(QStringLiteral("*.ini"));
  return dialog;
}

std::unique_ptr<QFileDialog> MakeCsvDialog(QWidget* owner, const QString& defaultName) {
  auto dialog = MakeDialog(owner, QFileDialog::AcceptSave, "CSV files(*.csv)", "csv");
  dialog->selectFile(defaultName);
  return dialog;
}

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QFile::encodeName(files.front()).toStdString();
}

}  // namespace quillon
