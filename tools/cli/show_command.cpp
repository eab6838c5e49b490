// show and diff: the fields of a parameter file or a device by name, and where two differ.
#include <algorithm>
#include <memory>

#include "cli_commands.h"
#include "cli_text.h"
#include "device_batch.h"
#include "field_transfer.h"

namespace quillon::cli {

namespace {

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
                             const CliOptions& options, const PortOpener& open, int deviceFailure,
                             std::FILE* err) {
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
          OpenAndSearch(options, open, macs, err, port, found, deviceFailure))
    return failed;
  const Batch batch{FirstGeneration::Warn,
                    "did not answer the search within " + SecondsText(options.waitSeconds), "read",
                    options.quiet};
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

}  // namespace

int RunShow(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  FieldList fields;
  if (!SelectFields(options.patterns, fields, err)) return kExitRefused;
  std::vector<Side> sides;
  sides.push_back(SideOf(options.sources.front()));
  if (const std::optional<int> failed =
          LoadSides(sides, fields, options, open, kExitDeviceFailed, err))
    return *failed;
  const DeviceParameterBlock& block = *sides.front().block;
  if (options.format == OutputFormat::Json) {
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

int RunDiff(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  std::vector<Side> sides;
  for (const std::string& source : options.sources) sides.push_back(SideOf(source));
  const FieldList fields = AllFields();
  if (const std::optional<int> failed = LoadSides(sides, fields, options, open, kExitRefused, err))
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
  if (options.format == OutputFormat::Json) {
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

}  // namespace quillon::cli
