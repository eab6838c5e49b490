#include "forms/batch_form.h"

#include <gtest/gtest.h>

#include "forms/dialog_layout.h"

namespace quillon {
namespace {

BatchForm ThreeDevices() {
  BatchForm form;
  form.Fill({{"192.168.1.64", "1号机房, 东门", "00E04C3A1B01", "32.05"},
             {"192.168.1.65", "2号\"泵站\"", "00E04C3A1B02", "32.05"},
             {"192.168.1.66", "老设备", "00E04C3A1B03", "01.02", true}});
  return form;
}

// What refuses a start, in the order the user meets it.
TEST(BatchFormTest, StartRefusals) {
  struct Case {
    std::vector<size_t> checked;
    bool network, cameras, rs485, fromPages, pagesRead;
    std::string file, parallel;
    Ipv4Value startIp;
    const char* refusal;  // nullptr: starts
  } cases[] = {
      {{}, true, true, true, true, true, "", "16", {192, 168, 1, 100}, "请勾选要配置的设备"},
      {{0}, false, false, false, true, true, "", "16", {}, "请至少选择一项参数"},
      {{0}, true, false, false, true, false, "", "16", {}, "请先双击设备列表读取参数"},
      {{0}, false, true, false, false, false, "", "16", {}, "请选择参数文件"},
      {{0}, false, true, false, false, false, "a.ini", "16", {}, nullptr},
      {{0}, false, false, true, true, true, "", "0", {}, "同时配置台数应为1到64"},
      {{0}, false, false, true, true, true, "", "65", {}, "同时配置台数应为1到64"},
      {{0}, false, false, true, true, true, "", "8x", {}, "同时配置台数应为1到64"},
      {{0}, true, false, false, true, true, "", "64", {}, nullptr},  // one device keeps its own
      {{0, 1}, true, false, false, true, true, "", "1", {}, "请填写起始IP"},
      {{0, 1}, true, false, false, true, true, "", "1", {192, 168, 1, 100}, nullptr},
      {{0, 1}, false, true, true, true, true, "", "16", {}, nullptr},
  };
  for (const Case& c : cases) {
    BatchForm form = ThreeDevices();
    for (size_t row : c.checked) form.SetChecked(row, true);
    form.network = c.network, form.cameras = c.cameras, form.rs485 = c.rs485;
    form.fromPages = c.fromPages, form.file = c.file, form.parallel = c.parallel;
    form.startIp = c.startIp;
    const std::optional<std::string> refusal = form.StartRefusal(c.pagesRead);
    EXPECT_EQ(refusal.value_or("starts"), c.refusal ? c.refusal : "starts") << c.parallel;
  }
}

// A batch from its start to its end: the first-generation row is never part of it, the inputs
// are locked while it runs, and a stop leaves the rows not started waiting.
TEST(BatchFormTest, ABatchRunsStopsAndIsExported) {
  BatchForm form = ThreeDevices();
  form.CheckAll(true);
  EXPECT_EQ(form.CheckedCount(), 2u);
  EXPECT_FALSE(form.SetChecked(2, true));
  EXPECT_EQ(form.StateText(2), "不支持");
  EXPECT_FALSE(form.Enabled(IDC_BATCH_FILE));
  EXPECT_FALSE(form.Enabled(IDC_BATCH_STOP));

  form.Begin();
  for (int id : {IDC_BATCH_START, IDC_BATCH_ALL, IDC_BATCH_NETWORK, IDC_BATCH_START_IP})
    EXPECT_FALSE(form.Enabled(id)) << id;
  EXPECT_TRUE(form.Enabled(IDC_BATCH_STOP));
  EXPECT_FALSE(form.SetChecked(0, false));
  form.SetState(0, BatchState::Failed, std::string(kBatchMismatch) + " network.ip");
  form.Stop();
  EXPECT_FALSE(form.Enabled(IDC_BATCH_STOP));
  EXPECT_TRUE(form.Enabled(IDC_BATCH_CLOSE));
  form.Finish();
  EXPECT_EQ(form.Summary(), "已完成 1/2，失败 1");
  EXPECT_EQ(form.StateText(1), "等待");
  EXPECT_EQ(form.DeviceLogLine(0),
            "批量配置 00E04C3A1B01 (192.168.1.64)：失败：校验不一致 network.ip\r\n");
  EXPECT_EQ(form.FinalLogLine(), "批量配置完成：成功 0 台，失败 1 台\r\n");
  EXPECT_EQ(form.Csv(),
            "\xEF\xBB\xBF设备IP,设备名称,MAC地址,固件版本,状态\r\n"
            "192.168.1.64,\"1号机房, 东门\",00E04C3A1B01,32.05,失败：校验不一致 network.ip\r\n"
            "192.168.1.65,\"2号\"\"泵站\"\"\",00E04C3A1B02,32.05,等待\r\n"
            "192.168.1.66,老设备,00E04C3A1B03,01.02,不支持\r\n");
}

}  // namespace
}  // namespace quillon
