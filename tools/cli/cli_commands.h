// The commands of quillon-cli and the table they stand in. Each command's file declares its
// options and help and makes the command; the table lists them, and the parser, the program's
// help and the completion's check all read it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_support.h"

namespace quillon::cli {

// A command with its options declared, filled in by the parser.
class CliCommand {
 public:
  virtual ~CliCommand() = default;
  // What the parser leaves to the command: the values and their combinations. The error, or
  // nothing.
  virtual std::string Check() { return {}; }
  // Returns the exit status; results go to `out`, progress and messages to `err`.
  virtual int Run(const PortOpener& open, std::FILE* out, std::FILE* err) = 0;
};

// A command as the table lists it.
struct CommandEntry {
  const char* name;
  const char* summary;  // its line in the program's help
  const char* help;     // what it does, under the options of its own help
  // Makes the command, declaring its options on its own part of the command line.
  std::unique_ptr<CliCommand> (*make)(CLI::App& command);
};

// The maker of a command whose constructor declares its options on `command`.
template <class Command>
std::unique_ptr<CliCommand> Make(CLI::App& command) {
  return std::make_unique<Command>(command);
}

// Every command, in the order of the program's help.
const std::vector<CommandEntry>& CommandTable();

// What the command line asks for: a command to run, or a text to print and leave with status 0
// (help, version), or an error (status 2).
struct ParseOutcome {
  enum class Kind { Run, Help, Version, Error } kind = Kind::Error;
  std::string text;
  std::unique_ptr<CliCommand> command;  // Run: the command, its options filled in
};

// Parses argv (argv[0] is the program).
ParseOutcome ParseCliCommandLine(int argc, const char* const* argv);

// The list of a search as a table, as JSON or as CSV.
std::string FormatDevices(const std::vector<FoundDevice>& devices, OutputFormat format);

// The whole program: parses the command line, prints help or the version, or runs the command.
int RunCli(int argc, const char* const* argv, const PortOpener& open, std::FILE* out,
           std::FILE* err);

}  // namespace quillon::cli
