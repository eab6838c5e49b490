// quillon-cli: searches, reads and configures overlay devices from the command line, one device
// after the other, for installers who provision many of them and for scripts. It broadcasts on
// UDP port 1901 through every local IPv4 address, or through the one --via names.
#include <cstdio>
#include <memory>

#include "cli_commands.h"
#include "link/broadcast_port.h"
#include "text/command_line.h"

int main(int argc, char** argv) {
  using namespace quillon;
  Utf8CommandLine arguments(argc, argv);
  std::unique_ptr<BroadcastPort> port;
  const cli::PortOpener open = [&](std::optional<uint32_t> via) {
    cli::OpenedPort opened;
    port = std::make_unique<BroadcastPort>(SystemSockets(), InterfaceAddresses);
    const BroadcastPort::Opening result = port->Open(opened.error, via);
    if (result == BroadcastPort::Opening::Opened) opened.port = port.get();
    opened.refused = result == BroadcastPort::Opening::NotLocal;
    return opened;
  };
  return cli::RunCli(arguments.Count(), arguments.Values(), open, stdout, stderr);
}
