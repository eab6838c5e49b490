// The import of a parameter file under hostile file text: "导入参数" of a session behind a fake
// view and notifier, the file chosen in its dialog being the input.
//
// Input: one byte of mode, then
// - mode bit 0 clear: the file's text as it is;
// - mode bit 0 set: the two images (2828 and 7764 bytes, zeros where the input ends), which are
//   written out as a file with right checksums (bit 1: lower-case digits, bit 2: lines ending in
//   LF only, bit 3: the RS-485 section first, bit 4: a foreign section and key before them). Such
//   a file must be taken whole.
// The program's own uses of the block that follow an import (the dictionary entries, the chunks,
// the camera texts and the download frame) run after every accepted file, and none may take more
// bytes from a field than the field holds.
#pragma once

#include <cstdint>
#include <string>

#include "invariants.h"

namespace quillon::fuzz {

// The first broken rule, or empty.
std::string RunParamImport(const uint8_t* data, size_t size);

// The text of the file that an input stands for.
std::string ParamImportFileText(const uint8_t* data, size_t size);

}  // namespace quillon::fuzz
