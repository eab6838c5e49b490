#include "field_transfer.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "apply_plan.h"
#include "batch_apply.h"
#include "command_support.h"
#include "text/gbk.h"

namespace quillon::cli {

namespace {

using Clock = TransferPort::Clock;

// Legacy firmware takes the first 17 bytes of a line text, inside the download frame.
constexpr size_t kLegacyLineTextBytes = 17;

// Marks the index positions of `ids`.
void Mark(sModBusPara& modbus, const std::vector<uint16_t>& ids, uint8_t* marks) {
  const int count = std::min<int>(modbus.wDictCount, kDictCapacity);
  for (int i = 0; i < count; ++i)
    if (std::find(ids.begin(), ids.end(), modbus.awDictId[i]) != ids.end())
      std::atomic_ref<uint8_t>(marks[i]).store(1);
}

std::string_view Text(const DeviceParameterBlock& block, const NamedField& field) {
  return FieldText(reinterpret_cast<const char*>(&block) + field.offset, field.size);
}

// Whether the device, read back, holds what was sent in the field: on legacy firmware a line
// text as far as it travels.
bool Arrived(const NamedField& field, const DeviceParameterBlock& sent,
             const DeviceParameterBlock& back, bool legacy) {
  if (legacy && field.transfer == FieldTransfer::LineText)
    return Text(sent, field).substr(0, kLegacyLineTextBytes) == Text(back, field);
  return SameFieldValue(field, sent, back);
}

}  // namespace

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
    Mark(block.modbus, reads.ids, block.modbus.abyDictRead);
    result = transfer.TransferMarked(block, false);
  }
  return result;
}

SetReport SetOnDevice(TransferPort& port, const FoundDevice& device,
                      const std::vector<FieldValue>& values, const SetSettings& settings,
                      std::optional<uint32_t> staticIp, const TransferProgress& progress) {
  const Clock::time_point start = port.Now();
  SetReport report;
  report.mac = device.Mac();
  report.name = device.record.name;
  report.ip = device.record.IpText();
  report.version = device.record.VersionText();
  const bool legacy = device.LegacyLineText();
  DeviceTransfer transfer(port, device.record.mac, legacy);
  transfer.SetProgress(progress);
  auto finish = [&](const char* step = nullptr, const TransferResult& result = {}) {
    if (step) {
      report.failedStep = step;
      report.error = result.message;
    }
    report.ok = report.failedStep.empty();
    report.retries = transfer.Retries();
    for (const std::string& note : transfer.Notes()) report.notes.push_back(note);
    report.time = std::chrono::duration_cast<std::chrono::milliseconds>(port.Now() - start);
    return report;
  };
  if (device.FirstGeneration() && !settings.forceFirstGeneration) {
    report.failedStep = "firmware";
    report.error = "first-generation firmware " + report.version +
                   " is not served (--force-first-generation serves it all the same)";
    return finish();
  }

  FieldList fields;
  for (const FieldValue& value : values) fields.push_back(value.field);
  const bool download = std::any_of(fields.begin(), fields.end(), [](const NamedField* field) {
    return field->transfer != FieldTransfer::Dictionary;
  });
  std::unique_ptr<DeviceParameterBlock> before = NewDeviceBlock(device);
  if (TransferResult result = ReadFields(transfer, ReadsFor(fields, legacy, download), *before);
      !result.Ok())
    return finish("read", result);

  auto after = std::make_unique<DeviceParameterBlock>(*before);
  for (const FieldValue& value : values) {
    StoreFieldValue(*value.field, value.text, *after);
    if (value.field->name == "network.ip" && staticIp) SetStaticIp(after->osd, *staticIp);
    if (legacy && value.field->transfer == FieldTransfer::LineText &&
        Text(*after, *value.field).size() > kLegacyLineTextBytes)
      report.notes.push_back(value.field->name + ": firmware " + report.version +
                             " takes the first 17 bytes of a line text");
  }
  std::vector<uint16_t> ids;
  bool downloadChanged = false;
  for (const NamedField* field : fields) {
    if (SameFieldValue(*field, *before, *after)) continue;
    report.written.push_back(field->name);
    if (field->transfer == FieldTransfer::Dictionary)
      ids.push_back(field->id);
    else
      downloadChanged = true;
  }

  // The RS-485 entries first: the download restarts the device.
  if (!ids.empty()) {
    Mark(after->modbus, ids, after->modbus.abyDictWrite);
    if (TransferResult result = transfer.TransferMarked(*after, true); !result.Ok())
      return finish("rs485", result);
    report.entries = static_cast<int>(ids.size());
  }
  if (downloadChanged) {
    if (TransferResult result = transfer.Download(*after); !result.Ok())
      return finish("download", result);
    report.downloaded = true;
    if (std::find(report.written.begin(), report.written.end(), "network.ip") !=
        report.written.end())
      report.staticIp = StaticIp(after->osd);
  }

  if (settings.verify) {
    const FieldReads reads = ReadsFor(fields, legacy, false);
    const Clock::time_point deadline = port.Now() + settings.verifyWait;
    for (;;) {
      std::unique_ptr<DeviceParameterBlock> back = NewDeviceBlock(device);
      if (progress) progress("checking", 0);
      const TransferResult result = ReadFields(transfer, reads, *back);
      report.mismatches.clear();
      if (result.Ok()) {
        for (const NamedField* field : fields)
          if (!Arrived(*field, *after, *back, legacy))
            report.mismatches.push_back(field->name + ": device has " +
                                        FieldValueText(*field, *back) + ", sent " +
                                        FieldValueText(*field, *after));
        if (report.mismatches.empty()) {
          report.verified = true;
          break;
        }
      }
      // Only a device that restarts may come back with its old values for a while.
      if (!report.downloaded || port.Now() + kVerifyRetryPause >= deadline) {
        if (result.Ok())
          return finish("verify",
                        {TransferResult::Status::Done, std::to_string(report.mismatches.size()) +
                                                           " field(s) differ from what was sent"});
        report.mismatches.clear();
        return finish("verify", {result.status, "reading back: " + result.message});
      }
      Idle(port, kVerifyRetryPause);
    }
  }
  return finish();
}

}  // namespace quillon::cli
