#include "command_support.h"

#include <cmath>

#include "files/file_bytes.h"
#include "files/ini_profile.h"

namespace quillon::cli {

std::chrono::milliseconds Milliseconds(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

void Message(std::FILE* err, const std::string& text) {
  std::fprintf(err, "quillon-cli: %s\n", text.c_str());
}

std::optional<int> OpenAndSearch(const NetworkOptions& network, const PortOpener& open,
                                 const std::vector<std::string>& wanted, std::FILE* err,
                                 TransferPort*& port, std::vector<FoundDevice>& found,
                                 int failure) {
  const OpenedPort opened = open(network.via);
  port = opened.port;
  if (!port) {
    Message(err, (opened.refused ? "--via: " : "") + opened.error);
    return opened.refused ? kExitRefused : failure;
  }
  if (!SearchDevices(*port, Milliseconds(network.waitSeconds), wanted, found,
                     network.expectDevices)) {
    Message(err, "the search could not be sent through any local address");
    return failure;
  }
  return std::nullopt;
}

std::vector<std::string> Targets(const DeviceChoice& devices, const NetworkOptions& network,
                                 const std::vector<FoundDevice>& found, std::FILE* err) {
  std::vector<std::string> targets = devices.macs;
  if (devices.all) {
    for (const FoundDevice& device : found) targets.push_back(device.Mac());
    if (targets.empty())
      Message(err, "no device answered the search within " + SecondsText(network.waitSeconds));
  }
  return targets;
}

void WarnFirstGeneration(const FoundDevice& device, std::FILE* err) {
  Message(err, "warning: " + device.Mac() + " runs first-generation firmware " +
                   device.record.VersionText() +
                   ", which this program does not serve; working with it may upset the device");
}

std::optional<ParamImages> LoadParamFile(const std::string& path, std::string& why) {
  const FileReadResult file = ReadFileBytes(path, kMaxParamFileBytes);
  switch (file.status) {
    case FileReadResult::Status::Read: {
      std::string failedSection;
      std::optional<ParamImages> images = DecodeParamFile(IniProfile(file.bytes), failedSection);
      if (!images)
        why = "section [" + failedSection +
              "] does not match its wCRCResult (missing, changed or damaged)";
      return images;
    }
    case FileReadResult::Status::Missing:
      why = "there is no such file";
      break;
    case FileReadResult::Status::TooLarge:
      why = "far too large for a parameter file";
      break;
    case FileReadResult::Status::Failed:
      why = "it cannot be read as a regular file";
      break;
  }
  return std::nullopt;
}

std::string JsonText(const Json& json) {
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace quillon::cli
