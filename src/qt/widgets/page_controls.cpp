#include "qt/widgets/page_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "qt/widgets/dialog_units.h"

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
  du.Place(combo, x, y, cx, 14);
  // Rows of the open list that fit into its template height (about one character each).
  combo->setMaxVisibleItems(std::max(1, (listHeightDu - 14) / 8 + 1));
  return combo;
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
