#include "qt/pages/dialog_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <type_traits>

#include "qt/widgets/dialog_units.h"
#include "qt/widgets/ipv4_edit.h"
#include "qt/widgets/page_controls.h"
#include "qt/widgets/tab_control.h"

// The resources live in a static library; nothing else would pull them into the program.
static void InitQuillonResources() { Q_INIT_RESOURCE(quillon); }

namespace quillon {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A check box or radio button, which shows its own text and is named by it.
template <typename Button>
Button* MakeTitled(QWidget* parent, const DialogUnits& du, const ControlLayout& c) {
  auto* button = new Button(Text(c.text), parent);
  button->setAccessibleName(Text(c.name));
  du.Place(button, c.x, c.y, c.cx, c.cy);
  return button;
}

// What both report lists share: one whole row selected at a time, nothing edited in place, the
// headings left-aligned and not clickable.
void SetUpReportList(QAbstractItemView* list, QHeaderView* header) {
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionsClickable(false);
}

QWidget* Make(QWidget* parent, const ControlLayout& c, const DialogUnits& du) {
  const QString name = Text(c.name);
  switch (c.kind) {
    case ControlKind::Label:
      return MakeLabel(parent, du, Text(c.text), c.x, c.y, c.cx, c.cy);
    case ControlKind::GroupBox: {
      auto* group = new QGroupBox(Text(c.text), parent);
      du.Place(group, c.x, c.y, c.cx, c.cy);
      group->lower();  // a frame beneath what it frames
      return group;
    }
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit: {
      QLineEdit* edit = MakeEdit(parent, du, name, c.x, c.y, c.cx, c.cy);
      edit->setReadOnly(c.kind == ControlKind::ReadOnlyEdit);
      return edit;
    }
    case ControlKind::LogEdit: {
      auto* log = new QPlainTextEdit(parent);
      log->setAccessibleName(name);
      log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      log->setTabChangesFocus(true);
      du.Place(log, c.x, c.y, c.cx, c.cy);
      return log;
    }
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
      auto* button = new QPushButton(Text(c.text), parent);
      button->setAccessibleName(name);
      button->setDefault(c.kind == ControlKind::DefaultButton);
      du.Place(button, c.x, c.y, c.cx, c.cy);
      return button;
    }
    case ControlKind::CheckBox:
      return MakeTitled<QCheckBox>(parent, du, c);
    case ControlKind::RadioButton:
      return MakeTitled<QRadioButton>(parent, du, c);
    case ControlKind::ComboBox:
      return MakeCombo(parent, du, name, c.x, c.y, c.cx, c.cy);
    case ControlKind::Ipv4: {
      auto* edit = new CIpAddressEdit(parent);
      du.Place(edit, c.x, c.y, c.cx, c.cy);
      edit->SetAccessibleLabel(name);
      return edit;
    }
    case ControlKind::ListView: {
      auto* list = new QTreeWidget(parent);
      list->setAccessibleName(name);
      du.Place(list, c.x, c.y, c.cx, c.cy);
      list->setRootIsDecorated(false);
      list->setItemsExpandable(false);
      list->setUniformRowHeights(true);
      list->setSortingEnabled(false);
      list->setAllColumnsShowFocus(true);
      SetUpReportList(list, list->header());
      list->header()->setStretchLastSection(false);
      list->header()->setSectionsMovable(false);
      return list;
    }
    case ControlKind::CheckListView: {
      // A table: each row's cells are read out as cells, the first with its check state.
      auto* table = new QTableWidget(parent);
      table->setAccessibleName(name);
      du.Place(table, c.x, c.y, c.cx, c.cy);
      SetUpReportList(table, table->horizontalHeader());
      table->setShowGrid(false);
      table->setWordWrap(false);
      table->verticalHeader()->hide();
      table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
      return table;
    }
    case ControlKind::TabControl: {
      auto* tabs = new CTabControl(parent);
      tabs->setAccessibleName(name);
      du.Place(tabs, c.x, c.y, c.cx, c.cy);
      return tabs;
    }
    case ControlKind::Icon: {
      auto* icon = new QLabel(parent);
      icon->setPixmap(IconPixmap(c.image));
      icon->setAccessibleName(name);
      if (c.cx == 0 && c.cy == 0) {
        // A platform icon control keeps the icon's own size at its position.
        icon->setGeometry(du.X(c.x), du.Y(c.y), icon->pixmap().width(), icon->pixmap().height());
      } else {
        icon->setAlignment(Qt::AlignCenter);
        du.Place(icon, c.x, c.y, c.cx, c.cy);
      }
      return icon;
    }
  }
  return nullptr;
}

}  // namespace

