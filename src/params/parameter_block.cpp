#include "params/parameter_block.h"

#include <cstring>

namespace quillon {

void ClearBlock(DeviceParameterBlock& block) { std::memset(&block, 0, sizeof block); }

}  // namespace quillon
