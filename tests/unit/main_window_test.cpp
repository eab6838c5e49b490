// The main window's own logic without a toolkit: the log box's rule, the tabs' pages, the start-up
// order and the routing of clicks, driven through a recording of the toolkit's part.
#include "window/main_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/ends_within.h"
#include "support/fake_view.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "window/batch_service.h"
#include "window/box_wait.h"

using namespace quillon;

namespace {

// What the window's toolkit was asked to do, in order.
class RecordedControls : public MainWindowControls {
 public:
  std::vector<std::string> calls;
  void SetText(int id, const std::string& text) override {
    calls.push_back("text " + std::to_string(id) + " " + text);
  }
  void InsertColumn(int column, const std::string& heading) override {
    calls.push_back("column " + std::to_string(column) + " " + heading);
  }
  int ListClientWidth() override { return 400; }
  void SetColumnWidth(int column, int width) override {
    calls.push_back("width " + std::to_string(column) + " " + std::to_string(width));
  }
  void MakePages(const std::array<std::string, 2>& tabs, const PageInsets& insets) override {
    calls.push_back("pages " + tabs[0] + " " + tabs[1] + " " + std::to_string(insets.top));
  }
  void RunBatchDialog(BatchForm& form, BatchService&, Notifier&,
                      std::function<void(const std::string&)> log) override {
    calls.push_back("batch " + std::to_string(form.Rows().size()));
    if (whileBatch) whileBatch();
    log("line\r\n");
  }
  std::function<void()> whileBatch;  // runs while the batch dialog would be open
};

struct LogStep {
  std::string text;  // shown next
  bool userEdit;     // the user edited the box before
  bool append;
  std::string change;
};

TEST(MainWindowLog, AppendsOnlyWhatGrewAfterAWholeLine) {
  const LogStep steps[] = {
      {"a\r\n", false, false, "a\r\n"},                // the first text replaces the empty box
      {"a\r\nb\r\n", false, true, "b\r\n"},            // grown by a line
      {"a\r\nb\r\nc", false, true, "c"},               // grown by a part of a line
      {"a\r\nb\r\ncd", false, false, "a\r\nb\r\ncd"},  // the last shown ended inside a line
      {"x\r\n", false, false, "x\r\n"},                // another text
      {"x\r\ny\r\n", true, false, "x\r\ny\r\n"},       // the user edited the box meanwhile
      {"x\r\ny\r\nz\r\n", false, true, "z\r\n"},
      {"", false, false, ""},  // cleared
  };
  LogBoxText log;
  for (const LogStep& step : steps) {
    if (step.userEdit) {
      EXPECT_TRUE(log.BoxChanged());
    }
    const LogBoxText::Change change = log.Show(step.text);
    // The box's own change notices, while the text goes in, are not the user's.
    EXPECT_FALSE(log.BoxChanged()) << step.text;
    log.Shown();
    EXPECT_EQ(change.append, step.append) << step.text;
    EXPECT_EQ(std::string(change.text), step.change) << step.text;
  }
}

TEST(MainWindowTabs, EachTabShowsItsPage) {
  EXPECT_EQ(PageOfTab(0), MainPage::Net);
  EXPECT_EQ(PageOfTab(1), MainPage::Rs485);
  EXPECT_EQ(PageOfTab(-1), std::nullopt);
  EXPECT_EQ(PageOfTab(2), std::nullopt);
}

TEST(MainWindowList, RowsRoundTripThroughTheCells) {
  const DeviceRow row{"10.0.0.7", "名称", "0011223344AB", "03.07"};
  const auto cells = DeviceCells(row);
  EXPECT_EQ(cells[kColumnMac], "0011223344AB");
  const DeviceRow back = DeviceRowOf(cells, [](const std::string& cell) { return cell; });
  EXPECT_EQ(back.ip, row.ip);
  EXPECT_EQ(back.name, row.name);
  EXPECT_EQ(back.mac, row.mac);
  EXPECT_EQ(back.version, row.version);
}

class MainWindowStart : public ::testing::Test {
 protected:
  DeviceParameterBlock block_{};
  fakes::RecordingLink link_;
  fakes::RecordingNotifier notifier_;
  ConfigSession session_{block_, link_, notifier_};
  fakes::FakeConfigView view_;
  RecordedControls controls_;
  MainWindow main_{session_};
  WindowBatch batch_{session_, link_, notifier_};
};

// "批量配置": refused without devices; over the devices found, the dialog, during which the main
// window's own transfers are refused, and its lines in the log.
TEST_F(MainWindowStart, TheBatchDialogOpensOverTheDevicesFound) {
  main_.SetBatch(batch_);
  main_.Start(controls_, view_, nullptr);
  main_.OnClicked(IDC_BATCH);
  EXPECT_EQ(notifier_.Boxes(),
            (std::vector<fakes::RecordedBox>{{"提示", "请先搜索设备", BoxIcon::Exclamation}}));
  session_.OnSearch();
  // A search reply of 192.168.1.100, MAC 001122334455, firmware 03.07.
  main_.OnDatagram(
      {{0x55, 0x00, 0x18, 0x02, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01, 0xA8, 0xC0, 0x00, 0x11,
        0x22, 0x33, 0x44, 0x55, 0x07, 0x03, 0x00, 0x00, 0x44, 0x45, 0x56, 0x31, 0x00, 0xE8},
       std::chrono::system_clock::now()});
  notifier_.Clear();
  controls_.whileBatch = [&] { session_.OnSearch(); };
  main_.OnClicked(IDC_BATCH);
  EXPECT_EQ(controls_.calls.back(), "batch 1");
  EXPECT_EQ(notifier_.Count(), 1u);  // the search during the dialog
  EXPECT_EQ(session_.FoundDevices().size(), 1u);
  EXPECT_TRUE(session_.LogText().ends_with("line\r\n"));
}

TEST_F(MainWindowStart, FillsTheWindowInItsOrder) {
  main_.Start(controls_, view_, [] { return std::vector<uint32_t>{0x0A4D0001, 0x0A4D0002}; });
  std::vector<std::string> expected = {"text " + std::to_string(IDC_LOCAL_PORT) + " 1901",
                                       "column 0 设备IP", "column 1 设备名称", "column 2 MAC地址",
                                       "column 3 固件版本"};
  for (int column = 0; column < kColumnCount; ++column)
    expected.push_back("width " + std::to_string(column) + " " +
                       std::to_string(DeviceColumnWidth(column, 400)));
  expected.push_back("pages 网络参数 485参数 20");
  expected.push_back("text " + std::to_string(IDC_LOCAL_IP) + " 10.77.0.1");
  EXPECT_EQ(controls_.calls, expected);
  EXPECT_EQ(view_.shownLog, kHelpText);  // the view was attached before the help text
  main_.OnClicked(IDC_CLEAR_LOG);
  EXPECT_EQ(view_.shownLog, "");
}

TEST_F(MainWindowStart, WithoutAnAddressShowsTheAnyAddress) {
  main_.Start(controls_, view_, nullptr);
  EXPECT_EQ(controls_.calls.back(), "text " + std::to_string(IDC_LOCAL_IP) + " 0.0.0.0");
}

// A caller on another thread waits until the user-interface thread has shown its box, or until
// the wait is released; after that, nothing more is posted.
TEST(BoxWait, TheCallerWaitsForTheBoxOrTheRelease) {
  BoxWait wait;
  std::mutex mutex;
  std::condition_variable posted;
  std::function<void()> task;  // what the user-interface thread would run
  const auto post = [&](std::function<void()> t) {
    std::lock_guard lock(mutex);
    task = std::move(t);
    posted.notify_all();
    return true;
  };
  const auto takeTask = [&] {
    std::unique_lock lock(mutex);
    posted.wait(lock, [&] { return task != nullptr; });
    return std::exchange(task, nullptr);
  };
  std::atomic<int> shown = 0;
  fakes::EndsWithin(
      std::chrono::seconds(20),
      [&] {
        std::thread caller([&] { wait.ShowAndWait(post, [&] { ++shown; }); });
        takeTask()();  // the box, shown and closed
        caller.join();
        EXPECT_EQ(shown.load(), 1);

        std::thread waiting([&] { wait.ShowAndWait(post, [&] { ++shown; }); });
        const std::function<void()> never = takeTask();  // the box never comes up
        while (wait.Waiting() == 0) std::this_thread::yield();
        wait.Release();
        waiting.join();
        EXPECT_EQ(shown.load(), 1);
        EXPECT_TRUE(wait.Released());
        wait.ShowAndWait(
            [](std::function<void()>) {
              ADD_FAILURE() << "posted after the release";
              return true;
            },
            [] {});
      },
      "the box's wait");
}

}  // namespace
