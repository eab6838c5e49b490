// quillon-cli's commands run in this process on a port of the test's choosing, with what they
// print kept: the command layer tested on the simulated port, under the sanitizers too.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "support/simulated_port.h"
#include "text/ipv4_text.h"

namespace quillon::fakes {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
  int opened = 0;               // how many times the command asked for the network
  std::optional<uint32_t> via;  // the local address it asked for
};

inline std::string TakeText(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  std::fclose(file);
  return text;
}

// Runs quillon-cli with `words`; a null `port` cannot be opened ("no network here"). The port's
// local address is the PC's only one: --via refuses any other, as the broadcast port does.
inline CliResult RunCliOn(SimulatedPort* port, const std::vector<std::string>& words) {
  CliResult result;
  std::vector<const char*> argv{"quillon-cli"};
  for (const std::string& word : words) argv.push_back(word.c_str());
  const cli::PortOpener open = [&](std::optional<uint32_t> via) {
    ++result.opened;
    result.via = via;
    if (!port) return cli::OpenedPort{nullptr, "no network here", false};
    if (via && *via != port->localAddress)
      return cli::OpenedPort{nullptr, Ipv4Text(*via) + " is not an address of this PC", true};
    return cli::OpenedPort{port, {}, false};
  };
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  result.status = cli::RunCli(static_cast<int>(argv.size()), argv.data(), open, out, err);
  result.out = TakeText(out);
  result.err = TakeText(err);
  return result;
}

// The words of `line`, split at blanks.
inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  for (size_t at = 0; at < line.size();) {
    const size_t blank = line.find(' ', at);
    words.push_back(line.substr(at, blank - at));
    at = blank == std::string::npos ? line.size() : blank + 1;
  }
  return words;
}

inline CliResult RunCliOn(SimulatedPort* port, const std::string& line) {
  return RunCliOn(port, Words(line));
}

}  // namespace quillon::fakes
