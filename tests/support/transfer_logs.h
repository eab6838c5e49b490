// What the end-to-end tests of the dictionary transfers share: the information log that a whole
// transfer or camera-text read writes, the part of the RS-485 image that travels as entries, and
// small helpers over the log and the session flags.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "params/parameter_block.h"

namespace quillon::fakes {

// The settings and the sixteen slots: the part of sModBusPara that travels as dictionary
// entries; the index and its marks follow it.
inline constexpr size_t kRs485ImageBytes = offsetof(sModBusPara, awDictId);
static_assert(kRs485ImageBytes == 3664);

// A flag the worker thread may change meanwhile.
inline uint8_t Flag(uint8_t& flag) { return std::atomic_ref<uint8_t>(flag).load(); }

// `text` without the first `part` in it.
inline std::string Without(std::string text, const std::string& part) {
  const size_t at = text.find(part);
  if (at != std::string::npos) text.erase(at, part.size());
  return text;
}

// How often `part` stands in `text`, each time after the last.
inline int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
    ++n;
  return n;
}

// The log of a camera-text read that ends without an answer to its first request.
inline const std::string kTextReadFailedLog =
    "读取参数...\r\n正在读取摄像头1字典...\r\n读取参数失败\r\n读取失败... \r\n";

// The progress of 19 chunks of 31 entries (the last one of 8), each answered whole.
inline const std::vector<int> kChunkPercentages = {5,  10, 16, 21, 27, 32, 38, 43, 49, 54,
                                                   60, 65, 71, 76, 82, 87, 93, 98, 100};

// The log of a whole RS-485 transfer, each chunk answered (`afterEachReply` is what a reply adds
// before the progress line).
inline std::string TransferLog(bool write, const std::vector<int>& percentages = kChunkPercentages,
                               const std::string& afterEachReply = "") {
  std::string log;
  for (int percent : percentages) {
    log += (write ? "正在下载字典... \r\n" : "正在读取字典... \r\n") + afterEachReply;
    log +=
        (write ? "正在下载字典,已完成" : "正在读取字典,已完成") + std::to_string(percent) + "%\r\n";
  }
  return log;
}

// The log of a camera-text read of four cameras, each answered.
inline std::string CameraTextLog(const std::string& afterEachReply = "") {
  std::string log;
  for (int c = 1; c <= 4; ++c) {
    log += "正在读取摄像头" + std::to_string(c) + "字典...\r\n" + afterEachReply;
    log += "摄像头" + std::to_string(c) + "字典读取成功...\r\n";
  }
  return log;
}

}  // namespace quillon::fakes
