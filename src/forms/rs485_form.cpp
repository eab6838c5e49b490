#include "forms/rs485_form.h"

#include <array>
#include <limits>

#include "forms/dialog_layout.h"
#include "text/number_text.h"

namespace quillon {

namespace {

// The slot selector's items, "槽位1" to "槽位16"; the value is the slot's index.
const std::array<ListItem, Rs485Form::kSlots>& SlotItems() {
  static const std::array<std::string, Rs485Form::kSlots> labels = [] {
    std::array<std::string, Rs485Form::kSlots> l;
    for (int k = 0; k < Rs485Form::kSlots; ++k) l[k] = "槽位" + std::to_string(k + 1);
    return l;
  }();
  static const std::array<ListItem, Rs485Form::kSlots> items = [] {
    std::array<ListItem, Rs485Form::kSlots> i{};
    for (int k = 0; k < Rs485Form::kSlots; ++k)
      i[k] = {labels[k].c_str(), static_cast<uint32_t>(k)};
    return i;
  }();
  return items;
}

const std::string& NameOf(int id) { return Rs485PageLayout().Control(id).name; }

// A stored value as a list index; values beyond every list leave it without a selection.
int ListIndex(uint32_t value) {
  return value <= static_cast<uint32_t>(std::numeric_limits<int>::max()) ? static_cast<int>(value)
                                                                         : -1;
}

std::string Integer(uint32_t value) { return FormatUnsigned(value); }
int32_t IntegerOf(const std::string& text) { return ParseSignedDecimal(text); }

constexpr std::pair<Rs485Control, int> kControlIds[] = {
    {Rs485Control::PollInterval, IDC_RS485_POLL_INTERVAL},
    {Rs485Control::Timeout, IDC_RS485_TIMEOUT},
    {Rs485Control::RetryLimit, IDC_RS485_RETRY_LIMIT},
    {Rs485Control::BaudRate, IDC_RS485_BAUD_RATE},
    {Rs485Control::Parity, IDC_RS485_PARITY},
    {Rs485Control::SlotSelector, IDC_RS485_SLOT},
    {Rs485Control::Enable, IDC_SLOT_ENABLE},
    {Rs485Control::Channel, IDC_SLOT_CHANNEL},
    {Rs485Control::SlaveAddr, IDC_SLOT_SLAVE_ADDR},
    {Rs485Control::FuncCode, IDC_SLOT_FUNC_CODE},
    {Rs485Control::StartReg, IDC_SLOT_START_REG},
    {Rs485Control::RegCount, IDC_SLOT_REG_COUNT},
    {Rs485Control::DataOffset, IDC_SLOT_DATA_OFFSET},
    {Rs485Control::DataType, IDC_SLOT_DATA_TYPE},
    {Rs485Control::ScaleA, IDC_SLOT_SCALE_A},
    {Rs485Control::OffsetB, IDC_SLOT_OFFSET_B},
    {Rs485Control::Decimals, IDC_SLOT_DECIMALS},
    {Rs485Control::RemoteAdjust, IDC_SLOT_REMOTE_ADJUST},
    {Rs485Control::Name, IDC_SLOT_NAME},
    {Rs485Control::Unit, IDC_SLOT_UNIT},
    {Rs485Control::DataBits, IDC_SLOT_DATA_BITS},
    {Rs485Control::AlarmValue, IDC_SLOT_ALARM_VALUE},
    {Rs485Control::AlarmText, IDC_SLOT_ALARM_TEXT},
    {Rs485Control::NormalText, IDC_SLOT_NORMAL_TEXT},
};
static_assert(std::size(kControlIds) == kRs485ControlCount);

}  // namespace

int Rs485ControlId(Rs485Control control) {
  for (const auto& [c, id] : kControlIds)
    if (c == control) return id;
  return kStaticId;
}

Rs485Form::Rs485Form()
    : protocol(NameOf(IDC_RS485_PROTOCOL), kProtocols),
      baudRate(NameOf(IDC_RS485_BAUD_RATE), kBaudRates),
      parity(NameOf(IDC_RS485_PARITY), kParities),
      slot(NameOf(IDC_RS485_SLOT), SlotItems()),
      channel(NameOf(IDC_SLOT_CHANNEL), kChannels),
      funcCode(NameOf(IDC_SLOT_FUNC_CODE), kFunctionCodes),
      dataType(NameOf(IDC_SLOT_DATA_TYPE), kDataTypes),
      decimals(NameOf(IDC_SLOT_DECIMALS), kDecimals) {}

void Rs485Form::Fill(const sModBusPara& modbus) {
  protocol.Select(modbus.byProtocol);
  pollInterval = Integer(modbus.wPollInterval);
  timeout = Integer(modbus.wTimeout);
  retryLimit = Integer(modbus.wRetryLimit);
  // A rate not in the table shows as the first item.
  baudRate.SelectValue(modbus.dwBaudRate);
  if (baudRate.Selected() < 0) baudRate.Select(0);
  parity.Select(modbus.byParity);
  slot.Select(0);
  shownSlot_ = 0;
  ShowSlot(modbus.asSlot[0]);
  UpdateControlStates();
  filled_ = true;
}

std::optional<RefusedList> Rs485Form::Refusal() const {
  for (const ListChoice* list :
       {&protocol, &baudRate, &parity, &channel, &funcCode, &dataType, &decimals})
    if (std::optional<RefusedList> refused = list->Refusal()) return refused;
  return std::nullopt;
}

std::optional<RefusedList> Rs485Form::Store(sModBusPara& modbus) {
  if (!filled_) return std::nullopt;
  if (std::optional<RefusedList> refused = Refusal()) return refused;
  modbus.byProtocol = static_cast<uint8_t>(protocol.Value(255));
  modbus.wPollInterval = static_cast<uint16_t>(IntegerOf(pollInterval));
  modbus.wTimeout = static_cast<uint16_t>(IntegerOf(timeout));
  modbus.wRetryLimit = static_cast<uint16_t>(IntegerOf(retryLimit));
  modbus.dwBaudRate = baudRate.Value(kBaudRateOfNoSelection);
  modbus.byParity = static_cast<uint8_t>(parity.Value(255));
  StoreSlot(modbus.asSlot[CurrentSlot()]);
  return std::nullopt;
}

void Rs485Form::ShowSlot(const sSlotPara& s) {
  enable = s.byEnable != 0;
  channel.Select(s.byChannel);
  slaveAddr = Integer(s.bySlaveAddr);
  // A function code other than 4 shows as "03".
  funcCode.Select(s.byFuncCode == kFunctionCodes[1].value ? 1 : 0);
  startReg = Integer(s.wStartReg);
  regCount = Integer(s.wRegCount);
  dataOffset = Integer(s.wDataOffset);
  dataType.Select(ListIndex(s.dwDataType));
  decimals.Select(s.byDecimals);
  scaleA = FormatReal(s.fScaleA);
  offsetB = FormatReal(s.fOffsetB);
  name.Show(s.szName, sizeof s.szName);
  unit.Show(s.szUnit, sizeof s.szUnit);
  dataBits = Integer(s.byDataBits);
  alarmValue = FormatReal(s.fAlarmValue);
  alarmText.Show(s.szAlarmText, sizeof s.szAlarmText);
  normalText.Show(s.szNormalText, sizeof s.szNormalText);
}

void Rs485Form::StoreSlot(sSlotPara& s) const {
  // A list without a selection stores all bits set: 255, or 0xFFFFFFFF for the data type; the
  // function code is 3 only for the first item.
  s.byEnable = enable ? 1 : 0;
  s.byChannel = static_cast<uint8_t>(channel.Value(255));
  s.bySlaveAddr = static_cast<uint8_t>(IntegerOf(slaveAddr));
  s.byFuncCode = static_cast<uint8_t>(funcCode.Choice() == 0 ? kFunctionCodes[0].value
                                                             : kFunctionCodes[1].value);
  s.wStartReg = static_cast<uint16_t>(IntegerOf(startReg));
  s.wRegCount = static_cast<uint16_t>(IntegerOf(regCount));
  s.wDataOffset = static_cast<uint16_t>(IntegerOf(dataOffset));
  s.dwDataType = dataType.Value(0xFFFFFFFF);
  s.byDecimals = static_cast<uint8_t>(decimals.Value(255));
  s.fScaleA = ParseReal(scaleA);
  s.fOffsetB = ParseReal(offsetB);
  // The same limits when a slot is left as when the page is downloaded, so that looking at
  // another slot never shortens what was typed.
  name.Store(s.szName, sizeof s.szName, kSlotNameLimit);
  unit.Store(s.szUnit, sizeof s.szUnit, kSlotUnitLimit);
  alarmText.Store(s.szAlarmText, sizeof s.szAlarmText, kSwitchTextLimit);
  normalText.Store(s.szNormalText, sizeof s.szNormalText, kSwitchTextLimit);
  s.fAlarmValue = ParseReal(alarmValue);
  s.byDataBits = static_cast<uint8_t>(IntegerOf(dataBits));
}

std::optional<RefusedList> Rs485Form::ChangeSlot(int index, sModBusPara& modbus) {
  if (index < 0 || index >= kSlots) return std::nullopt;
  // The slot being left is the one the form remembers showing, whatever the selector's edit
  // field has been made to say.
  if (shownSlot_) {
    for (const ListChoice* list : {&channel, &funcCode, &dataType, &decimals}) {
      if (std::optional<RefusedList> refused = list->Refusal()) {
        // The slot being left keeps its values until the list is put right.
        slot.Select(*shownSlot_);
        return refused;
      }
    }
    StoreSlot(modbus.asSlot[*shownSlot_]);
  }
  slot.Select(index);
  shownSlot_ = index;
  ShowSlot(modbus.asSlot[index]);
  UpdateControlStates();
  return std::nullopt;
}

void Rs485Form::UpdateControlStates() {
  enabled_ = EnabledControls(protocol.Choice(), dataType.Choice());
}

bool Rs485Form::Enabled(int id) const {
  for (const auto& [control, controlId] : kControlIds)
    if (controlId == id) return enabled_.Has(control);
  return true;
}

FormControls Rs485Form::Controls() {
  return {
      {IDC_RS485_PROTOCOL, &protocol},
      {IDC_RS485_POLL_INTERVAL, &pollInterval},
      {IDC_RS485_TIMEOUT, &timeout},
      {IDC_RS485_RETRY_LIMIT, &retryLimit},
      {IDC_RS485_BAUD_RATE, &baudRate},
      {IDC_RS485_PARITY, &parity},
      {IDC_RS485_SLOT, &slot},
      {IDC_SLOT_ENABLE, &enable},
      {IDC_SLOT_CHANNEL, &channel},
      {IDC_SLOT_SLAVE_ADDR, &slaveAddr},
      {IDC_SLOT_FUNC_CODE, &funcCode},
      {IDC_SLOT_START_REG, &startReg},
      {IDC_SLOT_REG_COUNT, &regCount},
      {IDC_SLOT_DATA_OFFSET, &dataOffset},
      {IDC_SLOT_DATA_TYPE, &dataType},
      {IDC_SLOT_SCALE_A, &scaleA},
      {IDC_SLOT_OFFSET_B, &offsetB},
      {IDC_SLOT_DATA_BITS, &dataBits},
      {IDC_SLOT_DECIMALS, &decimals},
      {IDC_SLOT_NAME, &name},
      {IDC_SLOT_UNIT, &unit},
      {IDC_SLOT_ALARM_VALUE, &alarmValue},
      {IDC_SLOT_ALARM_TEXT, &alarmText},
      {IDC_SLOT_NORMAL_TEXT, &normalText},
  };
}

}  // namespace quillon
