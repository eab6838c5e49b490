// The gear table of one RS-485 slot ("遥调参数设置"): eight gear values with the texts the device
// shows for them, and one text for any other value. Opening loads the current slot's table from
// the model; "保存" stores it back and closes; any other way of closing stores nothing. Nothing
// is sent from here: the table travels with the RS-485 page's next download.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <mutex>

#include "params/parameter_block.h"

class QLineEdit;
class QPushButton;

namespace quillon {

class CRemoteAdjustDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidthDu = 250;
  static constexpr int kHeightDu = 237;
  static constexpr int kGears = 8;
  static constexpr int kTexts = 9;  // the eight gears, then the text for any other value

  explicit CRemoteAdjustDlg(QWidget* parent = nullptr);

  // The block it edits, the mutex its save holds against the dictionary worker, and where it
  // learns which slot the page shows. Set once by the page.
  void SetModel(sModBusPara* model, std::mutex* modelMutex, std::function<int()> currentSlot);

  // Loads the current slot's table into the rows; every opening does.
  void OnInitDialog();
  // Stores the rows into the slot that was loaded and closes the dialog.
  void OnSave();

  // The slot the rows were loaded from.
  int Slot() const { return slot_; }
  QLineEdit* ValueBox(int gear) const { return valueBoxes_[gear]; }
  QLineEdit* TextBox(int entry) const { return textBoxes_[entry]; }
  QPushButton* SaveButton() const { return save_; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Enter closes without storing, as Esc does; only a focused "保存" takes it as a click.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::array<QLineEdit*, kGears> valueBoxes_{};
  std::array<QLineEdit*, kTexts> textBoxes_{};
  QPushButton* save_ = nullptr;
  sModBusPara* model_ = nullptr;
  std::mutex* modelMutex_ = nullptr;
  std::function<int()> currentSlot_;
  int slot_ = 0;
};

}  // namespace quillon
