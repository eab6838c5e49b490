#include "link/link_transfer_port.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/recording_link.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;

// What the link receives reaches the transfer that waits, in order, with the moment it reached
// the PC; a full queue drops the newest; the frames sent go out through the link.
TEST(LinkTransferPortTest, HandsOverWhatTheLinkReceivesAndSendsThroughIt) {
  fakes::RecordingLink link;
  LinkTransferPort port(link);
  EXPECT_TRUE(port.Send(Bytes{0xAA, 0x00, 0x01}));
  EXPECT_FALSE(port.Send(Bytes{}));
  EXPECT_EQ(link.Sent(), std::vector<Bytes>{(Bytes{0xAA, 0x00, 0x01})});

  EXPECT_FALSE(port.Receive(port.Now()));
  port.Deliver({Bytes{1}, std::chrono::system_clock::now() - 2s});
  port.Deliver({Bytes{2}, std::chrono::system_clock::now()});
  const auto first = port.Receive(port.Now());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->bytes, Bytes{1});
  EXPECT_LE(first->received, port.Now() - 2s);
  EXPECT_EQ(port.Receive(port.Now())->bytes, Bytes{2});

  // A transfer waiting on its deadline is woken by a datagram of the receive thread.
  std::thread receiveThread([&] { port.Deliver({Bytes{3}, std::chrono::system_clock::now()}); });
  const auto woken = port.Receive(port.Now() + 10s);
  receiveThread.join();
  ASSERT_TRUE(woken);
  EXPECT_EQ(woken->bytes, Bytes{3});

  for (size_t i = 0; i <= LinkTransferPort::kQueueLimit; ++i)
    port.Deliver({Bytes{static_cast<uint8_t>(i)}, std::chrono::system_clock::now()});
  size_t taken = 0;
  while (port.Receive(port.Now())) ++taken;
  EXPECT_EQ(taken, LinkTransferPort::kQueueLimit);
}

}  // namespace
}  // namespace quillon
