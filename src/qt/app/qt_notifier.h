// The program's message boxes: a modal QMessageBox with an OK button (or with Yes and No),
// always shown on the user-interface thread. A caller on another thread waits until the user has
// closed the box while the user-interface thread keeps running.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "report/notifier.h"
#include "window/box_wait.h"

namespace quillon {

class QtNotifier : public QObject, public Notifier {
  Q_OBJECT

 public:
  // Must be made on the user-interface thread.
  explicit QtNotifier(QObject* parent = nullptr);

  // The window the boxes are modal to; without one they are application-modal.
  void SetParentWindow(QWidget* window) { parentWindow_ = window; }

  void ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) override;
  bool AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) override;

  // UI thread.
  void ReleaseWaiting() override;

  // How many callers on other threads are waiting for their box to close now.
  int Waiting() const { return wait_.Waiting(); }

 private:
  // Shows the box with OK, or with Yes and No; true when the user chose Yes.
  bool ShowOnUiThread(const QString& caption, const QString& text, BoxIcon icon, bool yesNo);

  QPointer<QWidget> parentWindow_;
  BoxWait wait_;
};

}  // namespace quillon
