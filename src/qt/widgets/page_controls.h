// Small helpers shared by the pages: making controls at dialog-unit positions and selecting an
// item of a drop-down combo box.
#pragma once

#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace quillon {

class DialogUnits;

// A static text at the given dialog-unit rectangle.
QLabel* MakeLabel(QWidget* parent, const DialogUnits& du, const QString& text, int x, int y, int cx,
                  int cy);
// An edit box at the given rectangle, with its accessible name.
QLineEdit* MakeEdit(QWidget* parent, const DialogUnits& du, const QString& accessibleName, int x,
                    int y, int cx, int cy);
// A drop-down combo box with an edit field, no item selected; its accessible name is also its
// description (a combo box reports its current text as its name on some systems).
// `listHeightDu` is the height of the open list; the closed box takes the height of an edit box.
QComboBox* MakeCombo(QWidget* parent, const DialogUnits& du, const QString& accessibleName, int x,
                     int y, int cx, int listHeightDu);

// Selects `index`, or nothing (with an empty edit field) when it is outside the list.
void SetComboSelection(QComboBox* combo, int index);

}  // namespace quillon
