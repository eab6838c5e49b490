// quillon-cli's command line: the command, its arguments and options, and the help texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::cli {

enum class Command { None, Search, Read, Apply, Show, Diff, Set, Backup, Fields };
enum class OutputFormat { Text, Json, Csv };

// The parts of a parameter file that apply can put onto a device.
enum Part : unsigned {
  kNetworkPart = 1,  // DHCP, static IP, mask, gateway, upgrade server and its ports
  kCamerasPart = 2,  // the four camera records with their line texts
  kRs485Part = 4,    // the RS-485 settings and the sixteen slots
  kAllParts = 7,
};

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

struct CliOptions {
  Command command = Command::None;
  double waitSeconds = 2.0;     // how long the search collects replies (at most, when it has MACs)
  size_t expectDevices = 0;     // search: ends as soon as this many devices answered (0: the wait)
  std::string expectFile;       // search: the CSV of the devices that should answer
  std::optional<uint32_t> via;  // the one local address to send and listen through
  OutputFormat format = OutputFormat::Text;
  std::vector<std::string> macs;  // twelve upper-case hex digits each
  bool all = false;
  bool quiet = false;    // no progress on the terminal
  std::string outPath;   // read
  std::string filePath;  // apply
  unsigned parts = kAllParts;
  bool verify = false;
  std::optional<uint32_t> ipFrom;   // host order
  double verifyWaitSeconds = 30.0;  // how long a device may take to come back after a download
  bool forceFirstGeneration = false;
  std::vector<std::string> sources;   // show: one, diff: two; a parameter file or a MAC each
  std::vector<std::string> patterns;  // show, fields: name patterns; none: every field
  std::vector<std::pair<std::string, std::string>> assignments;  // set: NAME=VALUE, in order
  std::string valuesPath;                                        // set --values FILE.json
  std::string outDir;                                            // backup
  int parallel = kDefaultParallel;  // apply, set, backup: devices served at once at the most
  bool namesOnly = false;           // fields --names
};

// What the command line asks for: a command to run (options filled in), or a text to print and
// leave with status 0 (help, version), or an error (status 2).
struct ParseOutcome {
  enum class Kind { Run, Help, Version, Error } kind = Kind::Error;
  std::string text;
};

// Parses argv (argv[0] is the program).
ParseOutcome ParseCliCommandLine(int argc, const char* const* argv, CliOptions& options);

// "00E04C3A1B01", "00:e0:4c:3a:1b:01" or "00-E0-4C-3A-1B-02" as twelve upper-case digits.
std::optional<std::string> NormalizeMac(std::string_view text);

// "network,cameras" as parts; "all" is every part.
std::optional<unsigned> ParseParts(std::string_view text);
// "network", "cameras", "rs485": the chosen ones, in that order.
std::vector<std::string> PartNames(unsigned parts);

// The texts one after the other, `separator` between each two.
std::string Joined(const std::vector<std::string>& texts, const char* separator = ", ");

}  // namespace quillon::cli
