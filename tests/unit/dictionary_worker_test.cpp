#include "params/dictionary_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "params/dictionary.h"
#include "support/ends_within.h"
#include "support/recording_notifier.h"

using namespace quillon;

namespace {

using Lines = std::vector<std::string>;

using FakeNotifier = fakes::RecordingNotifier;

const uint8_t kMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The identifiers a command 9 request asks for or carries.
std::vector<uint16_t> RequestIds(const Bytes& frame) {
  std::vector<uint16_t> ids;
  const uint16_t op = U16(&frame[10]);
  size_t pos = 13;
  for (int i = 0; i < frame[12]; ++i) {
    ids.push_back(U16(&frame[pos]));
    pos += op == kDictOpRead ? 2 : 3 + frame[pos + 2];
  }
  return ids;
}

// The reply a well-behaved device gives to a request, answering the first `limit` entries.
Bytes AnswerFor(const Bytes& frame, size_t limit = 255) {
  const uint16_t op = U16(&frame[10]);
  std::vector<uint16_t> ids = RequestIds(frame);
  if (ids.size() > limit) ids.resize(limit);
  Bytes reply{frame[10], frame[11], static_cast<uint8_t>(ids.size())};
  for (uint16_t id : ids) {
    reply.push_back(static_cast<uint8_t>(id));
    reply.push_back(static_cast<uint8_t>(id >> 8));
    if (op == kDictOpRead) {
      const size_t length =
          id >= kCameraTextFirstId && id <= kCameraTextLastId ? 2 : StoredValueLength(id);
      reply.push_back(static_cast<uint8_t>(length));
      reply.insert(reply.end(), length, 'v');
    }
  }
  return reply;
}

class DictionaryWorkerTest : public ::testing::Test {
 protected:
  DictionaryWorkerTest()
      : worker(
            block, flags, modelMutex, request,
            [this](const uint8_t* f, uint16_t n) {
              sent.emplace_back(f, f + n);
              sentAtTick.push_back(ticks);
              if (answer) Deliver(AnswerFor(sent.back(), answerLimit));
            },
            [this](std::string_view text) { log.emplace_back(text); }, notifier) {
    ClearBlock(block);
    BuildDictionaryIndex(block.modbus);
    std::memcpy(block.abySelectedMac, kMac, 6);
  }

  void Deliver(const Bytes& payload) {
    ParseDictionaryReply(block, payload.data(), payload.size(), request);
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      ++ticks;
      worker.Tick();
    }
  }
  void MarkAll(uint8_t* marks) { std::memset(marks, 1, block.modbus.wDictCount); }

  DeviceParameterBlock block;
  SessionFlags flags;
  std::mutex modelMutex;
  DictionaryRequest request;
  FakeNotifier notifier;
  std::vector<Bytes> sent;
  std::vector<int> sentAtTick;
  Lines log;
  bool answer = false;
  size_t answerLimit = 255;
  int ticks = 0;
  DictionaryWorker worker;
};

}  // namespace

TEST_F(DictionaryWorkerTest, NothingPendingSendsNothing) {
  Tick(3000);
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(worker.CurrentState(), DictionaryWorker::State::Dispatch);
}

TEST_F(DictionaryWorkerTest, ResetClearsTheCameraTextRequest) {
  flags.bCameraTextRequest = 1;
  worker.Reset();
  EXPECT_EQ(flags.bCameraTextRequest, 0);
  Tick(10);
  EXPECT_TRUE(sent.empty());
}

TEST_F(DictionaryWorkerTest, FullDownloadAcknowledgedAtOnce) {
  answer = true;
  block.modbus.asSlot[0].byChannel = 5;
  MarkAll(block.modbus.abyDictWrite);
  Tick(200);

  ASSERT_EQ(sent.size(), 19u);
  const Bytes& first = sent[0];
  ASSERT_EQ(first.size(), 150u);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 16),
            (Bytes{0xAA, 0x00, 0x92, 0x09, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x42, 0x1F, 0x1F,
                   0x91, 0x0D, 0x02}));
  EXPECT_TRUE(IsWellFormedRequest(first));
  EXPECT_EQ(RequestIds(sent[18]).back(), 7563);

  ASSERT_EQ(log.size(), 38u);
  EXPECT_EQ(log[0], "正在下载字典... \r\n");
  EXPECT_EQ(log[1], "正在下载字典,已完成5%\r\n");
  EXPECT_EQ(log[2], "正在下载字典... \r\n");
  EXPECT_EQ(log[3], "正在下载字典,已完成10%\r\n");
  EXPECT_EQ(log[5], "正在下载字典,已完成16%\r\n");
  EXPECT_EQ(log[35], "正在下载字典,已完成98%\r\n");
  EXPECT_EQ(log[37], "正在下载字典,已完成100%\r\n");
  EXPECT_EQ(CountPendingWrites(block.modbus), 0);
  EXPECT_TRUE((notifier.Count() == 0));
}

