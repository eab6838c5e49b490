// apply: a parameter file onto one or many devices.
#include <CLI/CLI.hpp>
#include <optional>

#include "apply_plan.h"
#include "cli_commands.h"
#include "text/ipv4_text.h"

namespace quillon::cli {

namespace {

const char* const kApplyHelp =
    "Checks both CRCs of the file, then serves the devices, up to --parallel of them at once:\n"
    "reads each, puts the chosen parts of the file onto what was read, writes the RS-485\n"
    "entries, and downloads the network and camera parameters last (the device restarts after\n"
    "that download).\n"
    "\n"
    "PARTS is a comma-separated choice of network (DHCP, static IP, mask, gateway, upgrade\n"
    "server and ports), cameras (the four camera records with their line texts) and rs485\n"
    "(the RS-485 settings and the sixteen slots); all of them by default.\n"
    "A bad file, a batch that would give two devices the same address, or an address range\n"
    "that leaves the subnet of the file's own address changes no device. Exit status 1 when\n"
    "any device failed.";

// Mismatches listed one by one in a text report; the JSON report lists them all.
constexpr size_t kMismatchLines = 20;

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

class Apply final : public CliCommand {
 public:
  explicit Apply(CLI::App& command) {
    command.add_option("FILE.ini", filePath_, "the parameter file")->required();
    devices_.Declare(command);
    command.add_option("--only", partsText_, "the parts of the file to apply")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("PARTS");
    verify_.Declare(command, "read every device back and compare what was applied");
    command
        .add_option("--ip-from", ipFromText_,
                    "static IP of the first device; the next ones count up from it. Needed "
                    "to apply the network part to more than one device")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->type_name("A.B.C.D");
    options_.DeclareBatch(command,
                          "how long the search may take to find the devices; with the network part "
                          "it takes that long, to learn the addresses in use",
                          true);
  }
  std::string Check() override;
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  std::string filePath_;
  DeviceChoice devices_;
  std::string partsText_;
  unsigned parts_ = kAllParts;
  VerifyOptions verify_;
  std::string ipFromText_;
  std::optional<uint32_t> ipFrom_;  // host order
  BatchOptions options_;
};

std::string Apply::Check() {
  if (std::string error = devices_.Check("apply"); !error.empty()) return error;
  if (!partsText_.empty()) {
    const std::optional<unsigned> parts = ParseParts(partsText_);
    if (!parts) return "--only: not a list of network, cameras, rs485: '" + partsText_ + "'";
    parts_ = *parts;
  }
  if (!ipFromText_.empty()) {
    ipFrom_ = ParseIpv4(ipFromText_);
    if (!ipFrom_) return "--ip-from: not an IPv4 address: '" + ipFromText_ + "'";
    if ((parts_ & kNetworkPart) == 0)
      return "--ip-from sets the network part, which --only leaves out";
  }
  return options_.Check();
}

int Apply::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  // The file is checked before anything is sent: a bad file changes no device.
  std::string why;
  const std::optional<ParamImages> file = LoadParamFile(filePath_, why);
  if (!file) {
    Message(err, "bad file " + filePath_ + ": " + why + "; no device was changed");
    return kExitRefused;
  }
  auto refused = [&](const AddressPlan& plan) {
    if (!plan.error.empty())
      Message(err, "apply refused: " + plan.error + "; no device was changed");
    return !plan.error.empty();
  };
  if (!devices_.all && refused(PlanAddresses(*file, parts_, devices_.macs, ipFrom_, {})))
    return kExitRefused;

  // Giving addresses takes knowing which ones the devices on the network hold: then the search
  // runs its whole wait instead of ending once the named devices have answered.
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed = OpenAndSearch(
          options_.network, open,
          (parts_ & kNetworkPart) ? std::vector<std::string>{} : devices_.macs, err, port, found))
    return *failed;
  const std::vector<std::string> targets = Targets(devices_, options_.network, found, err);
  if (targets.empty()) return kExitDeviceFailed;
  const AddressPlan plan = PlanAddresses(*file, parts_, targets, ipFrom_, found);
  if (refused(plan)) return kExitRefused;

  ApplySettings settings;
  settings.parts = parts_;
  settings.verify = verify_.verify;
  settings.verifyWait = Milliseconds(verify_.waitSeconds);
  settings.forceFirstGeneration = options_.forceFirstGeneration;
  const Batch batch{
      options_.forceFirstGeneration ? FirstGeneration::Serve : FirstGeneration::Refuse,
      "no reply to the search within " + Seconds(Milliseconds(options_.network.waitSeconds)),
      "done", options_.quiet, options_.parallel.devices};
  const std::vector<DeviceOutcome> outcomes = ServeBatch(
      *port, targets, found, batch, err,
      [&](TransferPort& member, const FoundDevice& device, const TransferProgress& progress,
          size_t index) {
        return ApplyToDevice(member, device, *file, settings, plan.addresses[index], progress);
      });
  std::fputs(
      WriteReport(outcomes, ApplyReport(filePath_, settings), options_.format.Format()).c_str(),
      out);
  return BatchStatus(outcomes);
}

}  // namespace

CommandEntry ApplyCommand() {
  return {"apply", "put a parameter file onto one or many devices", kApplyHelp, Make<Apply>};
}

}  // namespace quillon::cli
