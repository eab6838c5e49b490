// Plays the user at the window's file dialogs while it lives: each file dialog that opens gets
// the file that `answer` names for the name the dialog offers, and is accepted as by its own
// button; no name cancels it. The dialogs are the program's own, so that what a test chooses
// goes through the same path as a user's choice.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon::fakes {

class FileDialogAnswers {
 public:
  using Answer = std::function<std::optional<std::string>(const std::string& offered)>;
  explicit FileDialogAnswers(Answer answer) : answer_(std::move(answer)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  FileDialogAnswers(const FileDialogAnswers&) = delete;
  FileDialogAnswers& operator=(const FileDialogAnswers&) = delete;

  // The names the dialogs offered, in order; one per dialog that opened.
  const std::vector<std::string>& Offered() const { return offered_; }

 private:
  void Poll() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    offered_.push_back(QFileInfo(dialog->selectedFiles().value(0)).fileName().toStdString());
    const std::optional<std::string> file = answer_(offered_.back());
    if (!file) {
      dialog->reject();
      return;
    }
    dialog->selectFile(QString::fromStdString(*file));
    static_cast<QDialog*>(dialog)->accept();
  }

  Answer answer_;
  QTimer timer_;
  std::vector<std::string> offered_;
};

}  // namespace quillon::fakes
