#include "pages/remote_adjust_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "pages/slot_boxes.h"
#include "widgets/dialog_units.h"
#include "widgets/page_controls.h"

namespace quillon {

namespace {

constexpr size_t kGearTextLimit = 10;  // bytes before the terminator of an 11-byte text

}  // namespace

CRemoteAdjustDlg::CRemoteAdjustDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("遥调参数设置"));
  setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  setFixedSize(du.Size(kWidthDu, kHeightDu));

  const QString valueHeading = QStringLiteral("数值");
  const QString textHeading = QStringLiteral("显示内容");
  MakeLabel(this, du, QStringLiteral("档位"), 22, 10, 20, 8);
  MakeLabel(this, du, valueHeading, 76, 10, 20, 8);
  MakeLabel(this, du, textHeading, 160, 10, 34, 8);

  for (int j = 0; j < kTexts; ++j) {
    const int y = 24 + 19 * j;
    const bool other = j == kGears;
    const QString row = other ? QStringLiteral("其他数值") : QString::number(j + 1);
    QLabel* rowLabel = other ? MakeLabel(this, du, row, 12, y + 3, 36, 8)
                             : MakeLabel(this, du, row, 28, y + 3, 10, 8);
    if (!other) valueBoxes_[j] = MakeEdit(this, du, row + u' ' + valueHeading, 56, y, 64, 14);
    textBoxes_[j] = MakeEdit(this, du, row + u' ' + textHeading, 134, y, 96, 14);
    rowLabel->setBuddy(other ? textBoxes_[j] : valueBoxes_[j]);
  }

  save_ = new QPushButton(QStringLiteral("保存"), this);
  save_->setAccessibleName(save_->text());
  // Enter in a box must not save: the button is no default.
  save_->setAutoDefault(false);
  du.Place(save_, 95, 202, 60, 18);
  connect(save_, &QPushButton::clicked, this, &CRemoteAdjustDlg::OnSave);
}

void CRemoteAdjustDlg::SetModel(sModBusPara* model, std::mutex* modelMutex,
                                std::function<int()> currentSlot) {
  model_ = model;
  modelMutex_ = modelMutex;
  currentSlot_ = std::move(currentSlot);
}

void CRemoteAdjustDlg::OnInitDialog() {
  if (!model_) return;
  slot_ = currentSlot_ ? currentSlot_() & 15 : 0;
  const sSlotPara& slot = model_->asSlot[slot_];
  for (int j = 0; j < kGears; ++j) RealToBox(valueBoxes_[j], slot.afGearValue[j]);
  for (int j = 0; j < kTexts; ++j)
    TextFieldToBox(textBoxes_[j], slot.aszGearText[j], sizeof slot.aszGearText[j]);
}

void CRemoteAdjustDlg::OnSave() {
  if (model_) {
    // The slot loaded at opening: a read reply that arrives while the dialog is open moves the
    // page back to slot 1, and the table must not land there.
    std::unique_lock<std::mutex> lock;
    if (modelMutex_) lock = std::unique_lock(*modelMutex_);
    sSlotPara& slot = model_->asSlot[slot_];
    for (int j = 0; j < kGears; ++j) slot.afGearValue[j] = BoxToReal(valueBoxes_[j]);
    for (int j = 0; j < kTexts; ++j)
      BoxToTextField(textBoxes_[j], slot.aszGearText[j], sizeof slot.aszGearText[j],
                     kGearTextLimit);
  }
  done(0);
}

void CRemoteAdjustDlg::showEvent(QShowEvent* event) {
  // A window shown again by the window system (after being minimised) keeps what was typed.
  if (!event->spontaneous()) OnInitDialog();
  QDialog::showEvent(event);
}

void CRemoteAdjustDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (save_->hasFocus())
      save_->click();
    else
      reject();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace quillon
