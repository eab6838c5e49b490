#include "qt/app/qt_notifier.h"

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
    ShowOnUiThread(qCaption, qText, icon, false);
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
        ShowOnUiThread(qCaption, qText, icon, false);
        std::lock_guard lock(mutex_);
        *done = true;
        closed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  ++waiting_;
  closed_.wait(lock, [&] { return *done || shutDown_; });
  --waiting_;
}

bool QtNotifier::AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return false;
  }
  QString qText = QString::fromStdString(text);
  qText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return ShowOnUiThread(QString::fromStdString(caption), qText, icon, true);
}

void QtNotifier::ReleaseWaiting() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  closed_.notify_all();
}

bool QtNotifier::ShowOnUiThread(const QString& caption, const QString& text, BoxIcon icon,
                                bool yesNo) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == BoxIcon::Exclamation) boxIcon = QMessageBox::Warning;
  if (icon == BoxIcon::Question) boxIcon = QMessageBox::Question;
  const QMessageBox::StandardButtons buttons =
      yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
  QMessageBox box(boxIcon, caption, text, buttons, parentWindow_.data());
  // A screen reader announces the caption as the box's name and reads the text after it.
  box.setAccessibleName(caption);
  box.setAccessibleDescription(text);
  const std::pair<QMessageBox::StandardButton, const char*> labels[] = {
      {QMessageBox::Ok, "确定"}, {QMessageBox::Yes, "是"}, {QMessageBox::No, "否"}};
  for (const auto& [button, label] : labels)
    if (QAbstractButton* b = box.button(button)) b->setText(QString::fromUtf8(label));
  // Closing the box without choosing, or pressing Enter, answers No: sending is the choice that
  // has to be made on purpose.
  if (yesNo) {
    box.setEscapeButton(QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
  }
  return box.exec() == QMessageBox::Yes;
}

}  // namespace quillon
