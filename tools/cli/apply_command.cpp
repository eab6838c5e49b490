// apply: a parameter file onto one or many devices.
#include <memory>

#include "apply_plan.h"
#include "cli_commands.h"
#include "params/dictionary.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

// Mismatches listed one by one in a text report; the JSON report lists them all.
constexpr size_t kMismatchLines = 20;

// Reads back what the chosen parts cover into `back`.
TransferResult ReadBack(DeviceTransfer& transfer, DeviceParameterBlock& back, unsigned parts,
                        bool legacy) {
  TransferResult result = transfer.ReadParams(back.osd);
  if (result.Ok() && (parts & kCamerasPart) && !legacy) result = transfer.ReadCameraTexts(back);
  if (result.Ok() && (parts & kRs485Part)) result = transfer.ReadRs485(back);
  return result;
}

void Apply(const DeviceJob& job, const ParamImages& file, const ApplySettings& settings,
           std::optional<uint32_t> staticIp, DeviceOutcome& outcome) {
  const FoundDevice& device = job.device;
  DeviceTransfer& transfer = job.transfer;
  const bool legacy = device.LegacyLineText();
  const unsigned parts = settings.parts;
  const bool download = (parts & (kNetworkPart | kCamerasPart)) != 0;

  // What the device holds now: the parts that are not applied go back to it unchanged.
  std::unique_ptr<DeviceParameterBlock> block = NewDeviceBlock(device);
  TransferResult result = transfer.ReadParams(block->osd);
  if (result.Ok() && download && !legacy) result = transfer.ReadCameraTexts(*block);
  if (!result.Ok()) return outcome.Fail("read", result);

  ApplyParts(file, parts, *block);
  if ((parts & kNetworkPart) && staticIp) Ipv4ToBytes(*staticIp, block->osd.abyIP);

  // The RS-485 entries first: the download restarts the device.
  if (parts & kRs485Part) {
    if (result = transfer.WriteRs485(*block); !result.Ok()) return outcome.Fail("rs485", result);
    outcome.writtenParts |= kRs485Part;
    outcome.rs485Entries = block->modbus.wDictCount;
  }
  if (download) {
    const int acknowledgedBefore = transfer.TextFramesAcknowledged();
    result = transfer.Download(*block);
    outcome.lineTextFrames = transfer.TextFramesSent();
    outcome.lineTextFramesAcknowledged = transfer.TextFramesAcknowledged() - acknowledgedBefore;
    if (!result.Ok()) return outcome.Fail("download", result);
    outcome.downloaded = true;
    outcome.writtenParts |= parts & (kNetworkPart | kCamerasPart);
    if (parts & kNetworkPart) outcome.staticIp = Ipv4FromBytes(block->osd.abyIP);
  }
  if (settings.verify)
    VerifyDevice(job, outcome, settings.verifyWait, [&](std::vector<std::string>& out) {
      std::unique_ptr<DeviceParameterBlock> back = NewDeviceBlock(device);
      const TransferResult read = ReadBack(transfer, *back, parts, legacy);
      if (read.Ok()) out = CompareApplied(*block, *back, parts, legacy);
      return read;
    });
}

ReportStyle ApplyReport(const std::string& file, const ApplySettings& settings) {
  ReportStyle style;
  style.line = [verify = settings.verify](const DeviceOutcome& o) -> std::string {
    if (!o.ok)
      return o.writtenParts ? " (written before: " + Joined(PartNames(o.writtenParts)) + ")" : "";
    return (o.ip.empty() ? "" : o.ip + ": ") + Joined(PartNames(o.writtenParts)) + " written" +
           (o.staticIp ? ", static IP " + Ipv4Text(*o.staticIp) : "") +
           (verify ? "; verified" : "") + " (" + Seconds(o.time) + ")";
  };
  style.json = [](const DeviceOutcome& o) {
    return TransferJson(o, {{"written", PartNames(o.writtenParts)},
                            {"static_ip", o.staticIp ? Json(Ipv4Text(*o.staticIp)) : Json()},
                            {"rs485_entries", o.rs485Entries},
                            {"line_text_frames", o.lineTextFrames},
                            {"line_text_frames_acknowledged", o.lineTextFramesAcknowledged}});
  };
  style.head = {{"file", file}, {"parts", PartNames(settings.parts)}, {"verify", settings.verify}};
  style.mismatchLines = kMismatchLines;
  return style;
}

}  // namespace

DeviceOutcome ApplyToDevice(TransferPort& port, const FoundDevice& device, const ParamImages& file,
                            const ApplySettings& settings, std::optional<uint32_t> staticIp,
                            const TransferProgress& progress) {
  return ServeDevice(
      port, device,
      settings.forceFirstGeneration ? FirstGeneration::Serve : FirstGeneration::Refuse, progress,
      [&](const DeviceJob& job, DeviceOutcome& outcome) {
        Apply(job, file, settings, staticIp, outcome);
      });
}

int RunApply(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  // The file is checked before anything is sent: a bad file changes no device.
  std::string why;
  const std::optional<ParamImages> file = LoadParamFile(options.filePath, why);
  if (!file) {
    Message(err, "bad file " + options.filePath + ": " + why + "; no device was changed");
    return kExitRefused;
  }
  auto refused = [&](const AddressPlan& plan) {
    if (!plan.error.empty())
      Message(err, "apply refused: " + plan.error + "; no device was changed");
    return !plan.error.empty();
  };
  if (!options.all &&
      refused(PlanAddresses(*file, options.parts, options.macs, options.ipFrom, {})))
    return kExitRefused;

  // Giving addresses takes knowing which ones the devices on the network hold: then the search
  // runs its whole wait instead of ending once the named devices have answered.
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed = OpenAndSearch(
          options, open, (options.parts & kNetworkPart) ? std::vector<std::string>{} : options.macs,
          err, port, found))
    return *failed;
  const std::vector<std::string> targets = Targets(options, found, err);
  if (targets.empty()) return kExitDeviceFailed;
  const AddressPlan plan = PlanAddresses(*file, options.parts, targets, options.ipFrom, found);
  if (refused(plan)) return kExitRefused;

  ApplySettings settings;
  settings.parts = options.parts;
  settings.verify = options.verify;
  settings.verifyWait = Milliseconds(options.verifyWaitSeconds);
  settings.forceFirstGeneration = options.forceFirstGeneration;
  const Batch batch{options.forceFirstGeneration ? FirstGeneration::Serve : FirstGeneration::Refuse,
                    "no reply to the search within " + Seconds(Milliseconds(options.waitSeconds)),
                    "done", options.quiet, options.parallel};
  const std::vector<DeviceOutcome> outcomes = ServeBatch(
      *port, targets, found, batch, err, [&](const DeviceJob& job, DeviceOutcome& outcome) {
        Apply(job, *file, settings, plan.addresses[job.index], outcome);
      });
  std::fputs(WriteReport(outcomes, ApplyReport(options.filePath, settings), options.format).c_str(),
             out);
  for (const DeviceOutcome& outcome : outcomes)
    if (!outcome.ok) return kExitDeviceFailed;
  return kExitOk;
}

}  // namespace quillon::cli
