// The main window's protocol flows, driven through fakes: no widgets, no sockets.
#include "session/config_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "params/dictionary.h"
#include "support/fake_view.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "text/gbk.h"

using namespace quillon;

namespace {

using fakes::FakeConfigView;
using fakes::RecordingLink;
using fakes::RecordingNotifier;

// A device reply: 0x55, length, command, body, checksum.
Bytes Reply(uint8_t command, Bytes body) {
  Bytes frame{0x55, 0, 0, command};
  frame.insert(frame.end(), body.begin(), body.end());
  const size_t length = frame.size() + 1 - 4;
  frame[1] = static_cast<uint8_t>(length >> 8);
  frame[2] = static_cast<uint8_t>(length);
  frame.push_back(FrameChecksum(frame.data() + 3, frame.size() - 3));
  return frame;
}

Bytes SearchReply(Bytes ipLittleEndian, Bytes mac, uint8_t minor, uint8_t major, Bytes name) {
  Bytes body{0, 0, 0, 0};
  body.insert(body.end(), ipLittleEndian.begin(), ipLittleEndian.end());
  body.insert(body.end(), mac.begin(), mac.end());
  body.insert(body.end(), {minor, major, 0, 0});
  body.insert(body.end(), name.begin(), name.end());
  body.push_back(0);
  return Reply(CMD_SEARCH, body);
}

class ConfigSessionTest : public ::testing::Test {
 protected:
  ConfigSessionTest() : session(block, link, notifier) {
    session.AttachView(view);
    session.InitModel();
  }

  // A datagram that reached the PC now.
  void Receive(const Bytes& frame) {
    session.OnFrameReceived(frame, std::chrono::system_clock::now());
  }

  // Selects a device row and double-clicks it.
  void Read(const std::string& mac, const std::string& version) {
    view.selected = DeviceRow{"10.0.0.9", "dev", mac, version};
    session.OnDeviceDoubleClicked();
  }

  // A read reply of the given size for the selected device.
  Bytes ReadReply(size_t frameSize) {
    Bytes body(block.abySelectedMac, block.abySelectedMac + 6);
    body.resize(frameSize - 5, 0);
    return Reply(CMD_READ_PARAMS, body);
  }

  DeviceParameterBlock block{};
  FakeConfigView view;
  RecordingLink link;
  RecordingNotifier notifier;
  ConfigSession session;
};

TEST_F(ConfigSessionTest, StartsWithTheDictionaryIndexAndClearFlags) {
  EXPECT_EQ(block.modbus.wDictCount, 566);
  EXPECT_EQ(block.modbus.awDictId[0], 3473);
  EXPECT_EQ(session.Flags().bParamsRead, 0);
  EXPECT_EQ(session.Flags().b485Read, 0);
}

TEST_F(ConfigSessionTest, SearchClearsTheLogAndListThenBroadcastsTheRequest) {
  session.AppendLog("old text\r\n");
  view.rows.push_back({"1.2.3.4", "x", "000000000000", "03.00"});
  session.OnSearch();
  EXPECT_EQ(link.Refreshes(), 1);
  ASSERT_EQ(link.Sent().size(), 1u);
  EXPECT_EQ(link.Sent()[0], (Bytes{0xAA, 0x00, 0x01, 0x02, 0x02}));
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.shownLog, "搜索...\r\n");
}

