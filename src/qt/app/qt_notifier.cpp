#include "qt/app/qt_notifier.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QThread>
#include <functional>
#include <utility>

namespace quillon {

QtNotifier::QtNotifier(QObject* parent) : QObject(parent) {}

void QtNotifier::ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) {
  const QString qCaption = QString::fromStdString(caption);
  QString qText = QString::fromStdString(text);
  qText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (QThread::currentThread() == thread()) {
    if (!wait_.Released()) ShowOnUiThread(qCaption, qText, icon, false);
    return;
  }
  // The same wait as a blocking queued call, except that ReleaseWaiting can end it.
  wait_.ShowAndWait(
      [this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
        return true;
      },
      [this, qCaption, qText, icon] { ShowOnUiThread(qCaption, qText, icon, false); });
}

bool QtNotifier::AskYesNo(const std::string& caption, const std::string& text, BoxIcon icon) {
  if (wait_.Released()) return false;
  QString qText = QString::fromStdString(text);
  qText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return ShowOnUiThread(QString::fromStdString(caption), qText, icon, true);
}

void QtNotifier::ReleaseWaiting() { wait_.Release(); }

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
      {QMessageBox::Ok, kOkButtonText},
      {QMessageBox::Yes, kYesButtonText},
      {QMessageBox::No, kNoButtonText}};
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
