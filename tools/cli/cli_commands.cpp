#include "cli_commands.h"

namespace quillon::cli {

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
