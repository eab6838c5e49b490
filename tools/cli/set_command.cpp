// set: fields by name on one or many devices, only what changed written.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "apply_plan.h"
#include "cli_commands.h"
#include "device/device_rules.h"
#include "field_choice.h"
#include "files/file_bytes.h"
#include "text/gbk.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

const char* const kSetHelp =
    "Sets fields by name on one or many devices, for example\n"
    "  quillon-cli set 00E04C3A1B01 00E04C3A1B02 rs485.baud=9600 slot5.name=压力\n"
    "\n"
    "Every value is checked against its field before anything is sent; a bad one names the\n"
    "field and what it takes, and no device is changed (exit status 2). Lists take an item's\n"
    "text or its index from 0. Then each device, up to --parallel of them at once: what the\n"
    "change needs is read, changed RS-485 fields are written as their dictionary entries\n"
    "alone, and changed network or camera fields go with the parameter download, last (the\n"
    "device restarts). network.ip\n"
    "on several devices counts up from the value, as apply --ip-from does: the addresses stay\n"
    "in the subnet of the gateway (the one set, or each device's own) and clear of addresses\n"
    "that other devices hold.";

// NAME=VALUE, in the order given.
using Assignments = std::vector<std::pair<std::string, std::string>>;

std::string_view Text(const DeviceParameterBlock& block, const NamedField& field) {
  return FieldText(reinterpret_cast<const char*>(&block) + field.offset, field.size);
}

// The values that set is given: those of --values first, then those of the command line, each
// field once, every value checked. Empty after saying what is wrong.
std::vector<FieldValue> CheckedValues(const std::string& valuesPath, const Assignments& assignments,
                                      std::FILE* err) {
  Assignments pairs;
  if (!valuesPath.empty()) {
    const FileReadResult file = ReadFileBytes(valuesPath, kMaxParamFileBytes);
    if (file.status != FileReadResult::Status::Read) {
      Message(err, "--values: cannot read " + valuesPath);
      return {};
    }
    const Json json = Json::parse(file.bytes, nullptr, false);
    if (!json.is_object()) {
      Message(err, "--values: " + valuesPath + " holds no JSON object of NAME: VALUE");
      return {};
    }
    for (const auto& [name, value] : json.items())
      pairs.emplace_back(name, value.is_string()    ? value.get<std::string>()
                               : value.is_boolean() ? (value.get<bool>() ? "1" : "0")
                                                    : value.dump());
  }
  pairs.insert(pairs.end(), assignments.begin(), assignments.end());
  if (pairs.empty()) Message(err, "nothing to set: --values " + valuesPath + " is empty");

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

// The address that `values` give the field `name`, checked by CheckedValues.
std::optional<uint32_t> AddressOf(const std::vector<FieldValue>& values, const char* name) {
  for (const FieldValue& value : values)
    if (value.field->name == name) return ParseIpv4(value.text);
  return std::nullopt;
}

// The addresses that network.ip gives the targets: counted up from its value, each in the subnet
// of its gateway under its mask (those set, or the device's own, which a parameter read learns
// without changing anything).
AddressPlan PlanSetAddresses(TransferPort& port, const std::vector<FieldValue>& values,
                             const std::vector<std::string>& targets,
                             const std::vector<FoundDevice>& found) {
  const uint32_t first = AddressOf(values, "network.ip").value_or(0);
  const std::optional<uint32_t> mask = AddressOf(values, "network.mask");
  const std::optional<uint32_t> gateway = AddressOf(values, "network.gateway");
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
    if (!read) continue;  // it fails when it is served
    SubnetRule& rule = rules[i];
    rule.mask = mask.value_or(Ipv4FromBytes(osd.abyNetMask));
    rule.gateway = gateway.value_or(Ipv4FromBytes(osd.abyGateway));
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
        "no device answered a parameter read, so the subnets of their addresses are unknown";
    return plan;
  }
  return CountAddresses(targets, first, rules, found);
}

