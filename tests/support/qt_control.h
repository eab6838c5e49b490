// The Qt window's controls by their ids, as the Win32 window's tests reach theirs: the widget of
// `id` on a page or dialog (anything with the Controls() that BuildDialog made, or a pointer to
// it), of the kind the test expects. A control that is missing or of another kind ends the test
// program, naming it.
#pragma once

#include <QtGlobal>

#include "qt/pages/dialog_builder.h"

namespace quillon::fakes {

template <typename T = QWidget, typename Dialog>
T* ById(const Dialog& dialog, int id) {
  T* widget = nullptr;
  if constexpr (requires { dialog.Controls(); })
    widget = ControlAs<T>(dialog.Controls(), id);
  else
    widget = ControlAs<T>(dialog->Controls(), id);
  if (!widget) qFatal("no control %d of the kind the test expects", id);
  return widget;
}

}  // namespace quillon::fakes
