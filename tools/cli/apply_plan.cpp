#include "apply_plan.h"

#include "cli_text.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

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

}  // namespace

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

}  // namespace quillon::cli
