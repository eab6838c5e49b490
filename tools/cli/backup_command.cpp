// backup: many devices, each into a parameter file of its own, and the list of them.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>

#include "batch_report.h"
#include "cli_commands.h"
#include "files/file_bytes.h"

namespace quillon::cli {

namespace {

const char* const kBackupHelp =
    "Reads every device named (or every device that answers) into a parameter file of its own.\n"
    "\n"
    "Each device goes into DIR/<MAC>.ini, a parameter file that the window's import reads,\n"
    "and DIR/devices.csv lists mac, ip, name, version, file and error of every device. A device\n"
    "that fails gets no file and is reported; the exit status is then 1.";

// A file of the folder `dir`, both UTF-8, with the separator the folder's name already uses.
std::string FileInFolder(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/' || dir.back() == '\\') return dir + name;
  return dir + (dir.find('\\') != std::string::npos ? "\\" : "/") + name;
}

class Backup final : public CliCommand {
 public:
  explicit Backup(CLI::App& command) {
    devices_.Declare(command);
    command.add_option("--out-dir", outDir_, "the folder (made when it is not there)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->required()
        ->type_name("DIR");
    options_.DeclareBatch(command, "how long the search may take to find the devices", false);
  }
  std::string Check() override { return FirstError({devices_.Check("backup"), options_.Check()}); }
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  DeviceChoice devices_;
  std::string outDir_;
  BatchOptions options_;
};

int Backup::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  namespace fs = std::filesystem;
  // The folder's UTF-8 name as the system's path (UTF-16 on Windows).
  const fs::path folder(std::u8string(outDir_.begin(), outDir_.end()));
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) {
    Message(err, "backup: cannot make the folder " + outDir_);
    return kExitRefused;
  }
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed =
          OpenAndSearch(options_.network, open, devices_.macs, err, port, found))
    return *failed;
  const std::vector<std::string> targets = Targets(devices_, options_.network, found, err);
  if (targets.empty()) return kExitDeviceFailed;

  const Batch batch{FirstGeneration::Warn,
                    "no reply to the search within " + SecondsText(options_.network.waitSeconds),
                    "read", options_.quiet, options_.parallel.devices};
  const std::vector<DeviceOutcome> outcomes =
      ServeBatch(*port, targets, found, batch, err, [&](const DeviceJob& job, DeviceOutcome& o) {
        ReadIntoFile(job, FileInFolder(outDir_, o.mac + ".ini"), o);
        if (o.failedStep.empty()) o.file = o.mac + ".ini";
      });

  const std::string listPath = FileInFolder(outDir_, "devices.csv");
  const bool listed = ReplaceFileBytes(listPath, WriteReport(outcomes, {}, OutputFormat::Csv));
  if (!listed) Message(err, "backup: cannot write " + listPath);
  ReportStyle style;
  style.line = [&](const DeviceOutcome& o) -> std::string {
    if (!o.ok) return "";
    return o.ip + "  " + o.version + "  " + PrintableText(o.name) + " -> " +
           FileInFolder(outDir_, o.file);
  };
  style.json = [](const DeviceOutcome& o) -> Json {
    return {{"mac", o.mac},
            {"ip", TextOrNull(o.ip)},
            {"name", o.name},
            {"version", TextOrNull(o.version)},
            {"ok", o.ok},
            {"file", TextOrNull(o.file)},
            {"error", o.ok ? Json() : Json(o.failedStep + ": " + o.error)},
            {"seconds", static_cast<double>(o.time.count()) / 1000}};
  };
  style.head = {{"out_dir", outDir_}, {"list", listed ? Json("devices.csv") : Json()}};
  style.summary = "backed up";
  style.namesFailed = false;
  std::fputs(WriteReport(outcomes, style, options_.format.Format()).c_str(), out);
  return listed ? BatchStatus(outcomes) : kExitDeviceFailed;
}

}  // namespace

CommandEntry BackupCommand() {
  return {"backup", "read many devices into files", kBackupHelp, Make<Backup>};
}

}  // namespace quillon::cli
