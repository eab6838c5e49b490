// Small helpers shared by the pages: making labelled controls at dialog-unit positions and
// the conversions between number boxes, combo boxes and block fields.
#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <optional>

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
// the open list; the closed box takes the height of an edit box. Typing an item's text selects
// that item as if it was picked from the list (the box emits `activated`).
QComboBox* MakeCombo(QWidget* parent, const DialogUnits& du, const QString& accessibleName, int x,
                     int y, int cx, int listHeightDu);

// Links a label to its control: buddy, and the label text as the control's accessible name
// when it has none yet.
void LinkLabel(QLabel* label, QWidget* control);

// The number box conversions: unsigned decimal text; text that is no number gives 0, and
// callers keep the low 8 or 16 bits.
uint16_t BoxToWord(const QLineEdit* box);
void WordToBox(QLineEdit* box, uint32_t value);

// The item of a drop-down combo box whose text its edit field holds: the selected item, or the
// item the user typed the text of; -1 for none (an empty field, or text that is no item).
int ComboSelection(const QComboBox* combo);
// Selects `index`, or nothing when it is outside the list.
void SetComboSelection(QComboBox* combo, int index);

// A list whose edit field holds what it cannot store: typed text that is none of its items, or
// nothing at all while an item is selected (the user emptied the field). Stored, such a list
// would give the device its "no selection" value, which the user never chose.
struct UnmatchedList {
  QString name;  // the list's accessible name, without a closing colon
  QString text;  // what its edit field holds
};
// The first of `lists` that holds what it cannot store. An empty field with no item selected (a
// list never filled, or shown a value beyond its items) stores its "no selection" value.
std::optional<UnmatchedList> FindUnmatchedList(std::initializer_list<const QComboBox*> lists);

}  // namespace quillon