QPixmap IconPixmap(int image) {
  InitQuillonResources();
  return QPixmap(image == IDI_RS485_SLOT ? QStringLiteral(":/rs485-slot.png")
                                         : QStringLiteral(":/quillon-32.png"));
}

ControlMap BuildDialogWindow(QDialog* dialog, const DialogLayout& layout) {
  dialog->setWindowTitle(Text(layout.caption));
  dialog->setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  dialog->setFixedSize(du.Size(layout.cx, layout.cy));
  return BuildDialog(dialog, layout, du);
}

ControlMap BuildDialog(QWidget* parent, const DialogLayout& layout, const DialogUnits& du) {
  ControlMap controls;
  QList<std::pair<QLabel*, int>> buddies;
  for (const ControlLayout& c : layout.controls) {
    QWidget* widget = Make(parent, c, du);
    if (c.id != kStaticId) controls.insert(c.id, widget);
    if (c.kind == ControlKind::Label && c.buddy != kStaticId)
      buddies.append({static_cast<QLabel*>(widget), c.buddy});
  }
  for (const auto& [label, buddy] : buddies) label->setBuddy(controls.value(buddy));
  return controls;
}

void BindLists(const ControlMap& controls, const FormControls& form) {
  for (const FormControl& c : form) {
    ListChoice* const* list = std::get_if<ListChoice*>(&c.value);
    QComboBox* combo = ControlAs<QComboBox>(controls, c.id);
    if (!list || !combo) continue;
    for (const ListItem& item : (*list)->Items()) combo->addItem(QString::fromUtf8(item.label));
    SetComboSelection(combo, -1);
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo,
                     [combo, choice = *list](const QString& text) {
                       choice->SetState(combo->currentIndex(), combo->currentText().toStdString());
                       const std::optional<int> item = choice->Type(text.toStdString());
                       if (!item) return;
                       combo->setCurrentIndex(*item);
                       emit combo->activated(*item);
                     });
  }
}

void ShowControls(const ControlMap& controls, const FormControls& form) {
  // A text wider than its box shows its beginning, as a Windows edit box does, not its end.
  const auto showText = [](QWidget* widget, const std::string& text) {
    auto* edit = static_cast<QLineEdit*>(widget);
    edit->setText(Text(text));
    edit->setCursorPosition(0);
  };
  for (const FormControl& c : form) {
    QWidget* widget = controls.value(c.id);
    std::visit(
        Overloaded{
            [&](std::string* text) { showText(widget, *text); },
            [&](GbkTextBox* box) { showText(widget, box->text); },
            [&](bool* checked) { static_cast<QAbstractButton*>(widget)->setChecked(*checked); },
            [&](ListChoice* list) {
              auto* combo = static_cast<QComboBox*>(widget);
              SetComboSelection(combo, list->Selected());
              // Typed text that is no item stays as the user typed it.
              if (combo->currentText() != Text(list->Text()))
                combo->setEditText(Text(list->Text()));
              if (combo->lineEdit()) combo->lineEdit()->setCursorPosition(0);
            },
            [&](Ipv4Value* address) { static_cast<CIpAddressEdit*>(widget)->SetAddress(*address); },
        },
        c.value);
  }
}

void ReadControls(const ControlMap& controls, const FormControls& form) {
  for (const FormControl& c : form) {
    QWidget* widget = controls.value(c.id);
    std::visit(
        Overloaded{
            [&](std::string* text) {
              *text = static_cast<QLineEdit*>(widget)->text().toStdString();
            },
            [&](GbkTextBox* box) {
              box->text = static_cast<QLineEdit*>(widget)->text().toStdString();
            },
            [&](bool* checked) { *checked = static_cast<QAbstractButton*>(widget)->isChecked(); },
            [&](ListChoice* list) {
              auto* combo = static_cast<QComboBox*>(widget);
              list->SetState(combo->currentIndex(), combo->currentText().toStdString());
            },
            [&](Ipv4Value* address) { *address = static_cast<CIpAddressEdit*>(widget)->Address(); },
        },
        c.value);
  }
}

}  // namespace quillon
