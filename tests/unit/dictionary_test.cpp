#include "params/dictionary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace quillon;

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

class DictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearBlock(block);
    BuildDictionaryIndex(block.modbus);
  }
  void MarkAll(uint8_t* marks) { std::memset(marks, 1, block.modbus.wDictCount); }
  // Parses a reply held in a buffer of exactly its own size, so that a read past its end is
  // caught by the address sanitizer, as the answer to a request for the identifiers it names.
  DictionaryReplyResult Parse(const Bytes& payload) {
    request = RequestAnsweredBy(payload);
    return ParseDictionaryReply(block, payload.data(), payload.size(), request);
  }
  // The outstanding request that a reply answers: its operation and the identifiers it names.
  static DictionaryRequest RequestAnsweredBy(const Bytes& reply) {
    DictionaryRequest answered;
    answered.outstanding = true;
    answered.op = reply.size() >= 2 ? static_cast<uint16_t>(reply[0] | reply[1] << 8) : 0;
    for (size_t pos = 3; pos + 2 <= reply.size() && answered.count < kMaxChunkEntries;) {
      answered.ids[answered.count++] = static_cast<uint16_t>(reply[pos] | reply[pos + 1] << 8);
      pos += answered.op == kDictOpWrite ? 2 : pos + 2 < reply.size() ? 3 + reply[pos + 2] : 3;
    }
    return answered;
  }
  int PositionOf(uint16_t id) {
    for (int i = 0; i < block.modbus.wDictCount; ++i) {
      if (block.modbus.awDictId[i] == id) return i;
    }
    return -1;
  }

  DeviceParameterBlock block;
  DictionaryRequest request;
  uint8_t buffer[kDictFrameBufferSize];
};

}  // namespace

// The whole order, against the identifiers written out in tests/data.
TEST_F(DictionaryTest, IndexHoldsTheTransferOrder) {
  std::ifstream file(QUILLON_TEST_DATA "/dictionary-index.txt");
  ASSERT_TRUE(file) << "tests/data/dictionary-index.txt";
  std::vector<uint16_t> expected;
  for (std::string line; std::getline(file, line);) {
    std::istringstream ids(line.substr(0, line.find('#')));
    for (unsigned id; ids >> id;) expected.push_back(static_cast<uint16_t>(id));
  }
  const sModBusPara& m = block.modbus;
  ASSERT_EQ(m.wDictCount, 566);
  ASSERT_EQ(expected.size(), 566u);
  for (int i = 0; i < 566; ++i) ASSERT_EQ(m.awDictId[i], expected[i]) << "position " << i;
  EXPECT_EQ(m.awDictId[566], 0);
}

TEST(DictionaryIds, ClassifiesEveryRange) {
  EXPECT_EQ(ClassifyIdentifier(61), EntryKind::Field);
  EXPECT_EQ(ClassifyIdentifier(63), EntryKind::NoField);
  EXPECT_EQ(ClassifyIdentifier(140), EntryKind::Field);  // wRegCount of slot 15
  EXPECT_EQ(ClassifyIdentifier(141), EntryKind::Foreign);
  EXPECT_EQ(ClassifyIdentifier(245), EntryKind::NoField);
  EXPECT_EQ(ClassifyIdentifier(629), EntryKind::Field);  // szUnit of slot 15
  EXPECT_EQ(ClassifyIdentifier(630), EntryKind::Foreign);
  EXPECT_EQ(ClassifyIdentifier(3541), EntryKind::Field);
  EXPECT_EQ(ClassifyIdentifier(3625), EntryKind::NoField);
  EXPECT_EQ(ClassifyIdentifier(3640), EntryKind::NoField);
  EXPECT_EQ(ClassifyIdentifier(4197), EntryKind::Field);
  EXPECT_EQ(ClassifyIdentifier(4198), EntryKind::Foreign);
  EXPECT_EQ(ClassifyIdentifier(4806), EntryKind::Field);
  EXPECT_EQ(ClassifyIdentifier(4807), EntryKind::NoField);
  EXPECT_EQ(ClassifyIdentifier(4822), EntryKind::NoField);
  EXPECT_EQ(ClassifyIdentifier(5000), EntryKind::CameraText);
  EXPECT_EQ(ClassifyIdentifier(5031), EntryKind::CameraText);
  EXPECT_EQ(ClassifyIdentifier(5032), EntryKind::Foreign);
  EXPECT_EQ(ClassifyIdentifier(7563), EntryKind::Field);
  EXPECT_EQ(ClassifyIdentifier(9000), EntryKind::Foreign);
}