TEST_F(DictionaryWorkerTest, ReadNeverAnsweredIsTriedThreeTimes) {
  MarkAll(block.modbus.abyDictRead);
  Tick(3003);

  EXPECT_EQ(sentAtTick, (std::vector<int>{1, 1002, 2003}));
  EXPECT_EQ(sent[0], sent[2]);
  EXPECT_EQ(log, (Lines{"正在读取字典... \r\n", "读取超时正在重试... \r\n", "正在读取字典... \r\n",
                        "读取超时正在重试... \r\n", "正在读取字典... \r\n", "读取失败... \r\n"}));
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].caption, "警告");
  EXPECT_EQ(notifier.Boxes()[0].text, "读取失败");
  EXPECT_EQ(notifier.Boxes()[0].icon, BoxIcon::Question);
  EXPECT_EQ(CountPendingReads(block.modbus), 0);
  EXPECT_EQ(block.modbus.byDictBusy, 1);  // left as it was; the next request sets it again

  Tick(2000);
  EXPECT_EQ(sent.size(), 3u);
  EXPECT_EQ(notifier.Count(), 1u);
}

TEST_F(DictionaryWorkerTest, DownloadFailureClearsWriteMarksAndShowsBox) {
  answer = true;
  MarkAll(block.modbus.abyDictWrite);
  Tick(2);  // the first chunk is sent and acknowledged
  answer = false;
  Tick(3004);  // chunk 2 sent at tick 3, again at 1004 and 2006, given up at 3006
  EXPECT_EQ(sent.size(), 4u);
  EXPECT_EQ(log.back(), "下载失败... \r\n");
  EXPECT_EQ(log[3], "下载超时正在重试... \r\n");
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].text, "下载失败");
  EXPECT_EQ(CountPendingWrites(block.modbus), 0);
}

TEST_F(DictionaryWorkerTest, PartialAcknowledgementKeepsRemainingMarks) {
  answer = true;
  answerLimit = 10;
  MarkAll(block.modbus.abyDictWrite);
  Tick(3);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(log[1], "正在下载字典,已完成1%\r\n");
  EXPECT_EQ(RequestIds(sent[1]).front(), 3483);
  EXPECT_EQ(RequestIds(sent[1]).size(), 31u);
  EXPECT_EQ(CountPendingWrites(block.modbus), 546);
}

// A chunk answered late, after a retry, leaves the next chunk the whole 10 s for each of its
// three tries.
TEST_F(DictionaryWorkerTest, AnsweredChunkLeavesTheNextOneAFullWaitAndAllItsTries) {
  MarkAll(block.modbus.abyDictWrite);
  Tick(1002);  // chunk 1 at tick 1, timed out at 1001, sent again at 1002
  Tick(998);   // 9.98 s into its second wait
  Deliver(AnswerFor(sent.back()));
  Tick(1);  // the answer is taken at tick 2001
  EXPECT_EQ(log.back(), "正在下载字典,已完成5%\r\n");
  Tick(3002);  // chunk 2 at tick 2002, never answered
  EXPECT_EQ(sentAtTick, (std::vector<int>{1, 1002, 2002, 3003, 4004}));
  EXPECT_EQ(notifier.Count(), 0u);
  Tick(1);  // its third wait ends at tick 5004
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(log.back(), "下载失败... \r\n");
}

TEST_F(DictionaryWorkerTest, CameraTextsOfFourCameras) {
  answer = true;
  flags.bCameraTextRequest = 1;
  Tick(20);

  ASSERT_EQ(sent.size(), 4u);
  for (int c = 0; c < 4; ++c) {
    ASSERT_EQ(sent[c].size(), 30u);
    EXPECT_EQ(sent[c][10], 0x41);
    std::vector<uint16_t> expected;
    for (int l = 0; l < 8; ++l) expected.push_back(static_cast<uint16_t>(5000 + 8 * c + l));
    EXPECT_EQ(RequestIds(sent[c]), expected);
  }
  EXPECT_EQ(log, (Lines{"正在读取摄像头1字典...\r\n", "摄像头1字典读取成功...\r\n",
                        "正在读取摄像头2字典...\r\n", "摄像头2字典读取成功...\r\n",
                        "正在读取摄像头3字典...\r\n", "摄像头3字典读取成功...\r\n",
                        "正在读取摄像头4字典...\r\n", "摄像头4字典读取成功...\r\n"}));
  EXPECT_EQ(flags.bCameraTextRequest, 0);
  EXPECT_EQ(worker.CameraCounter(), 0);
  EXPECT_STREQ(block.osd.asCamera[3].asLine[7].szText, "vv");
}

