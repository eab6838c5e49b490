// Code page 936 as Windows converts Unicode text into it: a character that GBK has no code for
// still gets a look-alike where Windows has one (U+00A2 as "￠", U+00C0 as "à", a compatibility
// ideograph as its unified ideograph, the private use area as the user-defined areas).
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// The GBK bytes Windows gives `codePoint` although GBK lacks it; empty where it has none (the
// character is in GBK, or Windows writes '?').
std::string BestFit936(uint32_t codePoint);

}  // namespace quillon
