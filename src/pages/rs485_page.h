// The page under the main window's tab "485参数": the settings of the device's RS-485 port and
// its sixteen acquisition slots, one slot shown at a time. Like every page it keeps no values of
// its own: ParamsToPage and PageToParams copy between the controls and the RS-485 block, and a
// slot change stores the slot being left into the block before the next one is shown. "读取"
// and "下载" only ask the main window for the transfer; the dictionary worker moves the entries.
#pragma once

#include <QWidget>
#include <array>
#include <mutex>
#include <optional>

#include "pages/data_types.h"
#include "pages/remote_adjust_dlg.h"
#include "params/parameter_block.h"
#include "widgets/page_controls.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

class CRs485Page : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidthDu = 331;
  static constexpr int kHeightDu = 435;
  static constexpr int kSlots = 16;

  explicit CRs485Page(QWidget* parent = nullptr);
  ~CRs485Page() override;

  // The block that slot changes and the gear dialog write, and the mutex they hold while they
  // write it, the one the dictionary worker holds while it encodes entries. Set by the main
  // window; without a model a slot change stores nothing.
  void SetModel(sModBusPara* model, std::mutex* modelMutex);

  // Shows the port settings and slot 1, then applies the control states.
  void ParamsToPage(const sModBusPara& modbus);
  // Stores the port settings and the shown slot. The caller holds the model mutex. Before the
  // page was first filled it stores nothing: its empty boxes and lists would overwrite the block
  // with blanks and "no selection" values. With a list that holds what it cannot store
  // (Unmatched) it stores nothing and returns false.
  bool PageToParams(sModBusPara& modbus);
  // The first list of the page that holds typed text that is none of its items.
  std::optional<UnmatchedList> Unmatched() const;
  // Enables and disables the controls for the chosen protocol and data type.
  void UpdateControlStates();

  // The slot whose values the controls show: the one last shown, or slot 16 before any was.
  int CurrentSlot() const { return shownSlot_.value_or(kSlots - 1); }

  QComboBox* ProtocolCombo() const { return protocol_; }
  QLineEdit* PollIntervalBox() const { return pollInterval_; }
  QLineEdit* TimeoutBox() const { return timeout_; }
  QLineEdit* RetryLimitBox() const { return retryLimit_; }
  QComboBox* BaudRateCombo() const { return baudRate_; }
  QComboBox* ParityCombo() const { return parity_; }
  QComboBox* SlotCombo() const { return slot_; }
  QCheckBox* EnableBox() const { return enable_; }
  QComboBox* ChannelCombo() const { return channel_; }
  QLineEdit* SlaveAddrBox() const { return slaveAddr_; }
  QComboBox* FuncCodeCombo() const { return funcCode_; }
  QLineEdit* StartRegBox() const { return startReg_; }
  QLineEdit* RegCountBox() const { return regCount_; }
  QLineEdit* DataOffsetBox() const { return dataOffset_; }
  QComboBox* DataTypeCombo() const { return dataType_; }
  QLineEdit* ScaleABox() const { return scaleA_; }
  QLineEdit* OffsetBBox() const { return offsetB_; }
  QLineEdit* DataBitsBox() const { return dataBits_; }
  QPushButton* RemoteAdjustButton() const { return remoteAdjust_; }
  QComboBox* DecimalsCombo() const { return decimals_; }
  QLineEdit* NameBox() const { return name_; }
  QLineEdit* UnitBox() const { return unit_; }
  QLineEdit* AlarmValueBox() const { return alarmValue_; }
  QLineEdit* AlarmTextBox() const { return alarmText_; }
  QLineEdit* NormalTextBox() const { return normalText_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* DownloadButton() const { return download_; }
  // The control that a state rule names.
  QWidget* Control(Rs485Control control) const { return controls_[static_cast<int>(control)]; }
  CRemoteAdjustDlg& RemoteAdjustDialog() { return m_dlgRemoteAdjust; }

 signals:
  // "读取" was clicked; the main window runs the RS-485 read.
  void readRequested();
  // "下载" was clicked; the main window runs the RS-485 download.
  void downloadRequested();
  // Leaving a slot stored nothing because one of its lists holds what it cannot store; the
  // slot stays shown and the main window tells the user.
  void listRefused(const UnmatchedList& list);

 private:
  void BuildControls();
  void ShowSlot(const sSlotPara& slot);
  void StoreSlot(sSlotPara& slot) const;
  void OnSlotChanged(int index);
  void OnRemoteAdjust();
  void OnProtocolOrTypeChanged();

  // The gear dialog, a window of its own without a parent, lives as long as the page.
  CRemoteAdjustDlg m_dlgRemoteAdjust;
  sModBusPara* model_ = nullptr;
  std::mutex* modelMutex_ = nullptr;
  std::optional<int> shownSlot_;
  bool filled_ = false;

  QComboBox* protocol_ = nullptr;
  QLineEdit* pollInterval_ = nullptr;
  QLineEdit* timeout_ = nullptr;
  QLineEdit* retryLimit_ = nullptr;
  QComboBox* baudRate_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* slot_ = nullptr;
  QLabel* slotIcon_ = nullptr;
  QCheckBox* enable_ = nullptr;
  QComboBox* channel_ = nullptr;
  QLineEdit* slaveAddr_ = nullptr;
  QComboBox* funcCode_ = nullptr;
  QLineEdit* startReg_ = nullptr;
  QLineEdit* regCount_ = nullptr;
  QLineEdit* dataOffset_ = nullptr;
  QComboBox* dataType_ = nullptr;
  QLineEdit* scaleA_ = nullptr;
  QLineEdit* offsetB_ = nullptr;
  QLineEdit* dataBits_ = nullptr;
  QPushButton* remoteAdjust_ = nullptr;
  QComboBox* decimals_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* unit_ = nullptr;
  QLineEdit* alarmValue_ = nullptr;
  QLineEdit* alarmText_ = nullptr;
  QLineEdit* normalText_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* download_ = nullptr;
  std::array<QWidget*, kRs485ControlCount> controls_{};
};

}  // namespace quillon
