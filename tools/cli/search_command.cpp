// search: the devices that answer, once each, and with --expect-file those that should have.
#include <CLI/CLI.hpp>
#include <algorithm>

#include "cli_commands.h"
#include "cli_text.h"
#include "files/file_bytes.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

const char* const kSearchHelp =
    "Broadcasts a search and lists every device that answers within the wait, once per MAC:\n"
    "MAC, IP address, firmware version, flags, the PC's addresses it answered through, name.\n"
    "\n"
    "Flags: first-gen (firmware below 02.00, which this program does not serve) and\n"
    "legacy-texts (firmware below 32.00, line texts inside the parameter frames).\n"
    "--json gives an array of objects: mac, ip, name, version, first_generation,\n"
    "legacy_line_text, local_addresses; --csv the same fields with a header line.\n"
    "--expect-file takes a CSV file with a mac column (the devices.csv of backup) and names\n"
    "the devices of it that did not answer and those that are not in it; exit status 1 when\n"
    "any did not answer. With --json the output is then an object: devices, missing,\n"
    "unexpected.";

std::string Addresses(const std::vector<uint32_t>& addresses, const char* separator) {
  std::vector<std::string> texts;
  for (const uint32_t address : addresses) texts.push_back(Ipv4Text(address));
  return Joined(texts, separator);
}

std::string Flags(const FoundDevice& device) {
  if (device.FirstGeneration()) return "first-gen";
  if (device.LegacyLineText()) return "legacy-texts";
  return "-";
}

Json DevicesJson(const std::vector<FoundDevice>& devices) {
  Json list = Json::array();
  for (const FoundDevice& d : devices) {
    Json addresses = Json::array();
    for (const uint32_t address : d.localAddresses) addresses.push_back(Ipv4Text(address));
    list.push_back({{"mac", d.Mac()},
                    {"ip", d.record.IpText()},
                    {"name", d.record.name},
                    {"version", d.record.VersionText()},
                    {"first_generation", d.FirstGeneration()},
                    {"legacy_line_text", d.LegacyLineText()},
                    {"local_addresses", addresses}});
  }
  return list;
}

// The header of the mac column: blanks and the case do not count.
bool IsMacColumn(const std::string& name) {
  std::string kept;
  for (const char c : name)
    if (c != ' ') kept.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  return kept == "mac";
}

// The MACs of the file's mac column, each once, in the file's order. False after saying what is
// wrong with the file.
bool ExpectedDevices(const std::string& path, std::vector<std::string>& macs, std::FILE* err) {
  const FileReadResult file = ReadFileBytes(path, kMaxParamFileBytes);
  if (file.status != FileReadResult::Status::Read) {
    Message(err, "--expect-file: cannot read " + path);
    return false;
  }
  const std::vector<std::vector<std::string>> records = CsvRecords(file.bytes);
  size_t at = 0;
  while (!records.empty() && at < records[0].size() && !IsMacColumn(records[0][at])) ++at;
  if (records.empty() || at == records[0].size()) {
    Message(err, "--expect-file: " + path + " has no mac column in its first line");
    return false;
  }
  for (size_t row = 1; row < records.size(); ++row) {
    if (at >= records[row].size() || records[row][at].empty()) continue;
    const std::optional<std::string> mac = NormalizeMac(records[row][at]);
    if (!mac) {
      Message(err, "--expect-file: " + path + ", row " + std::to_string(row + 1) +
                       ": not a MAC address: '" + PrintableText(records[row][at]) + "'");
      return false;
    }
    if (std::find(macs.begin(), macs.end(), *mac) == macs.end()) macs.push_back(*mac);
  }
  return true;
}

}  // namespace

