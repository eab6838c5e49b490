// Whole files as bytes: a read that refuses anything but a regular file of bounded size, and a
// write that replaces a file only once the new content is completely on disk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

struct FileReadResult {
  enum class Status { Read, Missing, TooLarge, Failed } status = Status::Failed;
  std::string bytes;  // the content when Read
};

// Reads the file at `path` when it is a regular file of at most `limit` bytes. Never waits on a
// pipe or a device that someone named like a file.
FileReadResult ReadFileBytes(const std::string& path, size_t limit);

// Writes `bytes` to a new file beside `path` and renames it over `path`, so that the old file
// stays whole when anything fails. A file that already exists keeps its permissions, and a
// symbolic link is written through. Returns false when nothing was replaced.
bool ReplaceFileBytes(const std::string& path, std::string_view bytes);

}  // namespace quillon
