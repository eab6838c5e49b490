#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <set>

#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

const char* const kProgramHelp =
    "Configures network video character-overlay devices on UDP port 1901 without the window.\n"
    "It broadcasts to 255.255.255.255:1901 through every local IPv4 address, or through the\n"
    "one that --via names.";

const char* const kProgramFooter =
    "'quillon-cli COMMAND --help' tells more about each. Progress goes to standard error,\n"
    "results to standard output. Exit status: 0 done, 1 a device failed, 2 bad command line\n"
    "or file, or a batch refused before anything was sent (diff: 0 same, 1 different, 2\n"
    "trouble). 'quillon-cli fields' lists every field name with the values it takes.";

const char* const kSearchFooter =
    "Flags: first-gen (firmware below 02.00, which this program does not serve) and\n"
    "legacy-texts (firmware below 32.00, line texts inside the parameter frames).\n"
    "--json gives an array of objects: mac, ip, name, version, first_generation,\n"
    "legacy_line_text, local_addresses; --csv the same fields with a header line.\n"
    "--expect-file takes a CSV file with a mac column (the devices.csv of backup) and names\n"
    "the devices of it that did not answer and those that are not in it; exit status 1 when\n"
    "any did not answer. With --json the output is then an object: devices, missing,\n"
    "unexpected.";

const char* const kApplyFooter =
    "PARTS is a comma-separated choice of network (DHCP, static IP, mask, gateway, upgrade\n"
    "server and ports), cameras (the four camera records with their line texts) and rs485\n"
    "(the RS-485 settings and the sixteen slots); all of them by default.\n"
    "A bad file, a batch that would give two devices the same address, or an address range\n"
    "that leaves the subnet of the file's own address changes no device. Exit status 1 when\n"
    "any device failed.";

const char* const kShowFooter =
    "PATTERN narrows the fields: '*' stands for any characters, '?' for one\n"
    "(slot5.*, camera*.line1.text). Values are shown as the pages show them: lists by their\n"
    "item, reals with three decimals, texts in UTF-8. --json gives one object, name: value.";

const char* const kSetFooter =
    "Every value is checked against its field before anything is sent; a bad one names the\n"
    "field and what it takes, and no device is changed (exit status 2). Lists take an item's\n"
    "text or its index from 0. Then each device, up to --parallel of them at once: what the\n"
    "change needs is read, changed RS-485 fields are written as their dictionary entries\n"
    "alone, and changed network or camera fields go with the parameter download, last (the\n"
    "device restarts). network.ip\n"
    "on several devices counts up from the value, as apply --ip-from does: the addresses stay\n"
    "in the subnet of the gateway (the one set, or each device's own) and clear of addresses\n"
    "that other devices hold.";

const char* const kBackupFooter =
    "Each device goes into DIR/<MAC>.ini, a parameter file that the window's import reads,\n"
    "and DIR/devices.csv lists mac, ip, name, version, file and error of every device. A device\n"
    "that fails gets no file and is reported; the exit status is then 1.";

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

