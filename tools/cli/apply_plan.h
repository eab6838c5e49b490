// The static addresses that apply and set give the devices of a batch, with a refusal in words;
// what apply puts onto each device is device/device_apply.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch_report.h"
#include "device/address_plan.h"
#include "device/device_apply.h"
#include "device/device_search.h"
#include "files/param_file.h"

namespace quillon::cli {

// The static address each device of a batch gets.
struct AddressPlan {
  std::vector<std::optional<uint32_t>> addresses;  // per target, nullopt: left as it is
  std::string error;                               // why the batch is refused; empty if not
};

// Counts addresses up from `first` for `targets` (MACs, in the order they are served), each
// within its own rule, as every batch does (device/address_plan.h), with a refusal in words.
AddressPlan CountAddresses(const std::vector<std::string>& targets, uint32_t first,
                           const std::vector<SubnetRule>& rules,
                           const std::vector<FoundDevice>& found);

// Plans the static addresses of `targets` for apply. Without `ipFrom`, the network part keeps
// the file's address, which only one device may get, and which no other device may hold. With
// it, the targets get ipFrom, ipFrom + 1, ... within the subnet of the file's own address and
// mask (CountAddresses). Refused too: the network part for more than one device without ipFrom.
AddressPlan PlanAddresses(const ParamImages& file, unsigned parts,
                          const std::vector<std::string>& targets, std::optional<uint32_t> ipFrom,
                          const std::vector<FoundDevice>& found);

}  // namespace quillon::cli
