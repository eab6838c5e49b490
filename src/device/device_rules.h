// What a device asks of whoever talks to it, written once for the window's session, its
// dictionary worker, the command line's transfers and the devices served side by side: how long
// it may take to answer, how often a request is tried, the pauses it needs around a download,
// and what it keeps of a text it is sent. Nothing here depends on anything but the GBK cut, so
// every layer that talks to a device may read it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

namespace quillon {

// A parameter read (command 3) is answered within 5 s, or not at all.
inline constexpr std::chrono::milliseconds kReadReplyTimeout{5000};
// A chunk of RS-485 dictionary entries is answered within 10 s; it is sent three times in all.
inline constexpr std::chrono::milliseconds kChunkTimeout{10000};
inline constexpr int kChunkTries = 3;
// A camera's eight line texts (dictionary read) are answered within 5 s, without a retry.
inline constexpr std::chrono::milliseconds kCameraTextTimeout{5000};
// The result of a parameter download (command 4) comes within 5 s.
inline constexpr std::chrono::milliseconds kDownloadResultTimeout{5000};
// Before the first line-text frame after a download and between two of them.
inline constexpr std::chrono::milliseconds kTextFramePause{200};
// After a read, before the line texts of current firmware are asked for.
inline constexpr std::chrono::milliseconds kCameraTextReadPause{300};

// Firmware below 32 carries each line text inside the parameter frames, 17 bytes of it.
inline constexpr size_t kLegacyLineTextBytes = 17;

// What a device of legacy firmware keeps of a line text: the whole characters of it that fit in
// 17 bytes, never the first half of a double-byte character. Current firmware keeps the text
// whole (72 bytes at most, the field's limit).
std::string_view LegacyLineTextKept(std::string_view gbk);
// The same for either firmware.
std::string_view LineTextKept(std::string_view gbk, bool legacyLineText);

}  // namespace quillon
