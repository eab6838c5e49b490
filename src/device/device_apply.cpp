#include "device/device_apply.h"

#include <cstddef>
#include <cstring>
#include <map>
#include <memory>

#include "device/field_transfer.h"
#include "params/dictionary.h"
#include "params/field_table.h"
#include "text/ipv4_text.h"

namespace quillon {

namespace {

constexpr size_t kSettingsAndSlots = offsetof(sModBusPara, awDictId);

// The part of the file a field of the network or the cameras belongs to.
unsigned PartOf(const NamedField& field) {
  return field.name.starts_with("network.") ? kNetworkPart : kCamerasPart;
}

// An RS-485 entry that the field table does not name, for a report.
std::string EntryName(uint16_t id) {
  const std::optional<FieldLocation> where = LocateField(id);
  std::string name = "RS-485 entry " + std::to_string(id);
  if (!where) return name;
  const size_t modbus = where->offset - offsetof(DeviceParameterBlock, modbus);
  const size_t slots = offsetof(sModBusPara, asSlot);
  if (modbus < slots) return name + " (settings)";
  return name + " (slot " + std::to_string((modbus - slots) / sizeof(sSlotPara) + 1) + ")";
}

std::string Hex(const uint8_t* bytes, size_t length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  return text.empty() ? "nothing" : text;
}

// The field an RS-485 entry carries, or nullptr.
const NamedField* FieldOfEntry(uint16_t id) {
  static const std::map<uint16_t, const NamedField*> byId = [] {
    std::map<uint16_t, const NamedField*> map;
    for (const NamedField& field : FieldTable())
      if (field.transfer == FieldTransfer::Dictionary) map[field.id] = &field;
    return map;
  }();
  const auto found = byId.find(id);
  return found == byId.end() ? nullptr : found->second;
}

void CompareRs485(const DeviceParameterBlock& sent, const DeviceParameterBlock& device,
                  std::vector<std::string>& out) {
  // What the device should give back is what a read of the sent entry stores: the value as it
  // travelled, texts terminated at their last byte. That is compared entry by entry, as the
  // device answers it, for every entry of the program's index, whatever bookkeeping the blocks
  // carry.
  auto stored = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*stored);
  BuildDictionaryIndex(stored->modbus);
  const std::vector<uint16_t> ids(stored->modbus.awDictId,
                                  stored->modbus.awDictId + stored->modbus.wDictCount);
  uint8_t entry[kMaxEntrySize], expected[kMaxEntrySize], actual[kMaxEntrySize];
  for (const uint16_t id : ids) {
    const size_t size = EncodeEntry(sent, id, entry);
    StoreEntry(*stored, id, entry + 3, size - 3);
    const size_t expectedSize = EncodeEntry(*stored, id, expected);
    const size_t actualSize = EncodeEntry(device, id, actual);
    if (expectedSize == actualSize && std::memcmp(expected, actual, expectedSize) == 0) continue;
    if (const NamedField* field = FieldOfEntry(id))
      out.push_back(FieldDiffers(*field, *stored, device));
    else
      out.push_back(EntryName(id) + ": device has " + Hex(actual + 3, actualSize - 3) + ", sent " +
                    Hex(expected + 3, expectedSize - 3));
  }
}

// Reads back what the chosen parts cover into `back`.
TransferResult ReadBack(DeviceTransfer& transfer, DeviceParameterBlock& back, unsigned parts,
                        bool legacy) {
  TransferResult result = transfer.ReadParams(back.osd);
  if (result.Ok() && (parts & kCamerasPart) && !legacy) result = transfer.ReadCameraTexts(back);
  if (result.Ok() && (parts & kRs485Part)) result = transfer.ReadRs485(back);
  return result;
}

void ApplyFile(const DeviceJob& job, const ParamImages& file, const ApplySettings& settings,
               std::optional<uint32_t> staticIp, DeviceOutcome& outcome) {
  const FoundDevice& device = job.device;
  DeviceTransfer& transfer = job.transfer;
  const bool legacy = device.LegacyLineText();
  const unsigned parts = settings.parts;
  const bool download = (parts & (kNetworkPart | kCamerasPart)) != 0;

  // What the device holds now: the parts that are not applied go back to it unchanged.
  std::unique_ptr<DeviceParameterBlock> block = NewDeviceBlock(device);
  TransferResult result = transfer.ReadParams(block->osd);
  if (result.Ok() && download && !legacy) result = transfer.ReadCameraTexts(*block);
  if (!result.Ok()) return outcome.Fail("read", result);

  ApplyParts(file, parts, *block);
  if ((parts & kNetworkPart) && staticIp) Ipv4ToBytes(*staticIp, block->osd.abyIP);

  // The RS-485 entries first: the download restarts the device.
  if (parts & kRs485Part) {
    if (result = transfer.WriteRs485(*block); !result.Ok()) return outcome.Fail("rs485", result);
    outcome.writtenParts |= kRs485Part;
    outcome.rs485Entries = block->modbus.wDictCount;
  }
  if (download) {
    const int acknowledgedBefore = transfer.TextFramesAcknowledged();
    result = transfer.Download(*block);
    outcome.lineTextFrames = transfer.TextFramesSent();
    outcome.lineTextFramesAcknowledged = transfer.TextFramesAcknowledged() - acknowledgedBefore;
    if (!result.Ok()) return outcome.Fail("download", result);
    outcome.downloaded = true;
    outcome.writtenParts |= parts & (kNetworkPart | kCamerasPart);
    if (parts & kNetworkPart) outcome.staticIp = Ipv4FromBytes(block->osd.abyIP);
  }
  if (settings.verify)
    VerifyDevice(job, outcome, settings.verifyWait, [&](std::vector<std::string>& out) {
      std::unique_ptr<DeviceParameterBlock> back = NewDeviceBlock(device);
      const TransferResult read = ReadBack(transfer, *back, parts, legacy);
      if (read.Ok()) out = CompareApplied(*block, *back, parts, legacy);
      return read;
    });
}

}  // namespace

