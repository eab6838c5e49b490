// Files on Windows: UTF-8 paths become UTF-16 for the wide Win32 calls, and a file is replaced by
// MoveFileExW with MOVEFILE_REPLACE_EXISTING once its new content is on disk.
#ifdef _WIN32

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "files/file_bytes.h"
#include "text/utf16.h"

namespace quillon {

namespace {

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

FileReadResult ReadFileBytes(const std::string& path, size_t limit) {
  FileReadResult result;
  Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD error = ::GetLastError();
    result.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                        ? FileReadResult::Status::Missing
                        : FileReadResult::Status::Failed;
    return result;
  }
  // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS; a pipe or a device is no disk file.
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) return result;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) return result;
  if (static_cast<unsigned long long>(size.QuadPart) > limit) {
    result.status = FileReadResult::Status::TooLarge;
    return result;
  }
  std::string bytes;
  char chunk[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.Get(), chunk, sizeof chunk, &n, nullptr)) return result;
    if (n == 0) break;
    if (bytes.size() + n > limit) {
      result.status = FileReadResult::Status::TooLarge;
      return result;
    }
    bytes.append(chunk, n);
  }
  result.status = FileReadResult::Status::Read;
  result.bytes = std::move(bytes);
  return result;
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, bool durable) {
  if (path.empty()) return false;
  const std::wstring target = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return false;

  // The new file goes into the target's own folder, so that the move cannot cross volumes.
  std::wstring temporary;
  HANDLE raw = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(attempt);
    raw = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (raw == INVALID_HANDLE_VALUE) return false;
  Handle file(raw);
  bool ok = WriteAll(file.Get(), bytes);
  if (ok && durable) ok = ::FlushFileBuffers(file.Get()) != 0;
  ok = file.Close() && ok;
  if (ok)
    ok = ::MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0)) != 0;
  if (!ok) ::DeleteFileW(temporary.c_str());
  return ok;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  const std::wstring wideMode(mode, mode + std::strlen(mode));
  return ::_wfopen(Wide(path).c_str(), wideMode.c_str());
}

bool IsTerminal(std::FILE* stream) {
  const HANDLE console = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace quillon

#endif
