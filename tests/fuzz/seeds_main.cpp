// Writes the seed inputs of every fuzz target into <folder>/<target>/seed-N.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  for (const std::string& target : quillon::fuzz::kFuzzTargets) {
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / target;
    std::filesystem::create_directories(folder);
    int n = 0;
    for (const quillon::fuzz::Bytes& seed : quillon::fuzz::SeedInputs(target)) {
      std::ofstream out(folder / ("seed-" + std::to_string(n++)), std::ios::binary);
      out.write(reinterpret_cast<const char*>(seed.data()),
                static_cast<std::streamsize>(seed.size()));
      if (!out) {
        std::fprintf(stderr, "cannot write %s\n", folder.string().c_str());
        return 1;
      }
    }
    std::printf("%s: %d seeds\n", target.c_str(), n);
  }
  return 0;
}
