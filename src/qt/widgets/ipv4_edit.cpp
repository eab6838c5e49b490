#include "qt/widgets/ipv4_edit.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace quillon {

namespace {

class IpAddressAccessible : public QAccessibleWidget {
 public:
  explicit IpAddressAccessible(CIpAddressEdit* edit)
      : QAccessibleWidget(edit, QAccessible::EditableText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return static_cast<CIpAddressEdit*>(widget())->DottedText();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* IpAddressFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("quillon::CIpAddressEdit") && object && object->isWidgetType())
    return new IpAddressAccessible(static_cast<CIpAddressEdit*>(object));
  return nullptr;
}

}  // namespace

void InstallIpAddressAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(IpAddressFactory);
    return true;
  }();
  (void)installed;
}

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QFrame(parent) {
  InstallIpAddressAccessibility();
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::NoFocus);
  for (int i = 0; i < 4; ++i) {
    auto* field = new QLineEdit(this);
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    field->setMaxLength(3);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), field));
    field->setTextMargins(0, 0, 0, 0);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textEdited, this,
            [this, i](const QString& text) { OnFieldEdited(i, text); });
    fields_[i] = field;
    if (i < 3) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      dots_[i] = dot;
    }
  }
  // The fields are created left to right, so the focus chain runs through them in order.
  setFocusProxy(fields_[0]);
}

std::array<uint8_t, 4> CIpAddressEdit::Address() const {
  std::array<uint8_t, 4> bytes{};
  for (int i = 0; i < 4; ++i) {
    const int value = fields_[i]->text().trimmed().toInt();  // blank or junk: 0
    bytes[i] = static_cast<uint8_t>(std::clamp(value, 0, 255));
  }
  return bytes;
}

void CIpAddressEdit::SetAddress(const uint8_t bytes[4]) {
  for (int i = 0; i < 4; ++i) fields_[i]->setText(QString::number(bytes[i]));
}

void CIpAddressEdit::Clear() {
  for (QLineEdit* field : fields_) field->clear();
}

bool CIpAddressEdit::IsBlank() const {
  for (QLineEdit* field : fields_)
    if (!field->text().isEmpty()) return false;
  return true;
}

QString CIpAddressEdit::DottedText() const {
  const auto b = Address();
  return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

void CIpAddressEdit::SetAccessibleLabel(const QString& label) {
  setAccessibleName(label);
  for (int i = 0; i < 4; ++i)
    fields_[i]->setAccessibleName(QStringLiteral("%1 %2").arg(label).arg(i + 1));
}

void CIpAddressEdit::FocusField(int index, bool selectAll) {
  if (index < 0 || index > 3) return;
  fields_[index]->setFocus(Qt::OtherFocusReason);
  if (selectAll) fields_[index]->selectAll();
}

void CIpAddressEdit::OnFieldEdited(int index, const QString& text) {
  // A number above 255 becomes 255, and a full field hands over to the next one, as the
  // platform's address control does.
  if (text.toInt() > 255) fields_[index]->setText(QStringLiteral("255"));
  if (text.size() == 3 && fields_[index]->cursorPosition() == 3 && index < 3)
    FocusField(index + 1, true);
  emit addressEdited();
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    for (int i = 0; i < 4; ++i) {
      if (watched != fields_[i]) continue;
      auto* key = static_cast<QKeyEvent*>(event);
      QLineEdit* field = fields_[i];
      if (key->key() == Qt::Key_Period || key->text() == QStringLiteral(".")) {
        if (!field->text().isEmpty() && !field->hasSelectedText()) FocusField(i + 1, true);
        return true;  // a dot is never part of a field
      }
      if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && i > 0) {
        FocusField(i - 1, false);
        fields_[i - 1]->end(false);
        return true;
      }
      if (key->key() == Qt::Key_Left && field->cursorPosition() == 0 && i > 0 &&
          !field->hasSelectedText()) {
        FocusField(i - 1, false);
        fields_[i - 1]->end(false);
        return true;
      }
      if (key->key() == Qt::Key_Right && field->cursorPosition() == field->text().size() && i < 3 &&
          !field->hasSelectedText()) {
        FocusField(i + 1, false);
        fields_[i + 1]->home(false);
        return true;
      }
      break;
    }
  }
  return QFrame::eventFilter(watched, event);
}

void CIpAddressEdit::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  const QRect inner = contentsRect();
  const int dotWidth = std::max(3, fontMetrics().horizontalAdvance(QLatin1Char('.')) + 2);
  const int fieldWidth = std::max(1, (inner.width() - 3 * dotWidth) / 4);
  int x = inner.left();
  for (int i = 0; i < 4; ++i) {
    fields_[i]->setGeometry(x, inner.top(), fieldWidth, inner.height());
    x += fieldWidth;
    if (i < 3) {
      dots_[i]->setGeometry(x, inner.top(), dotWidth, inner.height());
      x += dotWidth;
    }
  }
}

}  // namespace quillon
