// What the commands of quillon-cli share: opening the network and searching, the devices of a
// batch, messages, loading a parameter file, and printing JSON.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device/device_search.h"
#include "files/param_file.h"
#include "link/transfer_port.h"

namespace quillon::cli {

// The network as the opener hands it over: the port, or why there is none.
struct OpenedPort {
  TransferPort* port = nullptr;
  std::string error;
  bool refused = false;  // what was asked cannot be (--via names no address of the PC)
};
// Opens the network, through `via` alone when it is given, the first time a command needs it.
// A command that is refused before it would send anything never calls it.
using PortOpener = std::function<OpenedPort(std::optional<uint32_t> via)>;

// JSON objects keep their keys in the order they were written.
using Json = nlohmann::ordered_json;

std::chrono::milliseconds Milliseconds(double seconds);
// "2 s", "0.5 s".
std::string SecondsText(double seconds);

// "quillon-cli: TEXT" on its own line.
void Message(std::FILE* err, const std::string& text);

// Opens the network and searches for `wanted` (none: every device, for the whole wait).
// nullopt with the port and what was found, or the exit status after saying why: `failure`
// when the network cannot be had, kExitRefused for an address that is not the PC's.
std::optional<int> OpenAndSearch(const NetworkOptions& network, const PortOpener& open,
                                 const std::vector<std::string>& wanted, std::FILE* err,
                                 TransferPort*& port, std::vector<FoundDevice>& found,
                                 int failure = kExitDeviceFailed);

// The devices of a batch: those named, or with --all every one that answered. Empty after
// saying that none did.
std::vector<std::string> Targets(const DeviceChoice& devices, const NetworkOptions& network,
                                 const std::vector<FoundDevice>& found, std::FILE* err);

void WarnFirstGeneration(const FoundDevice& device, std::FILE* err);

// Reads a parameter file and checks both halves; nullopt with the reason.
std::optional<ParamImages> LoadParamFile(const std::string& path, std::string& why);

// A JSON document on its own lines; bytes that are not UTF-8 (a device's name may hold any)
// become U+FFFD, so the output is always valid JSON.
std::string JsonText(const Json& json);

}  // namespace quillon::cli