TEST_F(ConfigSessionTest, SearchRepliesBecomeRowsNewestFirst) {
  session.OnSearch();
  const Bytes literal{0x55, 0x00, 0x18, 0x02, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01,
                      0xA8, 0xC0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x07, 0x03,
                      0x00, 0x00, 0x44, 0x45, 0x56, 0x31, 0x00, 0xE8};
  Receive(literal);
  Receive(SearchReply({1, 0, 0, 10}, {0x00, 0x0A, 0x1B, 0xFF, 0x10, 0x01}, 0, 2, {}));
  // Name in GBK: "大门" = B4 F3 C3 C5.
  Receive(SearchReply({2, 0, 0, 10}, {1, 2, 3, 4, 5, 6}, 1, 40, {0xB4, 0xF3, 0xC3, 0xC5}));

  ASSERT_EQ(view.rows.size(), 3u);
  EXPECT_EQ(view.rows[0].ip, "10.0.0.2");
  EXPECT_EQ(view.rows[0].name, "大门");
  EXPECT_EQ(view.rows[0].version, "40.01");
  EXPECT_EQ(view.rows[1].ip, "10.0.0.1");
  EXPECT_EQ(view.rows[1].mac, "000A1BFF1001");
  EXPECT_EQ(view.rows[1].name, "");
  EXPECT_EQ(view.rows[1].version, "02.00");
  EXPECT_EQ(view.rows[2].ip, "192.168.1.100");
  EXPECT_EQ(view.rows[2].name, "DEV1");
  EXPECT_EQ(view.rows[2].mac, "001122334455");
  EXPECT_EQ(view.rows[2].version, "03.07");
  EXPECT_TRUE((notifier.Count() == 0));
  EXPECT_EQ(view.shownLog, "搜索...\r\n搜索到设备\r\n搜索到设备\r\n搜索到设备\r\n");
}

// A batch takes the devices the last search found, each once as it answered last; while it
// runs, every action of the main window that talks to a device is refused with one box and
// sends nothing.
TEST_F(ConfigSessionTest, ABatchTakesTheFoundDevicesAndLocksTheMainWindow) {
  session.OnSearch();
  Receive(SearchReply({1, 0, 0, 10}, {1, 2, 3, 4, 5, 6}, 0, 32, {'A'}));
  Receive(SearchReply({2, 0, 0, 10}, {1, 2, 3, 4, 5, 7}, 0, 32, {}));
  Receive(SearchReply({3, 0, 0, 10}, {1, 2, 3, 4, 5, 6}, 0, 32, {'B'}));
  ASSERT_EQ(session.FoundDevices().size(), 2u);
  EXPECT_EQ(session.FoundDevices()[0].name, "B");
  EXPECT_EQ(session.FoundDevices()[1].MacText(), "010203040507");

  view.selected = DeviceRow{"10.0.0.3", "B", "010203040506", "32.00"};
  session.Flags().bParamsRead = session.Flags().b485Read = 1;
  link.Clear();
  session.SetBatchRunning(true);
  for (void (ConfigSession::*action)() :
       {&ConfigSession::OnSearch, &ConfigSession::OnDeviceDoubleClicked, &ConfigSession::OnDownload,
        &ConfigSession::OnRs485Read, &ConfigSession::OnRs485Download,
        &ConfigSession::OnImportParams}) {
    notifier.Clear();
    (session.*action)();
    EXPECT_EQ(notifier.Boxes(),
              (std::vector<fakes::RecordedBox>{
                  {"提示", "正在传输参数，请等待本次传输结束后再操作", BoxIcon::Exclamation}}));
  }
  EXPECT_TRUE(link.Sent().empty());
  EXPECT_EQ(session.FoundDevices().size(), 2u);
}

TEST_F(ConfigSessionTest, FirstGenerationFirmwareIsWarnedButListed) {
  Receive(SearchReply({1, 0, 0, 10}, {1, 2, 3, 4, 5, 6}, 7, 1, {'A'}));
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].caption, "警告");
  EXPECT_EQ(notifier.Boxes()[0].text,
            "请使用老版（V1.X版本)配置软件进行配置\r\n此款软件不适用于此设备\r\n"
            "继续操作可能导致设备工作异常");
  EXPECT_EQ(notifier.Boxes()[0].icon, BoxIcon::None);
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(view.rows[0].version, "01.07");
}

TEST_F(ConfigSessionTest, MalformedSearchRepliesLeaveNoTrace) {
  const int refreshes = view.logShows;
  // 21 bytes with a good checksum: too short to hold the fields.
  Receive(Reply(CMD_SEARCH, Bytes(16, 0)));
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.logShows, refreshes);
  // A name without a zero byte ends at the checksum byte.
  Bytes body{0, 0, 0, 0, 1, 0, 0, 10, 1, 2, 3, 4, 5, 6, 0, 3, 0, 0, 'A', 'B'};
  Receive(Reply(CMD_SEARCH, body));
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(view.rows[0].name, "AB");
}

