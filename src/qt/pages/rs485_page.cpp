#include "qt/pages/rs485_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "qt/widgets/dialog_units.h"

namespace quillon {

CRs485Page::CRs485Page(Rs485Form& form, GearForm& gearForm, QWidget* parent)
    : QWidget(parent), form_(form), m_dlgRemoteAdjust(gearForm) {
  setFont(DialogFont());
  const DialogLayout& layout = Rs485PageLayout();
  const DialogUnits& du = DialogFontUnits();
  resize(du.Size(layout.cx, layout.cy));
  controls_ = BuildDialog(this, layout, du);
  BindLists(controls_, form_.Controls());

  // A user's choice in a list, not the page's own selections while it shows the form.
  connect(Combo(IDC_RS485_SLOT), &QComboBox::activated, this, &CRs485Page::slotChosen);
  for (QComboBox* list : {Combo(IDC_RS485_PROTOCOL), Combo(IDC_SLOT_DATA_TYPE)}) {
    connect(list, &QComboBox::activated, this, &CRs485Page::OnProtocolOrTypeChanged);
    // Text typed into either list that is none of its items leaves it without a selection.
    connect(list->lineEdit(), &QLineEdit::textEdited, this, &CRs485Page::OnProtocolOrTypeChanged);
  }
  connect(Button(IDC_SLOT_REMOTE_ADJUST), &QPushButton::clicked, this,
          &CRs485Page::remoteAdjustRequested);
  connect(Button(IDC_RS485_READ), &QPushButton::clicked, this, &CRs485Page::readRequested);
  connect(Button(IDC_RS485_DOWNLOAD), &QPushButton::clicked, this, &CRs485Page::downloadRequested);
}

CRs485Page::~CRs485Page() = default;

void CRs485Page::Show(Rs485Form& form) {
  ShowControls(controls_, form.Controls());
  ApplyControlStates(form);
}

void CRs485Page::Read(Rs485Form& form) { ReadControls(controls_, form.Controls()); }

void CRs485Page::ApplyControlStates(const Rs485Form& form) {
  for (auto it = controls_.cbegin(); it != controls_.cend(); ++it)
    it.value()->setEnabled(form.Enabled(it.key()));
}

void CRs485Page::OnProtocolOrTypeChanged() {
  Read(form_);
  form_.UpdateControlStates();
  ApplyControlStates(form_);
}

}  // namespace quillon