TEST_F(DictionaryTest, EncodesEntriesFromTheBlock) {
  sSlotPara& s2 = block.modbus.asSlot[2];
  std::memset(s2.szName, 'x', sizeof s2.szName);
  std::memcpy(s2.szName, "Temp", 5);
  s2.szName[29] = '#';
  s2.szName[30] = '!';  // the 31st byte never travels
  ASSERT_EQ(EncodeEntry(block, 253 + 25 * 2, buffer), 33u);
  EXPECT_EQ(Bytes(buffer, buffer + 12),
            (Bytes{0x2F, 0x01, 30, 'T', 'e', 'm', 'p', 0, 'x', 'x', 'x', 'x'}));
  EXPECT_EQ(buffer[32], '#');

  std::memset(buffer, 0xFF, sizeof buffer);
  ASSERT_EQ(EncodeEntry(block, 3641 + 37, buffer), 7u);
  EXPECT_EQ(Bytes(buffer, buffer + 8), (Bytes{0x5E, 0x0E, 4, 0, 0, 0, 0, 0xFF}));

  ASSERT_EQ(EncodeEntry(block, 63, buffer), 3u);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x3F, 0x00, 0}));
  ASSERT_EQ(EncodeEntry(block, 4807, buffer), 3u);
  EXPECT_EQ(buffer[2], 0);

  block.modbus.asSlot[3].dwDataType = 0x12340507;
  ASSERT_EQ(EncodeEntry(block, 4794, buffer), 4u);
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0xBA, 0x12, 1, 0x07}));

  block.modbus.asSlot[15].wRegCount = 0x0102;
  ASSERT_EQ(EncodeEntry(block, 140, buffer), 5u);
  EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{0x8C, 0x00, 2, 0x02, 0x01}));
}

TEST_F(DictionaryTest, FirstWriteChunkWithAllMarksSet) {
  sModBusPara& m = block.modbus;
  m.wPollInterval = 1000;
  m.wTimeout = 500;
  m.wRetryLimit = 3;
  m.dwBaudRate = 9600;
  m.byParity = 2;
  m.asSlot[0].byChannel = 5;
  m.asSlot[6].byFuncCode = 4;
  MarkAll(m.abyDictWrite);

  ASSERT_EQ(BuildWriteChunk(block, buffer), 139u);
  EXPECT_EQ(Bytes(buffer, buffer + 33),
            (Bytes{0x42, 0x1F, 0x1F,                          // 8002, 31 entries
                   0x91, 0x0D, 2,    0xE8, 0x03,              // 3473 wPollInterval
                   0x92, 0x0D, 2,    0xF4, 0x01,              // 3474 wTimeout
                   0x93, 0x0D, 2,    0x03, 0x00,              // 3475 wRetryLimit
                   0x94, 0x0D, 4,    0x80, 0x25, 0x00, 0x00,  // 3476 dwBaudRate
                   0x95, 0x0D, 1,    0x02,                    // 3477 byParity
                   0x96, 0x0D, 1,    0x05}));                 // 3478 byChannel of slot 0
  EXPECT_EQ(Bytes(buffer + 135, buffer + 139), (Bytes{0xAF, 0x0D, 1, 0x04}));  // 3503
  // Building does not touch the marks.
  EXPECT_EQ(CountPendingWrites(m), 566);
}

