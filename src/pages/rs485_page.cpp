#include "pages/rs485_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "pages/slot_boxes.h"
#include "widgets/dialog_units.h"
#include "widgets/page_controls.h"

namespace quillon {

namespace {

// dwBaudRate by list index; a rate not in the table shows as the first item.
constexpr uint32_t kBaudRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr uint32_t kBaudRateOfNoSelection = 4800;

constexpr uint8_t kFuncCodes[] = {3, 4};  // "03", "04"

// Text limits in bytes. The same when a slot is left as when the page is downloaded, so that
// looking at another slot never shortens what was typed.
constexpr size_t kNameLimit = 30;
constexpr size_t kUnitLimit = 8;
constexpr size_t kSwitchTextLimit = 10;

int BaudIndex(uint32_t rate) {
  for (int i = 0; i < static_cast<int>(std::size(kBaudRates)); ++i)
    if (kBaudRates[i] == rate) return i;
  return 0;
}

// A stored value as a list index; values beyond every list leave it without a selection.
int ListIndex(uint32_t value) {
  return value <= static_cast<uint32_t>(std::numeric_limits<int>::max()) ? static_cast<int>(value)
                                                                         : -1;
}

std::optional<int> Selection(const QComboBox* combo) {
  const int index = ComboSelection(combo);
  return index < 0 ? std::nullopt : std::optional<int>(index);
}

QComboBox* MakeList(QWidget* parent, const DialogUnits& du, QLabel* label, int x, int y, int cx,
                    int listHeightDu, std::initializer_list<const char*> items) {
  QComboBox* combo = MakeCombo(parent, du, label->text(), x, y, cx, listHeightDu);
  for (const char* item : items) combo->addItem(QString::fromUtf8(item));
  SetComboSelection(combo, -1);
  LinkLabel(label, combo);
  return combo;
}

QLineEdit* MakeBox(QWidget* parent, const DialogUnits& du, QLabel* label, int x, int y, int cx) {
  QLineEdit* box = MakeEdit(parent, du, label->text(), x, y, cx, 14);
  LinkLabel(label, box);
  return box;
}

}  // namespace

CRs485Page::CRs485Page(QWidget* parent) : QWidget(parent) {
  setFont(DialogFont());
  resize(DialogFontUnits().Size(kWidthDu, kHeightDu));
  BuildControls();
  m_dlgRemoteAdjust.SetModel(nullptr, nullptr, [this] { return CurrentSlot(); });
}

CRs485Page::~CRs485Page() = default;

void CRs485Page::BuildControls() {
  const DialogUnits& du = DialogFontUnits();
  auto label = [&](const char* text, int x, int y, int cx) {
    return MakeLabel(this, du, QString::fromUtf8(text), x, y, cx, 8);
  };

  // The port, made in the tab order of the page; the slot controls follow inside their group.
  protocol_ = MakeList(this, du, label("485口通信协议：", 10, 12, 66), 80, 9, 96, 40,
                       {"内部规约", "标准ModBus规约"});
  pollInterval_ = MakeBox(this, du, label("485轮询间隔：", 10, 31, 66), 80, 28, 44);
  label("100-65535ms", 128, 31, 48);
  timeout_ = MakeBox(this, du, label("485超时时间：", 10, 50, 66), 80, 47, 44);
  label("100-65535ms", 128, 50, 48);
  retryLimit_ = MakeBox(this, du, label("485通信容错次数：", 10, 69, 66), 80, 66, 44);
  label("1-65535次", 128, 69, 48);
  baudRate_ = MakeList(this, du, label("485通信波特率：", 186, 31, 62), 250, 28, 70, 80,
                       {"2400", "4800", "9600", "19200", "38400", "57600", "115200"});
  parity_ = MakeList(this, du, label("奇偶校验：", 186, 50, 62), 250, 47, 70, 50,
                     {"无校验", "奇校验", "偶校验"});

  QLabel* slotLabel = label("485槽位编号：", 10, 92, 66);
  slot_ = MakeCombo(this, du, slotLabel->text(), 80, 89, 56, 100);
  LinkLabel(slotLabel, slot_);
  slotIcon_ = new QLabel(this);
  slotIcon_->setPixmap(QPixmap(QStringLiteral(":/rs485-slot.png")));
  slotIcon_->setAlignment(Qt::AlignCenter);
  du.Place(slotIcon_, 142, 87, 20, 18);

  auto* group = new QGroupBox(this);
  du.Place(group, 7, 110, 317, 262);
  group->lower();

  enable_ = new QCheckBox(QStringLiteral("485槽位启用"), this);
  enable_->setAccessibleName(enable_->text());
  du.Place(enable_, 16, 123, 64, 10);
  channel_ = MakeList(this, du, label("视频通道显示位置：", 114, 124, 70), 186, 121, 56, 80,
                      {"通道1", "通道2", "通道3", "通道4", "通道5", "通道6", "通道7", "通道8"});

  // The four boxes of a Modbus read request, in the order of its fields.
  QLabel* slaveLabel = label("从站地址", 16, 144, 32);
  QLabel* funcLabel = label("功能码", 84, 144, 26);
  QLabel* startLabel = label("起始寄存器地址", 128, 144, 56);
  QLabel* countLabel = label("寄存器数量", 214, 144, 40);
  slaveAddr_ = MakeBox(this, du, slaveLabel, 16, 154, 32);
  label("十进制", 50, 157, 24);
  label("+", 76, 157, 6);
  funcCode_ = MakeList(this, du, funcLabel, 84, 154, 34, 30, {"03", "04"});
  label("+", 120, 157, 6);
  startReg_ = MakeBox(this, du, startLabel, 128, 154, 40);
  label("十进制", 170, 157, 24);
  label("+", 206, 157, 6);
  regCount_ = MakeBox(this, du, countLabel, 214, 154, 32);
  label("十进制", 248, 157, 24);

  dataOffset_ = MakeBox(this, du, label("数据寄存器偏移：", 16, 179, 62), 80, 176, 44);
  label("十进制", 128, 179, 24);
  dataType_ = MakeCombo(this, du, QStringLiteral("数据类型："), 80, 195, 150, 140);
  for (const char* name : kDataTypeNames) dataType_->addItem(QString::fromUtf8(name));
  SetComboSelection(dataType_, -1);
  LinkLabel(label("数据类型：", 16, 198, 62), dataType_);

  QLabel* formula = label("输出 =  A*X + B", 16, 217, 62);
  scaleA_ = MakeBox(this, du, label("A:", 80, 217, 10), 92, 214, 56);
  offsetB_ = MakeBox(this, du, label("B:", 158, 217, 10), 170, 214, 56);
  formula->setBuddy(scaleA_);

  dataBits_ = MakeBox(this, du, label("数据位数：", 16, 236, 62), 80, 233, 44);
  remoteAdjust_ = new QPushButton(QStringLiteral("遥调参数设置"), this);
  remoteAdjust_->setAccessibleName(remoteAdjust_->text());
  du.Place(remoteAdjust_, 170, 232, 64, 16);
  decimals_ = MakeList(this, du, label("数据小数点位数：", 16, 255, 62), 80, 252, 44, 50,
                       {"0", "1", "2", "3"});

  name_ = MakeBox(this, du, label("485槽位名称：", 16, 274, 62), 80, 271, 146);
  unit_ = MakeBox(this, du, label("485槽位单位：", 16, 293, 62), 80, 290, 56);
  alarmValue_ = MakeBox(this, du, label("开关量报警数值：", 16, 312, 62), 80, 309, 56);
  alarmText_ = MakeBox(this, du, label("报警显示内容：", 16, 331, 62), 80, 328, 76);
  normalText_ = MakeBox(this, du, label("正常显示内容：", 16, 350, 62), 80, 347, 76);

  read_ = new QPushButton(QStringLiteral("读取"), this);
  download_ = new QPushButton(QStringLiteral("下载"), this);
  for (QPushButton* button : {read_, download_}) button->setAccessibleName(button->text());
  du.Place(read_, 90, 384, 60, 20);
  du.Place(download_, 180, 384, 60, 20);

  for (int k = 1; k <= kSlots; ++k) slot_->addItem(QStringLiteral("槽位%1").arg(k));
  SetComboSelection(slot_, -1);

  using enum Rs485Control;
  const std::pair<Rs485Control, QWidget*> controls[] = {
      {PollInterval, pollInterval_},
      {Timeout, timeout_},
      {RetryLimit, retryLimit_},
      {BaudRate, baudRate_},
      {Parity, parity_},
      {SlotSelector, slot_},
      {Enable, enable_},
      {Channel, channel_},
      {SlaveAddr, slaveAddr_},
      {FuncCode, funcCode_},
      {StartReg, startReg_},
      {RegCount, regCount_},
      {DataOffset, dataOffset_},
      {DataType, dataType_},
      {ScaleA, scaleA_},
      {OffsetB, offsetB_},
      {Decimals, decimals_},
      {RemoteAdjust, remoteAdjust_},
      {Name, name_},
      {Unit, unit_},
      {DataBits, dataBits_},
      {AlarmValue, alarmValue_},
      {AlarmText, alarmText_},
      {NormalText, normalText_},
  };
  for (const auto& [control, widget] : controls) controls_[static_cast<int>(control)] = widget;

  // A user's choice in a list, not the page's own selections while it shows the block.
  connect(slot_, &QComboBox::activated, this, &CRs485Page::OnSlotChanged);
  connect(protocol_, &QComboBox::activated, this, &CRs485Page::OnProtocolOrTypeChanged);
  connect(dataType_, &QComboBox::activated, this, &CRs485Page::OnProtocolOrTypeChanged);
  // Text typed into either list that is none of its items leaves it without a selection.
  for (QComboBox* list : {protocol_, dataType_})
    connect(list->lineEdit(), &QLineEdit::textEdited, this, &CRs485Page::OnProtocolOrTypeChanged);
  connect(remoteAdjust_, &QPushButton::clicked, this, &CRs485Page::OnRemoteAdjust);
  connect(read_, &QPushButton::clicked, this, &CRs485Page::readRequested);
  connect(download_, &QPushButton::clicked, this, &CRs485Page::downloadRequested);
}

void CRs485Page::SetModel(sModBusPara* model, std::mutex* modelMutex) {
  model_ = model;
  modelMutex_ = modelMutex;
  m_dlgRemoteAdjust.SetModel(model, modelMutex, [this] { return CurrentSlot(); });
}

void CRs485Page::ParamsToPage(const sModBusPara& modbus) {
  SetComboSelection(protocol_, modbus.byProtocol);
  IntegerToBox(pollInterval_, modbus.wPollInterval);
  IntegerToBox(timeout_, modbus.wTimeout);
  IntegerToBox(retryLimit_, modbus.wRetryLimit);
  SetComboSelection(baudRate_, BaudIndex(modbus.dwBaudRate));
  SetComboSelection(parity_, modbus.byParity);
  SetComboSelection(slot_, 0);
  shownSlot_ = 0;
  ShowSlot(modbus.asSlot[0]);
  UpdateControlStates();
  filled_ = true;
}

std::optional<UnmatchedList> CRs485Page::Unmatched() const {
  return FindUnmatchedList(
      {protocol_, baudRate_, parity_, channel_, funcCode_, dataType_, decimals_});
}

bool CRs485Page::PageToParams(sModBusPara& modbus) {
  if (!filled_) return true;
  if (Unmatched()) return false;
  modbus.byProtocol = static_cast<uint8_t>(ComboSelection(protocol_));  // none: 255
  modbus.wPollInterval = static_cast<uint16_t>(BoxToInteger(pollInterval_));
  modbus.wTimeout = static_cast<uint16_t>(BoxToInteger(timeout_));
  modbus.wRetryLimit = static_cast<uint16_t>(BoxToInteger(retryLimit_));
  const int baud = ComboSelection(baudRate_);
  modbus.dwBaudRate = baud >= 0 ? kBaudRates[baud] : kBaudRateOfNoSelection;
  modbus.byParity = static_cast<uint8_t>(ComboSelection(parity_));
  StoreSlot(modbus.asSlot[CurrentSlot()]);
  return true;
}

void CRs485Page::ShowSlot(const sSlotPara& slot) {
  enable_->setChecked(slot.byEnable != 0);
  SetComboSelection(channel_, slot.byChannel);
  IntegerToBox(slaveAddr_, slot.bySlaveAddr);
  SetComboSelection(funcCode_, slot.byFuncCode == kFuncCodes[1] ? 1 : 0);
  IntegerToBox(startReg_, slot.wStartReg);
  IntegerToBox(regCount_, slot.wRegCount);
  IntegerToBox(dataOffset_, slot.wDataOffset);
  SetComboSelection(dataType_, ListIndex(slot.dwDataType));
  SetComboSelection(decimals_, slot.byDecimals);
  RealToBox(scaleA_, slot.fScaleA);
  RealToBox(offsetB_, slot.fOffsetB);
  TextFieldToBox(name_, slot.szName, sizeof slot.szName);
  TextFieldToBox(unit_, slot.szUnit, sizeof slot.szUnit);
  IntegerToBox(dataBits_, slot.byDataBits);
  RealToBox(alarmValue_, slot.fAlarmValue);
  TextFieldToBox(alarmText_, slot.szAlarmText, sizeof slot.szAlarmText);
  TextFieldToBox(normalText_, slot.szNormalText, sizeof slot.szNormalText);
}

void CRs485Page::StoreSlot(sSlotPara& slot) const {
  // A list without a selection stores all bits set: 255, or 0xFFFFFFFF for the data type.
  slot.byEnable = enable_->isChecked() ? 1 : 0;
  slot.byChannel = static_cast<uint8_t>(ComboSelection(channel_));
  slot.bySlaveAddr = static_cast<uint8_t>(BoxToInteger(slaveAddr_));
  slot.byFuncCode = ComboSelection(funcCode_) == 0 ? kFuncCodes[0] : kFuncCodes[1];
  slot.wStartReg = static_cast<uint16_t>(BoxToInteger(startReg_));
  slot.wRegCount = static_cast<uint16_t>(BoxToInteger(regCount_));
  slot.wDataOffset = static_cast<uint16_t>(BoxToInteger(dataOffset_));
  slot.dwDataType = static_cast<uint32_t>(ComboSelection(dataType_));
  slot.byDecimals = static_cast<uint8_t>(ComboSelection(decimals_));
  slot.fScaleA = BoxToReal(scaleA_);
  slot.fOffsetB = BoxToReal(offsetB_);
  BoxToTextField(name_, slot.szName, sizeof slot.szName, kNameLimit);
  BoxToTextField(unit_, slot.szUnit, sizeof slot.szUnit, kUnitLimit);
  BoxToTextField(alarmText_, slot.szAlarmText, sizeof slot.szAlarmText, kSwitchTextLimit);
  BoxToTextField(normalText_, slot.szNormalText, sizeof slot.szNormalText, kSwitchTextLimit);
  slot.fAlarmValue = BoxToReal(alarmValue_);
  slot.byDataBits = static_cast<uint8_t>(BoxToInteger(dataBits_));
}

void CRs485Page::OnSlotChanged(int index) {
  if (index < 0 || index >= kSlots) return;
  // The slot being left is the one the page remembers showing, whatever the selector's edit
  // field has been made to say.
  if (model_ && shownSlot_) {
    if (const std::optional<UnmatchedList> list =
            FindUnmatchedList({channel_, funcCode_, dataType_, decimals_})) {
      // The slot being left keeps its values on the page until the list is put right.
      SetComboSelection(slot_, *shownSlot_);
      emit listRefused(*list);
      return;
    }
    std::unique_lock<std::mutex> lock;
    if (modelMutex_) lock = std::unique_lock(*modelMutex_);
    StoreSlot(model_->asSlot[*shownSlot_]);
  }
  SetComboSelection(slot_, index);
  shownSlot_ = index;
  if (model_) ShowSlot(model_->asSlot[index]);
  UpdateControlStates();
}

void CRs485Page::UpdateControlStates() {
  const ControlSet enabled = EnabledControls(Selection(protocol_), Selection(dataType_));
  for (int c = 0; c < kRs485ControlCount; ++c)
    controls_[c]->setEnabled(enabled.Has(static_cast<Rs485Control>(c)));
}

void CRs485Page::OnProtocolOrTypeChanged() { UpdateControlStates(); }

void CRs485Page::OnRemoteAdjust() { m_dlgRemoteAdjust.exec(); }

}  // namespace quillon
