// The fuzz harnesses inside the ordinary test run: every input a fuzzer ever stopped on (kept
// under tests/data/fuzz-regressions/<target>/) and every seed must keep the rules, and the
// rules themselves must see what they are for.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "invariants.h"
#include "seeds.h"

namespace quillon::fuzz {
namespace {

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzRegressions, EveryKeptInputAndEverySeedKeepsTheRules) {
  for (const std::string& target : kFuzzTargets) {
    const std::filesystem::path folder = std::filesystem::path(QUILLON_FUZZ_KEPT) / target;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      if (!file.is_regular_file() || file.path().filename() == "README") continue;
      EXPECT_EQ(RunTarget(target, ReadAll(file.path())), "") << file.path();
    }
    const std::vector<Bytes> seeds = SeedInputs(target);
    EXPECT_GE(seeds.size(), 4u) << target;
    for (size_t i = 0; i < seeds.size(); ++i)
      EXPECT_EQ(RunTarget(target, seeds[i]), "") << target << " seed " << i;
  }
}

// The seeds reach deep: the conversation of an RS-485 read carries its 19 replies, and the
// sample file comes whole.
TEST(FuzzRegressions, SeedsAreWholeConversationsAndFiles) {
  const std::vector<Bytes> conversations = SeedInputs("receive_path");
  ASSERT_GT(conversations.size(), 2u);
  EXPECT_GT(conversations[2].size(), 19u * 250u);
  const std::vector<Bytes> files = SeedInputs("param_import");
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(std::string(files[0].begin() + 1, files[0].begin() + 15), "[sOSDCommPara]");
}

// A frame as a device sends it: start byte, length (frame size - 4), command, MAC, payload and
// the byte sum from the command on.
TEST(FuzzRegressions, RepairGivesTheDevicesFraming) {
  Bytes frame = {0x00, 0x00, 0x00, 0x04, 0x00, 0xE0, 0x4C, 0x3A, 0x1B, 0x03, 0x01, 0x99};
  RepairReply(frame);
  EXPECT_EQ(frame, (Bytes{0x55, 0x00, 0x08, 0x04, 0x00, 0xE0, 0x4C, 0x3A, 0x1B, 0x03, 0x01, 0x89}));
}

// Each rule names what it finds broken, and only that.
TEST(FuzzRegressions, RulesSeeWhatTheyAreFor) {
  auto block = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*block);
  EXPECT_EQ(CheckTextsTerminated(*block), "");
  std::memset(block->modbus.asSlot[2].aszGearText[8], 'x', 11);
  EXPECT_EQ(CheckTextsTerminated(*block), "gear text 2/8 has no terminator inside its field");
  std::memset(block->osd.asCamera[1].asLine[7].szText, 'x', 73);
  EXPECT_EQ(CheckTextsTerminated(*block), "line text 1/7 has no terminator inside its field");

  const auto before = std::make_unique<DeviceParameterBlock>(*block);
  EXPECT_EQ(CheckBlockUnchanged(*before, *block), "");
  block->modbus.abyDictRead[9] = 1;
  EXPECT_EQ(CheckBlockUnchanged(*before, *block), "sModBusPara changed");
  EXPECT_EQ(CheckNoMarkSet(before->modbus, block->modbus), "read mark 9 was set by a reply");
  EXPECT_EQ(CheckNoMarkSet(block->modbus, before->modbus), "");
  block->modbus.wDictCount = kDictCapacity + 1;
  EXPECT_EQ(CheckIndexKept(block->modbus, before->modbus),
            "the dictionary count exceeds the index");
}

}  // namespace
}  // namespace quillon::fuzz
