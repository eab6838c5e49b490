#include "apply_plan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "cli_text.h"
#include "field_transfer.h"
#include "params/dictionary.h"
#include "text/gbk.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

constexpr size_t kSettingsAndSlots = offsetof(sModBusPara, awDictId);

std::vector<DeviceRecord> Records(const std::vector<FoundDevice>& found) {
  std::vector<DeviceRecord> records;
  for (const FoundDevice& device : found) records.push_back(device.record);
  return records;
}

// Why `address`, meant for `target`, cannot be given: `holder`, found by the search, holds it.
std::string HeldBy(uint32_t address, const std::string& target, const DeviceRecord& holder) {
  return Ipv4Text(address) + ", meant for " + target + ", is the address of " + holder.MacText() +
         (holder.name.empty() ? "" : " (" + PrintableText(holder.name) + ")");
}

// A refused plan as the command line words it.
std::string RefusalText(const PlanRefusal& r, const std::vector<std::string>& targets) {
  using enum PlanRefusal::Rule;
  const SubnetRule& rule = r.subnet;
  const std::string meant = Ipv4Text(r.address) + ", meant for " + targets[r.target] + ", is the ";
  const std::string subnet =
      Ipv4Text(rule.anchor & rule.mask) + "/" + Ipv4Text(rule.mask) + " of " + rule.whose;
  switch (r.rule) {
    case PastTheEnd:
      return "the addresses from " + Ipv4Text(r.first) + " run past 255.255.255.255";
    case NoSubnetMask:
      return "the mask " + Ipv4Text(rule.mask) + " of " + rule.whose +
             " is no subnet mask with room for devices, so no address can be counted in it";
    case LeavesTheSubnet:
      return "the addresses " + Ipv4Text(r.first) + " to " + Ipv4Text(r.last) +
             " leave the subnet " + subnet;
    case NetworkAddress:
    case BroadcastAddress:
      return meant + (r.rule == NetworkAddress ? "network" : "broadcast") +
             " address of the subnet " + subnet;
    case Gateway:
      return meant + "gateway of " + rule.whose;
    case Held:
      return HeldBy(r.address, targets[r.target], r.holder);
  }
  return {};
}

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

AddressPlan CountAddresses(const std::vector<std::string>& targets, uint32_t first,
                           const std::vector<SubnetRule>& rules,
                           const std::vector<FoundDevice>& found) {
  const std::vector<DeviceRecord> records = Records(found);
  AddressCount count = quillon::CountAddresses(targets, first, rules, records);
  AddressPlan plan;
  plan.addresses = std::move(count.addresses);
  if (count.refusal) plan.error = RefusalText(*count.refusal, targets);
  return plan;
}

AddressPlan PlanAddresses(const ParamImages& file, unsigned parts,
                          const std::vector<std::string>& targets, std::optional<uint32_t> ipFrom,
                          const std::vector<FoundDevice>& found) {
  AddressPlan plan;
  plan.addresses.assign(targets.size(), std::nullopt);
  if ((parts & kNetworkPart) == 0 || targets.empty()) return plan;
  const uint32_t own = Ipv4FromBytes(file.osd.abyIP);
  if (ipFrom) {
    const SubnetRule rule{own, Ipv4FromBytes(file.osd.abyNetMask),
                          Ipv4FromBytes(file.osd.abyGateway),
                          "the file's address " + Ipv4Text(own)};
    return CountAddresses(targets, *ipFrom, std::vector<SubnetRule>(targets.size(), rule), found);
  }
  if (targets.size() > 1) {
    plan.error = "the network part would give all " + std::to_string(targets.size()) +
                 " devices the file's static IP " + Ipv4Text(own) +
                 "; say where their addresses start with --ip-from, or leave it out with --only";
    return plan;
  }
  // The file's own address, given to one device, is what the file says; but no other device may
  // hold it (a static address under DHCP is not in use, and not checked).
  if (file.osd.byDHCP != 1)
    if (const auto holder = AddressHolder(own, targets[0], Records(found)))
      plan.error = HeldBy(own, targets[0], *holder);
  if (plan.error.empty()) plan.addresses[0] = own;
  return plan;
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

}  // namespace quillon::cli
