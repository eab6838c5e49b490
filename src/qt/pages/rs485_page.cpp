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
  connect(SlotCombo(), &QComboBox::activated, this, &CRs485Page::slotChosen);
  for (QComboBox* list : {ProtocolCombo(), DataTypeCombo()}) {
    connect(list, &QComboBox::activated, this, &CRs485Page::OnProtocolOrTypeChanged);
    // Text typed into either list that is none of its items leaves it without a selection.
    connect(list->lineEdit(), &QLineEdit::textEdited, this, &CRs485Page::OnProtocolOrTypeChanged);
  }
  connect(RemoteAdjustButton(), &QPushButton::clicked, this, &CRs485Page::remoteAdjustRequested);
  connect(ReadButton(), &QPushButton::clicked, this, &CRs485Page::readRequested);
  connect(DownloadButton(), &QPushButton::clicked, this, &CRs485Page::downloadRequested);
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

QCheckBox* CRs485Page::EnableBox() const {
  return ControlAs<QCheckBox>(controls_, IDC_SLOT_ENABLE);
}

}  // namespace quillon