TEST_F(DictionaryWorkerTest, CameraTextTimeoutStopsTheRead) {
  flags.bCameraTextRequest = 1;
  answer = true;
  Tick(2);  // camera 1 asked and answered
  answer = false;
  Tick(1);  // camera 2 asked
  ASSERT_EQ(sent.size(), 2u);
  Tick(499);
  EXPECT_TRUE((notifier.Count() == 0));
  Tick(1);  // 5 s
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].caption, "警告");
  EXPECT_EQ(notifier.Boxes()[0].text, "读取失败");
  EXPECT_EQ(log.back(), "读取失败... \r\n");
  EXPECT_EQ(flags.bCameraTextRequest, 0);
  Tick(1000);
  EXPECT_EQ(sent.size(), 2u);

  // The next text read starts again with camera 1.
  flags.bCameraTextRequest = 1;
  Tick(1);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(RequestIds(sent[2]).front(), 5000);
  EXPECT_EQ(log.back(), "正在读取摄像头1字典...\r\n");
}

TEST_F(DictionaryWorkerTest, WritesGoBetweenTwoCameras) {
  flags.bCameraTextRequest = 1;
  Tick(1);  // camera 1 asked
  MarkAll(block.modbus.abyDictWrite);
  Deliver(AnswerFor(sent[0]));
  answer = true;
  Tick(1);
  EXPECT_EQ(log.back(), "摄像头1字典读取成功...\r\n");
  Tick(1);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1][10], 0x42);  // a write chunk, not camera 2
  Tick(50);
  ASSERT_EQ(sent.size(), 23u);  // 19 chunks, then cameras 2 to 4
  EXPECT_EQ(RequestIds(sent[20]).front(), 5008);
  EXPECT_EQ(RequestIds(sent[22]).front(), 5024);
  EXPECT_EQ(flags.bCameraTextRequest, 0);
}