// Reads what the change needs, writes changed RS-485 fields as their dictionary entries alone,
// then downloads changed network and camera fields (the device restarts), and with `verify`
// reads the fields back. `staticIp` is the address plan's value of network.ip for this device.
void SetFields(const DeviceJob& job, const std::vector<FieldValue>& values,
               const VerifyOptions& verify, std::optional<uint32_t> staticIp,
               DeviceOutcome& outcome) {
  const bool legacy = job.device.LegacyLineText();
  DeviceTransfer& transfer = job.transfer;
  FieldList fields;
  for (const FieldValue& value : values) fields.push_back(value.field);
  const bool download = std::any_of(fields.begin(), fields.end(), [](const NamedField* field) {
    return field->transfer != FieldTransfer::Dictionary;
  });
  std::unique_ptr<DeviceParameterBlock> before = NewDeviceBlock(job.device);
  if (TransferResult result = ReadFields(transfer, ReadsFor(fields, legacy, download), *before);
      !result.Ok())
    return outcome.Fail("read", result);

  auto after = std::make_unique<DeviceParameterBlock>(*before);
  for (const FieldValue& value : values) {
    StoreFieldValue(*value.field, value.text, *after);
    if (value.field->name == "network.ip" && staticIp) Ipv4ToBytes(*staticIp, after->osd.abyIP);
    if (legacy && value.field->transfer == FieldTransfer::LineText &&
        Text(*after, *value.field).size() > kLegacyLineTextBytes)
      outcome.notes.push_back(value.field->name + ": firmware " + outcome.version +
                              " keeps the whole characters of the first 17 bytes of a line text");
  }
  std::vector<uint16_t> ids;
  bool downloadChanged = false;
  for (const NamedField* field : fields) {
    if (SameFieldValue(*field, *before, *after)) continue;
    outcome.writtenFields.push_back(field->name);
    if (field->transfer == FieldTransfer::Dictionary)
      ids.push_back(field->id);
    else
      downloadChanged = true;
  }

  // The RS-485 entries first: the download restarts the device.
  if (!ids.empty()) {
    MarkEntries(after->modbus, ids, after->modbus.abyDictWrite);
    if (TransferResult result = transfer.TransferMarked(*after, true); !result.Ok())
      return outcome.Fail("rs485", result);
    outcome.rs485Entries = static_cast<int>(ids.size());
  }
  if (downloadChanged) {
    if (TransferResult result = transfer.Download(*after); !result.Ok())
      return outcome.Fail("download", result);
    outcome.downloaded = true;
    const auto& written = outcome.writtenFields;
    if (std::find(written.begin(), written.end(), "network.ip") != written.end())
      outcome.staticIp = Ipv4FromBytes(after->osd.abyIP);
  }
  if (verify.verify)
    VerifyDevice(
        job, outcome, Milliseconds(verify.waitSeconds), [&](std::vector<std::string>& mismatches) {
          std::unique_ptr<DeviceParameterBlock> back = NewDeviceBlock(job.device);
          const TransferResult read = ReadFields(transfer, ReadsFor(fields, legacy, false), *back);
          for (const NamedField* field : fields)
            if (read.Ok() && !HoldsAsSent(*field, *after, *back, legacy))
              mismatches.push_back(FieldDiffers(*field, *after, *back));
          return read;
        });
}

