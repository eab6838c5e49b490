// quillon-devsim: plays overlay devices on UDP port 1901. Run it only inside the private
// network of scripts/netns-run.sh; it broadcasts its replies.
#include <cstdio>

#include "devsim_runner.h"
#include "text/command_line.h"

int main(int argc, char** argv) {
  quillon::Utf8CommandLine arguments(argc, argv);
  quillon::devsim::DevsimOptions options;
  bool help = false;
  std::string error;
  if (!quillon::devsim::ParseDevsimCommandLine(arguments.Count(), arguments.Values(), options, help,
                                               error)) {
    std::fprintf(stderr, "quillon-devsim: %s\n\n%s", error.c_str(), quillon::devsim::kDevsimUsage);
    return 2;
  }
  if (help) {
    std::fputs(quillon::devsim::kDevsimUsage, stdout);
    return 0;
  }
  return quillon::devsim::RunDevsim(options);
}
