// The Windows side of the INI differential test: answers look-ups through the system's own
// profile function, as the parameter-file import of the Windows program reads a file
// (GetPrivateProfileStringA, a 20000-byte buffer, "ERROR" when the section or key is missing).
//
//   profile_lookup REQUESTS ANSWERS
//
// REQUESTS holds one look-up per line: the file's full path, a tab, the section, a tab, the key.
// ANSWERS gets one line per look-up: the C string the buffer holds, as hexadecimal digits (the
// count returned may take in the byte that a character cut at the end of the buffer leaves).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: profile_lookup REQUESTS ANSWERS\n", stderr);
    return 2;
  }
  std::ifstream requests(argv[1], std::ios::binary);
  std::ofstream answers(argv[2], std::ios::binary);
  static char value[20000];
  std::string line;
  int count = 0;
  while (std::getline(requests, line)) {
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) return 2;
    const std::string file = line.substr(0, tab1);
    const std::string section = line.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string key = line.substr(tab2 + 1);
    // Cleared each time: what a cut leaves behind the last character is not the value's.
    std::memset(value, 0, sizeof value);
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "ERROR", value, sizeof value,
                               file.c_str());
    const size_t length = ::strnlen(value, sizeof value);
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < length; ++i) {
      hex += kDigits[static_cast<unsigned char>(value[i]) >> 4];
      hex += kDigits[static_cast<unsigned char>(value[i]) & 15];
    }
    answers << hex << '\n';
    ++count;
  }
  answers.flush();
  return answers && count > 0 ? 0 : 1;
}
