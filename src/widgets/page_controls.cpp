#include "widgets/page_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "text/number_text.h"
#include "widgets/dialog_units.h"

namespace quillon {

QLabel* MakeLabel(QWidget* parent, const DialogUnits& du, const QString& text, int x, int y, int cx,
                  int cy) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  du.Place(label, x, y, cx, cy);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const DialogUnits& du, const QString& accessibleName, int x,
                    int y, int cx, int cy) {
  auto* edit = new QLineEdit(parent);
  edit->setAccessibleName(accessibleName);
  du.Place(edit, x, y, cx, cy);
  return edit;
}

QComboBox* MakeCombo(QWidget* parent, const DialogUnits& du, const QString& accessibleName, int x,
                     int y, int cx, int listHeightDu) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setAccessibleName(accessibleName);
  combo->setAccessibleDescription(accessibleName);
  QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo, [combo](const QString& text) {
    const int item = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item < 0 || item == combo->currentIndex()) return;
    combo->setCurrentIndex(item);
    emit combo->activated(item);
  });
  du.Place(combo, x, y, cx, 14);
  // Rows of the open list that fit into its template height (about one character each).
  combo->setMaxVisibleItems(std::max(1, (listHeightDu - 14) / 8 + 1));
  return combo;
}

void LinkLabel(QLabel* label, QWidget* control) {
  label->setBuddy(control);
  if (control->accessibleName().isEmpty()) control->setAccessibleName(label->text());
}

uint16_t BoxToWord(const QLineEdit* box) {
  return static_cast<uint16_t>(ParseUnsignedDecimal(box->text().toStdString()) & 0xFFFF);
}

void WordToBox(QLineEdit* box, uint32_t value) {
  box->setText(QString::fromStdString(FormatUnsigned(value)));
}

int ComboSelection(const QComboBox* combo) {
  const int index = combo->currentIndex();
  if (!combo->isEditable()) return index;
  const QString text = combo->currentText();
  if (index >= 0 && text == combo->itemText(index)) return index;
  return combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

std::optional<UnmatchedList> FindUnmatchedList(std::initializer_list<const QComboBox*> lists) {
  for (const QComboBox* list : lists) {
    if (!list->isEditable()) continue;
    const QString text = list->currentText();
    const bool stores = text.isEmpty() ? list->currentIndex() < 0 : ComboSelection(list) >= 0;
    if (stores) continue;
    QString name = list->accessibleName();
    if (name.endsWith(u'：')) name.chop(1);
    return UnmatchedList{name, text};
  }
  return std::nullopt;
}

void SetComboSelection(QComboBox* combo, int index) {
  if (index >= 0 && index < combo->count()) {
    combo->setCurrentIndex(index);
  } else {
    combo->setCurrentIndex(-1);
    if (combo->isEditable()) combo->clearEditText();
  }
}

}  // namespace quillon