TEST_F(DictionaryTest, FullTransferTakesNineteenChunksEachWay) {
  sModBusPara& m = block.modbus;
  MarkAll(m.abyDictWrite);
  MarkAll(m.abyDictRead);
  int writeChunks = 0;
  size_t largest = 0;
  while (CountPendingWrites(m) != 0 && writeChunks < 100) {
    const size_t length = BuildWriteChunk(block, buffer);
    largest = std::max(largest, length);
    // Acknowledge every identifier of the chunk.
    Bytes ack{0x42, 0x1F, buffer[2]};
    for (size_t pos = 3; pos < length; pos += 3 + buffer[pos + 2]) {
      ack.push_back(buffer[pos]);
      ack.push_back(buffer[pos + 1]);
    }
    Parse(ack);
    ++writeChunks;
  }
  EXPECT_EQ(writeChunks, 19);
  EXPECT_EQ(largest, 434u);
  EXPECT_EQ(CountPendingReads(m), 566);

  int readChunks = 0;
  ASSERT_EQ(BuildReadChunk(block, buffer), 65u);
  EXPECT_EQ(Bytes(buffer, buffer + 7), (Bytes{0x41, 0x1F, 0x1F, 0x91, 0x0D, 0x92, 0x0D}));
  while (CountPendingReads(m) != 0 && readChunks < 100) {
    const size_t length = BuildReadChunk(block, buffer);
    Bytes reply{0x41, 0x1F, buffer[2]};
    for (size_t pos = 3; pos < length; pos += 2) {
      reply.insert(reply.end(), {buffer[pos], buffer[pos + 1], 0});
      // Fixed-size values take their own size; give them zero bytes.
      const uint16_t id = static_cast<uint16_t>(buffer[pos] | (buffer[pos + 1] << 8));
      reply.back() = static_cast<uint8_t>(StoredValueLength(id));
      reply.insert(reply.end(), StoredValueLength(id), 0);
    }
    EXPECT_TRUE(Parse(reply).logLines.empty());
    ++readChunks;
  }
  EXPECT_EQ(readChunks, 19);
}

// An index is not to be trusted with the buffer: 31 camera texts of 72 bytes would take 2328
// bytes. The chunk stops at the buffer's end, and what did not fit goes in the next chunks.
TEST_F(DictionaryTest, WriteChunkStaysInsideItsBufferWhateverTheIndexHolds) {
  sModBusPara& m = block.modbus;
  for (int i = 0; i < 31; ++i) {
    m.awDictId[i] = static_cast<uint16_t>(kCameraTextFirstId + i);
    std::memset(block.osd.asCamera[i / 8].asLine[i % 8].szText, 'a' + i % 26, 72);
  }
  m.wDictCount = 31;
  MarkAll(m.abyDictWrite);

  std::vector<uint8_t> guarded(kDictFrameBufferSize + 2048, 0xEE);
  std::vector<int> entriesPerChunk;
  while (CountPendingWrites(m) != 0 && entriesPerChunk.size() < 10) {
    const size_t length = BuildWriteChunk(block, guarded.data());
    ASSERT_LE(length, kDictFrameBufferSize);
    ASSERT_EQ(guarded[kDictFrameBufferSize], 0xEE);
    // Every entry is whole: identifier, 72, the text.
    size_t pos = 3;
    for (int e = 0; e < guarded[2]; ++e) {
      ASSERT_EQ(guarded[pos + 2], 72);
      pos += 3 + 72;
    }
    EXPECT_EQ(pos, length);
    Bytes ack{0x42, 0x1F, guarded[2]};
    for (pos = 3; pos < length; pos += 75) ack.insert(ack.end(), {guarded[pos], guarded[pos + 1]});
    Parse(ack);
    entriesPerChunk.push_back(guarded[2]);
  }
  EXPECT_EQ(entriesPerChunk, (std::vector<int>{13, 13, 5}));
}

