// Files on a POSIX system; file_bytes_windows.cpp has them on Windows.
#ifndef _WIN32

#include "files/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace quillon {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now, reporting whether the last writes reached the file.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The file that a write to `path` should replace: the target of a symbolic link, else `path`.
std::string ResolveTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;  // dangling: replace the link
  return resolved;
}

}  // namespace

FileReadResult ReadFileBytes(const std::string& path, size_t limit) {
  FileReadResult result;
  // Non-blocking, so that opening a pipe does not wait for a writer.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) {
    result.status =
        errno == ENOENT ? FileReadResult::Status::Missing : FileReadResult::Status::Failed;
    return result;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return result;
  if (static_cast<unsigned long long>(info.st_size) > limit) {
    result.status = FileReadResult::Status::TooLarge;
    return result;
  }
  // The size may change while the file is read; the limit holds whatever it does.
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return result;
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > limit) {
      result.status = FileReadResult::Status::TooLarge;
      return result;
    }
    bytes.append(chunk, static_cast<size_t>(n));
  }
  result.status = FileReadResult::Status::Read;
  result.bytes = std::move(bytes);
  return result;
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, bool durable) {
  if (path.empty()) return false;
  const std::string target = ResolveTarget(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return false;

  // The new file goes into the target's own folder, so that the rename cannot cross file systems.
  std::string temporary;
  int raw = -1;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    // A new file is for its owner alone: a parameter file holds the cameras' passwords.
    raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (raw < 0 && errno != EEXIST) return false;
  }
  if (raw < 0) return false;
  Descriptor fd(raw);
  bool ok = WriteAll(fd.Get(), bytes);
  if (ok && exists) ok = ::fchmod(fd.Get(), existing.st_mode & 07777) == 0;
  if (ok && durable) ok = ::fsync(fd.Get()) == 0;
  ok = fd.Close() && ok;
  if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

}  // namespace quillon

#endif
