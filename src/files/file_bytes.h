// Whole files as bytes: a read that refuses anything but a regular file of bounded size, and a
// write that replaces a file only once the new content is completely on disk. Paths are UTF-8 on
// every system (on Windows they reach the system as UTF-16). This is where the program meets the
// system's files; nothing else of it opens one by name.
#pragma once

#include <cstddef>
#include <cstdio>
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
// stays whole when anything fails. Returns false when nothing was replaced. POSIX: a file that
// already exists keeps its permissions, a new one is readable and writable by its owner only
// (0600), and a symbolic link is written through. Windows: the file takes the permissions that
// its folder hands down, and a read-only file is not replaced. `durable` false leaves out the
// wait for the disk, for a file that only has to be whole for its readers.
bool ReplaceFileBytes(const std::string& path, std::string_view bytes, bool durable = true);

// fopen with a UTF-8 path.
std::FILE* OpenFile(const std::string& path, const char* mode);

// True when `stream` is a terminal that takes ANSI escape sequences (on Windows: a console, with
// its escape sequences switched on).
bool IsTerminal(std::FILE* stream);

}  // namespace quillon
