#include "device/field_transfer.h"

#include <algorithm>
#include <atomic>
#include <string_view>

#include "device/device_rules.h"
#include "text/gbk.h"

namespace quillon {

namespace {

std::string_view KeptText(const NamedField& field, const DeviceParameterBlock& block) {
  return FieldText(reinterpret_cast<const char*>(&block) + field.offset,
                   std::min(field.size, field.textLimit));
}

}  // namespace

bool HoldsAsSent(const NamedField& field, const DeviceParameterBlock& sent,
                 const DeviceParameterBlock& back, bool legacyLineText) {
  if (field.kind != FieldKind::Text) return SameFieldValue(field, sent, back);
  const bool legacy = legacyLineText && field.transfer == FieldTransfer::LineText;
  return LineTextKept(KeptText(field, sent), legacy) == KeptText(field, back);
}

std::string FieldDiffers(const NamedField& field, const DeviceParameterBlock& sent,
                         const DeviceParameterBlock& back) {
  return field.name + ": device has " + FieldValueText(field, back) + ", sent " +
         FieldValueText(field, sent);
}

void MarkEntries(sModBusPara& modbus, const std::vector<uint16_t>& ids, uint8_t* marks) {
  const int count = std::min<int>(modbus.wDictCount, kDictCapacity);
  for (int i = 0; i < count; ++i)
    if (std::find(ids.begin(), ids.end(), modbus.awDictId[i]) != ids.end())
      std::atomic_ref<uint8_t>(marks[i]).store(1);
}

FieldReads ReadsFor(const FieldList& fields, bool legacyLineText, bool download) {
  FieldReads reads;
  for (const NamedField* field : fields) {
    switch (field->transfer) {
      case FieldTransfer::Dictionary:
        reads.ids.push_back(field->id);
        break;
      case FieldTransfer::LineText:
        (legacyLineText ? reads.params : reads.lineTexts) = true;
        break;
      case FieldTransfer::Download:
        reads.params = true;
        break;
    }
  }
  if (download && (reads.params || reads.lineTexts)) {
    reads.params = true;
    reads.lineTexts = !legacyLineText;
  }
  return reads;
}

TransferResult ReadFields(DeviceTransfer& transfer, const FieldReads& reads,
                          DeviceParameterBlock& block) {
  TransferResult result;
  if (reads.params) result = transfer.ReadParams(block.osd);
  if (result.Ok() && reads.lineTexts) result = transfer.ReadCameraTexts(block);
  if (result.Ok() && !reads.ids.empty()) {
    MarkEntries(block.modbus, reads.ids, block.modbus.abyDictRead);
    result = transfer.TransferMarked(block, false);
  }
  return result;
}

}  // namespace quillon
