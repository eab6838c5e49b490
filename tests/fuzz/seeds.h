// Seed inputs for the fuzz targets: whole conversations with the simulated devices (sound and
// misbehaving), the replies they give to each kind of dictionary request, and parameter files,
// the hand-written sample of the tests among them.
#pragma once

#include <string>
#include <vector>

#include "invariants.h"

namespace quillon::fuzz {

// The targets, by the names of their folders of kept inputs.
inline const std::vector<std::string> kFuzzTargets = {"receive_path", "dictionary_reply",
                                                      "param_import"};

// The seeds of one target; none for an unknown name.
std::vector<Bytes> SeedInputs(const std::string& target);

// The harness of one target; empty string when the rules hold.
std::string RunTarget(const std::string& target, const Bytes& input);

}  // namespace quillon::fuzz