void ApplyParts(const ParamImages& file, unsigned parts, DeviceParameterBlock& block) {
  sOSDCommPara& osd = block.osd;
  if (parts & kNetworkPart) {
    osd.byDHCP = file.osd.byDHCP;
    std::memcpy(osd.abyIP, file.osd.abyIP, 4);
    std::memcpy(osd.abyGateway, file.osd.abyGateway, 4);
    std::memcpy(osd.abyNetMask, file.osd.abyNetMask, 4);
    std::memcpy(osd.abyUpgradeIP, file.osd.abyUpgradeIP, 4);
    osd.wUpgradeSrcPort = file.osd.wUpgradeSrcPort;
    osd.wUpgradeDstPort = file.osd.wUpgradeDstPort;
  }
  if (parts & kCamerasPart) std::memcpy(osd.asCamera, file.osd.asCamera, sizeof osd.asCamera);
  if (parts & kRs485Part) std::memcpy(&block.modbus, &file.modbus, kSettingsAndSlots);
}

std::vector<std::string> CompareApplied(const DeviceParameterBlock& sent,
                                        const DeviceParameterBlock& device, unsigned parts,
                                        bool legacyLineText) {
  std::vector<std::string> differences;
  for (const NamedField& field : FieldTable()) {
    if (field.transfer == FieldTransfer::Dictionary || (parts & PartOf(field)) == 0) continue;
    if (!HoldsAsSent(field, sent, device, legacyLineText))
      differences.push_back(FieldDiffers(field, sent, device));
  }
  if (parts & kRs485Part) CompareRs485(sent, device, differences);
  return differences;
}

DeviceOutcome ApplyToDevice(TransferPort& port, const FoundDevice& device, const ParamImages& file,
                            const ApplySettings& settings, std::optional<uint32_t> staticIp,
                            const TransferProgress& progress) {
  return ServeDevice(
      port, device,
      settings.forceFirstGeneration ? FirstGeneration::Serve : FirstGeneration::Refuse, progress,
      [&](const DeviceJob& job, DeviceOutcome& outcome) {
        ApplyFile(job, file, settings, staticIp, outcome);
      });
}

}  // namespace quillon
