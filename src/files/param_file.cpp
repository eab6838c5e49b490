#include "files/param_file.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "files/crc16.h"
#include "files/file_bytes.h"

namespace quillon {

namespace {

constexpr const char* kOsdSection = "sOSDCommPara";
constexpr const char* kModBusSection = "sModBusPara";
constexpr const char* kCrcKey = "wCRCResult";
constexpr const char* kMissingValue = "ERROR";
// Values are read into a buffer of this size: at most one character less, then the terminator.
constexpr size_t kValueBufferSize = 20000;

// The bytes of sModBusPara from the pending-download marks on: the marks, the busy byte and the
// last padding byte. The worker thread writes the marks and the busy byte.
constexpr size_t kSharedFrom = offsetof(sModBusPara, abyDictWrite);
// The program's own bookkeeping, from the index on, which an import leaves alone.
constexpr size_t kBookkeepingFrom = offsetof(sModBusPara, awDictId);

int HalfByte(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

// The value of a key as the read buffer holds it.
std::string ReadValue(const IniProfile& profile, const char* section, const char* key) {
  return profile.GetString(section, key, kMissingValue, kValueBufferSize);
}

// The byte of the two characters at `at`; a character beyond the text counts as 0.
uint8_t PairAt(const std::string& text, size_t at) {
  const char pair[2] = {at < text.size() ? text[at] : '\0',
                        at + 1 < text.size() ? text[at + 1] : '\0'};
  return HexPairToByte(pair);
}

std::string HexOf(const uint8_t* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex(2 * size, '0');
  for (size_t i = 0; i < size; ++i) {
    hex[2 * i] = kDigits[bytes[i] >> 4];
    hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

void EncodeHalf(IniProfile& profile, const char* section, const void* image, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(image);
  profile.Set(section, section, HexOf(bytes, size));
  char crc[8];
  std::snprintf(crc, sizeof crc, "%04X", Crc16(bytes, size));
  profile.Set(section, kCrcKey, crc);
}

bool DecodeHalf(const IniProfile& profile, const char* section, void* image, size_t size) {
  auto* bytes = static_cast<uint8_t*>(image);
  const std::string digits = ReadValue(profile, section, section);
  for (size_t i = 0; i < size; ++i) bytes[i] = PairAt(digits, 2 * i);
  const std::string crc = ReadValue(profile, section, kCrcKey);
  const uint16_t stored = static_cast<uint16_t>(PairAt(crc, 0) << 8 | PairAt(crc, 2));
  return Crc16(bytes, size) == stored;
}

}  // namespace

uint8_t HexPairToByte(const char* text) {
  return static_cast<uint8_t>(HalfByte(text[0]) * 16 + HalfByte(text[1]));
}

namespace {

// The text after the last dot of the file's name, nullopt when the name has no dot.
std::optional<std::string_view> Extension(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return name.substr(dot + 1);
}

}  // namespace

bool HasParamFileExtension(std::string_view path) {
  const std::optional<std::string_view> extension = Extension(path);
  return extension && (*extension == "ini" || *extension == "INI");
}

std::optional<std::string> ExportFileName(std::string_view path) {
  if (!Extension(path)) return std::string(path) + ".ini";
  if (HasParamFileExtension(path)) return std::string(path);
  return std::nullopt;
}

std::string DefaultParamFileName(const std::tm& local) {
  char name[64];
  std::snprintf(name, sizeof name, "VRN%04d%02d%02d_%02d%02d.ini", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
  return name;
}

void EncodeParamFile(const ParamImages& images, IniProfile& profile) {
  EncodeHalf(profile, kOsdSection, &images.osd, sizeof images.osd);
  EncodeHalf(profile, kModBusSection, &images.modbus, sizeof images.modbus);
}

std::optional<ParamImages> DecodeParamFile(const IniProfile& profile) {
  std::string failedSection;
  return DecodeParamFile(profile, failedSection);
}

std::optional<ParamImages> DecodeParamFile(const IniProfile& profile, std::string& failedSection) {
  std::optional<ParamImages> images(std::in_place);
  failedSection.clear();
  // The second half is not read when the first one fails.
  if (!DecodeHalf(profile, kOsdSection, &images->osd, sizeof images->osd)) {
    failedSection = kOsdSection;
    return std::nullopt;
  }
  if (!DecodeHalf(profile, kModBusSection, &images->modbus, sizeof images->modbus)) {
    failedSection = kModBusSection;
    return std::nullopt;
  }
  return images;
}

ParamImages TakeImages(const DeviceParameterBlock& block) {
  ParamImages images;
  std::memcpy(&images.osd, &block.osd, sizeof images.osd);
  const auto* from = reinterpret_cast<const uint8_t*>(&block.modbus);
  auto* to = reinterpret_cast<uint8_t*>(&images.modbus);
  std::memcpy(to, from, kSharedFrom);
  for (size_t i = kSharedFrom; i < sizeof images.modbus; ++i)
    to[i] = std::atomic_ref<uint8_t>(const_cast<uint8_t&>(from[i])).load();
  return images;
}

void ApplyImportedImages(DeviceParameterBlock& block, const ParamImages& images) {
  std::memcpy(&block.osd, &images.osd, sizeof block.osd);
  std::memcpy(&block.modbus, &images.modbus, kBookkeepingFrom);
}

bool ExportParamFile(const std::string& path, const ParamImages& images) {
  // The other sections and keys of a file that is already there are kept; one that cannot be
  // read whole is not overwritten.
  FileReadResult existing = ReadFileBytes(path, kMaxParamFileBytes);
  if (existing.status != FileReadResult::Status::Read &&
      existing.status != FileReadResult::Status::Missing)
    return false;
  IniProfile profile(std::move(existing.bytes));
  EncodeParamFile(images, profile);
  return ReplaceFileBytes(path, profile.Text());
}

std::optional<ParamImages> ImportParamFile(const std::string& path) {
  FileReadResult file = ReadFileBytes(path, kMaxParamFileBytes);
  // A file that cannot be read holds no key: every value would read "ERROR", and the check fails.
  if (file.status != FileReadResult::Status::Read) return std::nullopt;
  return DecodeParamFile(IniProfile(std::move(file.bytes)));
}

}  // namespace quillon
