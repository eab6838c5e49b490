// The static addresses of a batch, counted up from a first one: every device gets the next
// address of its subnet, and a plan that would give a device an address it must not have is
// refused, naming the first such address and the rule it breaks. The command line and the
// window's batch both plan this way; each words a refusal in its own language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/discovery.h"

namespace quillon {

// The subnet that the addresses counted for a device must lie in: that of `anchor` under `mask`,
// its network and broadcast address and `gateway` excluded. `whose` names the anchor in the
// command line's refusal ("the file's address 192.168.1.64").
struct SubnetRule {
  uint32_t anchor = 0;
  uint32_t mask = 0;
  uint32_t gateway = 0;
  std::string whose;
};

// Why a plan is refused.
struct PlanRefusal {
  enum class Rule {
    PastTheEnd,        // the addresses from `first` run past 255.255.255.255
    NoSubnetMask,      // the device's mask is no subnet mask with room for devices
    LeavesTheSubnet,   // the addresses `first` to `last` leave the device's subnet
    NetworkAddress,    // `address` is the network address of the device's subnet
    BroadcastAddress,  // ... its broadcast address
    Gateway,           // ... the gateway of the device's rule
    Held,              // ... the address of `holder`, another device found
  };
  Rule rule = Rule::PastTheEnd;
  size_t target = 0;  // the device the address was meant for, by its place among the targets
  uint32_t address = 0;
  uint32_t first = 0, last = 0;
  SubnetRule subnet;  // the device's rule
  DeviceRecord holder;
};

struct AddressCount {
  std::vector<std::optional<uint32_t>> addresses;  // per target
  std::optional<PlanRefusal> refusal;
};

// Counts `first`, `first` + 1, ... for `targets` (MACs, in the order they are served), each
// within its own rule (one per target). Refused: an address past 255.255.255.255; a mask that
// is no subnet mask with room for devices; an address outside its subnet, or its network or
// broadcast address, or its gateway; an address that a device of `found` holds and that is meant
// for another device.
AddressCount CountAddresses(std::span<const std::string> targets, uint32_t first,
                            std::span<const SubnetRule> rules, std::span<const DeviceRecord> found);

// The device of `found` other than `target` that holds `address`, if any.
std::optional<DeviceRecord> AddressHolder(uint32_t address, std::string_view target,
                                          std::span<const DeviceRecord> found);

}  // namespace quillon
