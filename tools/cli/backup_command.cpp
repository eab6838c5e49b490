// backup: many devices, each into a parameter file of its own, and the list of them.
#include <filesystem>
#include <memory>

#include "cli_commands.h"
#include "device_batch.h"
#include "files/file_bytes.h"

namespace quillon::cli {

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
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed =
          OpenAndSearch(options, open, options.macs, err, port, found))
    return *failed;
  const std::vector<std::string> targets = Targets(options, found, err);
  if (targets.empty()) return kExitDeviceFailed;

  const Batch batch{FirstGeneration::Warn,
                    "no reply to the search within " + SecondsText(options.waitSeconds), "read",
                    options.quiet, options.parallel};
  const std::vector<DeviceOutcome> outcomes =
      ServeBatch(*port, targets, found, batch, err, [&](const DeviceJob& job, DeviceOutcome& o) {
        ReadIntoFile(job, FileInFolder(options.outDir, o.mac + ".ini"), o);
        if (o.failedStep.empty()) o.file = o.mac + ".ini";
      });

  const std::string listPath = FileInFolder(options.outDir, "devices.csv");
  const bool listed = ReplaceFileBytes(listPath, WriteReport(outcomes, {}, OutputFormat::Csv));
  if (!listed) Message(err, "backup: cannot write " + listPath);
  ReportStyle style;
  style.line = [&](const DeviceOutcome& o) -> std::string {
    if (!o.ok) return "";
    return o.ip + "  " + o.version + "  " + PrintableText(o.name) + " -> " +
           FileInFolder(options.outDir, o.file);
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
  style.head = {{"out_dir", options.outDir}, {"list", listed ? Json("devices.csv") : Json()}};
  style.summary = "backed up";
  style.namesFailed = false;
  std::fputs(WriteReport(outcomes, style, options.format).c_str(), out);
  for (const DeviceOutcome& o : outcomes)
    if (!o.ok) return kExitDeviceFailed;
  return listed ? kExitOk : kExitDeviceFailed;
}

}  // namespace quillon::cli
