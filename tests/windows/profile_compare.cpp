// The Linux side of the INI differential test (scripts/wine-test.sh): the same look-ups on the
// same files through IniProfile and through GetPrivateProfileStringA of Wine (profile_lookup.exe).
//
//   quillon_profile_compare prepare TABLE WORK [CORPUS...]
//       writes WORK/requests.txt for profile_lookup.exe: the look-ups of TABLE (its files beside
//       it), every 16-bit character in a UTF-16 file, and the four look-ups of an import on the
//       file of every input in the CORPUS folders of the parameter-file fuzz target (written out
//       under WORK)
//   quillon_profile_compare compare WORK
//       reads WORK/answers.txt and names every look-up whose answers differ (file, section, key);
//       fails when any does
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "files/file_bytes.h"
#include "files/ini_profile.h"
#include "param_import.h"

namespace {

namespace fs = std::filesystem;
using quillon::IniProfile;

// The import's buffer.
constexpr size_t kValueBuffer = 20000;
// Wine shows the Linux root as drive Z:.
constexpr const char* kWineDrive = "Z:";

struct Lookup {
  std::string file;  // Linux path
  std::string section;
  std::string key;
};

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Printable(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && c != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out.size() > 80 ? out.substr(0, 60) + "...(" + std::to_string(bytes.size()) + " bytes)"
                         : out;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

std::string WindowsPath(const std::string& path) {
  std::string out = kWineDrive + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

std::string LinuxPath(std::string path) {
  path = path.substr(std::string(kWineDrive).size());
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Every character of the 16-bit range that a line can hold, each as the value of a key of its own
// in a UTF-16 file, so that each of Windows' conversions into code page 936 (its look-alikes for
// the characters GBK lacks too) is compared: a file for each high byte.
void AddCharacterSweep(const fs::path& folder, std::vector<Lookup>& lookups) {
  fs::create_directories(folder);
  for (unsigned high = 0; high < 256; ++high) {
    if (high >= 0xD8 && high <= 0xDF) continue;  // surrogates
    std::u16string text = u"\uFEFF[S]\r\n";
    std::vector<std::string> keys;
    for (unsigned low = 0; low < 256; ++low) {
      const char16_t c = static_cast<char16_t>(high << 8 | low);
      if (c == 0 || c == u'\n' || c == u'\r') continue;
      char key[8];
      std::snprintf(key, sizeof key, "k%02X", low);
      keys.push_back(key);
      for (const char k : keys.back()) text += static_cast<char16_t>(k);
      text += u"=A";
      text += c;
      text += u"B\r\n";
    }
    char name[16];
    std::snprintf(name, sizeof name, "u%02X.ini", high);
    const fs::path file = fs::absolute(folder / name);
    std::string bytes;
    for (const char16_t unit : text) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    for (const std::string& key : keys) lookups.push_back({file.string(), "S", key});
  }
}

int Prepare(const fs::path& table, const fs::path& work, const std::vector<fs::path>& corpora) {
  std::vector<Lookup> lookups;
  std::ifstream in(table, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) {
      std::fprintf(stderr, "%s: not file, section and key: %s\n", table.c_str(), line.c_str());
      return 2;
    }
    lookups.push_back({fs::absolute(table.parent_path() / line.substr(0, tab1)).string(),
                       Unescape(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                       Unescape(line.substr(tab2 + 1))});
  }
  AddCharacterSweep(work / "sweep", lookups);
  fs::create_directories(work / "corpus");
  for (const fs::path& folder : corpora) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
      const std::string input =
          quillon::ReadFileBytes(entry.path().string(), size_t{1} << 24).bytes;
      const std::string text = quillon::fuzz::ParamImportFileText(
          reinterpret_cast<const uint8_t*>(input.data()), input.size());
      const fs::path file =
          fs::absolute(work / "corpus" /
                       (folder.parent_path().filename().string() + "-" +
                        folder.filename().string() + "-" + entry.path().filename().string()));
      std::ofstream(file, std::ios::binary).write(text.data(), static_cast<long>(text.size()));
      for (const char* section : {"sOSDCommPara", "sModBusPara"}) {
        lookups.push_back({file.string(), section, section});
        lookups.push_back({file.string(), section, "wCRCResult"});
      }
    }
  }
  std::ofstream requests(work / "requests.txt", std::ios::binary);
  for (const Lookup& l : lookups)
    requests << WindowsPath(l.file) << '\t' << l.section << '\t' << l.key << '\n';
  std::printf("profile differential: %zu look-ups prepared\n", lookups.size());
  return requests ? 0 : 2;
}

int Compare(const fs::path& work) {
  std::ifstream requests(work / "requests.txt", std::ios::binary);
  std::ifstream answers(work / "answers.txt", std::ios::binary);
  std::string request, answer;
  std::set<std::string> files;
  IniProfile profile;
  std::string profileFile;
  size_t count = 0, differences = 0;
  while (std::getline(requests, request)) {
    if (!std::getline(answers, answer)) {
      std::printf("profile differential: no answer for look-up %zu\n", count + 1);
      return 1;
    }
    ++count;
    const size_t tab1 = request.find('\t'), tab2 = request.find('\t', tab1 + 1);
    const Lookup l{LinuxPath(request.substr(0, tab1)), request.substr(tab1 + 1, tab2 - tab1 - 1),
                   request.substr(tab2 + 1)};
    // The look-ups of a file come one after another: it is read once for them.
    files.insert(l.file);
    if (l.file != profileFile) {
      profile = IniProfile(quillon::ReadFileBytes(l.file, size_t{1} << 24).bytes);
      profileFile = l.file;
    }
    const std::string ours = profile.GetString(l.section, l.key, "ERROR", kValueBuffer);
    if (Hex(ours) == answer) continue;
    ++differences;
    std::string windows;
    for (size_t i = 0; i + 1 < answer.size(); i += 2)
      windows += static_cast<char>(std::stoi(answer.substr(i, 2), nullptr, 16));
    std::printf("DIFFERENT %s [%s] %s: Windows \"%s\", IniProfile \"%s\"\n",
                fs::path(l.file).filename().c_str(), Printable(l.section).c_str(),
                Printable(l.key).c_str(), Printable(windows).c_str(), Printable(ours).c_str());
  }
  std::printf("profile differential: %zu files, %zu look-ups, %zu differences\n", files.size(),
              count, differences);
  return count > 0 && differences == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "prepare" && argc >= 4)
    return Prepare(argv[2], argv[3], std::vector<fs::path>(argv + 4, argv + argc));
  if (mode == "compare" && argc == 3) return Compare(argv[2]);
  std::fputs(
      "usage: quillon_profile_compare prepare TABLE WORK [CORPUS...]\n"
      "       quillon_profile_compare compare WORK\n",
      stderr);
  return 2;
}
