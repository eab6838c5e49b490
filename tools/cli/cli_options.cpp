#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

bool ParseSeconds(const std::string& text, double& value) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0 || v > 3600) return false;
  value = v;
  return true;
}

// A whole number of devices from 1 to kMaxParallel, in decimal digits alone.
std::optional<int> ParseParallel(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const int value = std::stoi(text);
  if (value < 1 || value > kMaxParallel) return std::nullopt;
  return value;
}

// The checks of a value of seconds, shared by --wait and --verify-wait.
const CLI::Validator kSeconds(
    [](std::string& text) {
      double value = 0;
      return ParseSeconds(text, value) ? std::string()
                                       : "not a number of seconds from 0 to 3600: '" + text + "'";
    },
    "");

}  // namespace

void NetworkOptions::Declare(CLI::App& command, const char* what) {
  command.add_option("--wait", waitSeconds, std::string(what) + " (default 2)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->check(kSeconds)
      ->type_name("SECONDS");
  command.add_option("--via", viaText_, "send and listen through this local address only")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->type_name("A.B.C.D");
}

std::string NetworkOptions::Check() {
  if (viaText_.empty()) return {};
  via = ParseIpv4(viaText_);
  return via ? "" : "--via: not an IPv4 address: '" + viaText_ + "'";
}

void DeviceChoice::Declare(CLI::App& command) {
  command.add_option("MAC", words, "the devices, twelve hex digits each");
  command.add_flag("--all", all, "every device that answers the search, in the order listed");
}

std::string DeviceChoice::TakeMacs() {
  std::set<std::string> seen;
  for (const std::string& word : words) {
    const std::optional<std::string> mac = NormalizeMac(word);
    if (!mac) return "not a MAC address of twelve hex digits: '" + word + "'";
    if (!seen.insert(*mac).second) return "device " + *mac + " is named twice";
    macs.push_back(*mac);
  }
  return {};
}

std::string DeviceChoice::Check(const std::string& command) {
  if (std::string error = TakeMacs(); !error.empty()) return error;
  if (all == macs.empty()) return {};
  return all ? command + " takes either MACs or --all, not both"
             : command + " needs the devices' MACs or --all";
}

void ParallelOption::Declare(CLI::App& command) {
  command
      .add_option("--parallel", text_,
                  "serve up to N devices at once (default 16; 1: one after the other)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->type_name("N");
}

std::string ParallelOption::Check() {
  if (text_.empty()) return {};
  const std::optional<int> parsed = ParseParallel(text_);
  if (!parsed)
    return "--parallel: not a number of devices from 1 to " + std::to_string(kMaxParallel) + ": '" +
           text_ + "'";
  devices = *parsed;
  return {};
}

void VerifyOptions::Declare(CLI::App& command, const char* what) {
  command.add_flag("--verify", verify, what);
  command
      .add_option("--verify-wait", waitSeconds,
                  "how long a device may take to come back after the download before its "
                  "check fails (default 30)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->check(kSeconds)
      ->type_name("SECONDS");
}

void FormatOptions::DeclareJson(CLI::App& command, const char* what) {
  command.add_flag("--json", json, what);
}

OutputFormat FormatOptions::Format() const {
  return json ? OutputFormat::Json : csv ? OutputFormat::Csv : OutputFormat::Text;
}

void DeclareQuiet(CLI::App& command, bool& quiet) {
  command.add_flag("--quiet", quiet, "no progress on standard error");
}

void CommonOptions::Declare(CLI::App& command, const char* json, const char* wait) {
  format.DeclareJson(command, json);
  network.Declare(command, wait);
  DeclareQuiet(command, quiet);
}

void BatchOptions::DeclareBatch(CLI::App& command, const char* wait, bool force) {
  Declare(command, "the report as JSON on standard output", wait);
  parallel.Declare(command);
  if (force)
    command.add_flag("--force-first-generation", forceFirstGeneration,
                     "serve devices with first-generation firmware too");
}

std::string BatchOptions::Check() { return FirstError({parallel.Check(), network.Check()}); }

std::string FirstError(std::initializer_list<std::string> errors) {
  for (const std::string& error : errors)
    if (!error.empty()) return error;
  return {};
}

std::optional<std::string> NormalizeMac(std::string_view text) {
  // Either twelve digits, or six pairs with the same separator between each two.
  const bool separated = text.size() == 17;
  if (!separated && text.size() != 12) return std::nullopt;
  const char separator = separated ? text[2] : 0;
  if (separated && separator != ':' && separator != '-') return std::nullopt;
  std::string digits;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (separated && i % 3 == 2) {
      if (c != separator) return std::nullopt;
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
      digits.push_back(c);
    } else if (c >= 'a' && c <= 'f') {
      digits.push_back(static_cast<char>(c - 'a' + 'A'));
    } else {
      return std::nullopt;
    }
  }
  return digits;
}

std::optional<unsigned> ParseParts(std::string_view text) {
  unsigned parts = 0;
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view word = text.substr(0, comma);
    if (word == "network") {
      parts |= kNetworkPart;
    } else if (word == "cameras") {
      parts |= kCamerasPart;
    } else if (word == "rs485") {
      parts |= kRs485Part;
    } else if (word == "all") {
      parts |= kAllParts;
    } else {
      return std::nullopt;
    }
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return parts;
}

std::vector<std::string> PartNames(unsigned parts) {
  std::vector<std::string> names;
  if (parts & kNetworkPart) names.push_back("network");
  if (parts & kCamerasPart) names.push_back("cameras");
  if (parts & kRs485Part) names.push_back("rs485");
  return names;
}

std::string Joined(const std::vector<std::string>& texts, const char* separator) {
  std::string text;
  for (const std::string& each : texts) text += (text.empty() ? "" : separator) + each;
  return text;
}

}  // namespace quillon::cli