TEST_F(ConfigSessionTest, DispatchDropsBadFramesSilentlyAndRefreshesForAcceptedOnes) {
  int refreshes = view.logShows;
  Receive({0xAA, 0x00, 0x01, 0x02, 0x02});  // our own search request
  Receive({0x55, 0x00, 0x01, 0x07, 0x08});  // checksum off by one
  Receive({0x55, 0x00, 0x01, 0x07});        // too short
  EXPECT_EQ(view.logShows, refreshes);
  Receive({0x55, 0x00, 0x01, 0x07, 0x07});  // unknown command: accepted, no effect
  EXPECT_EQ(view.logShows, refreshes + 1);
  EXPECT_TRUE(view.rows.empty());
  EXPECT_TRUE((notifier.Count() == 0));
}

TEST_F(ConfigSessionTest, DoubleClickWithoutSelectionDoesNothing) {
  session.AppendLog("kept\r\n");
  session.OnDeviceDoubleClicked();
  EXPECT_TRUE(link.Sent().empty());
  EXPECT_EQ(session.LogText(), "kept\r\n");
}

TEST_F(ConfigSessionTest, ReadRequestsTheSelectedDevice) {
  Read("A1B2C3D4E5F6", "31.05");
  ASSERT_EQ(link.Sent().size(), 1u);
  EXPECT_EQ(link.Sent()[0],
            (Bytes{0xAA, 0x00, 0x07, 0x03, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xC8}));
  EXPECT_EQ(block.bLegacyLineText, 1);
  EXPECT_EQ(view.shownLog, "读取参数...\r\n");
  // Legacy firmware: the texts come in the reply, no dictionary read is asked for.
  EXPECT_TRUE(view.pauses.empty());
  EXPECT_EQ(session.Flags().bCameraTextRequest, 0);

  Read("0011223344AB", "32.00");
  EXPECT_EQ(block.bLegacyLineText, 0);
  EXPECT_EQ(view.pauses, std::vector<int>{300});
  EXPECT_EQ(session.Flags().bCameraTextRequest, 1);
  const uint8_t expected[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0xAB};
  EXPECT_EQ(0, memcmp(block.abySelectedMac, expected, 6));
}

TEST_F(ConfigSessionTest, ReadReplyFromTheSelectedDeviceFillsTheBlock) {
  Read("A1B2C3D4E5F6", "33.00");
  Bytes reply = ReadReply(446);
  reply[10] = 1;  // byDHCP
  reply[11] = 192;
  reply.back() = FrameChecksum(reply.data() + 3, reply.size() - 4);
  Receive(reply);
  EXPECT_EQ(block.osd.byDHCP, 1);
  EXPECT_EQ(block.osd.abyIP[0], 192);
  EXPECT_EQ(view.netShown, 1);
  EXPECT_EQ(session.Flags().bParamsRead, 1);
  EXPECT_EQ(view.shownLog, "读取参数...\r\n读取参数成功\r\n");
}

TEST_F(ConfigSessionTest, ForeignOrShortReadRepliesChangeNothing) {
  Read("A1B2C3D4E5F6", "33.00");
  const int refreshes = view.logShows;
  Bytes otherDevice = ReadReply(446);
  otherDevice[9] ^= 1;
  otherDevice[10] = 1;
  otherDevice.back() = FrameChecksum(otherDevice.data() + 3, otherDevice.size() - 4);
  Receive(otherDevice);
  Bytes tooShort = ReadReply(445);
  tooShort[10] = 1;
  tooShort.back() = FrameChecksum(tooShort.data() + 3, tooShort.size() - 4);
  Receive(tooShort);
  // Legacy firmware needs the 990-byte layout.
  Read("A1B2C3D4E5F6", "20.00");
  Bytes legacyShort = ReadReply(446);
  legacyShort[10] = 1;
  legacyShort.back() = FrameChecksum(legacyShort.data() + 3, legacyShort.size() - 4);
  Receive(legacyShort);

  EXPECT_EQ(block.osd.byDHCP, 0);
  EXPECT_EQ(view.netShown, 0);
  EXPECT_EQ(session.Flags().bParamsRead, 0);
  EXPECT_EQ(view.logShows, refreshes + 2);  // only the second read request's own refreshes
  EXPECT_EQ(session.LogText(), "读取参数...\r\n");
}

