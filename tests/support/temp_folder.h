// A folder of its own for a test that writes files, removed with everything in it at the end:
// parameter files, the files a test puts beside them, and anything a failed write left behind.
// The few things of files that differ between systems (named pipes, permission bits) are here
// too, so that the tests themselves run on both.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quillon::fakes {

class TempFolder {
 public:
  // Under the system's temporary folder (TMPDIR on POSIX).
  TempFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && !error; ++attempt) {
      const std::filesystem::path path =
          base / ("quillon-test-" + std::to_string(random() % 1000000000000ULL));
      if (std::filesystem::create_directory(path, error)) {
        path_ = path.generic_string();
        return;
      }
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Made() const { return !path_.empty(); }
  // The path of `name` inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes `bytes` into `name`; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = *this / name;
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }
  // The content of `name`, empty when it is not there.
  std::string Read(const std::string& name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // A folder called `name` inside this one.
  bool MakeFolder(const std::string& name) const {
    std::error_code error;
    return std::filesystem::create_directory(*this / name, error);
  }

#ifdef _WIN32
  // A named pipe called `name`; Windows has none in its file system.
  bool MakePipe(const std::string&) const { return false; }
  // The permission bits of `name`; Windows has none (its files take their folder's ACL).
  std::optional<unsigned> Mode(const std::string&) const { return std::nullopt; }
  void SetMode(const std::string&, unsigned) const {}
#else
  bool MakePipe(const std::string& name) const {
    return ::mkfifo((*this / name).c_str(), 0600) == 0;
  }
  std::optional<unsigned> Mode(const std::string& name) const {
    struct stat info {};
    if (::stat((*this / name).c_str(), &info) != 0) return std::nullopt;
    return static_cast<unsigned>(info.st_mode & 0777);
  }
  void SetMode(const std::string& name, unsigned mode) const {
    ::chmod((*this / name).c_str(), static_cast<mode_t>(mode));
  }
#endif

 private:
  std::string path_;
};

}  // namespace quillon::fakes