ReportStyle SetReport(const std::vector<FieldValue>& values, bool verify) {
  ReportStyle style;
  style.line = [](const DeviceOutcome& o) -> std::string {
    if (!o.ok)
      return !o.writtenFields.empty() && o.failedStep == "verify" ? " (written before)" : "";
    std::string line = o.ip.empty() ? "" : o.ip + ": ";
    if (o.writtenFields.empty()) {
      line += "nothing to change";
    } else {
      line += Joined(o.writtenFields) + " written";
      if (o.rs485Entries)
        line += " (" + std::to_string(o.rs485Entries) + " RS-485 entr" +
                (o.rs485Entries == 1 ? "y" : "ies") + ")";
      if (o.downloaded) line += ", downloaded";
      if (o.staticIp) line += ", static IP " + Ipv4Text(*o.staticIp);
    }
    return line + (o.verified ? "; verified" : "") + " (" + Seconds(o.time) + ")";
  };
  style.json = [](const DeviceOutcome& o) {
    return TransferJson(o, {{"written", o.writtenFields},
                            {"rs485_entries", o.rs485Entries},
                            {"downloaded", o.downloaded},
                            {"static_ip", o.staticIp ? Json(Ipv4Text(*o.staticIp)) : Json()}});
  };
  Json fields = Json::object();
  for (const FieldValue& value : values) fields[value.field->name] = value.text;
  style.head = {{"fields", fields}, {"verify", verify}};
  style.notes = true;
  return style;
}

class Set final : public CliCommand {
 public:
  explicit Set(CLI::App& command) {
    command.add_option("TARGETS", words_,
                       "the devices' MACs, and NAME=VALUE for each field to set");
    command.add_flag("--all", devices_.all, "every device that answers the search");
    command
        .add_option("--values", valuesPath_,
                    "more NAME=VALUE pairs from a JSON object, as show --json writes it")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("FILE.json");
    verify_.Declare(command, "read every device back and compare the fields set");
    options_.DeclareBatch(command,
                          "how long the search may take to find the devices; with network.ip it "
                          "takes that long, to learn the addresses in use",
                          true);
  }
  std::string Check() override;
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  std::vector<std::string> words_;  // MACs and NAME=VALUE, as given
  DeviceChoice devices_;
  Assignments assignments_;
  std::string valuesPath_;  // --values FILE.json
  VerifyOptions verify_;
  BatchOptions options_;
};

std::string Set::Check() {
  for (const std::string& word : words_) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos)
      devices_.words.push_back(word);
    else
      assignments_.emplace_back(word.substr(0, equals), word.substr(equals + 1));
  }
  if (assignments_.empty() && valuesPath_.empty())
    return "set needs NAME=VALUE (or --values FILE.json)";
  return FirstError({devices_.Check("set"), options_.Check()});
}

int Set::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  // Every value is checked before anything is sent: a bad one changes no device.
  const std::vector<FieldValue> values = CheckedValues(valuesPath_, assignments_, err);
  if (values.empty()) {
    Message(err, "set refused; no device was changed");
    return kExitRefused;
  }
  const bool addresses = AddressOf(values, "network.ip").has_value();

  // Giving addresses takes knowing which ones the devices on the network hold.
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed =
          OpenAndSearch(options_.network, open,
                        addresses ? std::vector<std::string>{} : devices_.macs, err, port, found))
    return *failed;
  const std::vector<std::string> targets = Targets(devices_, options_.network, found, err);
  if (targets.empty()) return kExitDeviceFailed;
  AddressPlan plan;
  plan.addresses.assign(targets.size(), std::nullopt);
  if (addresses) plan = PlanSetAddresses(*port, values, targets, found);
  if (!plan.error.empty()) {
    Message(err, "set refused: " + plan.error + "; no device was changed");
    return kExitRefused;
  }

  const Batch batch{
      options_.forceFirstGeneration ? FirstGeneration::Serve : FirstGeneration::Refuse,
      "no reply to the search within " + SecondsText(options_.network.waitSeconds), "done",
      options_.quiet, options_.parallel.devices};
  const std::vector<DeviceOutcome> outcomes =
      ServeBatch(*port, targets, found, batch, err, [&](const DeviceJob& job, DeviceOutcome& o) {
        SetFields(job, values, verify_, plan.addresses[job.index], o);
      });
  std::fputs(
      WriteReport(outcomes, SetReport(values, verify_.verify), options_.format.Format()).c_str(),
      out);
  return BatchStatus(outcomes);
}

}  // namespace

CommandEntry SetCommand() {
  return {"set", "set fields by name on one or many devices", kSetHelp, Make<Set>};
}

}  // namespace quillon::cli
