// Runs a program to its end and keeps what it wrote, for end-to-end tests of command-line tools.
#pragma once

#include <string>
#include <vector>

namespace quillon::fakes {

struct ProcessResult {
  int status = -1;  // exit status; -1 when it did not start, was killed or ran out of time
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs argv[0] (looked up in PATH) with the arguments, standard input empty, and waits for it
// at most `timeoutMs`; then it is killed.
ProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs = 60000);

}  // namespace quillon::fakes
