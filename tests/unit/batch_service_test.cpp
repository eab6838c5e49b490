#include "window/batch_service.h"

#include <gtest/gtest.h>

#include <cstring>

#include "link/frame.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"

namespace quillon {
namespace {

// A search reply of a device of current firmware at 192.168.1.`host`, MAC 00E04C3A1B`mac`.
Bytes SearchReply(uint8_t host, uint8_t mac) {
  Bytes frame{0x55, 0x00, 0x14, 0x02, 0,    0,   0, 0,  host, 1, 168, 192,
              0x00, 0xE0, 0x4C, 0x3A, 0x1B, mac, 5, 32, 0,    0, 0};
  frame.push_back(FrameChecksum(frame.data() + 3, frame.size() - 3));
  return frame;
}

// The window's plan of a batch's addresses, from the pages read off 192.168.1.64/24 with the
// gateway 192.168.1.1, as the box words a refusal.
TEST(WindowBatchTest, PlansTheAddressesAsTheCommandLineAndSaysWhyNot) {
  DeviceParameterBlock block{};
  fakes::RecordingLink link;
  fakes::RecordingNotifier notifier;
  ConfigSession session(block, link, notifier);
  session.InitModel();
  session.OnSearch();
  for (uint8_t i = 1; i <= 3; ++i)
    session.OnFrameReceived(SearchReply(static_cast<uint8_t>(63 + i), i),
                            std::chrono::system_clock::now());
  const uint8_t ip[4] = {192, 168, 1, 64}, mask[4] = {255, 255, 255, 0}, gw[4] = {192, 168, 1, 1};
  std::memcpy(block.osd.abyIP, ip, 4);
  std::memcpy(block.osd.abyNetMask, mask, 4);
  std::memcpy(block.osd.abyGateway, gw, 4);
  session.NetParamsToPage();

  WindowBatch batch(session, link, notifier);
  BatchForm form;
  batch.Fill(form);
  ASSERT_EQ(form.Rows().size(), 3u);
  EXPECT_EQ(form.Rows()[0].device.mac, "00E04C3A1B03");  // newest first
  struct Case {
    std::vector<size_t> rows;
    Ipv4Value first;
    const char* refusal;
  } cases[] = {
      {{0, 1}, {192, 168, 1, 100}, nullptr},
      {{0, 1},
       {192, 168, 1, 254},
       "192.168.1.255（分配给 00E04C3A1B02）是子网 192.168.1.0/255.255.255.0 的广播地址"},
      {{0, 1, 2},
       {192, 168, 1, 0},
       "192.168.1.0（分配给 00E04C3A1B03）是子网 192.168.1.0/255.255.255.0 的网络地址"},
      {{1, 2}, {192, 168, 1, 1}, "192.168.1.1（分配给 00E04C3A1B02）是网关地址"},
      {{0, 1}, {192, 168, 1, 65}, "192.168.1.65（分配给 00E04C3A1B03）已被设备 00E04C3A1B02 占用"},
      {{0, 1},
       {192, 168, 2, 10},
       "地址 192.168.2.10 至 192.168.2.11 超出子网 192.168.1.0/255.255.255.0"},
      {{0}, {}, "192.168.1.64（分配给 00E04C3A1B03）已被设备 00E04C3A1B01 占用"},
      {{2}, {}, nullptr},  // the device that holds the pages' address keeps it
  };
  for (const Case& c : cases) {
    form.CheckAll(false);
    for (size_t row : c.rows) form.SetChecked(row, true);
    form.startIp = c.first;
    const std::optional<std::string> refusal = batch.PlanRefusal(form);
    EXPECT_EQ(refusal.value_or("planned"), c.refusal ? c.refusal : "planned");
  }
  EXPECT_EQ(notifier.Count(), 0u);
}

}  // namespace
}  // namespace quillon
