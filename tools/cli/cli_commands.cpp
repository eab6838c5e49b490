#include "cli_commands.h"

#include <memory>

#include "apply_plan.h"
#include "batch_apply.h"
#include "cli_text.h"

namespace quillon::cli {

namespace {

// Reads the file and checks both halves; nullopt after saying why.
std::optional<ParamImages> LoadFile(const std::string& path, std::FILE* err) {
  std::string why;
  std::optional<ParamImages> images = LoadParamFile(path, why);
  if (!images) Message(err, "bad file " + path + ": " + why + "; no device was changed");
  return images;
}

}  // namespace

int RunSearch(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  TransferPort* port = OpenPort(open, err);
  if (!port) return kExitDeviceFailed;
  std::vector<FoundDevice> found;
  if (!SearchDevices(*port, Milliseconds(options.waitSeconds), {}, found, options.expectDevices)) {
    Message(err, "the search could not be sent through any local address");
    return kExitDeviceFailed;
  }
  const std::string list = FormatDevices(found, options.format);
  std::fputs(list.c_str(), out);
  for (const FoundDevice& device : found)
    if (device.FirstGeneration()) WarnFirstGeneration(device, err);
  if (found.empty()) Message(err, "no device answered within " + SecondsText(options.waitSeconds));
  return kExitOk;
}

int RunRead(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  const std::string& mac = options.macs.front();
  if (!HasParamFileExtension(options.outPath)) {
    Message(err,
            "read: the file name must end in .ini or .INI, as the window opens only "
            "those: " +
                options.outPath);
    return kExitRefused;
  }
  TransferPort* port = OpenPort(open, err);
  if (!port) return kExitDeviceFailed;
  std::vector<FoundDevice> found;
  if (!SearchDevices(*port, Milliseconds(options.waitSeconds), {mac}, found)) {
    Message(err, "the search could not be sent through any local address");
    return kExitDeviceFailed;
  }
  const FoundDevice* device = FindDevice(found, mac);
  if (!device) {
    Message(err, "read: " + mac + " did not answer the search within " +
                     SecondsText(options.waitSeconds));
    return kExitDeviceFailed;
  }
  if (device->FirstGeneration()) WarnFirstGeneration(*device, err);

  ProgressLine progress(err, !options.quiet);
  progress.Device(1, 1, mac);
  DeviceTransfer transfer(*port, device->record.mac, device->LegacyLineText());
  transfer.SetProgress([&](std::string_view step, int percent) { progress.Step(step, percent); });
  std::unique_ptr<DeviceParameterBlock> block = NewDeviceBlock(*device);
  const TransferResult result = ReadWholeDevice(transfer, device->LegacyLineText(), *block);
  if (!result.Ok()) {
    progress.Finish("FAILED");
    Message(err, "read: " + mac + ": " + result.message + "; no file was written");
    return kExitDeviceFailed;
  }
  progress.Finish("read");
  for (const std::string& note : transfer.Notes()) Message(err, mac + ": " + note);

  if (!ExportParamFile(options.outPath, TakeImages(*block))) {
    Message(err, "read: cannot write " + options.outPath);
    return kExitDeviceFailed;
  }
  std::fprintf(out, "%s  %s  %s  %s -> %s\n", mac.c_str(), device->record.IpText().c_str(),
               device->record.VersionText().c_str(), PrintableText(device->record.name).c_str(),
               options.outPath.c_str());
  return kExitOk;
}

int RunApply(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  // The file is checked before anything is sent: a bad file changes no device.
  const std::optional<ParamImages> file = LoadFile(options.filePath, err);
  if (!file) return kExitRefused;
  if (!options.all) {
    const AddressPlan plan = PlanAddresses(*file, options.parts, options.macs, options.ipFrom, {});
    if (!plan.error.empty()) {
      Message(err, "apply refused: " + plan.error + "; no device was changed");
      return kExitRefused;
    }
  }

  TransferPort* port = OpenPort(open, err);
  if (!port) return kExitDeviceFailed;
  const std::chrono::milliseconds wait = Milliseconds(options.waitSeconds);
  // Giving addresses takes knowing which ones the devices on the network hold: then the search
  // runs its whole wait instead of ending once the named devices have answered.
  const std::vector<std::string> wanted =
      (options.parts & kNetworkPart) ? std::vector<std::string>{} : options.macs;
  std::vector<FoundDevice> found;
  if (!SearchDevices(*port, wait, wanted, found)) {
    Message(err, "the search could not be sent through any local address");
    return kExitDeviceFailed;
  }
  std::vector<std::string> targets = options.macs;
  if (options.all) {
    for (const FoundDevice& device : found) targets.push_back(device.Mac());
    if (targets.empty()) {
      Message(err,
              "apply: no device answered the search within " + SecondsText(options.waitSeconds));
      return kExitDeviceFailed;
    }
  }
  const AddressPlan plan = PlanAddresses(*file, options.parts, targets, options.ipFrom, found);
  if (!plan.error.empty()) {
    Message(err, "apply refused: " + plan.error + "; no device was changed");
    return kExitRefused;
  }

  ApplySettings settings;
  settings.parts = options.parts;
  settings.verify = options.verify;
  settings.verifyWait = Milliseconds(options.verifyWaitSeconds);
  settings.forceFirstGeneration = options.forceFirstGeneration;

  ProgressLine progress(err, !options.quiet);
  std::vector<DeviceReport> reports;
  for (size_t i = 0; i < targets.size(); ++i) {
    progress.Device(static_cast<int>(i + 1), static_cast<int>(targets.size()), targets[i]);
    const FoundDevice* device = FindDevice(found, targets[i]);
    DeviceReport report = device ? ApplyToDevice(*port, *device, *file, settings, plan.addresses[i],
                                                 [&](std::string_view step, int percent) {
                                                   progress.Step(step, percent);
                                                 })
                                 : NotFoundReport(targets[i], wait);
    progress.Finish(report.ok ? "done" : "FAILED: " + report.failedStep + ": " + report.error);
    reports.push_back(std::move(report));
  }
  const std::string text = FormatReports(reports, options.filePath, settings, options.format);
  std::fputs(text.c_str(), out);
  for (const DeviceReport& report : reports)
    if (!report.ok) return kExitDeviceFailed;
  return kExitOk;
}

int RunCommand(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  switch (options.command) {
    case Command::Search:
      return RunSearch(options, open, out, err);
    case Command::Read:
      return RunRead(options, open, out, err);
    case Command::Apply:
      return RunApply(options, open, out, err);
    case Command::Show:
      return RunShow(options, open, out, err);
    case Command::Diff:
      return RunDiff(options, open, out, err);
    case Command::Set:
      return RunSet(options, open, out, err);
    case Command::Backup:
      return RunBackup(options, open, out, err);
    case Command::Fields:
      return RunFields(options, out, err);
    case Command::None:
      break;
  }
  Message(err, "no command given");
  return kExitRefused;
}

int RunCli(int argc, const char* const* argv, const PortOpener& open, std::FILE* out,
           std::FILE* err) {
  CliOptions options;
  const ParseOutcome parsed = ParseCliCommandLine(argc, argv, options);
  switch (parsed.kind) {
    case ParseOutcome::Kind::Help:
    case ParseOutcome::Kind::Version:
      std::fputs(parsed.text.c_str(), out);
      return kExitOk;
    case ParseOutcome::Kind::Error:
      Message(err, parsed.text);
      return kExitRefused;
    case ParseOutcome::Kind::Run:
      break;
  }
  return RunCommand(options, open, out, err);
}

}  // namespace quillon::cli
