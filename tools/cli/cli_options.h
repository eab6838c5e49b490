// What the commands of quillon-cli share on their command lines: the exit statuses, the parts of a
// parameter file, MACs, and the option groups that several commands take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/param_parts.h"

namespace CLI {
class App;
}

namespace quillon::cli {

enum class OutputFormat { Text, Json, Csv };

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitDeviceFailed = 1;  // a device did not answer, refused, or failed its check
constexpr int kExitRefused = 2;       // bad command line or file, or a batch refused before start
// diff: the two sides differ (1) or could not both be read (2).
constexpr int kExitDiffer = 1;

// How many devices apply, set and backup serve at once, unless --parallel says otherwise, and
// the most it may say.
constexpr int kDefaultParallel = 16;
constexpr int kMaxParallel = 1024;

// The option groups that several commands share. Each declares its options on the command's own
// part of the command line and checks what was given once the line is parsed: the check returns
// what is wrong, or nothing. An option given twice counts as given last (as every command's own
// options do), as scripts that append to a command line expect.

// --wait and --via: how a command searches for the devices, and through which local address.
class NetworkOptions {
 public:
  double waitSeconds = 2.0;     // how long the search collects replies (at most, when it has MACs)
  std::optional<uint32_t> via;  // the one local address to send and listen through
  size_t expectDevices = 0;     // search: ends as soon as this many devices answered (0: the wait)

  void Declare(CLI::App& command, const char* what);
  std::string Check();

 private:
  std::string viaText_;
};

// The devices of a batch: MACs (twelve upper-case hex digits each, once each), or --all.
struct DeviceChoice {
  std::vector<std::string> words;  // as given
  std::vector<std::string> macs;
  bool all = false;

  // MAC... and --all, as apply and backup take them.
  void Declare(CLI::App& command);
  // The words as MACs.
  std::string TakeMacs();
  // The words as MACs, and either MACs or --all.
  std::string Check(const std::string& command);
};

// --parallel: how many devices are served at once at the most.
class ParallelOption {
 public:
  int devices = kDefaultParallel;

  void Declare(CLI::App& command);
  std::string Check();

 private:
  std::string text_;
};

// --verify and --verify-wait.
struct VerifyOptions {
  bool verify = false;
  double waitSeconds = 30.0;  // how long a device may take to come back after a download

  void Declare(CLI::App& command, const char* what);
};

// --json (and for search --csv): how the results are printed.
struct FormatOptions {
  bool json = false;
  bool csv = false;

  void DeclareJson(CLI::App& command, const char* what);
  OutputFormat Format() const;
};

// --quiet: no progress on the terminal.
void DeclareQuiet(CLI::App& command, bool& quiet);

// What the commands that serve devices end with, in this order: --json, --wait and --via,
// --quiet.
struct CommonOptions {
  FormatOptions format;
  NetworkOptions network;
  bool quiet = false;

  void Declare(CLI::App& command, const char* json, const char* wait);
};

// What apply, set and backup end with: the common options (--json as the report), --parallel and,
// for apply and set, --force-first-generation.
struct BatchOptions : CommonOptions {
  ParallelOption parallel;
  bool forceFirstGeneration = false;

  void DeclareBatch(CLI::App& command, const char* wait, bool force);
  std::string Check();
};

// The first of the checks' errors, or nothing.
std::string FirstError(std::initializer_list<std::string> errors);

// "00E04C3A1B01", "00:e0:4c:3a:1b:01" or "00-E0-4C-3A-1B-02" as twelve upper-case digits.
std::optional<std::string> NormalizeMac(std::string_view text);

// "network,cameras" as parts; "all" is every part.
std::optional<unsigned> ParseParts(std::string_view text);
// "network", "cameras", "rs485": the chosen ones, in that order.
std::vector<std::string> PartNames(unsigned parts);

// The texts one after the other, `separator` between each two.
std::string Joined(const std::vector<std::string>& texts, const char* separator = ", ");

}  // namespace quillon::cli
