#include "app/qt_notifier.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QThread>
#include <memory>

namespace quillon {

QtNotifier::QtNotifier(QObject* parent) : QObject(parent) {}

void QtNotifier::ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) {
  const QString qCaption = QString::fromStdString(caption);
  QString qText = QString::fromStdString(text);
  qText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (QThread::currentThread() == thread()) {
    {
      std::lock_guard lock(mutex_);
      if (shutDown_) return;
    }
    ShowOnUiThread(qCaption, qText, icon);
    return;
  }
  // The same wait as a blocking queued call, except that ReleaseWaiting can end it.
  auto done = std::make_shared<bool>(false);
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return;
  }
  QMetaObject::invokeMethod(
      this,
      [this, qCaption, qText, icon, done] {
        ShowOnUiThread(qCaption, qText, icon);
        std::lock_guard lock(mutex_);
        *done = true;
        closed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  closed_.wait(lock, [&] { return *done || shutDown_; });
}

void QtNotifier::ReleaseWaiting() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  closed_.notify_all();
}

void QtNotifier::ShowOnUiThread(const QString& caption, const QString& text, BoxIcon icon) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == BoxIcon::Exclamation) boxIcon = QMessageBox::Warning;
  if (icon == BoxIcon::Question) boxIcon = QMessageBox::Question;
  QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parentWindow_.data());
  // A screen reader announces the caption as the box's name and reads the text after it.
  box.setAccessibleName(caption);
  box.setAccessibleDescription(text);
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setText(QStringLiteral("确定"));
  box.exec();
}

}  // namespace quillon
