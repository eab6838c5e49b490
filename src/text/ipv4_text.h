// Dotted IPv4 addresses: the one reading of an address the user types (on the command line, in a
// field by name, in the simulator's options) and the one way the program writes one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Four decimal numbers of 0 to 255 separated by dots, one to three digits each, nothing around
// them. A leading zero is read as decimal, never octal: "010.0.0.1" is 10.0.0.1, as the
// window's address box reads each byte. Host order (10.77.0.1 is 0x0A4D0001).
std::optional<uint32_t> ParseIpv4(std::string_view text);

// "10.77.0.1" for 0x0A4D0001.
std::string Ipv4Text(uint32_t address);

// Four address bytes of the parameter block (first dotted number first) and back.
uint32_t Ipv4FromBytes(const uint8_t bytes[4]);
void Ipv4ToBytes(uint32_t address, uint8_t bytes[4]);

}  // namespace quillon
