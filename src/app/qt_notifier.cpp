#include "app/qt_notifier.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QThread>

namespace quillon {

QtNotifier::QtNotifier(QObject* parent) : QObject(parent) {}

void QtNotifier::ShowBox(const std::string& caption, const std::string& text, BoxIcon icon) {
  const QString qCaption = QString::fromStdString(caption);
  QString qText = QString::fromStdString(text);
  qText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (QThread::currentThread() == thread()) {
    ShowOnUiThread(qCaption, qText, icon);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, qCaption, qText, icon] { ShowOnUiThread(qCaption, qText, icon); },
      Qt::BlockingQueuedConnection);
}

void QtNotifier::ShowOnUiThread(const QString& caption, const QString& text, BoxIcon icon) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  if (icon == BoxIcon::Exclamation) boxIcon = QMessageBox::Warning;
  if (icon == BoxIcon::Question) boxIcon = QMessageBox::Question;
  QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parentWindow_.data());
  box.setAccessibleName(text);
  box.setAccessibleDescription(text);
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setText(QStringLiteral("确定"));
  box.exec();
}

}  // namespace quillon