// A transfer keeps the device it started with: a double-click on another device while an
// RS-485 download is under way does not send the rest of it there. The next transfer goes to
// the device selected by then.
TEST_F(DictionaryWorkerTest, ATransferStaysWithTheDeviceItStartedWith) {
  const uint8_t other[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  answer = true;
  MarkAll(block.modbus.abyDictWrite);
  Tick(6);  // three chunks sent and acknowledged
  ASSERT_EQ(sent.size(), 3u);
  std::memcpy(block.abySelectedMac, other, 6);
  Tick(100);
  ASSERT_EQ(sent.size(), 19u);
  for (const Bytes& frame : sent) EXPECT_EQ(0, std::memcmp(&frame[4], kMac, 6));

  MarkAll(block.modbus.abyDictRead);
  Tick(2);
  ASSERT_EQ(sent.size(), 20u);
  EXPECT_EQ(0, std::memcmp(&sent.back()[4], other, 6));
}

// A camera-text read asked for anew (another device was read) drops the earlier one silently,
// starts again with camera 1 of the new device, and leaves nothing of the earlier read that
// could answer or time it out.
TEST_F(DictionaryWorkerTest, ANewCameraTextReadReplacesTheEarlierOne) {
  const uint8_t second[6] = {0x02, 0x02, 0x02, 0x02, 0x02, 0x02};
  worker.RequestCameraTexts();
  answer = true;
  Tick(2);  // camera 1 of the first device answered
  answer = false;
  Tick(1);  // its camera 2 asked, never answered
  ASSERT_EQ(sent.size(), 2u);
  Tick(300);
  std::memcpy(block.abySelectedMac, second, 6);
  worker.RequestCameraTexts();
  Tick(1);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(RequestIds(sent[2]).front(), 5000);
  EXPECT_EQ(0, std::memcmp(&sent[2][4], second, 6));
  // The first device's camera 2 would have timed out here.
  Tick(300);
  EXPECT_EQ(notifier.Count(), 0u);
  // Its late answer for camera 2 answers nothing of the new read.
  Deliver(AnswerFor(sent[1]));
  EXPECT_EQ(block.modbus.byDictBusy, 1);
  answer = true;
  Deliver(AnswerFor(sent[2]));
  Tick(10);
  EXPECT_EQ(sent.size(), 6u);
  for (size_t i = 3; i < sent.size(); ++i) EXPECT_EQ(0, std::memcmp(&sent[i][4], second, 6));
  EXPECT_EQ(flags.bCameraTextRequest, 0);
  EXPECT_EQ(notifier.Count(), 0u);
  EXPECT_EQ(log.back(), "摄像头4字典读取成功...\r\n");
}

// A duplicate of camera 1's reply (two network cards) that comes while camera 2 waits is no
// answer for camera 2: camera 2 times out instead of being logged as read.
TEST_F(DictionaryWorkerTest, ADuplicateReplyIsNoAnswerForTheNextCamera) {
  flags.bCameraTextRequest = 1;
  Tick(1);
  const Bytes first = AnswerFor(sent[0]);
  Deliver(first);
  Tick(2);  // camera 1 logged, camera 2 asked
  ASSERT_EQ(sent.size(), 2u);
  Deliver(first);
  Tick(499);
  EXPECT_EQ(std::count(log.begin(), log.end(), "摄像头2字典读取成功...\r\n"), 0);
  Tick(1);
  ASSERT_EQ(notifier.Count(), 1u);
  EXPECT_EQ(notifier.Boxes()[0].text, "读取失败");
  // The failed read's late reply changes nothing either.
  block.osd.asCamera[1].asLine[0].szText[0] = 0;
  Deliver(AnswerFor(sent[1]));
  EXPECT_EQ(block.osd.asCamera[1].asLine[0].szText[0], 0);
}

namespace {

// A device on another thread: takes each request from a queue, answers it, and the answer is
// parsed under the model mutex as the user-interface thread does.
class ThreadedDevice {
 public:
  ThreadedDevice(DeviceParameterBlock& block, std::mutex& modelMutex, DictionaryRequest& request)
      : block_(block), modelMutex_(modelMutex), request_(request), thread_([this] { Run(); }) {}
  ~ThreadedDevice() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    cv_.notify_one();
    thread_.join();
  }
  void Receive(const uint8_t* f, uint16_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.emplace_back(f, f + n);
    }
    cv_.notify_one();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      const Bytes request = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      const Bytes reply = AnswerFor(request);
      {
        std::lock_guard<std::mutex> model(modelMutex_);
        ParseDictionaryReply(block_, reply.data(), reply.size(), request_);
      }
      lock.lock();
    }
  }

  DeviceParameterBlock& block_;
  std::mutex& modelMutex_;
  DictionaryRequest& request_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Bytes> queue_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

TEST(DictionaryWorkerThread, DownloadAnsweredFromAnotherThread) {
  DeviceParameterBlock block;
  ClearBlock(block);
  BuildDictionaryIndex(block.modbus);
  SessionFlags flags;
  std::mutex modelMutex;
  FakeNotifier notifier;
  std::mutex logMutex;
  Lines log;
  DictionaryRequest request;
  ThreadedDevice device(block, modelMutex, request);
  DictionaryWorker worker(
      block, flags, modelMutex, request,
      [&](const uint8_t* f, uint16_t n) { device.Receive(f, n); },
      [&](std::string_view text) {
        std::lock_guard<std::mutex> lock(logMutex);
        log.emplace_back(text);
      },
      notifier);

  worker.Start();
  ASSERT_TRUE(worker.Running());
  {
    // The RS-485 page marks every entry while the worker polls, holding the model mutex so that
    // the worker sees all marks or none.
    std::lock_guard<std::mutex> lock(modelMutex);
    for (int i = 0; i < block.modbus.wDictCount; ++i) {
      std::atomic_ref<uint8_t>(block.modbus.abyDictWrite[i]).store(1);
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool done = false;
  while (!done && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::lock_guard<std::mutex> lock(logMutex);
    done = !log.empty() && log.back() == "正在下载字典,已完成100%\r\n";
  }
  // It stops after its current 10 ms cycle; the limit leaves room for a loaded machine.
  fakes::EndsWithin(
      std::chrono::seconds(10), [&] { worker.Stop(); }, "Stop");
  EXPECT_FALSE(worker.Running());
  EXPECT_TRUE(done);
  std::lock_guard<std::mutex> model(modelMutex);
  EXPECT_EQ(CountPendingWrites(block.modbus), 0);
  EXPECT_TRUE((notifier.Count() == 0));
}