TEST_F(DictionaryTest, CameraTextPayloads) {
  ASSERT_EQ(BuildCameraTextReadPayload(1, buffer), 19u);
  EXPECT_EQ(Bytes(buffer, buffer + 19),
            (Bytes{0x41, 0x1F, 8, 0x90, 0x13, 0x91, 0x13, 0x92, 0x13, 0x93, 0x13, 0x94, 0x13, 0x95,
                   0x13, 0x96, 0x13, 0x97, 0x13}));

  std::strcpy(block.osd.asCamera[1].asLine[0].szText, "AB");
  std::memset(block.osd.asCamera[1].asLine[7].szText, 'z', 73);  // no terminator in the field
  ASSERT_EQ(BuildCameraTextWritePayload(block, 1, buffer), 3u + 5 + 6 * 3 + 75);
  EXPECT_EQ(Bytes(buffer, buffer + 11),
            (Bytes{0x42, 0x1F, 8, 0x90, 0x13, 2, 'A', 'B', 0x91, 0x13, 0}));
  EXPECT_EQ(Bytes(buffer + 26, buffer + 29), (Bytes{0x97, 0x13, 72}));

  EXPECT_EQ(BuildCameraTextWritePayload(block, 3, buffer), 27u);
}

TEST_F(DictionaryTest, ReadReplyStoresValuesAndClearsReadMarks) {
  sModBusPara& m = block.modbus;
  MarkAll(m.abyDictRead);
  m.byDictBusy = 1;
  std::strcpy(m.asSlot[0].szNormalText, "normal");
  m.asSlot[4].dwDataType = 0xFFFFFFFF;

  const Bytes reply{0x41, 0x1F, 4,   0x17, 0x0E, 11,   'A', 'A', 'A',
                    'A',  'A',  'A', 'A',  'A',  'A',  'A', 'A',  // 3607
                    0x95, 0x0D, 1,   0x02,                        // 3477
                    0xBB, 0x12, 1,   0x07,                        // 4795
                    0x5E, 0x0E, 4,   0x01, 0x02, 0x03, 0x04};     // 3678
  const DictionaryReplyResult r = Parse(reply);
  EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::ReadReply);
  EXPECT_FALSE(r.carriedCameraText);
  EXPECT_TRUE(r.logLines.empty());
  EXPECT_EQ(m.byDictBusy, 0);
  EXPECT_STREQ(m.asSlot[0].szAlarmText, "AAAAAAAAAA");
  EXPECT_STREQ(m.asSlot[0].szNormalText, "normal");
  EXPECT_EQ(m.byParity, 2);
  EXPECT_EQ(m.asSlot[4].dwDataType, 7u);
  EXPECT_EQ(m.abyDictRead[PositionOf(3607)], 0);
  EXPECT_EQ(m.abyDictRead[PositionOf(3477)], 0);
  EXPECT_EQ(m.abyDictRead[PositionOf(4795)], 0);
  EXPECT_EQ(m.abyDictRead[PositionOf(3678)], 0);
  EXPECT_EQ(CountPendingReads(m), 562);
  EXPECT_EQ(CountPendingWrites(m), 0);

  // The other gear's value is never stored.
  DeviceParameterBlock before = block;
  EXPECT_EQ(Parse(Bytes{0x41, 0x1F, 1, 0x39, 0x0E, 4, 1, 2, 3, 4}).kind,
            DictionaryReplyResult::Kind::ReadReply);  // 3641
  before.modbus.abyDictRead[PositionOf(3641)] = 0;
  EXPECT_EQ(0, std::memcmp(&before, &block, sizeof block));
}

TEST_F(DictionaryTest, TextsAreTerminatedInsideTheirFields) {
  Bytes reply{0x41, 0x1F, 2, 0xFD, 0x00, 30};  // 253 szName, slot 0
  reply.insert(reply.end(), 30, 'n');
  reply.insert(reply.end(), {0xFE, 0x00, 8});  // 254 szUnit
  reply.insert(reply.end(), 8, 'u');
  std::memset(block.modbus.asSlot[0].szName, '?', 31);
  Parse(reply);
  EXPECT_EQ(std::string(block.modbus.asSlot[0].szName), std::string(30, 'n'));
  EXPECT_EQ(std::string(block.modbus.asSlot[0].szUnit), std::string(8, 'u'));
}

