#include "forms/batch_dialog.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/batch_fakes.h"
#include "support/recording_notifier.h"

namespace quillon {
namespace {

class BatchDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Fill({{"192.168.1.64", "东门", "00E04C3A1B01", "32.05"},
               {"192.168.1.65", "西门", "00E04C3A1B02", "32.05"}});
    form.startIp = {192, 168, 1, 100};
    dialog.OnInit();
    dialog.OnCheckAll(true);
  }
  BatchForm form;
  fakes::FakeBatchView view;
  fakes::FakeBatchService service;
  fakes::RecordingNotifier notifier;
  std::vector<std::string> log;
  BatchDialog dialog{form, view, service, notifier,
                     [this](const std::string& l) { log.push_back(l); }};
};

// A file that fails its checks is never taken; a plan the service refuses starts nothing.
TEST_F(BatchDialogTest, ABadFileOrPlanIsRefusedWithABox) {
  form.fromPages = false;
  view.chosen = "bad.ini";
  dialog.OnBrowse();
  EXPECT_EQ(form.file, "");
  view.chosen = "good.ini";
  dialog.OnBrowse();
  EXPECT_EQ(form.file, "good.ini");
  service.plan = "192.168.1.255 是子网的广播地址";
  dialog.OnStart();
  EXPECT_FALSE(form.Running());
  EXPECT_EQ(notifier.Boxes(),
            (std::vector<fakes::RecordedBox>{
                {kProgramName, "参数载入错误", BoxIcon::None},
                {"提示", "192.168.1.255 是子网的广播地址", BoxIcon::Exclamation}}));
}

// The rows follow what the service's thread reports, once the window has run it; "关闭" during
// the batch asks, 否 keeps it running, 是 stops it and closes once the last device is done.
TEST_F(BatchDialogTest, RowsFollowTheServiceAndCloseWaitsForTheDevicesUnderWay) {
  dialog.OnStart();
  ASSERT_TRUE(form.Running());
  service.report(0, BatchState::Running, "");
  EXPECT_EQ(form.StateText(0), "等待");  // not before the window runs what was posted
  view.RunPosted();
  EXPECT_EQ(form.StateText(0), "进行中");
  EXPECT_FALSE(dialog.OnClose());
  EXPECT_FALSE(service.stopped);
  notifier.yes = true;
  EXPECT_FALSE(dialog.OnClose());
  EXPECT_TRUE(service.stopped);
  service.report(0, BatchState::Verified, "");
  service.done();
  view.RunPosted();
  EXPECT_TRUE(view.closed);
  EXPECT_EQ(form.Summary(), "已完成 1/2，失败 0");
  EXPECT_EQ(log,
            (std::vector<std::string>{"批量配置 00E04C3A1B01 (192.168.1.64)：成功（已校验）\r\n",
                                      "批量配置完成：成功 1 台，失败 0 台\r\n"}));
  EXPECT_TRUE(dialog.OnClose());
  view.chosen = "out.csv";
  dialog.OnExport();
  EXPECT_EQ(service.written, "out.csv|\xEF\xBB\xBF");
}

}  // namespace
}  // namespace quillon
