// Parameter files: both images of the parameter block as INI text, so that a configuration can be
// kept, copied to other devices and restored without a device at hand.
//
//   [sOSDCommPara]
//   sOSDCommPara=<the 2828 bytes as 5656 upper-case hex digits, byte 0 first>
//   wCRCResult=<Crc16 of those bytes, four hex digits, most significant first>
//   [sModBusPara]
//   sModBusPara=<the 7764 bytes as 15528 hex digits>
//   wCRCResult=<Crc16 of those bytes>
//
// A file is read as the program has always read it: each value through a 20000-byte buffer,
// "ERROR" for a key that is not there, any character that is not a hex digit counting as 0, and
// a half taken only when the CRC of what was decoded matches the one stored beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "files/ini_profile.h"
#include "params/parameter_block.h"

namespace quillon {

// A file is about 21 KB; anything far larger is not a parameter file.
constexpr size_t kMaxParamFileBytes = 4u << 20;

// Both images as a file holds them.
struct ParamImages {
  sOSDCommPara osd;
  sModBusPara modbus;
};

// Two characters as one byte, high half first: 0-9, a-f and A-F are their values, any other
// character is 0 ("0G" and "00" give 0, "G1" gives 1). Reads exactly two characters.
uint8_t HexPairToByte(const char* text);

// Whether the name's extension (after its last dot) is exactly "ini" or exactly "INI".
bool HasParamFileExtension(std::string_view path);

// The file an export writes for a chosen name: the name itself when its extension is "ini" or
// "INI", the name with ".ini" added when it has no extension, nullopt for any other extension
// (an export must not write a file that no import takes, and must not keep quiet about it).
std::optional<std::string> ExportFileName(std::string_view path);

// "VRN%04d%02d%02d_%02d%02d.ini" from a local time: VRN20261206_0752.ini.
std::string DefaultParamFileName(const std::tm& local);

// Writes the four keys into `profile`; into an empty one in the order of the layout above.
void EncodeParamFile(const ParamImages& images, IniProfile& profile);

// Decodes both halves into new images; nullopt unless both CRCs match.
std::optional<ParamImages> DecodeParamFile(const IniProfile& profile);
// The same, naming the section whose check failed ("sOSDCommPara" or "sModBusPara").
std::optional<ParamImages> DecodeParamFile(const IniProfile& profile, std::string& failedSection);

// A copy of both images. The dictionary marks and the busy byte, which the worker thread
// changes, are read as whole bytes.
ParamImages TakeImages(const DeviceParameterBlock& block);

// Puts imported images into the block. The program's own dictionary bookkeeping (index, count,
// marks, busy byte) stays as it is: a file must neither start a transfer nor install an index.
void ApplyImportedImages(DeviceParameterBlock& block, const ParamImages& images);

// Writes both images into the file at `path`, keeping the other sections and keys of a file that
// is already there; the file is replaced whole or not at all. False when it was not written.
bool ExportParamFile(const std::string& path, const ParamImages& images);

// Reads both images from the file at `path`; nullopt when the file cannot be read, is larger
// than kMaxParamFileBytes, or a half fails its check.
std::optional<ParamImages> ImportParamFile(const std::string& path);

}  // namespace quillon