TEST_F(ConfigSessionTest, DownloadIsRefusedBeforeAnyRead) {
  session.OnDownload();
  EXPECT_TRUE(link.Sent().empty());
  EXPECT_EQ(view.netRead, 0);
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].caption, "提示");
  EXPECT_EQ(notifier.Boxes()[0].text, "请先双击设备列表读取参数");
  EXPECT_EQ(notifier.Boxes()[0].icon, BoxIcon::Exclamation);
}

TEST_F(ConfigSessionTest, DownloadToCurrentFirmwareSendsParametersThenFourCameraTexts) {
  Read("A1B2C3D4E5F6", "32.00");
  Receive(ReadReply(446));
  link.Clear();
  view.pauses.clear();
  session.OnDownload();

  EXPECT_EQ(view.netRead, 1);
  ASSERT_EQ(link.Sent().size(), 5u);
  EXPECT_EQ(link.Sent()[0].size(), 440u);
  EXPECT_EQ(link.Sent()[0][3], CMD_DOWNLOAD_PARAMS);
  for (int c = 0; c < 4; ++c) {
    const Bytes text = link.Sent()[1 + c];
    // Eight empty texts: 13 + 8 * 3 + 1 bytes, addressed to the selected device.
    ASSERT_EQ(text.size(), 38u);
    EXPECT_EQ(text[3], CMD_DICTIONARY);
    EXPECT_EQ(text[4], 0xA1);
    EXPECT_EQ(text[10], 0x42);
    EXPECT_EQ(text[11], 0x1F);
    EXPECT_EQ(text[12], 8);
    EXPECT_EQ(text[13] | text[14] << 8, 5000 + 8 * c);
  }
  EXPECT_EQ(view.pauses, (std::vector<int>{200, 200, 200, 200, 200}));
  EXPECT_EQ(view.shownLog,
            "设置参数... \r\n正在下载摄像头1参数...\r\n正在下载摄像头2参数...\r\n"
            "正在下载摄像头3参数...\r\n正在下载摄像头4参数...\r\n设置完成\r\n");
}

TEST_F(ConfigSessionTest, DownloadToLegacyFirmwareSendsOneFrameAndGoesToTheLastReadDevice) {
  Read("A1B2C3D4E5F6", "31.00");
  Receive(ReadReply(990));
  // Another row selected afterwards does not change the target.
  view.selected = DeviceRow{"10.0.0.8", "other", "FFFFFFFFFFFF", "31.00"};
  link.Clear();
  session.OnDownload();
  ASSERT_EQ(link.Sent().size(), 1u);
  EXPECT_EQ(link.Sent()[0].size(), 984u);
  EXPECT_EQ(link.Sent()[0][4], 0xA1);
  EXPECT_EQ(view.shownLog, "设置参数... \r\n设置完成\r\n");
}

// A download result counts only within 5 s after this program sent a download; inside that
// window every result frame is reported, so two acknowledgements give two lines.
TEST_F(ConfigSessionTest, DownloadResultsCountOnlyAfterOurDownload) {
  auto now = std::chrono::steady_clock::time_point(std::chrono::hours(1));
  session.SetClock([&] { return now; });
  const Bytes ok = Reply(CMD_DOWNLOAD_PARAMS, {1, 2, 3, 4, 5, 6, 1});
  const Bytes refused = Reply(CMD_DOWNLOAD_PARAMS, {9, 9, 9, 9, 9, 9, 0});
  const Bytes odd = Reply(CMD_DOWNLOAD_PARAMS, {9, 9, 9, 9, 9, 9, 2});
  Receive(ok);  // nothing was downloaded
  EXPECT_EQ(session.LogText(), "");
  EXPECT_EQ(view.logShows, 0);

  Read("A1B2C3D4E5F6", "31.00");
  Receive(ReadReply(990));
  session.OnDownload();
  session.ClearLog();
  now += std::chrono::milliseconds(4900);
  Receive(ok);
  Receive(refused);
  Receive(odd);
  EXPECT_EQ(session.LogText(), "下载参数成功\r\n下载参数失败\r\n下载参数失败\r\n");
  ASSERT_EQ(notifier.Count(), 2u);
  EXPECT_EQ(notifier.Boxes()[1].caption, "警告");
  EXPECT_EQ(notifier.Boxes()[1].text, "下载参数失败");
  EXPECT_EQ(notifier.Boxes()[1].icon, BoxIcon::Question);
  // A result frame without the result byte is dropped.
  Receive({0x55, 0x00, 0x01, 0x04, 0x04});
  now += std::chrono::milliseconds(200);  // 5.1 s after the download
  Receive(refused);
  EXPECT_EQ(notifier.Count(), 2u);
  EXPECT_EQ(session.LogText(), "下载参数成功\r\n下载参数失败\r\n下载参数失败\r\n");
}

