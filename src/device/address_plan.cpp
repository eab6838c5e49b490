#include "device/address_plan.h"

namespace quillon {

namespace {

// A mask of the form 1...10...0 with a host part of at least two bits.
bool IsSubnetMask(uint32_t mask) {
  const uint32_t host = ~mask;
  return (host & (host + 1)) == 0 && host >= 3;
}

}  // namespace

std::optional<DeviceRecord> AddressHolder(uint32_t address, std::string_view target,
                                          std::span<const DeviceRecord> found) {
  for (const DeviceRecord& other : found)
    if (other.ip == address && other.MacText() != target) return other;
  return std::nullopt;
}

AddressCount CountAddresses(std::span<const std::string> targets, uint32_t first,
                            std::span<const SubnetRule> rules,
                            std::span<const DeviceRecord> found) {
  AddressCount plan;
  plan.addresses.assign(targets.size(), std::nullopt);
  if (targets.empty()) return plan;
  PlanRefusal refusal;
  refusal.first = first;
  if (uint64_t{first} + targets.size() - 1 >= 0xFFFFFFFF) {
    plan.refusal = refusal;
    return plan;
  }
  refusal.last = static_cast<uint32_t>(first + targets.size() - 1);
  const auto refuse = [&](PlanRefusal::Rule rule, size_t i, uint32_t address) {
    refusal.rule = rule;
    refusal.target = i;
    refusal.address = address;
    refusal.subnet = rules[i];
    plan.refusal = refusal;
  };
  using enum PlanRefusal::Rule;
  for (size_t i = 0; i < targets.size() && i < rules.size(); ++i) {
    const SubnetRule& rule = rules[i];
    const auto address = static_cast<uint32_t>(first + i);
    const uint32_t host = address & ~rule.mask;
    if (!IsSubnetMask(rule.mask)) {
      refuse(NoSubnetMask, i, address);
    } else if ((address & rule.mask) != (rule.anchor & rule.mask)) {
      refuse(LeavesTheSubnet, i, address);
    } else if (host == 0 || host == ~rule.mask) {
      refuse(host == 0 ? NetworkAddress : BroadcastAddress, i, address);
    } else if (address == rule.gateway) {
      refuse(Gateway, i, address);
    } else if (std::optional<DeviceRecord> holder = AddressHolder(address, targets[i], found)) {
      refuse(Held, i, address);
      plan.refusal->holder = std::move(*holder);
    } else {
      plan.addresses[i] = address;
      continue;
    }
    return plan;
  }
  return plan;
}

}  // namespace quillon
