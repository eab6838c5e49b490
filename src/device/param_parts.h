// The parts of a parameter set that a batch can put onto a device, as a mask.
#pragma once

namespace quillon {

enum Part : unsigned {
  kNetworkPart = 1,  // DHCP, static IP, mask, gateway, upgrade server and its ports
  kCamerasPart = 2,  // the four camera records with their line texts
  kRs485Part = 4,    // the RS-485 settings and the sixteen slots
  kAllParts = 7,
};

}  // namespace quillon
