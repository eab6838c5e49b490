// Every field of the parameter block that the pages show, by a stable dotted name
// ("network.ip", "camera2.line3.text", "rs485.baud", "slot5.gear3.text"): where it lives in the
// block, what kind of value it holds, and which transfer carries it to the device. Values are
// written and read as text the way the pages show and take them: lists by their item label (or
// index), reals with three decimals, texts as UTF-8 within their GBK byte limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "params/page_lists.h"
#include "params/parameter_block.h"

namespace quillon {

enum class FieldKind : uint8_t {
  Ipv4,    // four bytes, first dotted number first
  Number,  // unsigned, 1, 2 or 4 bytes little-endian, from `min` to `max`
  Real,    // 32-bit float, shown "%.03f"
  Text,    // GBK, at most `textLimit` bytes and a terminator
  List,    // one of `items`, stored as the item's value (1 or 4 bytes)
};

enum class FieldTransfer : uint8_t {
  Download,    // the parameter download (command 4), which restarts the device
  LineText,    // a camera's line text: dictionary entry `id` after the download, or inside the
               // download frame (17 bytes) for firmware below 32
  Dictionary,  // dictionary entry `id` alone (command 9)
};

struct NamedField {
  std::string name;
  size_t offset = 0;  // inside DeviceParameterBlock (the RS-485 image starts at 2828)
  size_t size = 0;    // bytes of the whole field
  FieldKind kind = FieldKind::Number;
  uint32_t min = 0, max = 0;        // Number
  size_t textLimit = 0;             // Text: GBK bytes before the terminator
  std::span<const ListItem> items;  // List
  FieldTransfer transfer = FieldTransfer::Download;
  uint16_t id = 0;  // Dictionary and LineText: the dictionary identifier
};

// Every named field, in the order of the pages: network, cameras 1 to 4 (each with lines 1 to 8),
// the RS-485 settings, slots 1 to 16 (each with its gear table).
const std::vector<NamedField>& FieldTable();

// The field of a name, or nullptr.
const NamedField* FindField(std::string_view name);

// Whether a name matches a pattern in which '*' stands for any run of characters and '?' for one.
bool MatchesPattern(std::string_view pattern, std::string_view name);

// The value of a field as text, as the page shows it. A list value that is no item of the list
// (a device or file may hold one) is shown as its number.
std::string FieldValueText(const NamedField& field, const DeviceParameterBlock& block);

// Checks text as a value of the field; empty when it is one, else why not, naming the field and
// its allowed values.
std::string CheckFieldValue(const NamedField& field, std::string_view text);

// Stores a value that CheckFieldValue accepted, as the page stores it: a text is terminated
// after its last byte and the bytes behind the terminator keep what they held.
void StoreFieldValue(const NamedField& field, std::string_view text, DeviceParameterBlock& block);

// Whether two blocks hold the same value in the field: texts up to their terminator, everything
// else byte for byte.
bool SameFieldValue(const NamedField& field, const DeviceParameterBlock& a,
                    const DeviceParameterBlock& b);

// What a field takes: "0 to 65535", "an IPv4 address", "GBK text of at most 30 bytes",
// "one of 2400, 4800, ... (or the index 0 to 6)", "a real number (shown with 3 decimals)".
std::string AllowedValues(const NamedField& field);

// How a field travels: "download", "line text 5018", "dictionary 3476".
std::string TransferText(const NamedField& field);

}  // namespace quillon
