#include "link/frame.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(Frame, ChecksumWrapsModulo256) {
  const uint8_t bytes[] = {0xFF, 0x02};
  EXPECT_EQ(FrameChecksum(bytes, 2), 0x01);
  EXPECT_EQ(FrameChecksum(bytes, 0), 0x00);
}

TEST(Frame, SearchRequestIsTheFiveKnownBytes) {
  EXPECT_EQ(BuildSearchRequest(), (Bytes{0xAA, 0x00, 0x01, 0x02, 0x02}));
}

TEST(Frame, RequestCarriesLengthMacPayloadAndChecksum) {
  const uint8_t mac[6] = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
  EXPECT_EQ(BuildRequestFrame(CMD_READ_PARAMS, mac, nullptr, 0),
            (Bytes{0xAA, 0x00, 0x07, 0x03, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xC8}));
  const uint8_t payload[] = {0x41, 0x1F, 0x00};
  EXPECT_EQ(
      BuildRequestFrame(CMD_DICTIONARY, mac, payload, 3),
      (Bytes{0xAA, 0x00, 0x0A, 0x09, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x41, 0x1F, 0x00, 0x2E}));
}

TEST(Frame, AcceptsOnlyWellFormedReplies) {
  const Bytes unknownCommand{0x55, 0x00, 0x01, 0x07, 0x07};
  EXPECT_TRUE(IsAcceptableReply(unknownCommand));
  // The program's own search request comes back on the same port: start byte 0xAA.
  EXPECT_FALSE(IsAcceptableReply(Bytes{0xAA, 0x00, 0x01, 0x02, 0x02}));
  // Checksum off by one.
  EXPECT_FALSE(IsAcceptableReply(Bytes{0x55, 0x00, 0x01, 0x07, 0x08}));
  // Too short to hold start, length, command and checksum.
  EXPECT_FALSE(IsAcceptableReply(Bytes{0x55, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(IsAcceptableReply(Bytes{}));
  // The length field is never read: a wrong one does not matter.
  EXPECT_TRUE(IsAcceptableReply(Bytes{0x55, 0x12, 0x34, 0x07, 0x07}));
}

// What the simulator answers at all: a request of the program's own shape, its length field
// included.
TEST(Frame, WellFormedRequestsHaveTheirLengthAndChecksum) {
  const struct {
    Bytes frame;
    bool wellFormed;
  } cases[] = {
      {{0xAA, 0x00, 0x01, 0x02, 0x02}, true},
      {{0xAA, 0x00, 0x07, 0x03, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xC8}, true},
      {{0xAA, 0x00, 0x02, 0x02, 0x02}, false},  // length one too large
      {{0xAA, 0x00, 0x00, 0x02, 0x02}, false},  // one too small
      {{0xAA, 0x01, 0x01, 0x02, 0x02}, false},  // its high byte set
      {{0xAA, 0x00, 0x07, 0x03, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}, false},  // cut short
      {{0x55, 0x00, 0x01, 0x02, 0x02}, false},  // a reply's start byte
      {{0xAA, 0x00, 0x01, 0x02, 0x03}, false},  // checksum
      {{0xAA, 0x00, 0x00, 0x00}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsWellFormedRequest(c.frame), c.wellFormed) << ::testing::PrintToString(c.frame);
}
