// quillon-cli: searches, reads and configures overlay devices from the command line, one device
// after the other, for installers who provision many of them and for scripts. It broadcasts on
// UDP port 1901 through every local IPv4 address.
#include <cstdio>
#include <memory>

#include "cli_commands.h"
#include "cli_options.h"
#include "link/broadcast_port.h"
#include "text/command_line.h"

int main(int argc, char** argv) {
  using namespace quillon;
  Utf8CommandLine arguments(argc, argv);
  cli::CliOptions options;
  std::string error;
  if (!cli::ParseCliCommandLine(arguments.Count(), arguments.Values(), options, error)) {
    std::fprintf(stderr, "quillon-cli: %s\n\n%s", error.c_str(), cli::UsageText(options.command));
    return cli::kExitRefused;
  }
  if (options.help) {
    std::fputs(cli::UsageText(options.command), stdout);
    return cli::kExitOk;
  }
  if (options.version) {
    std::puts("quillon-cli " QUILLON_VERSION);
    return cli::kExitOk;
  }
  std::unique_ptr<BroadcastPort> port;
  const cli::PortOpener open = [&](std::string& message) -> TransferPort* {
    port = std::make_unique<BroadcastPort>(SystemSockets(), InterfaceAddresses);
    if (!port->Open(message)) return nullptr;
    return port.get();
  };
  return cli::RunCommand(options, open, stdout, stderr);
}
