// The commands on fields by name: show, diff, set, backup and the list of fields.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "apply_plan.h"
#include "batch_apply.h"
#include "cli_commands.h"
#include "cli_text.h"
#include "field_transfer.h"
#include "files/file_bytes.h"
#include "link/broadcast_port.h"

namespace quillon::cli {

namespace {

// The fields that the patterns name, in the order of the table; every field without patterns.
// False after saying which pattern names none.
bool SelectFields(const std::vector<std::string>& patterns, FieldList& fields, std::FILE* err) {
  for (const std::string& pattern : patterns) {
    if (std::none_of(FieldTable().begin(), FieldTable().end(), [&](const NamedField& field) {
          return MatchesPattern(pattern, field.name);
        })) {
      Message(err, "no field matches '" + pattern + "'; 'quillon-cli fields' lists them");
      return false;
    }
  }
  for (const NamedField& field : FieldTable())
    if (patterns.empty() || std::any_of(patterns.begin(), patterns.end(), [&](const auto& p) {
          return MatchesPattern(p, field.name);
        }))
      fields.push_back(&field);
  return true;
}

FieldList AllFields() {
  FieldList fields;
  for (const NamedField& field : FieldTable()) fields.push_back(&field);
  return fields;
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

size_t NameWidth(const FieldList& fields) {
  size_t width = 0;
  for (const NamedField* field : fields) width = std::max(width, field->name.size());
  return width;
}

// A value for a line of text: device texts made harmless, texts in quotes where blanks would
// hide where they end.
std::string Shown(const NamedField& field, const std::string& value) {
  return field.kind == FieldKind::Text ? "\"" + PrintableText(value) + "\"" : value;
}

std::string MacList(const std::vector<std::string>& macs) {
  std::string text;
  for (const std::string& mac : macs) text += (text.empty() ? "" : ", ") + mac;
  return text;
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
  std::vector<std::string> macs;
  for (Side& side : sides) {
    if (side.mac) {
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

  TransferPort* port = OpenPort(open, err);
  if (!port) return deviceFailure;
  std::vector<FoundDevice> found;
  if (!SearchDevices(*port, Milliseconds(options.waitSeconds), macs, found)) {
    Message(err, "the search could not be sent through any local address");
    return deviceFailure;
  }
  ProgressLine progress(err, !options.quiet);
  int index = 0;
  for (Side& side : sides) {
    if (!side.mac) continue;
    const FoundDevice* device = FindDevice(found, *side.mac);
    if (!device) {
      Message(err,
              *side.mac + " did not answer the search within " + SecondsText(options.waitSeconds));
      return deviceFailure;
    }
    if (device->FirstGeneration()) WarnFirstGeneration(*device, err);
    progress.Device(++index, static_cast<int>(macs.size()), *side.mac);
    DeviceTransfer transfer(*port, device->record.mac, device->LegacyLineText());
    transfer.SetProgress([&](std::string_view step, int percent) { progress.Step(step, percent); });
    side.block = NewDeviceBlock(*device);
    const TransferResult result =
        ReadFields(transfer, ReadsFor(fields, device->LegacyLineText(), false), *side.block);
    if (!result.Ok()) {
      progress.Finish("FAILED");
      Message(err, *side.mac + ": " + result.message);
      return deviceFailure;
    }
    progress.Finish("read");
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

// The values that set is given: those of --values first, then those of the command line, each
// field once, every value checked. Empty after saying what is wrong.
std::vector<FieldValue> CheckedValues(const CliOptions& options, std::FILE* err) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!options.valuesPath.empty()) {
    const FileReadResult file = ReadFileBytes(options.valuesPath, kMaxParamFileBytes);
    if (file.status != FileReadResult::Status::Read) {
      Message(err, "--values: cannot read " + options.valuesPath);
      return {};
    }
    const Json json = Json::parse(file.bytes, nullptr, false);
    if (!json.is_object()) {
      Message(err, "--values: " + options.valuesPath + " holds no JSON object of NAME: VALUE");
      return {};
    }
    for (const auto& [name, value] : json.items()) {
      if (value.is_string())
        pairs.emplace_back(name, value.get<std::string>());
      else if (value.is_number() || value.is_boolean())
        pairs.emplace_back(name,
                           value.is_boolean() ? (value.get<bool>() ? "1" : "0") : value.dump());
      else
        pairs.emplace_back(name, value.dump());
    }
  }
  pairs.insert(pairs.end(), options.assignments.begin(), options.assignments.end());
  if (pairs.empty()) Message(err, "nothing to set: --values " + options.valuesPath + " is empty");

  std::vector<FieldValue> values;
  bool bad = false;
  for (const auto& [name, text] : pairs) {
    const NamedField* field = FindField(name);
    if (!field) {
      Message(err, "no field named '" + name + "'; 'quillon-cli fields' lists them");
      bad = true;
      continue;
    }
    if (std::any_of(values.begin(), values.end(),
                    [&](const FieldValue& v) { return v.field == field; })) {
      Message(err, name + " is given twice");
      bad = true;
      continue;
    }
    if (const std::string why = CheckFieldValue(*field, text); !why.empty()) {
      Message(err, why);
      bad = true;
    }
    values.push_back({field, text});
  }
  if (bad) values.clear();
  return values;
}

const FieldValue* ValueOf(const std::vector<FieldValue>& values, const char* name) {
  for (const FieldValue& value : values)
    if (value.field->name == name) return &value;
  return nullptr;
}

// The addresses that network.ip gives the targets: counted up from its value, each in the subnet
// of its gateway under its mask (those set, or the device's own, which a parameter read learns
// without changing anything).
AddressPlan PlanSetAddresses(TransferPort& port, const std::vector<FieldValue>& values,
                             const std::vector<std::string>& targets,
                             const std::vector<FoundDevice>& found) {
  const uint32_t first = *ParseIpv4(ValueOf(values, "network.ip")->text);
  const FieldValue* mask = ValueOf(values, "network.mask");
  const FieldValue* gateway = ValueOf(values, "network.gateway");
  std::vector<SubnetRule> rules(targets.size());
  std::optional<SubnetRule> known;
  for (size_t i = 0; i < targets.size(); ++i) {
    sOSDCommPara osd{};
    const FoundDevice* device = FindDevice(found, targets[i]);
    bool read = mask && gateway;
    if (device && !read) {
      DeviceTransfer transfer(port, device->record.mac, device->LegacyLineText());
      read = transfer.ReadParams(osd).Ok();
    }
    if (!read && !(mask && gateway)) continue;  // it fails when it is served
    SubnetRule& rule = rules[i];
    rule.mask = mask ? *ParseIpv4(mask->text) : AddressOf(osd.abyNetMask);
    rule.gateway = gateway ? *ParseIpv4(gateway->text) : AddressOf(osd.abyGateway);
    rule.anchor = rule.gateway ? rule.gateway : first;
    rule.whose = rule.gateway ? "the gateway " + Ipv4Text(rule.gateway) +
                                    (gateway ? "" : " of " + targets[i])
                              : "the first address " + Ipv4Text(first);
    known = rule;
  }
  // A device that cannot be asked is counted in, under the rule of one that could.
  for (size_t i = 0; i < targets.size() && known; ++i)
    if (rules[i].mask == 0 && rules[i].whose.empty()) rules[i] = *known;
  if (!known) {
    AddressPlan plan;
    plan.error =
        "no device answered a parameter read, so the subnets of their addresses are "
        "unknown";
    return plan;
  }
  return CountAddresses(targets, first, rules, found);
}

std::string SetTextLine(const SetReport& r) {
  std::string line = r.mac + "  " + (r.ok ? "ok    " : "FAILED") + "  ";
  if (!r.ok) {
    line += r.failedStep + ": " + r.error;
    if (!r.written.empty() && r.failedStep == "verify") line += " (written before)";
    return line + "\n";
  }
  line += (r.ip.empty() ? "" : r.ip + ": ");
  if (r.written.empty()) {
    line += "nothing to change";
  } else {
    std::string names;
    for (const std::string& name : r.written) names += (names.empty() ? "" : ", ") + name;
    line += names + " written";
    if (r.entries)
      line +=
          " (" + std::to_string(r.entries) + " RS-485 entr" + (r.entries == 1 ? "y" : "ies") + ")";
    if (r.downloaded) line += ", downloaded";
    if (r.staticIp) line += ", static IP " + Ipv4Text(*r.staticIp);
  }
  if (r.verified) line += "; verified";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, " (%.1f s)\n", static_cast<double>(r.time.count()) / 1000);
  return line + seconds;
}

Json SetJson(const SetReport& r) {
  auto text = [](const std::string& s) { return s.empty() ? Json() : Json(s); };
  return {{"mac", r.mac},
          {"name", r.name},
          {"ip", text(r.ip)},
          {"version", text(r.version)},
          {"ok", r.ok},
          {"failed_step", text(r.failedStep)},
          {"error", text(r.error)},
          {"written", r.written},
          {"rs485_entries", r.entries},
          {"downloaded", r.downloaded},
          {"static_ip", r.staticIp ? Json(Ipv4Text(*r.staticIp)) : Json()},
          {"verified", r.verified},
          {"mismatches", r.mismatches},
          {"notes", r.notes},
          {"retries", r.retries},
          {"seconds", static_cast<double>(r.time.count()) / 1000}};
}

// The devices of a batch: those named, or every one that answered. Empty after saying why.
std::vector<std::string> Targets(const CliOptions& options, const std::vector<FoundDevice>& found,
                                 std::FILE* err) {
  std::vector<std::string> targets = options.macs;
  if (options.all) {
    for (const FoundDevice& device : found) targets.push_back(device.Mac());
    if (targets.empty())
      Message(err, "no device answered the search within " + SecondsText(options.waitSeconds));
  }
  return targets;
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

int RunSet(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  // Every value is checked before anything is sent: a bad one changes no device.
  const std::vector<FieldValue> values = CheckedValues(options, err);
  if (values.empty()) {
    Message(err, "set refused; no device was changed");
    return kExitRefused;
  }
  const bool addresses = ValueOf(values, "network.ip") != nullptr;

  TransferPort* port = OpenPort(open, err);
  if (!port) return kExitDeviceFailed;
  const std::chrono::milliseconds wait = Milliseconds(options.waitSeconds);
  // Giving addresses takes knowing which ones the devices on the network hold.
  std::vector<FoundDevice> found;
  if (!SearchDevices(*port, wait, addresses ? std::vector<std::string>{} : options.macs, found)) {
    Message(err, "the search could not be sent through any local address");
    return kExitDeviceFailed;
  }
  const std::vector<std::string> targets = Targets(options, found, err);
  if (targets.empty()) return kExitDeviceFailed;
  AddressPlan plan;
  plan.addresses.assign(targets.size(), std::nullopt);
  if (addresses) plan = PlanSetAddresses(*port, values, targets, found);
  if (!plan.error.empty()) {
    Message(err, "set refused: " + plan.error + "; no device was changed");
    return kExitRefused;
  }

  SetSettings settings;
  settings.verify = options.verify;
  settings.verifyWait = Milliseconds(options.verifyWaitSeconds);
  settings.forceFirstGeneration = options.forceFirstGeneration;
  ProgressLine progress(err, !options.quiet);
  std::vector<SetReport> reports;
  int failed = 0;
  for (size_t i = 0; i < targets.size(); ++i) {
    progress.Device(static_cast<int>(i + 1), static_cast<int>(targets.size()), targets[i]);
    const FoundDevice* device = FindDevice(found, targets[i]);
    SetReport report;
    if (device) {
      report =
          SetOnDevice(*port, *device, values, settings, plan.addresses[i],
                      [&](std::string_view step, int percent) { progress.Step(step, percent); });
    } else {
      report.mac = targets[i];
      report.failedStep = "search";
      report.error = "no reply to the search within " + SecondsText(options.waitSeconds);
    }
    progress.Finish(report.ok ? "done" : "FAILED: " + report.failedStep + ": " + report.error);
    failed += report.ok ? 0 : 1;
    reports.push_back(std::move(report));
  }

  if (options.format == OutputFormat::Json) {
    Json fields = Json::object();
    for (const FieldValue& value : values) fields[value.field->name] = value.text;
    Json devices = Json::array();
    for (const SetReport& r : reports) devices.push_back(SetJson(r));
    std::fputs(JsonText({{"fields", fields},
                         {"verify", options.verify},
                         {"devices", devices},
                         {"succeeded", reports.size() - failed},
                         {"failed", failed}})
                   .c_str(),
               out);
  } else {
    std::vector<std::string> failedMacs;
    for (const SetReport& r : reports) {
      std::fputs(SetTextLine(r).c_str(), out);
      for (const std::string& mismatch : r.mismatches)
        std::fprintf(out, "    %s\n", PrintableText(mismatch).c_str());
      for (const std::string& note : r.notes)
        std::fprintf(out, "    %s\n", PrintableText(note).c_str());
      if (!r.ok) failedMacs.push_back(r.mac);
    }
    std::fprintf(out, "%zu of %zu device(s) done%s\n", reports.size() - failed, reports.size(),
                 failed ? ("; failed: " + MacList(failedMacs)).c_str() : "");
  }
  return failed ? kExitDeviceFailed : kExitOk;
}

namespace {

// A file of the folder `dir`, both UTF-8, with the separator the folder's name already uses.
std::string FileInFolder(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/' || dir.back() == '\\') return dir + name;
  return dir + (dir.find('\\') != std::string::npos ? "\\" : "/") + name;
}

}  // namespace

int RunBackup(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  namespace fs = std::filesystem;
  // The folder's UTF-8 name as the system's path (UTF-16 on Windows).
  const fs::path folder(std::u8string(options.outDir.begin(), options.outDir.end()));
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) {
    Message(err, "backup: cannot make the folder " + options.outDir);
    return kExitRefused;
  }
  TransferPort* port = OpenPort(open, err);
  if (!port) return kExitDeviceFailed;
  std::vector<FoundDevice> found;
  if (!SearchDevices(*port, Milliseconds(options.waitSeconds), options.macs, found)) {
    Message(err, "the search could not be sent through any local address");
    return kExitDeviceFailed;
  }
  const std::vector<std::string> targets = Targets(options, found, err);
  if (targets.empty()) return kExitDeviceFailed;

  struct Row {
    std::string mac, ip, name, version, file, error;
    double seconds = 0;
  };
  std::vector<Row> rows;
  ProgressLine progress(err, !options.quiet);
  for (size_t i = 0; i < targets.size(); ++i) {
    Row row;
    row.mac = targets[i];
    progress.Device(static_cast<int>(i + 1), static_cast<int>(targets.size()), targets[i]);
    const FoundDevice* device = FindDevice(found, targets[i]);
    const TransferPort::Clock::time_point start = port->Now();
    if (!device) {
      row.error = "search: no reply to the search within " + SecondsText(options.waitSeconds);
    } else {
      if (device->FirstGeneration()) WarnFirstGeneration(*device, err);
      row.ip = device->record.IpText();
      row.name = device->record.name;
      row.version = device->record.VersionText();
      DeviceTransfer transfer(*port, device->record.mac, device->LegacyLineText());
      transfer.SetProgress(
          [&](std::string_view step, int percent) { progress.Step(step, percent); });
      std::unique_ptr<DeviceParameterBlock> block = NewDeviceBlock(*device);
      const TransferResult result = ReadWholeDevice(transfer, device->LegacyLineText(), *block);
      const std::string file = targets[i] + ".ini";
      if (!result.Ok())
        row.error = "read: " + result.message;
      else if (!ExportParamFile(FileInFolder(options.outDir, file), TakeImages(*block)))
        row.error = "write: cannot write " + FileInFolder(options.outDir, file);
      else
        row.file = file;
    }
    row.seconds = std::chrono::duration<double>(port->Now() - start).count();
    progress.Finish(row.error.empty() ? "read" : "FAILED: " + row.error);
    rows.push_back(std::move(row));
  }

  const std::string listPath = FileInFolder(options.outDir, "devices.csv");
  std::string list = "mac,ip,name,version,file,error\n";
  for (const Row& r : rows)
    list += r.mac + "," + r.ip + "," + CsvField(r.name) + "," + r.version + "," + r.file + "," +
            CsvField(r.error) + "\n";
  const bool listed = ReplaceFileBytes(listPath, list);
  if (!listed) Message(err, "backup: cannot write " + listPath);

  int failed = 0;
  for (const Row& r : rows) failed += r.error.empty() ? 0 : 1;
  if (options.format == OutputFormat::Json) {
    Json devices = Json::array();
    for (const Row& r : rows)
      devices.push_back({{"mac", r.mac},
                         {"ip", r.ip.empty() ? Json() : Json(r.ip)},
                         {"name", r.name},
                         {"version", r.version.empty() ? Json() : Json(r.version)},
                         {"ok", r.error.empty()},
                         {"file", r.file.empty() ? Json() : Json(r.file)},
                         {"error", r.error.empty() ? Json() : Json(r.error)},
                         {"seconds", r.seconds}});
    std::fputs(JsonText({{"out_dir", options.outDir},
                         {"list", listed ? Json("devices.csv") : Json()},
                         {"devices", devices},
                         {"succeeded", rows.size() - failed},
                         {"failed", failed}})
                   .c_str(),
               out);
  } else {
    for (const Row& r : rows) {
      if (r.error.empty())
        std::fprintf(out, "%s  ok      %s  %s  %s -> %s\n", r.mac.c_str(), r.ip.c_str(),
                     r.version.c_str(), PrintableText(r.name).c_str(),
                     FileInFolder(options.outDir, r.file).c_str());
      else
        std::fprintf(out, "%s  FAILED  %s\n", r.mac.c_str(), r.error.c_str());
    }
    std::fprintf(out, "%zu of %zu device(s) backed up\n", rows.size() - failed, rows.size());
  }
  return failed || !listed ? kExitDeviceFailed : kExitOk;
}

int RunFields(const CliOptions& options, std::FILE* out, std::FILE* err) {
  FieldList fields;
  if (!SelectFields(options.patterns, fields, err)) return kExitRefused;
  if (options.format == OutputFormat::Json) {
    Json list = Json::array();
    for (const NamedField* f : fields) {
      Json items = Json::array();
      for (const ListItem& item : f->items) items.push_back(item.label);
      list.push_back({{"name", f->name},
                      {"values", AllowedValues(*f)},
                      {"items", items},
                      {"transfer", TransferText(*f)},
                      {"offset", f->offset},
                      {"size", f->size}});
    }
    std::fputs(JsonText(list).c_str(), out);
    return kExitOk;
  }
  const size_t width = NameWidth(fields) + 2;
  for (const NamedField* f : fields) {
    if (options.namesOnly)
      std::fprintf(out, "%s\n", f->name.c_str());
    else
      std::fprintf(out, "%s%s  [%s]\n", Pad(f->name, width).c_str(), AllowedValues(*f).c_str(),
                   TransferText(*f).c_str());
  }
  return kExitOk;
}

}  // namespace quillon::cli
