// The two file dialogs of the parameter files, modal to the main window: the save dialog of
// "导出参数" and the open dialog of "导入参数". Both show the .ini files and add the extension
// "ini" to a name typed without one; the save dialog asks before it replaces a file. The batch
// dialog's results are saved the same way as .csv files.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace quillon {

// The save dialog, offering `defaultName`.
std::unique_ptr<QFileDialog> MakeExportDialog(QWidget* owner, const QString& defaultName);
// The open dialog, its name box starting with "*.ini".
std::unique_ptr<QFileDialog> MakeImportDialog(QWidget* owner);

// The save dialog of the batch results, offering `defaultName`.
std::unique_ptr<QFileDialog> MakeCsvDialog(QWidget* owner, const QString& defaultName);

// Runs a dialog; the chosen file as a local path, or nullopt when the dialog was cancelled.
std::optional<std::string> RunFileDialog(QFileDialog& dialog);

}  // namespace quillon