TEST_F(DictionaryTest, UnknownIdentifiersAreReported) {
  block.modbus.byDictBusy = 1;
  DeviceParameterBlock before = block;
  DictionaryReplyResult r = Parse(Bytes{0x41, 0x1F, 1, 0x3F, 0x00, 0});
  EXPECT_EQ(r.logLines, (Lines{"解析字典错误, 命令:8001 错误字典 十进制63 十六进制003F\r\n"}));
  before.modbus.byDictBusy = 0;
  EXPECT_EQ(0, std::memcmp(&before, &block, sizeof block));

  // A foreign identifier is reported twice, and the walk goes on by its own length byte.
  r = Parse(Bytes{0x41, 0x1F, 2, 0x28, 0x23, 2, 0xAA, 0xBB, 0x95, 0x0D, 1, 0x01});
  EXPECT_EQ(r.logLines, (Lines{"未收到任何读取应答合法字典\r\n",
                               "解析字典错误, 命令:8001 错误字典 十进制9000 十六进制2328\r\n"}));
  EXPECT_EQ(block.modbus.byParity, 1);

  // Slots 16 to 31 do not exist: nothing stored, but not in the index either.
  r = Parse(Bytes{0x41, 0x1F, 1, 0xC7, 0x12, 1, 0x05});
  EXPECT_EQ(r.logLines, (Lines{"解析字典错误, 命令:8001 错误字典 十进制4807 十六进制12C7\r\n"}));

  r = Parse(Bytes{0x42, 0x1F, 1, 0x28, 0x23});
  EXPECT_EQ(r.logLines, (Lines{"解析字典错误, 命令:8002 错误字典 十进制9000 十六进制2328\r\n"}));
}

TEST_F(DictionaryTest, WriteAcknowledgementClearsOnlyNamedMarks) {
  sModBusPara& m = block.modbus;
  MarkAll(m.abyDictWrite);
  MarkAll(m.abyDictRead);
  m.byDictBusy = 1;

  DictionaryReplyResult r = Parse(Bytes{0x42, 0x1F, 1, 0x8B, 0x13});  // 5003, a camera text
  EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::WriteAck);
  EXPECT_TRUE(r.logLines.empty());
  EXPECT_EQ(m.byDictBusy, 0);
  EXPECT_EQ(CountPendingWrites(m), 566);

  r = Parse(Bytes{0x42, 0x1F, 2, 0x91, 0x0D, 0x93, 0x0D});
  EXPECT_TRUE(r.logLines.empty());
  EXPECT_EQ(m.abyDictWrite[0], 0);
  EXPECT_EQ(m.abyDictWrite[1], 1);
  EXPECT_EQ(m.abyDictWrite[2], 0);
  EXPECT_EQ(CountPendingWrites(m), 564);
  EXPECT_EQ(CountPendingReads(m), 566);
}

TEST_F(DictionaryTest, OtherOperationCodesAreIgnored) {
  block.modbus.byDictBusy = 1;
  block.modbus.abyDictRead[0] = 1;
  EXPECT_EQ(Parse(Bytes{0x43, 0x1F, 1, 0x91, 0x0D, 2, 0, 0}).kind,
            DictionaryReplyResult::Kind::Ignored);
  EXPECT_EQ(Parse(Bytes{0x41}).kind, DictionaryReplyResult::Kind::Ignored);
  EXPECT_EQ(block.modbus.byDictBusy, 1);
  EXPECT_EQ(block.modbus.abyDictRead[0], 1);
  EXPECT_EQ(block.modbus.wPollInterval, 0);
}

TEST_F(DictionaryTest, CameraTextReplies) {
  block.modbus.abyDictRead[0] = 1;
  std::memset(block.osd.asCamera[2].asLine[7].szText, 'q', 73);
  const DictionaryReplyResult r =
      Parse(Bytes{0x41, 0x1F, 2, 0x89, 0x13, 3, 'a', 'b', 'c', 0x9F, 0x13, 0});  // 5001, 5023
  EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::ReadReply);
  EXPECT_TRUE(r.carriedCameraText);
  EXPECT_TRUE(r.logLines.empty());
  EXPECT_STREQ(block.osd.asCamera[0].asLine[1].szText, "abc");
  EXPECT_STREQ(block.osd.asCamera[2].asLine[7].szText, "");
  EXPECT_EQ(block.modbus.abyDictRead[0], 1);

  // Longer than the field: the first 72 bytes and a terminator.
  Bytes longText{0x41, 0x1F, 1, 0xA7, 0x13, 80};  // 5031
  for (int i = 0; i < 80; ++i) longText.push_back(static_cast<uint8_t>('0' + i % 10));
  block.osd.asCamera[3].byBrand = 0x66;
  Parse(longText);
  const char* text = block.osd.asCamera[3].asLine[7].szText;
  EXPECT_EQ(strnlen(text, 73), 72u);
  EXPECT_EQ(text[71], '1');
  EXPECT_EQ(block.osd.asCamera[3].byBrand, 0x66);  // right behind the last line
}