std::string FormatDevices(const std::vector<FoundDevice>& devices, OutputFormat format) {
  std::string out;
  switch (format) {
    case OutputFormat::Json:
      return JsonText(DevicesJson(devices));
    case OutputFormat::Csv:
      out = "mac,ip,name,version,first_generation,legacy_line_text,local_addresses\n";
      for (const FoundDevice& d : devices) {
        out += d.Mac() + "," + d.record.IpText() + "," + CsvField(d.record.name) + "," +
               d.record.VersionText() + "," + (d.FirstGeneration() ? "true" : "false") + "," +
               (d.LegacyLineText() ? "true" : "false") + "," +
               CsvField(Addresses(d.localAddresses, ";")) + "\n";
      }
      break;
    case OutputFormat::Text:
      out = "MAC           IP               VERSION  FLAGS         VIA              NAME\n";
      for (const FoundDevice& d : devices) {
        out += d.Mac() + "  " + Pad(d.record.IpText(), 15) + "  " + Pad(d.record.VersionText(), 7) +
               "  " + Pad(Flags(d), 12) + "  " + Pad(Addresses(d.localAddresses, ","), 15) + "  " +
               PrintableText(d.record.name) + "\n";
      }
      break;
  }
  return out;
}

namespace {

class Search final : public CliCommand {
 public:
  explicit Search(CLI::App& command) {
    network_.Declare(command, "how long to collect replies");
    command
        .add_option("--expect", network_.expectDevices,
                    "end the search as soon as N devices have answered (at most the wait)")
        ->check(CLI::PositiveNumber)
        ->type_name("N");
    command
        .add_option("--expect-file", expectFile_,
                    "the devices that should answer: a CSV file with a mac column")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("FILE.csv");
    CLI::Option* json = command.add_flag("--json", format_.json, "the list as JSON");
    command.add_flag("--csv", format_.csv, "the list as CSV")->excludes(json);
  }
  std::string Check() override { return network_.Check(); }
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  NetworkOptions network_;
  std::string expectFile_;  // the CSV of the devices that should answer
  FormatOptions format_;
};

int Search::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  const OutputFormat format = format_.Format();
  std::vector<std::string> expected;
  const bool inventory = !expectFile_.empty();
  if (inventory && !ExpectedDevices(expectFile_, expected, err)) return kExitRefused;
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed = OpenAndSearch(network_, open, {}, err, port, found))
    return *failed;
  for (const FoundDevice& device : found)
    if (device.FirstGeneration()) WarnFirstGeneration(device, err);
  if (found.empty()) Message(err, "no device answered within " + SecondsText(network_.waitSeconds));
  std::vector<std::string> missing, unexpected;
  for (const std::string& mac : expected)
    if (!FindDevice(found, mac)) missing.push_back(mac);
  for (const FoundDevice& device : found)
    if (std::find(expected.begin(), expected.end(), device.Mac()) == expected.end())
      unexpected.push_back(device.Mac());
  if (inventory && format == OutputFormat::Json) {
    const Json json = {
        {"devices", DevicesJson(found)}, {"missing", missing}, {"unexpected", unexpected}};
    std::fputs(JsonText(json).c_str(), out);
  } else {
    std::fputs(FormatDevices(found, format).c_str(), out);
  }
  if (!inventory || format == OutputFormat::Json)
    return missing.empty() ? kExitOk : kExitDeviceFailed;
  // Beside a CSV list the inventory goes to standard error, so that the list stays CSV.
  std::FILE* to = format == OutputFormat::Csv ? err : out;
  const char* file = expectFile_.c_str();
  if (missing.empty())
    std::fprintf(to, "all %zu device(s) of %s answered\n", expected.size(), file);
  else
    std::fprintf(to, "%zu of %zu device(s) of %s did not answer: %s\n", missing.size(),
                 expected.size(), file, Joined(missing).c_str());
  if (!unexpected.empty())
    std::fprintf(to, "%zu device(s) answered that %s does not list: %s\n", unexpected.size(), file,
                 Joined(unexpected).c_str());
  return missing.empty() ? kExitOk : kExitDeviceFailed;
}

}  // namespace

CommandEntry SearchCommand() {
  return {"search", "list the devices that answer a search", kSearchHelp, Make<Search>};
}

}  // namespace quillon::cli
