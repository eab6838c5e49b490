#include "cli_options.h"

#include <cmath>
#include <cstdlib>

#include "link/socket_api.h"

namespace quillon::cli {

namespace {

const char* const kProgramUsage =
    "usage: quillon-cli COMMAND [OPTIONS]\n"
    "\n"
    "Configures network video character-overlay devices on UDP port 1901 without the window:\n"
    "\n"
    "  search   list the devices that answer a search\n"
    "  read     read one device into a parameter file\n"
    "  apply    put a parameter file onto one or many devices\n"
    "\n"
    "'quillon-cli COMMAND --help' tells more about each. Progress goes to standard error,\n"
    "results to standard output. Exit status: 0 done, 1 a device failed, 2 bad command line\n"
    "or file, or a batch refused before anything was sent.\n"
    "\n"
    "It broadcasts to 255.255.255.255:1901 through every local IPv4 address.\n";

const char* const kSearchUsage =
    "usage: quillon-cli search [--wait SECONDS] [--json | --csv]\n"
    "\n"
    "Broadcasts a search and lists every device that answers within the wait, once per MAC:\n"
    "MAC, IP address, firmware version, flags, the PC's addresses it answered through, name.\n"
    "\n"
    "  --wait SECONDS  how long to collect replies (default 2; fractions allowed)\n"
    "  --json          a JSON array of objects: mac, ip, name, version, first_generation,\n"
    "                  legacy_line_text, local_addresses\n"
    "  --csv           the same fields as CSV with a header line\n"
    "\n"
    "Flags: first-gen (firmware below 02.00, which this program does not serve) and\n"
    "legacy-texts (firmware below 32.00, line texts inside the parameter frames).\n";

const char* const kReadUsage =
    "usage: quillon-cli read MAC --out FILE.ini [--wait SECONDS] [--quiet]\n"
    "\n"
    "Reads the device's network and camera parameters, its camera line texts and all 566\n"
    "RS-485 dictionary entries, and writes them as a parameter file that the window's\n"
    "import reads. Other sections of an existing file are kept.\n"
    "\n"
    "  MAC             twelve hex digits, with or without ':' or '-' between the pairs\n"
    "  --out FILE.ini  the parameter file (its name ends in .ini or .INI)\n"
    "  --wait SECONDS  how long the search may take to find the device (default 2)\n"
    "  --quiet         no progress on standard error\n";

const char* const kApplyUsage =
    "usage: quillon-cli apply FILE.ini (MAC... | --all) [--only PARTS] [--verify]\n"
    "                   [--ip-from A.B.C.D] [--json] [--wait SECONDS] [--verify-wait SECONDS]\n"
    "                   [--quiet] [--force-first-generation]\n"
    "\n"
    "Checks both CRCs of the file, then serves one device after the other: reads it, puts the\n"
    "chosen parts of the file onto what was read, writes the RS-485 entries, and downloads the\n"
    "network and camera parameters last (the device restarts after that download).\n"
    "\n"
    "  MAC...          the devices, twelve hex digits each\n"
    "  --all           every device that answers the search, in the order search lists them\n"
    "  --only PARTS    a comma-separated choice of network, cameras, rs485 (default: all)\n"
    "                  network: DHCP, static IP, mask, gateway, upgrade server and ports\n"
    "                  cameras: the four camera records with their line texts\n"
    "                  rs485:   the RS-485 settings and the sixteen slots\n"
    "  --verify        read every device back and compare what was applied\n"
    "  --ip-from A.B.C.D  static IP of the first device; the next ones count up from it.\n"
    "                  Needed to apply the network part to more than one device\n"
    "  --json          the report as JSON on standard output\n"
    "  --wait SECONDS  how long the search may take to find the devices (default 2); with\n"
    "                  the network part it takes that long, to learn the addresses in use\n"
    "  --verify-wait SECONDS  how long a device may take to come back after the download\n"
    "                  before its check fails (default 30)\n"
    "  --quiet         no progress on standard error\n"
    "  --force-first-generation  serve devices with first-generation firmware too\n"
    "\n"
    "A bad file, a batch that would give two devices the same address, or an address range\n"
    "that leaves the subnet changes no device. Exit status 1 when any device failed.\n";

bool ParseSeconds(const std::string& text, double& value) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0 || v > 3600) return false;
  value = v;
  return true;
}

}  // namespace

