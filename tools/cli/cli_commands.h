// The three commands of quillon-cli on a transfer port: search, read and apply. Each returns the
// exit status; results go to `out`, progress and messages to `err`.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "cli_options.h"
#include "link/transfer_port.h"

namespace quillon::cli {

// Opens the network the first time a command needs it: the port, or nullptr with a message. A
// command that is refused before it would send anything never calls it.
using PortOpener = std::function<TransferPort*(std::string& error)>;

int RunSearch(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunRead(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);
int RunApply(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);

// Runs the command the options name.
int RunCommand(const CliOptions& options, const PortOpener& open, std::FILE* out, std::FILE* err);

}  // namespace quillon::cli
