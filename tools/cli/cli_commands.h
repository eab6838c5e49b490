// The commands of quillon-cli on a transfer port. Each returns the exit status; results go to
// `out`, progress and messages to `err`.
#pragma once

#include <cstdio>

#include "cli_options.h"
#include "command_support.h"

namespace quillon::cli {

// Each in the file of its name (show and diff in show_command.cpp).
int RunSearch(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunRead(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunApply(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunShow(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunDiff(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunSet(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunBackup(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunFields(const CliOptions& options, std::FILE* out, std::FILE* err);

// The list of a search as a table, as JSON or as CSV.
std::string FormatDevices(const std::vector<FoundDevice>& devices, OutputFormat format);

// Runs the command the options name.
int RunCommand(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);

// The whole program: parses the command line, prints help or the version, or runs the command.
int RunCli(int argc, const char* const* argv, const PortOpener& open, std::FILE* out,
           std::FILE* err);

}  // namespace quillon::cli
