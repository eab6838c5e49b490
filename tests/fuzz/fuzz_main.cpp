// The libFuzzer entry of one target, chosen when it is built (QUILLON_FUZZ_TARGET names it). A
// broken rule stops the run like a crash, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "seeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string broken =
      quillon::fuzz::RunTarget(QUILLON_FUZZ_TARGET, quillon::fuzz::Bytes(data, data + size));
  if (!broken.empty()) {
    std::fprintf(stderr, "%s: %s\n", QUILLON_FUZZ_TARGET, broken.c_str());
    std::abort();
  }
  return 0;
}