// An option given twice counts as given last, as scripts that append to a command line expect.
class Parser {
 public:
  explicit Parser(CliOptions& o) : o_(o), app_(kProgramHelp, "quillon-cli") {
    app_.footer(kProgramFooter);
    app_.set_version_flag("--version", "quillon-cli " QUILLON_VERSION);
    app_.require_subcommand(0, 1);
    // "/data/site.ini" is a path on every system, not a Windows-style option: the options
    // are --long and -s everywhere. Set before the commands, which take it over.
    app_.allow_windows_style_options(false);

    CLI::App* search = Command("search", Command::Search, "list the devices that answer a search",
                               "Broadcasts a search and lists every device that answers within "
                               "the wait, once per MAC:\nMAC, IP address, firmware version, "
                               "flags, the PC's addresses it answered through, name.",
                               kSearchFooter);
    Wait(search, "how long to collect replies");
    search
        ->add_option("--expect", o_.expectDevices,
                     "end the search as soon as N devices have answered (at most the wait)")
        ->check(CLI::PositiveNumber)
        ->type_name("N");
    search
        ->add_option("--expect-file", o_.expectFile,
                     "the devices that should answer: a CSV file with a mac column")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("FILE.csv");
    CLI::Option* json = search->add_flag("--json", json_, "the list as JSON");
    search->add_flag("--csv", csv_, "the list as CSV")->excludes(json);

    CLI::App* read = Command("read", Command::Read, "read one device into a parameter file",
                             "Reads the device's network and camera parameters, its camera line "
                             "texts and all 566\nRS-485 dictionary entries into a parameter file "
                             "that the window's import reads.\nOther sections of an existing "
                             "file are kept.");
    read->add_option("MAC", macWords_, "twelve hex digits, with or without ':' or '-'")
        ->required()
        ->expected(1);
    read->add_option("--out", o_.outPath, "the parameter file (its name ends in .ini or .INI)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->required()
        ->type_name("FILE.ini");
    Wait(read, "how long the search may take to find the device");
    Quiet(read);

    CLI::App* apply =
        Command("apply", Command::Apply, "put a parameter file onto one or many devices",
                "Checks both CRCs of the file, then serves the devices, up to --parallel of them "
                "at once:\nreads each, puts the chosen parts of the file onto what was read, "
                "writes the RS-485\nentries, and downloads the network and camera parameters "
                "last (the device restarts after\nthat download).",
                kApplyFooter);
    apply->add_option("FILE.ini", o_.filePath, "the parameter file")->required();
    Devices(apply);
    apply->add_option("--only", parts_, "the parts of the file to apply")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("PARTS");
    Verify(apply, "read every device back and compare what was applied");
    apply
        ->add_option("--ip-from", ipFrom_,
                     "static IP of the first device; the next ones count up from it. Needed "
                     "to apply the network part to more than one device")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("A.B.C.D");
    Json(apply, "the report as JSON on standard output");
    Wait(apply,
         "how long the search may take to find the devices; with the network part it takes "
         "that long, to learn the addresses in use");
    Quiet(apply);
    Parallel(apply);
    apply->add_flag("--force-first-generation", o_.forceFirstGeneration,
                    "serve devices with first-generation firmware too");

    CLI::App* show = Command("show", Command::Show, "show the fields of a file or a device",
                             "Shows the fields of a parameter file or of a device by name and "
                             "value. A device is read\nfor just the fields asked for.",
                             kShowFooter);
    show->add_option("SOURCE", showSource_, "a parameter file, or a device's MAC")->required();
    show->add_option("PATTERN", o_.patterns, "names of fields, '*' and '?' allowed");
    Json(show, "name: value as one JSON object");
    Wait(show, "how long the search may take to find the device");
    Quiet(show);

    CLI::App* diff =
        Command("diff", Command::Diff, "the fields in which two files or devices differ",
                "Lists the fields in which A and B differ, by name, with both "
                "values. Each of A and B is a\nparameter file or a device's MAC. "
                "Exit status 0 when none differ, 1 when some do, 2 on\na bad "
                "argument or when a side cannot be read.");
    diff->add_option("SOURCE", o_.sources, "A and B: two parameter files or MACs, or one of each")
        ->required()
        ->expected(2);
    Json(diff, "the differences as JSON");
    Wait(diff, "how long the search may take to find the devices");
    Quiet(diff);

    CLI::App* set = Command("set", Command::Set, "set fields by name on one or many devices",
                            "Sets fields by name on one or many devices, for example\n"
                            "  quillon-cli set 00E04C3A1B01 00E04C3A1B02 rs485.baud=9600 "
                            "slot5.name=压力",
                            kSetFooter);
    set->add_option("TARGETS", setWords_,
                    "the devices' MACs, and NAME=VALUE for each field to set");
    set->add_flag("--all", o_.all, "every device that answers the search");
    set->add_option("--values", o_.valuesPath,
                    "more NAME=VALUE pairs from a JSON object, as show --json writes it")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("FILE.json");
    Verify(set, "read every device back and compare the fields set");
    Json(set, "the report as JSON on standard output");
    Wait(set,
         "how long the search may take to find the devices; with network.ip it takes that "
         "long, to learn the addresses in use");
    Quiet(set);
    Parallel(set);
    set->add_flag("--force-first-generation", o_.forceFirstGeneration,
                  "serve devices with first-generation firmware too");

    CLI::App* backup = Command("backup", Command::Backup, "read many devices into files",
                               "Reads every device named (or every device that answers) into a "
                               "parameter file of its own.",
                               kBackupFooter);
    Devices(backup);
    backup->add_option("--out-dir", o_.outDir, "the folder (made when it is not there)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->required()
        ->type_name("DIR");
    Json(backup, "the report as JSON on standard output");
    Wait(backup, "how long the search may take to find the devices");
    Quiet(backup);
    Parallel(backup);

    CLI::App* fields = Command("fields", Command::Fields, "list the field names",
                               "Lists the field names with the values each takes and how it "
                               "travels to the device.");
    fields->add_option("PATTERN", o_.patterns, "names of fields, '*' and '?' allowed");
    fields->add_flag("--names", o_.namesOnly, "the names alone, one a line");
    Json(fields, "the fields as JSON");

    help_ = app_.add_subcommand("help", "tells about a command");
    help_->add_option("COMMAND", helpTopic_, "the command");
  }

  ParseOutcome Parse(int argc, const char* const* argv) {
    try {
      app_.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      return {ParseOutcome::Kind::Help, app_.help()};
    } catch (const CLI::CallForVersion& version) {
      return {ParseOutcome::Kind::Version, std::string(version.what()) + "\n"};
    } catch (const CLI::ParseError& error) {
      return Error(error.what());
    }
    if (help_->parsed() || o_.command == Command::None) {
      for (CLI::App* command : app_.get_subcommands([](CLI::App*) { return true; }))
        if (command->get_name() == helpTopic_)
          return {ParseOutcome::Kind::Help, command->help("quillon-cli")};
      if (!helpTopic_.empty()) return Error("help: no command '" + helpTopic_ + "'");
      if (help_->parsed()) return {ParseOutcome::Kind::Help, app_.help()};
      return Error("no command given");
    }
    std::string error = Check();
    if (!error.empty()) return Error(error);
    return {ParseOutcome::Kind::Run, {}};
  }

 private:
  // A command: one line for the program's list, then what it does for its own help, above its
  // notes.
  CLI::App* Command(const char* name, cli::Command command, const char* summary,
                    const char* description, const char* notes = nullptr) {
    CLI::App* sub = app_.add_subcommand(name, summary);
    sub->footer(notes ? std::string(description) + "\n\n" + notes : std::string(description));
    sub->parse_complete_callback([this, command] { o_.command = command; });
    return sub;
  }
  void Wait(CLI::App* sub, const char* what) {
    sub->add_option("--wait", o_.waitSeconds, std::string(what) + " (default 2)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(kSeconds)
        ->type_name("SECONDS");
    sub->add_option("--via", via_, "send and listen through this local address only")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("A.B.C.D");
  }
  void Quiet(CLI::App* sub) { sub->add_flag("--quiet", o_.quiet, "no progress on standard error"); }
  void Parallel(CLI::App* sub) {
    sub->add_option("--parallel", parallel_,
                    "serve up to N devices at once (default 16; 1: one after the other)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("N");
  }
  void Json(CLI::App* sub, const char* what) { sub->add_flag("--json", json_, what); }
  void Verify(CLI::App* sub, const char* what) {
    sub->add_flag("--verify", o_.verify, what);
    sub->add_option("--verify-wait", o_.verifyWaitSeconds,
                    "how long a device may take to come back after the download before its "
                    "check fails (default 30)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(kSeconds)
        ->type_name("SECONDS");
  }
  void Devices(CLI::App* sub) {
    sub->add_option("MAC", macWords_, "the devices, twelve hex digits each");
    sub->add_flag("--all", o_.all, "every device that answers the search, in the order listed");
  }

  ParseOutcome Error(const std::string& text) {
    return {ParseOutcome::Kind::Error, text + "\n'quillon-cli " +
                                           (CommandName().empty() ? "" : CommandName() + " ") +
                                           "--help' tells more."};
  }
  std::string CommandName() const {
    for (const CLI::App* command : app_.get_subcommands())
      if (command != help_) return command->get_name();
    return {};
  }

  std::string TakeMacs() {
    std::set<std::string> seen;
    for (const std::string& word : macWords_) {
      const std::optional<std::string> mac = NormalizeMac(word);
      if (!mac) return "not a MAC address of twelve hex digits: '" + word + "'";
      if (!seen.insert(*mac).second) return "device " + *mac + " is named twice";
      o_.macs.push_back(*mac);
    }
    return {};
  }

  // What the parser leaves to the program: the values and the combinations.
  std::string Check() {
    const cli::Command c = o_.command;
    o_.format = json_ ? OutputFormat::Json : csv_ ? OutputFormat::Csv : OutputFormat::Text;
    if (c == Command::Show) o_.sources = {showSource_};
    if (c == Command::Set) {
      for (const std::string& word : setWords_) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos)
          macWords_.push_back(word);
        else
          o_.assignments.emplace_back(word.substr(0, equals), word.substr(equals + 1));
      }
      if (o_.assignments.empty() && o_.valuesPath.empty())
        return "set needs NAME=VALUE (or --values FILE.json)";
    }
    if (std::string error = TakeMacs(); !error.empty()) return error;
    if ((c == Command::Apply || c == Command::Set || c == Command::Backup) &&
        o_.all == !o_.macs.empty())
      return o_.all ? CommandName() + " takes either MACs or --all, not both"
                    : CommandName() + " needs the devices' MACs or --all";
    if (!parts_.empty()) {
      const std::optional<unsigned> parts = ParseParts(parts_);
      if (!parts) return "--only: not a list of network, cameras, rs485: '" + parts_ + "'";
      o_.parts = *parts;
    }
    if (!ipFrom_.empty()) {
      o_.ipFrom = ParseIpv4(ipFrom_);
      if (!o_.ipFrom) return "--ip-from: not an IPv4 address: '" + ipFrom_ + "'";
      if ((o_.parts & kNetworkPart) == 0)
        return "--ip-from sets the network part, which --only leaves out";
    }
    if (!parallel_.empty()) {
      const std::optional<int> parallel = ParseParallel(parallel_);
      if (!parallel)
        return "--parallel: not a number of devices from 1 to " + std::to_string(kMaxParallel) +
               ": '" + parallel_ + "'";
      o_.parallel = *parallel;
    }
    if (!via_.empty()) {
      o_.via = ParseIpv4(via_);
      if (!o_.via) return "--via: not an IPv4 address: '" + via_ + "'";
    }
    return {};
  }

  CliOptions& o_;
  CLI::App app_;
  CLI::App* help_ = nullptr;
  std::string helpTopic_;
  std::string showSource_;
  std::vector<std::string> macWords_;
  std::vector<std::string> setWords_;
  std::string parts_;
  std::string ipFrom_;
  std::string via_;
  std::string parallel_;
  bool json_ = false;
  bool csv_ = false;
};

}  // namespace

ParseOutcome ParseCliCommandLine(int argc, const char* const* argv, CliOptions& options) {
  options = CliOptions{};
  Parser parser(options);
  return parser.Parse(argc, argv);
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