// Every read request takes back what the previous device's reply allowed: a download to the
// newly selected device, which has not answered, would give it the other device's address.
TEST_F(ConfigSessionTest, ReadRequestWithholdsDownloadsUntilTheSelectedDeviceAnswers) {
  Read("A1B2C3D4E5F6", "31.00");
  Receive(ReadReply(990));
  ASSERT_EQ(session.Flags().bParamsRead, 1);
  Read("0011223344AB", "31.00");  // a device that does not answer
  EXPECT_EQ(session.Flags().bParamsRead, 0);
  link.Clear();
  session.OnDownload();
  EXPECT_TRUE(link.Sent().empty());
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].text, "请先双击设备列表读取参数");

  // Five seconds on, the log says that the read failed, once, for the latest request only.
  ASSERT_EQ(view.later.size(), 2u);
  EXPECT_EQ(view.later[1].milliseconds, 5000);
  view.RunLater();
  EXPECT_EQ(view.shownLog, "读取参数...\r\n读取参数失败\r\n");

  // A reply that comes later still counts; its request's timer then stays quiet.
  Read("0011223344AB", "31.00");
  Receive(ReadReply(990));
  EXPECT_EQ(session.Flags().bParamsRead, 1);
  view.RunLater();
  EXPECT_EQ(view.shownLog, "读取参数...\r\n读取参数成功\r\n");
}

// Replies that reached the PC before "搜索" was pressed answer an earlier search: they waited in
// a queue while the list was emptied, and would list their device twice.
TEST_F(ConfigSessionTest, SearchRepliesFromBeforeTheClickAreNotListed) {
  const Bytes reply = SearchReply({1, 0, 0, 10}, {1, 2, 3, 4, 5, 6}, 0, 3, {'A'});
  const auto before = std::chrono::system_clock::now() - std::chrono::milliseconds(1);
  session.OnFrameReceived(reply, before);  // no search yet: listed
  ASSERT_EQ(view.rows.size(), 1u);
  session.OnSearch();
  const int shows = view.logShows;
  session.OnFrameReceived(reply, before);
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.logShows, shows);  // dropped without a trace
  session.OnFrameReceived(reply, std::chrono::system_clock::now());
  EXPECT_EQ(view.rows.size(), 1u);
}

// The major version is the number before the '.': firmware 100.01 is current, not "10".
TEST_F(ConfigSessionTest, MajorVersionIsTheNumberBeforeThePoint) {
  const struct {
    const char* version;
    uint8_t legacy;
  } cases[] = {{"100.01", 0}, {"31.99", 1}, {"32.00", 0}, {"03.07", 1}, {"255.00", 0}};
  for (const auto& c : cases) {
    Read("A1B2C3D4E5F6", c.version);
    EXPECT_EQ(block.bLegacyLineText, c.legacy) << c.version;
  }
  // A 446-byte reply is the current layout for 100.01.
  Read("A1B2C3D4E5F6", "100.01");
  Receive(ReadReply(446));
  EXPECT_EQ(session.Flags().bParamsRead, 1);
}

