// quillon-devsim: plays overlay devices on UDP port 1901. Run it only inside the private
// network of scripts/netns-run.sh; it broadcasts its replies.
#include <cstdio>

#include "devsim_runner.h"
#include "text/command_line.h"

int main(int argc, char** argv) {
  quillon::Utf8CommandLine arguments(argc, argv);
  quillon::devsim::DevsimOptions options;
  bool help = false;
  std::string text;
  if (!quillon::devsim::ParseDevsimCommandLine(arguments.Count(), arguments.Values(), options, help,
                                               text)) {
    std::fprintf(stderr, "quillon-devsim: %s\n", text.c_str());
    return 2;
  }
  if (help) {
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  return quillon::devsim::RunDevsim(options);
}
