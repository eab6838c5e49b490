// What the commands of quillon-cli share: the port opener, messages, loading a parameter file,
// reading a whole device, and printing JSON.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "device_search.h"
#include "files/param_file.h"
#include "link/transfer_port.h"
#include "session/device_transfer.h"

namespace quillon::cli {

// Opens the network the first time a command needs it: the port, or nullptr with a message. A
// command that is refused before it would send anything never calls it.
using PortOpener = std::function<TransferPort*(std::string& error)>;

// JSON objects keep their keys in the order they were written.
using Json = nlohmann::ordered_json;

// Between two read-backs of a device that does not hold what was sent yet (it may still be
// restarting after a download).
constexpr std::chrono::milliseconds kVerifyRetryPause{2000};

std::chrono::milliseconds Milliseconds(double seconds);
// "2 s", "0.5 s".
std::string SecondsText(double seconds);

// "quillon-cli: TEXT" on its own line.
void Message(std::FILE* err, const std::string& text);

// The port, or nullptr after saying why it could not be opened.
TransferPort* OpenPort(const PortOpener& open, std::FILE* err);

void WarnFirstGeneration(const FoundDevice& device, std::FILE* err);

// Reads a parameter file and checks both halves; nullopt with the reason.
std::optional<ParamImages> LoadParamFile(const std::string& path, std::string& why);

// Lets `duration` pass, taking whatever arrives meanwhile.
void Idle(TransferPort& port, std::chrono::milliseconds duration);

// Everything a parameter file holds of a device: its parameters, its line texts (current
// firmware) and all its RS-485 entries, into a block made by NewDeviceBlock.
TransferResult ReadWholeDevice(DeviceTransfer& transfer, bool legacyLineText,
                               DeviceParameterBlock& block);

// A JSON document on its own lines; bytes that are not UTF-8 (a device's name may hold any)
// become U+FFFD, so the output is always valid JSON.
std::string JsonText(const Json& json);

}  // namespace quillon::cli