// The session's worker on the recording link: a dictionary reply fills the page it belongs to,
// once it answers the request that went out.
TEST_F(ConfigSessionTest, DictionaryRepliesRefreshThePageTheyFilled) {
  link.Start([this](Datagram d) { session.OnFrameReceived(d.bytes, d.received); });
  session.StartWorker();
  auto requestSent = [&](size_t count) {
    for (int i = 0; i < 200 && link.Sent().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return link.Sent().size() >= count;
  };
  {
    std::lock_guard lock(session.ModelMutex());
    std::atomic_ref<uint8_t>(block.modbus.abyDictRead[0]).store(1);  // 3473
  }
  ASSERT_TRUE(requestSent(1));
  // Read reply: 8001, one entry 3473 (wPollInterval) = 500.
  link.Deliver(Reply(CMD_DICTIONARY, {0, 0, 0, 0, 0, 0, 0x41, 0x1F, 1, 0x91, 0x0D, 2, 0xF4, 0x01}));
  EXPECT_EQ(block.modbus.wPollInterval, 500);
  EXPECT_EQ(view.rs485Shown, 1);
  EXPECT_EQ(session.Flags().b485Read, 1);

  // Camera 1's texts; 5001 (line 2) = "AB".
  session.Flags().b485Read = 0;
  Read("A1B2C3D4E5F6", "32.00");
  ASSERT_TRUE(requestSent(3));
  link.Deliver(Reply(CMD_DICTIONARY, {0, 0, 0, 0, 0, 0, 0x41, 0x1F, 1, 0x89, 0x13, 2, 'A', 'B'}));
  EXPECT_STREQ(block.osd.asCamera[0].asLine[1].szText, "AB");
  EXPECT_EQ(view.netShown, 1);
  EXPECT_EQ(session.Flags().b485Read, 0);
  session.StopWorker();
}

TEST_F(ConfigSessionTest, Rs485ButtonsAreRefusedUntilTheirReadHappened) {
  session.AppendLog("earlier\r\n");
  session.OnRs485Read();
  session.Flags().bParamsRead = 1;  // a device was read, but not its RS-485 parameters
  session.OnRs485Download();
  const auto boxes = notifier.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "请先双击设备列表读取参数");
  EXPECT_EQ(boxes[1].text, "请先读取485参数后下载");
  for (const auto& box : boxes) {
    EXPECT_EQ(box.caption, "提示");
    EXPECT_EQ(box.icon, BoxIcon::Exclamation);
  }
  EXPECT_EQ(view.rs485Read, 0);
  EXPECT_EQ(session.LogText(), "earlier\r\n");
  EXPECT_EQ(CountPendingReads(block.modbus) + CountPendingWrites(block.modbus), 0);
  EXPECT_TRUE(link.Sent().empty());
}

TEST_F(ConfigSessionTest, Rs485ReadAndDownloadEmptyTheLogAndMarkEveryEntry) {
  session.Flags().bParamsRead = 1;
  session.AppendLog("earlier\r\n");
  session.OnRs485Read();
  EXPECT_EQ(view.shownLog, "");
  EXPECT_EQ(CountPendingReads(block.modbus), 566);
  EXPECT_EQ(CountPendingWrites(block.modbus), 0);
  EXPECT_EQ(view.rs485Read, 0);  // the page is refilled by the replies, not stored

  // The read has ended (whole, by no device the session knows: the download asks first).
  std::memset(block.modbus.abyDictRead, 0, sizeof block.modbus.abyDictRead);
  session.Flags().b485Read = 1;
  notifier.yes = true;
  session.AppendLog("earlier\r\n");
  bool lockedWhileStored = false;
  view.onRs485PageToParams = [&] {
    // Another thread cannot take the model mutex while the page is stored; nothing is marked
    // yet and the log is not yet emptied.
    std::thread other([&] {
      lockedWhileStored = !session.ModelMutex().try_lock();
      if (!lockedWhileStored) session.ModelMutex().unlock();
    });
    other.join();
    EXPECT_EQ(CountPendingWrites(block.modbus), 0);
    EXPECT_EQ(session.LogText(), "earlier\r\n");
  };
  session.OnRs485Download();
  EXPECT_EQ(view.rs485Read, 1);
  EXPECT_TRUE(lockedWhileStored);
  EXPECT_EQ(session.LogText(), "");
  EXPECT_EQ(CountPendingWrites(block.modbus), 566);
  EXPECT_EQ(notifier.Count(), 1u);
  EXPECT_TRUE(link.Sent().empty());  // the worker sends, not the button
}

