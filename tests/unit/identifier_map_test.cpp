// Where each dictionary identifier lands in the parameter block, pinned by literal offsets taken
// from the record layouts, and checked against both the program's codec and the simulator's own
// table, so that a mapping error shows whichever side makes it.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "device_dictionary.h"
#include "params/dictionary.h"

using namespace quillon;

namespace {

// Offsets inside DeviceParameterBlock: the network image first (camera 1 at 52, 694 bytes per
// camera, line texts at 125 + 78 per line), then the RS-485 image at 2828 (slot 1 at 2844, 228
// bytes per slot, slot 16 at 6264). `wire` is the number of value bytes that travel.
struct Landing {
  uint16_t id;
  size_t offset;
  size_t size;
  size_t wire;
};

// clang-format off
constexpr Landing kLandings[] = {
    {4790, 2828, 1, 1},  {3473, 2830, 2, 2},  {3474, 2832, 2, 2},  {3475, 2834, 2, 2},
    {3476, 2836, 4, 4},  {3477, 2840, 1, 1},
    // Slot 1, then slot 16, field by field.
    {62, 2844, 1, 1},     {137, 6264, 1, 1},     // byEnable
    {3478, 2845, 1, 1},   {3538, 6265, 1, 1},    // byChannel
    {61, 2846, 1, 1},     {136, 6266, 1, 1},     // bySlaveAddr
    {3479, 2847, 1, 1},   {3539, 6267, 1, 1},    // byFuncCode
    {64, 2848, 2, 2},     {139, 6268, 2, 2},     // wStartReg
    {65, 2850, 2, 2},     {140, 6270, 2, 2},     // wRegCount
    {3481, 2852, 2, 2},   {3541, 6272, 2, 2},    // wDataOffset
    {4791, 2856, 4, 1},   {4806, 6276, 4, 1},    // dwDataType
    {3480, 2860, 1, 1},   {3540, 6280, 1, 1},    // byDecimals
    {251, 2864, 4, 4},    {626, 6284, 4, 4},     // fScaleA
    {252, 2868, 4, 4},    {627, 6288, 4, 4},     // fOffsetB
    {253, 2872, 31, 30},  {628, 6292, 31, 30},   // szName
    {254, 2903, 9, 8},    {629, 6323, 9, 8},     // szUnit
    {3606, 2912, 4, 4},   {4161, 6332, 4, 4},    // fAlarmValue
    {3607, 2916, 11, 11}, {4162, 6336, 11, 11},  // szAlarmText
    {3608, 2927, 11, 11}, {4163, 6347, 11, 11},  // szNormalText
    {3609, 2940, 4, 4},   {3623, 2968, 4, 4},    // gear values 1 and 8 of slot 1
    {4164, 6360, 4, 4},   {4178, 6388, 4, 4},    // ... of slot 16
    {3610, 2972, 11, 11}, {3624, 3049, 11, 11},  // gear texts 1 and 8 of slot 1
    {4165, 6392, 11, 11}, {4179, 6469, 11, 11},  // ... of slot 16
    {3642, 3060, 11, 11}, {4197, 6480, 11, 11},  // the text for any other value
    {7548, 3071, 1, 1},   {7563, 6491, 1, 1},    // byDataBits
    // Overlay line texts: camera 1 lines 1 and 8, camera 2 line 1, camera 4 line 8.
    {5000, 125, 73, 72},  {5007, 671, 73, 72},   {5008, 819, 73, 72},  {5031, 2753, 73, 72},
};
// clang-format on

// Identifiers that reach no field: inside a range without a name, the value of the "other"
// gear, slots that do not exist, and identifiers outside every range.
constexpr uint16_t kNowhere[] = {63,   138,  245,  250,  605,  3625, 3640, 3641, 4196, 4807,
                                 4822, 60,   141,  244,  630,  3472, 3542, 3605, 4198, 4789,
                                 4823, 4999, 5032, 7547, 7564, 9000, 0,    65535};

size_t SimulatorOffset(const devsim::DeviceItem& item) {
  return item.image == devsim::Image::Modbus ? 2828 + item.offset : item.offset;
}

}  // namespace

TEST(IdentifierMap, EveryRangeLandsOnItsFieldInTheProgramAndInTheSimulator) {
  for (const Landing& want : kLandings) {
    SCOPED_TRACE("identifier " + std::to_string(want.id));
    const std::optional<FieldLocation> program = LocateField(want.id);
    ASSERT_TRUE(program);
    EXPECT_EQ(program->offset, want.offset);
    EXPECT_EQ(program->size, want.size);
    if (want.id < kCameraTextFirstId || want.id > kCameraTextLastId) {
      EXPECT_EQ(StoredValueLength(want.id), want.wire);
    }

    const devsim::DeviceItem device = devsim::FindItem(want.id);
    EXPECT_NE(device.image, devsim::Image::None);
    EXPECT_EQ(SimulatorOffset(device), want.offset);
    EXPECT_EQ(device.fieldSize, want.size);
    EXPECT_EQ(device.wireSize, want.wire);
  }
  for (uint16_t id : kNowhere) {
    EXPECT_FALSE(LocateField(id)) << id;
    EXPECT_EQ(devsim::FindItem(id).image, devsim::Image::None) << id;
  }
}

// Every identifier from 0 to 65535: both sides agree on where it lands and what it is.
TEST(IdentifierMap, ProgramAndSimulatorAgreeOnEveryIdentifier) {
  for (int id = 0; id <= 65535; ++id) {
    const std::optional<FieldLocation> program = LocateField(static_cast<uint16_t>(id));
    const devsim::DeviceItem device = devsim::FindItem(static_cast<uint16_t>(id));
    ASSERT_EQ(program.has_value(), device.image != devsim::Image::None) << id;
    if (program) {
      ASSERT_EQ(program->offset, SimulatorOffset(device)) << id;
      ASSERT_EQ(program->size, device.fieldSize) << id;
    }
    const EntryKind kind = ClassifyIdentifier(static_cast<uint16_t>(id));
    ASSERT_EQ(kind == EntryKind::Foreign, device.kind == devsim::ItemKind::Foreign) << id;
  }
}

// What either side sends for an identifier, and what it keeps of a received value, byte for byte
// over a block full of varied bytes (texts without terminators included).
TEST(IdentifierMap, ProgramAndSimulatorEncodeAndStoreAlike) {
  DeviceParameterBlock block;
  auto* bytes = reinterpret_cast<uint8_t*>(&block);
  for (size_t i = 0; i < sizeof block; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  const uint8_t value[80] = {0x41, 0x42, 0xC3, 0xC5, 0x00, 0x7F, 0x80, 0xFF, 0x43, 0x44, 0x45,
                             0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50,
                             0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A};
  for (int id = 0; id <= 7600; ++id) {
    const auto n = static_cast<uint16_t>(id);
    uint8_t entry[3 + 255];
    const size_t size = EncodeEntry(block, n, entry);
    ASSERT_EQ(std::vector<uint8_t>(entry + 3, entry + size),
              devsim::ItemValue(block.osd, block.modbus, n))
        << id;

    DeviceParameterBlock program = block, device = block;
    StoreEntry(program, n, value, sizeof value);
    devsim::StoreItem(device.osd, device.modbus, n, value);
    ASSERT_EQ(std::memcmp(&program, &device, sizeof program), 0) << id;
  }
}
