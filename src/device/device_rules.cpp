#include "device/device_rules.h"

#include "text/gbk.h"

namespace quillon {

std::string_view LegacyLineTextKept(std::string_view gbk) {
  return gbk.size() < kLegacyLineTextBytes ? gbk : CutGbk(gbk, kLegacyLineTextBytes);
}

std::string_view LineTextKept(std::string_view gbk, bool legacyLineText) {
  return legacyLineText ? LegacyLineTextKept(gbk) : gbk;
}

}  // namespace quillon
