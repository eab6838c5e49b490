// Playing the user at a modal box or dialog that the code under test opens and runs with its own
// event loop. A check that fails inside that loop returns early from its handler and would leave
// the box open, and a box that never opens would leave a poll waiting: either way the test would
// hang instead of failing. The watch runs the handler from inside the box's loop, closes the box
// however the handler ended, and after a time limit closes whatever modal is open and says so.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>

namespace quillon::fakes {

// Closes every modal widget still open: dialogs as if cancelled, anything else by closing it.
inline void CloseOpenModals() {
  for (int i = 0; i < 8; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->done(QDialog::Rejected);
    else
      modal->close();
  }
}

class ModalWatch {
 public:
  // Watches for the next modal widget that `accept` takes (any modal one by default) and runs
  // `handle` on it once.
  explicit ModalWatch(std::function<void(QWidget*)> handle,
                      std::chrono::milliseconds limit = std::chrono::seconds(10),
                      std::function<bool(QWidget*)> accept = nullptr)
      : handle_(std::move(handle)), accept_(std::move(accept)), limit_(limit) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    Start();
  }
  ~ModalWatch() {
    timer_.stop();
    CloseOpenModals();
  }
  ModalWatch(const ModalWatch&) = delete;
  ModalWatch& operator=(const ModalWatch&) = delete;

  // Watches for the next one, with the same handler.
  void Start() {
    handled_ = false;
    timedOut_ = false;
    clock_.start();
    timer_.start();
  }
  bool Handled() const { return handled_; }
  // No such modal opened within the limit: whatever modal was open then was closed.
  bool TimedOut() const { return timedOut_; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && (!accept_ || accept_(modal))) {
      timer_.stop();
      handled_ = true;
      // Closed even when a failed check inside `handle` returned early.
      struct CloseAfter {
        QWidget* modal;
        ~CloseAfter() {
          if (modal->isVisible() && QApplication::activeModalWidget() == modal) CloseOpenModals();
        }
      } closeAfter{modal};
      handle_(modal);
      return;
    }
    if (clock_.elapsed() > limit_.count()) {
      timer_.stop();
      timedOut_ = true;
      CloseOpenModals();
    }
  }

  std::function<void(QWidget*)> handle_;
  std::function<bool(QWidget*)> accept_;
  std::chrono::milliseconds limit_;
  QTimer timer_;
  QElapsedTimer clock_;
  bool handled_ = false;
  bool timedOut_ = false;
};

}  // namespace quillon::fakes