TEST_F(DictionaryTest, TruncatedRepliesStopAtTheirEnd) {
  sModBusPara& m = block.modbus;
  MarkAll(m.abyDictRead);

  // Second entry's header is cut after its identifier.
  DictionaryReplyResult r = Parse(Bytes{0x41, 0x1F, 2, 0x91, 0x0D, 2, 0xE8, 0x03, 0x92, 0x0D});
  EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::ReadReply);
  EXPECT_EQ(m.wPollInterval, 1000);
  EXPECT_EQ(m.abyDictRead[1], 1);

  // A value shorter than its length byte and its field: not stored, not acknowledged.
  Parse(Bytes{0x41, 0x1F, 1, 0x94, 0x0D, 4, 0x80, 0x25});
  EXPECT_EQ(m.dwBaudRate, 0u);
  EXPECT_EQ(m.abyDictRead[3], 1);

  // A length byte smaller than the field: the field's size is taken when it was received...
  Parse(Bytes{0x41, 0x1F, 2, 0x94, 0x0D, 1, 0x80, 0x95, 0x0D, 1, 0x02});
  EXPECT_EQ(m.dwBaudRate, 0x010D9580u);
  EXPECT_EQ(m.byParity, 2);
  // ...and not when the payload ends first.
  m.dwBaudRate = 0;
  m.abyDictRead[3] = 1;
  Parse(Bytes{0x41, 0x1F, 1, 0x94, 0x0D, 1, 0x80});
  EXPECT_EQ(m.dwBaudRate, 0u);
  EXPECT_EQ(m.abyDictRead[3], 1);

  // Counts far beyond the entries present.
  std::memset(block.osd.asCamera[0].asLine[0].szText, 'k', 4);
  r = Parse(Bytes{0x41, 0x1F, 255, 0x88, 0x13, 72, 'x', 'y'});
  EXPECT_FALSE(r.carriedCameraText);
  EXPECT_EQ(block.osd.asCamera[0].asLine[0].szText[0], 'k');
  r = Parse(Bytes{0x41, 0x1F, 255, 0x28, 0x23, 200});
  EXPECT_TRUE(r.logLines.empty());
  m.abyDictWrite[0] = m.abyDictWrite[1] = 1;
  Parse(Bytes{0x42, 0x1F, 255, 0x91, 0x0D, 0x92});
  EXPECT_EQ(m.abyDictWrite[0], 0);
  EXPECT_EQ(m.abyDictWrite[1], 1);

  // Without its count byte a reply names nothing it could answer.
  m.byDictBusy = 1;
  EXPECT_EQ(Parse(Bytes{0x42, 0x1F}).kind, DictionaryReplyResult::Kind::Ignored);
  EXPECT_EQ(m.byDictBusy, 1);
}