const char* UsageText(Command command) {
  switch (command) {
    case Command::Search:
      return kSearchUsage;
    case Command::Read:
      return kReadUsage;
    case Command::Apply:
      return kApplyUsage;
    case Command::None:
      break;
  }
  return kProgramUsage;
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

std::string PartsText(unsigned parts) {
  std::string text;
  auto add = [&](unsigned part, const char* name) {
    if ((parts & part) == 0) return;
    if (!text.empty()) text += ", ";
    text += name;
  };
  add(kNetworkPart, "network");
  add(kCamerasPart, "cameras");
  add(kRs485Part, "rs485");
  return text;
}

std::optional<uint32_t> ParseIpv4(std::string_view text) { return ParseIpv4Text(text); }

bool ParseCliCommandLine(int argc, char** argv, CliOptions& options, std::string& error) {
  options = CliOptions{};
  int i = 1;
  if (i < argc) {
    const std::string first = argv[i];
    if (first == "--help" || first == "-h" || first == "help") {
      options.help = true;
      // "help COMMAND" tells about that command.
      if (first == "help" && i + 1 < argc) {
        const std::string topic = argv[i + 1];
        options.command = topic == "search"  ? Command::Search
                          : topic == "read"  ? Command::Read
                          : topic == "apply" ? Command::Apply
                                             : Command::None;
      }
      return true;
    }
    if (first == "--version") {
      options.version = true;
      return true;
    }
    if (first == "search") {
      options.command = Command::Search;
    } else if (first == "read") {
      options.command = Command::Read;
    } else if (first == "apply") {
      options.command = Command::Apply;
    } else {
      error = "unknown command '" + first + "'";
      return false;
    }
    ++i;
  }
  if (options.command == Command::None) {
    error = "no command given";
    return false;
  }

  bool json = false, csv = false;
  std::vector<std::string> positional;
  for (; i < argc; ++i) {
    std::string arg = argv[i], value;
    const bool isOption = arg.size() > 2 && arg.compare(0, 2, "--") == 0;
    const size_t equals = isOption ? arg.find('=') : std::string::npos;
    const bool hasInline = equals != std::string::npos;
    if (hasInline) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    auto next = [&](std::string& out) {
      if (hasInline) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto seconds = [&](double& out) {
      std::string text;
      if (!next(text)) return false;
      if (!ParseSeconds(text, out)) {
        error = arg + ": not a number of seconds from 0 to 3600: '" + text + "'";
        return false;
      }
      return true;
    };
    const Command c = options.command;

    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    } else if (arg == "--wait") {
      if (!seconds(options.waitSeconds)) return false;
    } else if (arg == "--json" && (c == Command::Search || c == Command::Apply)) {
      json = true;
    } else if (arg == "--csv" && c == Command::Search) {
      csv = true;
    } else if (arg == "--out" && c == Command::Read) {
      if (!next(options.outPath)) return false;
    } else if (arg == "--quiet" && c != Command::Search) {
      options.quiet = true;
    } else if (arg == "--all" && c == Command::Apply) {
      options.all = true;
    } else if (arg == "--verify" && c == Command::Apply) {
      options.verify = true;
    } else if (arg == "--verify-wait" && c == Command::Apply) {
      if (!seconds(options.verifyWaitSeconds)) return false;
    } else if (arg == "--force-first-generation" && c == Command::Apply) {
      options.forceFirstGeneration = true;
    } else if (arg == "--only" && c == Command::Apply) {
      std::string text;
      if (!next(text)) return false;
      const std::optional<unsigned> parts = ParseParts(text);
      if (!parts) {
        error = "--only: not a list of network, cameras, rs485: '" + text + "'";
        return false;
      }
      options.parts = *parts;
    } else if (arg == "--ip-from" && c == Command::Apply) {
      std::string text;
      if (!next(text)) return false;
      options.ipFrom = ParseIpv4(text);
      if (!options.ipFrom) {
        error = "--ip-from: not an IPv4 address: '" + text + "'";
        return false;
      }
    } else if (isOption || (arg.size() > 1 && arg[0] == '-')) {
      error = "unknown option '" + arg + "' for " + std::string(argv[1]);
      return false;
    } else {
      positional.push_back(arg);
    }
  }

  if (json && csv) {
    error = "--json and --csv exclude each other";
    return false;
  }
  options.format = json ? OutputFormat::Json : csv ? OutputFormat::Csv : OutputFormat::Text;

  auto takeMacs = [&](size_t from) {
    for (size_t k = from; k < positional.size(); ++k) {
      const std::optional<std::string> mac = NormalizeMac(positional[k]);
      if (!mac) {
        error = "not a MAC address of twelve hex digits: '" + positional[k] + "'";
        return false;
      }
      for (const std::string& earlier : options.macs) {
        if (earlier == *mac) {
          error = "device " + *mac + " is named twice";
          return false;
        }
      }
      options.macs.push_back(*mac);
    }
    return true;
  };

  switch (options.command) {
    case Command::Search:
      if (!positional.empty()) {
        error = "search takes no arguments: '" + positional.front() + "'";
        return false;
      }
      break;
    case Command::Read:
      if (positional.size() != 1) {
        error = positional.empty() ? "read needs the device's MAC" : "read takes one MAC";
        return false;
      }
      if (!takeMacs(0)) return false;
      if (options.outPath.empty()) {
        error = "read needs --out FILE.ini";
        return false;
      }
      break;
    case Command::Apply:
      if (positional.empty()) {
        error = "apply needs a parameter file";
        return false;
      }
      options.filePath = positional.front();
      if (!takeMacs(1)) return false;
      if (options.all == !options.macs.empty()) {
        error = options.all ? "apply takes either MACs or --all, not both"
                            : "apply needs the devices' MACs or --all";
        return false;
      }
      if (options.ipFrom && (options.parts & kNetworkPart) == 0) {
        error = "--ip-from sets the network part, which --only leaves out";
        return false;
      }
      break;
    case Command::None:
      break;
  }
  return true;
}

}  // namespace quillon::cli
