// Small helpers shared by the pages: making labelled controls at dialog-unit positions and
// the conversions between number boxes, combo boxes and block fields.
#pragma once

#include <QString>
#include <cstdint>

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
// A drop-down combo box with an edit field, no item selected. `listHeightDu` is the height of
// the open list; the closed box takes the height of an edit box.
QComboBox* MakeCombo(QWidget* parent, const DialogUnits& du, const QString& accessibleName, int x,
                     int y, int cx, int listHeightDu);

// Links a label to its control: buddy, and the label text as the control's accessible name
// when it has none yet.
void LinkLabel(QLabel* label, QWidget* control);

// The number box conversions: unsigned decimal text; text that is no number gives 0, and
// callers keep the low 8 or 16 bits.
uint16_t BoxToWord(const QLineEdit* box);
void WordToBox(QLineEdit* box, uint32_t value);

// The selected item of a drop-down combo box, -1 for none. Text typed into its edit field that
// is not the selected item's text counts as no selection, as the platform's combo box drops its
// selection when its edit field is changed.
int ComboSelection(const QComboBox* combo);
// Selects `index`, or nothing when it is outside the list.
void SetComboSelection(QComboBox* combo, int index);

}  // namespace quillon