// Only a reply to the request that is outstanding counts: same operation, at least one of its
// identifiers. Anything else (a late reply, a duplicate, another PC's traffic) changes nothing:
// no value stored, no mark cleared, no line logged, byDictBusy untouched.
TEST_F(DictionaryTest, RepliesCountOnlyForTheOutstandingRequest) {
  sModBusPara& m = block.modbus;
  MarkAll(m.abyDictRead);
  MarkAll(m.abyDictWrite);
  const Bytes poll500{0x41, 0x1F, 2, 0x91, 0x0D, 2, 0xF4, 0x01, 0x28, 0x23, 1, 0};  // + 9000
  auto asked = [](uint16_t op, std::vector<uint16_t> ids) {
    DictionaryRequest r;
    r.outstanding = true;
    r.op = op;
    for (uint16_t id : ids) r.ids[r.count++] = id;
    return r;
  };
  const struct {
    const char* what;
    DictionaryRequest request;
  } cases[] = {
      {"no request outstanding", DictionaryRequest{}},
      {"a write is outstanding", asked(kDictOpWrite, {3473})},
      {"other identifiers asked for", asked(kDictOpRead, {5000, 5001, 5002})},
      {"the request was answered already",
       [&] {
         DictionaryRequest r = asked(kDictOpRead, {3473});
         r.outstanding = false;
         return r;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m.byDictBusy = 1;
    const DeviceParameterBlock before = block;
    DictionaryRequest request = c.request;
    const DictionaryReplyResult r =
        ParseDictionaryReply(block, poll500.data(), poll500.size(), request);
    EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::Ignored);
    EXPECT_TRUE(r.logLines.empty());
    EXPECT_EQ(0, std::memcmp(&before, &block, sizeof block));
  }

  // The answer: stored, acknowledged, the foreign identifier logged as ever, and the request
  // ended, so that a duplicate of it changes nothing more.
  DictionaryRequest request = asked(kDictOpRead, {3473, 3474});
  m.byDictBusy = 1;
  DictionaryReplyResult r = ParseDictionaryReply(block, poll500.data(), poll500.size(), request);
  EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::ReadReply);
  EXPECT_EQ(m.wPollInterval, 500);
  EXPECT_EQ(m.byDictBusy, 0);
  EXPECT_EQ(r.logLines.size(), 2u);
  EXPECT_FALSE(request.outstanding);
  m.byDictBusy = 1;
  m.wPollInterval = 1;
  r = ParseDictionaryReply(block, poll500.data(), poll500.size(), request);
  EXPECT_EQ(r.kind, DictionaryReplyResult::Kind::Ignored);
  EXPECT_EQ(m.wPollInterval, 1);
  EXPECT_EQ(m.byDictBusy, 1);
}

// The request the worker records is what its payload asked for.
TEST_F(DictionaryTest, RequestsRecordTheIdentifiersTheyName) {
  MarkAll(block.modbus.abyDictWrite);
  DictionaryRequest request;
  request.Record(buffer, BuildWriteChunk(block, buffer));
  EXPECT_TRUE(request.outstanding);
  EXPECT_EQ(request.op, kDictOpWrite);
  ASSERT_EQ(request.count, 31);
  EXPECT_EQ(request.ids[0], 3473);
  EXPECT_EQ(request.ids[30], 3503);
  request.Record(buffer, BuildCameraTextReadPayload(2, buffer));
  EXPECT_EQ(request.op, kDictOpRead);
  ASSERT_EQ(request.count, 8);
  EXPECT_TRUE(request.Names(5016) && request.Names(5023));
  EXPECT_FALSE(request.Names(5015) || request.Names(5024));
}

// A write chunk never runs past its buffer, whatever an index from elsewhere names: 31 camera
// texts of 72 bytes would take 2,328 bytes.
TEST_F(DictionaryTest, WriteChunksStayWithinTheirBuffer) {
  sModBusPara& m = block.modbus;
  for (int i = 0; i < 31; ++i) m.awDictId[i] = static_cast<uint16_t>(5000 + i);
  m.wDictCount = 31;
  MarkAll(m.abyDictWrite);
  for (auto& camera : block.osd.asCamera)
    for (auto& line : camera.asLine) {
      std::memset(line.szText, 'T', 72);
      line.szText[72] = 0;
    }
  std::vector<uint8_t> exact(kDictFrameBufferSize);
  const size_t length = BuildWriteChunk(block, exact.data(), exact.size());
  EXPECT_LE(length, exact.size());
  EXPECT_EQ(length, 3 + 13 * 75u);  // thirteen whole entries fit
  EXPECT_EQ(exact[2], 13);
  // The entries left out stay pending for the next chunk.
  EXPECT_EQ(CountPendingWrites(m), 31);
  std::vector<uint8_t> tiny(2);
  EXPECT_EQ(BuildWriteChunk(block, tiny.data(), tiny.size()), 0u);
}

