// read: one device into a parameter file.
#include <CLI/CLI.hpp>
#include <memory>

#include "batch_report.h"
#include "cli_commands.h"
#include "cli_text.h"

namespace quillon::cli {

namespace {

const char* const kReadHelp =
    "Reads the device's network and camera parameters, its camera line texts and all 566\n"
    "RS-485 dictionary entries into a parameter file that the window's import reads.\n"
    "Other sections of an existing file are kept.";

class Read final : public CliCommand {
 public:
  explicit Read(CLI::App& command) {
    command.add_option("MAC", device_.words, "twelve hex digits, with or without ':' or '-'")
        ->required()
        ->expected(1);
    command.add_option("--out", outPath_, "the parameter file (its name ends in .ini or .INI)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->required()
        ->type_name("FILE.ini");
    network_.Declare(command, "how long the search may take to find the device");
    DeclareQuiet(command, quiet_);
  }
  std::string Check() override {
    if (std::string error = device_.TakeMacs(); !error.empty()) return error;
    return network_.Check();
  }
  int Run(const PortOpener& open, std::FILE* out, std::FILE* err) override;

 private:
  DeviceChoice device_;
  std::string outPath_;
  NetworkOptions network_;
  bool quiet_ = false;
};

int Read::Run(const PortOpener& open, std::FILE* out, std::FILE* err) {
  const std::string& mac = device_.macs.front();
  if (!HasParamFileExtension(outPath_)) {
    Message(err, "read: the file name must end in .ini or .INI, as the window opens only those: " +
                     outPath_);
    return kExitRefused;
  }
  TransferPort* port = nullptr;
  std::vector<FoundDevice> found;
  if (const std::optional<int> failed = OpenAndSearch(network_, open, {mac}, err, port, found))
    return *failed;
  const Batch batch{FirstGeneration::Warn, "", "read", quiet_};
  const DeviceOutcome o =
      ServeBatch(*port, {mac}, found, batch, err, [&](const DeviceJob& job, DeviceOutcome& o) {
        ReadIntoFile(job, outPath_, o);
      }).front();
  if (o.failedStep == "search") {
    Message(err, "read: " + mac + " did not answer the search within " +
                     SecondsText(network_.waitSeconds));
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
               PrintableText(o.name).c_str(), outPath_.c_str());
  return kExitOk;
}

}  // namespace

CommandEntry ReadCommand() {
  return {"read", "read one device into a parameter file", kReadHelp, Make<Read>};
}

}  // namespace quillon::cli
