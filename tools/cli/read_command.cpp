// read: one device into a parameter file.
#include <memory>

#include "cli_commands.h"
#include "cli_text.h"
#include "device_batch.h"

namespace quillon::cli {

int RunRead(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err) {
  const std::string& mac = options.macs.front();
  if (!HasParamFileExtension(options.outPath)) {
    Message(err, "read: the file name must end in .ini or .INI, as the window opens only those: " +
                     options.outPath);
    return kExitRefused;
  }
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed = OpenAndSearch(options, open, {mac}, err, port, found))
    return *failed;
  const Batch batch{FirstGeneration::Warn, "", "read", options.quiet};
  const DeviceOutcome o =
      ServeBatch(*port, {mac}, found, batch, err, [&](const DeviceJob& job, DeviceOutcome& o) {
        ReadIntoFile(job, options.outPath, o);
      }).front();
  if (o.failedStep == "search") {
    Message(err, "read: " + mac + " did not answer the search within " +
                     SecondsText(options.waitSeconds));
    return kExitDeviceFailed;
  }
  for (const std::string& note : o.notes) Message(err, mac + ": " + note);
  if (!o.ok) {
    Message(err,
            "read: " + (o.failedStep == "write" ? o.error
                                                : mac + ": " + o.error + "; no file was written"));
    return kExitDeviceFailed;
  }
  std::fprintf(out, "%s  %s  %s  %s -> %s\n", mac.c_str(), o.ip.c_str(), o.version.c_str(),
               PrintableText(o.name).c_str(), options.outPath.c_str());
  return kExitOk;
}

}  // namespace quillon::cli
