// Whether a page shows every control of its form and reads every one back: a distinct value put
// into the form shows in the widget of its id, and a value put into the widget comes back into
// the form. Fails the running QtTest case.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <functional>

#include "qt/pages/dialog_builder.h"
#include "qt/widgets/ipv4_edit.h"

namespace quillon::fakes {

// A user's choice in a list.
inline void Pick(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

// Types `text` into the list's edit field, as from the keyboard (the field emits textEdited).
inline void TypeIntoList(QComboBox* list, const QString& text) {
  list->lineEdit()->setText(text);
  emit list->lineEdit()->textEdited(text);
}

inline void CheckBoundBothWays(const ControlMap& controls, const FormControls& form,
                               const std::function<void()>& show,
                               const std::function<void()>& read) {
  for (const FormControl& c : form) {
    QWidget* widget = controls.value(c.id);
    const QString id = QString::number(c.id);
    QVERIFY2(widget, qPrintable(id + " has no control"));
    const QString name = id + QStringLiteral(" \"") + widget->accessibleName() + u'"';
    if (auto* text = std::get_if<std::string*>(&c.value)) {
      auto* edit = qobject_cast<QLineEdit*>(widget);
      QVERIFY2(edit, qPrintable(name));
      **text = id.toStdString();
      show();
      QVERIFY2(edit->text() == id, qPrintable(name));
      edit->setText(QStringLiteral("w") + id);
      read();
      QVERIFY2(**text == "w" + id.toStdString(), qPrintable(name));
    } else if (auto* box = std::get_if<GbkTextBox*>(&c.value)) {
      auto* edit = qobject_cast<QLineEdit*>(widget);
      QVERIFY2(edit, qPrintable(name));
      (*box)->text = "文" + id.toStdString();
      show();
      QVERIFY2(edit->text() == QStringLiteral("文") + id, qPrintable(name));
      edit->setText(QStringLiteral("字") + id);
      read();
      QVERIFY2((*box)->text == "字" + id.toStdString(), qPrintable(name));
    } else if (auto* checked = std::get_if<bool*>(&c.value)) {
      auto* check = qobject_cast<QCheckBox*>(widget);
      QVERIFY2(check, qPrintable(name));
      for (const bool value : {true, false}) {
        **checked = value;
        show();
        QVERIFY2(check->isChecked() == value, qPrintable(name));
        check->setChecked(!value);
        read();
        QVERIFY2(**checked == !value, qPrintable(name));
      }
    } else if (auto* list = std::get_if<ListChoice*>(&c.value)) {
      auto* combo = qobject_cast<QComboBox*>(widget);
      QVERIFY2(combo && combo->count() == (*list)->Count(), qPrintable(name));
      const int last = (*list)->Count() - 1;
      (*list)->Select(last);
      show();
      QVERIFY2(combo->currentIndex() == last &&
                   combo->currentText() == QString::fromUtf8((*list)->Items()[last].label),
               qPrintable(name));
      // Typed text that is no item shows as typed, beside the selected item.
      (*list)->SetState(last, "typed");
      show();
      QVERIFY2(combo->currentIndex() == last && combo->currentText() == "typed", qPrintable(name));
      combo->setCurrentIndex(0);
      combo->setEditText(QStringLiteral("x") + id);
      read();
      QVERIFY2((*list)->Selected() == 0 && (*list)->Text() == "x" + id.toStdString(),
               qPrintable(name));
    } else if (auto* address = std::get_if<Ipv4Value*>(&c.value)) {
      auto* edit = qobject_cast<CIpAddressEdit*>(widget);
      QVERIFY2(edit, qPrintable(name));
      **address = {1, 2, 3, static_cast<uint8_t>(c.id)};
      show();
      QVERIFY2(edit->Address() == **address, qPrintable(name));
      edit->SetAddress(Ipv4Value{9, 8, 7, 6});
      read();
      QVERIFY2(**address == (Ipv4Value{9, 8, 7, 6}), qPrintable(name));
    }
  }
}

// Every edit box, check box, list and address control of the layout has its field in the form.
inline void CheckEveryInputIsBound(const DialogLayout& layout, const FormControls& form) {
  for (const ControlLayout& c : layout.controls) {
    const bool input = c.kind == ControlKind::Edit || c.kind == ControlKind::CheckBox ||
                       c.kind == ControlKind::ComboBox || c.kind == ControlKind::Ipv4;
    if (!input) continue;
    const bool bound =
        std::any_of(form.begin(), form.end(), [&](const FormControl& f) { return f.id == c.id; });
    QVERIFY2(bound, qPrintable(QString::fromStdString(c.name) + " is bound to no form field"));
  }
}

}  // namespace quillon::fakes