// Typed text in a list that is none of its items: the page stores nothing, and nothing is sent,
// marked or written; the box names the list and what it holds.
TEST_F(ConfigSessionTest, AListsTypedTextStopsDownloadsAndTheExport) {
  session.Flags().bParamsRead = 1;
  session.Flags().b485Read = 1;
  notifier.yes = true;
  // Pages that were filled, then given typed text that is none of a list's items.
  view.onReadNetForm = [](NetParamForm& form) {
    form.Fill(sOSDCommPara{});
    form.cameras[1].brand.Type("大华 ");
  };
  view.onReadRs485Form = [](Rs485Form& form) {
    form.Fill(sModBusPara{});
    form.baudRate.Type("115200x");
  };
  const DeviceParameterBlock before = block;
  session.OnDownload();
  session.OnRs485Download();
  session.OnExportParams();
  std::vector<std::string> texts;
  for (const auto& box : notifier.Boxes()) texts.push_back(box.text);
  const std::string baud = "485通信波特率：“115200x”不是列表中的选项，请从列表中选择";
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "摄像头二 品牌：“大华 ”不是列表中的选项，请从列表中选择");
  EXPECT_EQ(texts[2], baud);  // after the question whether to download at all
  EXPECT_EQ(texts[3], baud);
  EXPECT_TRUE(link.Sent().empty());
  EXPECT_EQ(CountPendingWrites(block.modbus), 0);
  EXPECT_EQ(std::count(view.pageCalls.begin(), view.pageCalls.end(), "ChooseExportFile"), 0);
  EXPECT_EQ(0, std::memcmp(&block.osd, &before.osd, sizeof block.osd));
  EXPECT_EQ(0, std::memcmp(&block.modbus, &before.modbus, sizeof block.modbus));
}

// A slot change and the gear dialog read the page into its form and store through the session:
// the slot being left lands in the block, a list that cannot be stored keeps the slot and is
// named, and the gear table reaches the block only by "保存".
TEST_F(ConfigSessionTest, SlotChangesAndTheGearTableStoreThroughTheForms) {
  StoreGbkText(block.modbus.asSlot[1].szName, 30, "二号");
  session.Rs485ParamsToPage();
  view.onReadRs485Form = [](Rs485Form& form) { form.name.text = "一号"; };
  session.OnSlotChanged(1);
  EXPECT_EQ(LoadGbkText(block.modbus.asSlot[0].szName, 31), "一号");
  EXPECT_EQ(session.Forms().rs485.name.text, "二号");
  EXPECT_EQ(view.pageCalls, (std::vector<std::string>{"Rs485ParamsToPage", "Rs485PageToParams",
                                                      "Rs485ParamsToPage"}));

  view.onReadRs485Form = [](Rs485Form& form) { form.decimals.Type("4"); };
  const DeviceParameterBlock before = block;
  session.OnSlotChanged(5);
  EXPECT_EQ(session.Forms().rs485.CurrentSlot(), 1);
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].text, "数据小数点位数：“4”不是列表中的选项，请从列表中选择");
  EXPECT_EQ(0, std::memcmp(&block.modbus, &before.modbus, sizeof block.modbus));

  // The dialog edits the slot shown: cancelled, nothing; saved, its table.
  view.onGearDialog = [](GearForm& form) {
    form.values[0] = "7";
    return false;
  };
  session.OnRemoteAdjust();
  EXPECT_EQ(0, std::memcmp(&block.modbus, &before.modbus, sizeof block.modbus));
  view.onGearDialog = [](GearForm& form) {
    EXPECT_EQ(form.Slot(), 1);
    form.values[0] = "7";
    return true;
  };
  session.OnRemoteAdjust();
  EXPECT_EQ(block.modbus.asSlot[1].afGearValue[0], 7.0f);
  EXPECT_TRUE(link.Sent().empty());
}

TEST(LogText, AppendsFromTwoThreadsNeverInterleave) {
  DeviceParameterBlock block{};
  RecordingLink link;
  RecordingNotifier notifier;
  ConfigSession session(block, link, notifier);
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) session.AppendLog("worker line\r\n");
  });
  for (int i = 0; i < 2000; ++i) {
    session.AppendLog("ui line\r\n");
    if (i % 100 == 0) session.RefreshLog();
  }
  worker.join();
  const std::string log = session.LogText();
  size_t lines = 0;
  for (size_t pos = 0; (pos = log.find("\r\n", pos)) != std::string::npos; pos += 2) ++lines;
  EXPECT_EQ(lines, 4000u);
  EXPECT_EQ(log.size(), 2000 * (sizeof("worker line\r\n") - 1 + sizeof("ui line\r\n") - 1));
}

}  // namespace
