// show and diff: the fields of a parameter file or a device by name, and where two differ.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "batch_report.h"
#include "cli_commands.h"
#include "cli_text.h"
#include "field_choice.h"

namespace quillon::cli {

namespace {

const char* const kShowHelp =
    "Shows the fields of a parameter file or of a device by name and value. A device is read\n"
    "for just the fields asked for.\n"
    "\n"
    "PATTERN narrows the fields: '*' stands for any characters, '?' for one\n"
    "(slot5.*, camera*.line1.text). Values are shown as the pages show them: lists by their\n"
    "item, reals with three decimals, texts in UTF-8. --json gives one object, name: value.";

const char* const kDiffHelp =
    "Lists the fields in which A and B differ, by name, with both values. Each of A and B is a\n"
    "parameter file or a device's MAC. Exit status 0 when none differ, 1 when some do, 2 on\n"
    "a bad argument or when a side cannot be read.";

FieldList AllFields() {
  FieldList fields;
  for (const NamedField& field : FieldTable()) fields.push_back(&field);
  return fields;
}

// A value for a line of text: device texts made harmless, texts in quotes where blanks would
// hide where they end.
std::string Shown(const NamedField& field, const std::string& value) {
  return field.kind == FieldKind::Text ? "\"" + PrintableText(value) + "\"" : value;
}

// One side of show or diff: a parameter file, or a device read for the fields asked for.
struct Side {
  std::string label;
  std::optional<std::string> mac;
  std::unique_ptr<DeviceParameterBlock> block;
};

// Fills the sides: files first (a bad one refuses the command before anything is sent), then
// the devices, found by one search. Returns the exit status of a failure, or nullopt.
std::optional<int> LoadSides(std::vector<Side>& sides, const FieldList& fields,
                             const NetworkOptions& network, bool quiet, const PortOpener& open,
                             int deviceFailure, std::FILE* err) {
  std::vector<Side*> devices;
  std::vector<std::string> macs;
  for (Side& side : sides) {
    if (side.mac) {
      devices.push_back(&side);
      macs.push_back(*side.mac);
      continue;
    }
    std::string why;
    std::optional<ParamImages> images = LoadParamFile(side.label, why);
    if (!images) {
      Message(err, "bad file " + side.label + ": " + why);
      return kExitRefused;
    }
    side.block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*side.block);
    side.block->osd = images->osd;
    side.block->modbus = images->modbus;
  }
  if (macs.empty()) return std::nullopt;

  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed =
          OpenAndSearch(network, open, macs, err, port, found, deviceFailure))
    return failed;
  const Batch batch{FirstGeneration::Warn,
                    "did not answer the search within " + SecondsText(network.waitSeconds), "read",
                    quiet};
  for (const DeviceOutcome& o :
       ServeBatch(*port, macs, found, batch, err, [&](const DeviceJob&job, DeviceOutcome&o) {
         std::unique_ptr<DeviceParameterBlock>& block = devices[job.index]->block;
         block = NewDeviceBlock(job.device);
         const FieldReads reads = ReadsFor(fields, job.device.LegacyLineText(), false);
         if (const TransferResult result = ReadFields(job.transfer, reads, *block); !result.Ok())
           o.Fail("read", result);
       })) {
    if (o.ok) continue;
    Message(err, o.mac + (o.failedStep == "search" ? " " : ": ") + o.error);
    return deviceFailure;
  }
  return std::nullopt;
}

Side SideOf(const std::string& text) {
  Side side;
  side.label = text;
  side.mac = NormalizeMac(text);
  if (side.mac) side.label = *side.mac;
  return side;
}

class Show final : public CliCommand {
 public:
  explicit Show(CLI::App& command) {
    command.add_option("SOURCE", source_, "a parameter file, or a device's MAC")->required();
    command.add_option("PATTERN", patterns_, "names of fields, '*' and '?' allowed");
    options_.Declare(command, "name: value as one JSON object",
                     "how long the search may take to find the device");
  }
  std::string Check() override { return options_.network.Check(); }
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  std::string source_;
  std::vector<std::string> patterns_;  // none: every field
  CommonOptions options_;
};

int Show::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  FieldList fields;
  if (!SelectFields(patterns_, fields, err)) return kExitRefused;
  std::vector<Side> sides;
  sides.push_back(SideOf(source_));
  if (const std::optional<int> failed =
          LoadSides(sides, fields, options_.network, options_.quiet, open, kExitDeviceFailed, err))
    return *failed;
  const DeviceParameterBlock& block = *sides.front().block;
  if (options_.format.json) {
    Json json = Json::object();
    for (const NamedField* field : fields) json[field->name] = FieldValueText(*field, block);
    std::fputs(JsonText(json).c_str(), out);
    return kExitOk;
  }
  const size_t width = NameWidth(fields) + 2;
  for (const NamedField* field : fields)
    std::fprintf(out, "%s%s\n", Pad(field->name, width).c_str(),
                 PrintableText(FieldValueText(*field, block)).c_str());
  return kExitOk;
}

class Diff final : public CliCommand {
 public:
  explicit Diff(CLI::App& command) {
    command.add_option("SOURCE", sources_, "A and B: two parameter files or MACs, or one of each")
        ->required()
        ->expected(2);
    options_.Declare(command, "the differences as JSON",
                     "how long the search may take to find the devices");
  }
  std::string Check() override { return options_.network.Check(); }
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  std::vector<std::string> sources_;  // a parameter file or a MAC each
  CommonOptions options_;
};

int Diff::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  std::vector<Side> sides;
  for (const std::string& source : sources_) sides.push_back(SideOf(source));
  const FieldList fields = AllFields();
  if (const std::optional<int> failed =
          LoadSides(sides, fields, options_.network, options_.quiet, open, kExitRefused, err))
    return *failed;
  struct Difference {
    const NamedField* field;
    std::string a, b;
  };
  std::vector<Difference> differences;
  for (const NamedField* field : fields) {
    std::string a = FieldValueText(*field, *sides[0].block);
    std::string b = FieldValueText(*field, *sides[1].block);
    if (a != b) differences.push_back({field, std::move(a), std::move(b)});
  }
  if (options_.format.json) {
    Json list = Json::array();
    for (const Difference& d : differences)
      list.push_back({{"name", d.field->name}, {"a", d.a}, {"b", d.b}});
    std::fputs(
        JsonText({{"a", sides[0].label}, {"b", sides[1].label}, {"differences", list}}).c_str(),
        out);
  } else {
    size_t width = 0;
    for (const Difference& d : differences) width = std::max(width, d.field->name.size() + 2);
    for (const Difference& d : differences)
      std::fprintf(out, "%s%s -> %s\n", Pad(d.field->name, width).c_str(),
                   Shown(*d.field, d.a).c_str(), Shown(*d.field, d.b).c_str());
  }
  return differences.empty() ? kExitOk : kExitDiffer;
}

}  // namespace

CommandEntry ShowCommand() {
  return {"show", "show the fields of a file or a device", kShowHelp, Make<Show>};
}

CommandEntry DiffCommand() {
  return {"diff", "the fields in which two files or devices differ", kDiffHelp, Make<Diff>};
}

}  // namespace quillon::cli
