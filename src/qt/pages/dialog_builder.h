// The Qt side of the forms: a dialog's controls made from its layout table, and the copies of a
// form's values into those controls and back. Every page and dialog is built this way, so that
// what a control shows and stores is the form's alone.
#pragma once

#include <QHash>
#include <QPixmap>

#include "forms/dialog_layout.h"
#include "forms/form_fields.h"

class QComboBox;
class QDialog;
class QWidget;

namespace quillon {

class DialogUnits;

// The controls of a dialog that have an id.
using ControlMap = QHash<int, QWidget*>;

// Makes every control of `layout` on `parent` at its dialog-unit rectangle, in the table's (tab)
// order, each with its accessible name; labels get their control as buddy. Lists are empty.
ControlMap BuildDialog(QWidget* parent, const DialogLayout& layout, const DialogUnits& du);

// A dialog of the layout's caption and size in the dialogs' font, with its controls.
ControlMap BuildDialogWindow(QDialog* dialog, const DialogLayout& layout);

// The picture of an icon resource of the layout tables.
QPixmap IconPixmap(int image);

// Puts the items of every list of `form` into its combo box, none selected, and routes text
// typed into a list through the form: an item's text selects that item, and the combo box emits
// `activated` as for a choice from its list. The form outlives the controls.
void BindLists(const ControlMap& controls, const FormControls& form);

// The form's values into the controls, and what the controls hold back into the form.
void ShowControls(const ControlMap& controls, const FormControls& form);
void ReadControls(const ControlMap& controls, const FormControls& form);

// The widget of `id` as a `T`; nullptr when there is none of that kind.
template <typename T>
T* ControlAs(const ControlMap& controls, int id) {
  return qobject_cast<T*>(controls.value(id));
}

}  // namespace quillon
