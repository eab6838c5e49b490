// A stretch of a block's bytes as a string, so that tests compare images against literal bytes
// and a failure prints both.
#pragma once

#include <cstddef>
#include <string>

namespace quillon::fakes {

inline std::string Image(const void* data, size_t offset, size_t size) {
  return std::string(static_cast<const char*>(data) + offset, size);
}

}  // namespace quillon::fakes
