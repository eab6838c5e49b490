#include "apply_plan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "cli_text.h"
#include "params/dictionary.h"
#include "text/gbk.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

constexpr size_t kSettingsAndSlots = offsetof(sModBusPara, awDictId);
constexpr size_t kLoginTextBytes = 29;  // a camera login travels as 30 bytes, terminated at 29
constexpr size_t kLegacyLineTextBytes = 17;
constexpr size_t kLineTextBytes = 72;

// A mask of the form 1...10...0 with a host part of at least two bits.
bool IsSubnetMask(uint32_t mask) {
  const uint32_t host = ~mask;
  return (host & (host + 1)) == 0 && host >= 3;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Why `address`, meant for `target`, cannot be given: a device found by the search holds it.
std::string HeldBy(uint32_t address, const std::string& target,
                   const std::vector<FoundDevice>& found) {
  for (const FoundDevice& other : found) {
    if (other.record.ip == address && other.Mac() != target)
      return Ipv4Text(address) + ", meant for " + target + ", is the address of " + other.Mac() +
             (other.record.name.empty() ? "" : " (" + PrintableText(other.record.name) + ")");
  }
  return {};
}

class Comparison {
 public:
  explicit Comparison(std::vector<std::string>& out) : out_(out) {}

  void Address(const std::string& what, const uint8_t sent[4], const uint8_t device[4]) {
    if (std::memcmp(sent, device, 4) != 0)
      Differs(what, Ipv4Text(Ipv4FromBytes(sent)), Ipv4Text(Ipv4FromBytes(device)));
  }
  void Number(const std::string& what, unsigned sent, unsigned device) {
    if (sent != device) Differs(what, std::to_string(sent), std::to_string(device));
  }
  void Text(const std::string& what, std::string_view sent, std::string_view device) {
    if (sent != device) Differs(what, Quoted(GbkToUtf8(sent)), Quoted(GbkToUtf8(device)));
  }
  void Differs(const std::string& what, const std::string& sent, const std::string& device) {
    out_.push_back(what + ": device has " + device + ", sent " + sent);
  }

 private:
  std::vector<std::string>& out_;
};

// The text of a field as far as the device keeps it.
std::string_view KeptText(const char* field, size_t fieldSize, size_t kept) {
  return FieldText(field, std::min(fieldSize, kept));
}

// The text of a legacy line as sent: its first 17 bytes, a double-byte character that would be
// cut in half left out.
std::string_view LegacyLineText(const char* field) {
  const std::string_view text = FieldText(field, sizeof(sOverlayLine::szText));
  return text.size() < kLegacyLineTextBytes ? text : CutGbk(text, kLegacyLineTextBytes);
}

void CompareNetwork(const sOSDCommPara& sent, const sOSDCommPara& device, Comparison& c) {
  c.Number("DHCP", sent.byDHCP, device.byDHCP);
  c.Address("static IP", sent.abyIP, device.abyIP);
  c.Address("gateway", sent.abyGateway, device.abyGateway);
  c.Address("subnet mask", sent.abyNetMask, device.abyNetMask);
  c.Address("upgrade server", sent.abyUpgradeIP, device.abyUpgradeIP);
  c.Number("upgrade source port", sent.wUpgradeSrcPort, device.wUpgradeSrcPort);
  c.Number("upgrade target port", sent.wUpgradeDstPort, device.wUpgradeDstPort);
}

void CompareCameras(const sOSDCommPara& sent, const sOSDCommPara& device, bool legacy,
                    Comparison& c) {
  for (int k = 0; k < 4; ++k) {
    const sCameraPara& s = sent.asCamera[k];
    const sCameraPara& d = device.asCamera[k];
    const std::string camera = "camera " + std::to_string(k + 1) + " ";
    c.Text(camera + "user name", KeptText(s.szUser, sizeof s.szUser, kLoginTextBytes),
           KeptText(d.szUser, sizeof d.szUser, kLoginTextBytes));
    c.Text(camera + "password", KeptText(s.szPassword, sizeof s.szPassword, kLoginTextBytes),
           KeptText(d.szPassword, sizeof d.szPassword, kLoginTextBytes));
    c.Address(camera + "address", s.abyCameraIP, d.abyCameraIP);
    c.Number(camera + "source port", s.wSourcePort, d.wSourcePort);
    c.Number(camera + "camera port", s.wCameraPort, d.wCameraPort);
    c.Number(camera + "brand", s.byBrand, d.byBrand);
    c.Number(camera + "line count", s.byLineCount, d.byLineCount);
    for (int l = 0; l < 8; ++l) {
      const sOverlayLine& sl = s.asLine[l];
      const sOverlayLine& dl = d.asLine[l];
      const std::string line = camera + "line " + std::to_string(l + 1) + " ";
      c.Number(line + "X", sl.wX, dl.wX);
      c.Number(line + "Y", sl.wY, dl.wY);
      c.Text(line + "text",
             legacy ? LegacyLineText(sl.szText)
                    : KeptText(sl.szText, sizeof sl.szText, kLineTextBytes),
             KeptText(dl.szText, sizeof dl.szText, kLineTextBytes));
    }
  }
}

// The name of the field an RS-485 identifier names, for a report.
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

void CompareRs485(const DeviceParameterBlock& sent, const DeviceParameterBlock& device,
                  Comparison& c) {
  // What the device should give back is what a read of the sent entry stores: the value as it
  // travelled, texts terminated at their last byte. That is compared entry by entry, as the
  // device answers it.
  // Every entry of the program's index, whatever bookkeeping the blocks carry.
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
    if (expectedSize != actualSize || std::memcmp(expected, actual, expectedSize) != 0)
      c.Differs(EntryName(id), Hex(expected + 3, expectedSize - 3),
                Hex(actual + 3, actualSize - 3));
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
  AddressPlan plan;
  plan.addresses.assign(targets.size(), std::nullopt);
  if (targets.empty()) return plan;
  if (uint64_t{first} + targets.size() - 1 >= 0xFFFFFFFF) {
    plan.error = "the addresses from " + Ipv4Text(first) + " run past 255.255.255.255";
    return plan;
  }
  const auto last = static_cast<uint32_t>(first + targets.size() - 1);
  for (size_t i = 0; i < targets.size(); ++i) {
    const SubnetRule& rule = rules[i];
    const auto address = static_cast<uint32_t>(first + i);
    const std::string subnet =
        Ipv4Text(rule.anchor & rule.mask) + "/" + Ipv4Text(rule.mask) + " of " + rule.whose;
    if (!IsSubnetMask(rule.mask)) {
      plan.error = "the mask " + Ipv4Text(rule.mask) + " of " + rule.whose +
                   " is no subnet mask with room for devices, so no address can be counted in it";
      return plan;
    }
    const uint32_t host = address & ~rule.mask;
    if ((address & rule.mask) != (rule.anchor & rule.mask)) {
      plan.error = "the addresses " + Ipv4Text(first) + " to " + Ipv4Text(last) +
                   " leave the subnet " + subnet;
      return plan;
    }
    if (host == 0 || host == ~rule.mask) {
      plan.error = Ipv4Text(address) + ", meant for " + targets[i] + ", is the " +
                   (host == 0 ? "network" : "broadcast") + " address of the subnet " + subnet;
      return plan;
    }
    if (address == rule.gateway) {
      plan.error =
          Ipv4Text(address) + ", meant for " + targets[i] + ", is the gateway of " + rule.whose;
      return plan;
    }
    if (const std::string held = HeldBy(address, targets[i], found); !held.empty()) {
      plan.error = held;
      return plan;
    }
    plan.addresses[i] = address;
  }
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
  if (file.osd.byDHCP != 1) plan.error = HeldBy(own, targets[0], found);
  if (plan.error.empty()) plan.addresses[0] = own;
  return plan;
}

std::vector<std::string> CompareApplied(const DeviceParameterBlock& sent,
                                        const DeviceParameterBlock& device, unsigned parts,
                                        bool legacyLineText) {
  std::vector<std::string> differences;
  Comparison c(differences);
  if (parts & kNetworkPart) CompareNetwork(sent.osd, device.osd, c);
  if (parts & kCamerasPart) CompareCameras(sent.osd, device.osd, legacyLineText, c);
  if (parts & kRs485Part) CompareRs485(sent, device, c);
  return differences;
}

}  // namespace quillon::cli