TEST_F(DictionaryTest, CutRepliesKeepTheRequestWaiting) {
  sModBusPara& m = block.modbus;
  m.abyDictRead[0] = m.abyDictRead[1] = 1;
  m.byDictBusy = 1;
  // Two entries promised; the second (3474, two bytes) is cut after its length byte.
  Parse(Bytes{0x41, 0x1F, 2, 0x91, 0x0D, 2, 0xF4, 0x01, 0x92, 0x0D, 2});
  EXPECT_EQ(m.wPollInterval, 500);
  EXPECT_EQ(m.abyDictRead[0], 0);
  EXPECT_EQ(m.abyDictRead[1], 1);
  EXPECT_EQ(m.byDictBusy, 1);
  // An acknowledgement with fewer identifiers than its count.
  m.abyDictWrite[0] = 1;
  Parse(Bytes{0x42, 0x1F, 3, 0x91, 0x0D, 0x92});
  EXPECT_EQ(m.abyDictWrite[0], 0);
  EXPECT_EQ(m.byDictBusy, 1);
  // The whole answer releases it.
  Parse(Bytes{0x41, 0x1F, 1, 0x92, 0x0D, 2, 0x10, 0x00});
  EXPECT_EQ(m.byDictBusy, 0);
}

// A read of camera line texts ends only once every line it asked for has come, in one reply or
// several, while what came is stored at once; an RS-485 chunk ends with any answer, since its
// marks send what is missing again.
TEST_F(DictionaryTest, ACameraTextReadEndsOnlyWithEveryLine) {
  auto lines = [](int first, int last) {  // camera 2's lines, each text one letter
    Bytes reply{0x41, 0x1F, static_cast<uint8_t>(last - first + 1)};
    for (int id = first; id <= last; ++id)
      reply.insert(reply.end(), {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 1,
                                 static_cast<uint8_t>('a' + id - 5008)});
    return reply;
  };
  sModBusPara& m = block.modbus;
  DictionaryRequest texts;
  texts.Record(buffer, BuildCameraTextReadPayload(1, buffer));  // 5008 to 5015
  m.byDictBusy = 1;
  const Bytes firstFive = lines(5008, 5012);
  for (int copy = 0; copy < 2; ++copy) {  // a duplicate completes nothing either
    ParseDictionaryReply(block, firstFive.data(), firstFive.size(), texts);
    EXPECT_EQ(m.byDictBusy, 1);
    EXPECT_TRUE(texts.outstanding);
  }
  EXPECT_STREQ(block.osd.asCamera[1].asLine[4].szText, "e");
  EXPECT_STREQ(block.osd.asCamera[1].asLine[5].szText, "");
  const Bytes lastThree = lines(5013, 5015);
  ParseDictionaryReply(block, lastThree.data(), lastThree.size(), texts);
  EXPECT_EQ(m.byDictBusy, 0);
  EXPECT_FALSE(texts.outstanding);
  EXPECT_STREQ(block.osd.asCamera[1].asLine[7].szText, "h");

  m.abyDictRead[0] = m.abyDictRead[1] = 1;
  DictionaryRequest chunk;
  chunk.Record(buffer, BuildReadChunk(block, buffer));  // 3473 and 3474
  m.byDictBusy = 1;
  const Bytes one{0x41, 0x1F, 1, 0x91, 0x0D, 2, 0xF4, 0x01};
  ParseDictionaryReply(block, one.data(), one.size(), chunk);
  EXPECT_EQ(m.byDictBusy, 0);
  EXPECT_EQ(m.abyDictRead[1], 1);
}

TEST_F(DictionaryTest, IndexCountBeyondCapacityIsBounded) {
  block.modbus.wDictCount = 0xFFFF;  // a damaged parameter file
  std::memset(block.modbus.abyDictWrite, 1, kDictCapacity);
  EXPECT_EQ(CountPendingWrites(block.modbus), kDictCapacity);
  Parse(Bytes{0x42, 0x1F, 1, 0x34, 0x12});  // not found; the search stays inside the index
  EXPECT_EQ(CountPendingWrites(block.modbus), kDictCapacity);
}
