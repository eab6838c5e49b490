// The Win32 side of the forms: what a dialog's controls show is copied from a form's values and
// read back into them, and the lists are filled from the form's items. Every page and dialog of
// the window works this way, so that what a control shows and stores is the form's alone.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/dialog_layout.h"
#include "forms/form_fields.h"

namespace quillon::win32 {

class FormView {
 public:
  // `dialog` holds the controls of the form's ids.
  explicit FormView(HWND dialog = nullptr) : dialog_(dialog) {}

  // Puts the items of every list of `form` into its combo box, none selected.
  void BindLists(const FormControls& form);
  // The form's values into the controls, and what the controls hold back into the form.
  void Show(const FormControls& form);
  void Read(const FormControls& form);

  // A combo box's notification, seen before the dialog acts on it. The item the user chose from
  // the list, or whose text the user typed into the edit field, when the selection changed by
  // it; the dialog then acts as on a choice from the list.
  std::optional<int> OnListCommand(const FormControls& form, int id, int code);

 private:
  // The item a combo box shows as selected. A drop-down list forgets its selection as soon as
  // text is typed into its field, so the view keeps it, as the form's selection of the field.
  std::map<int, int> selected_;
  HWND dialog_;
  bool showing_ = false;  // the view's own changes are no user's
};

// Names each control of `layout` in `dialog` for screen readers, as the table gives them
// (combo boxes also as their description). Windows names a control by the label before it
// already; this also names those whose label stands elsewhere. Best effort: nothing happens
// where the system lacks the service.
void NameControls(HWND dialog, const DialogLayout& layout);
// The names NameControls gives, by control id, in the UTF-16 that Windows reads them in.
std::vector<std::pair<int, std::wstring>> AccessibleNames(const DialogLayout& layout);

}  // namespace quillon::win32
