// The transfer port on sockets, in memory: through every local address, or through one card.
#include "link/broadcast_port.h"

#include <gtest/gtest.h>

#include "support/scripted_sockets.h"

using namespace quillon;
using Opening = BroadcastPort::Opening;

TEST(BroadcastPort, ThroughOneCardOnlyWhatThatCardHears) {
  // Card 2 holds 10.77.0.1; card 3 holds 10.77.1.1 and 10.77.1.5.
  const std::vector<InterfaceAddress> interfaces = {{1, 0x7F000001, 0xFF000000, true, true},
                                                    {2, 0x0A4D0001, 0xFFFFFF00, true, false},
                                                    {3, 0x0A4D0101, 0xFFFFFF00, true, false},
                                                    {3, 0x0A4D0105, 0xFFFFFF00, true, false}};
  const AddressSource addresses = [] {
    return std::vector<uint32_t>{0x0A4D0001, 0x0A4D0101, 0x0A4D0105};
  };
  const struct {
    std::optional<uint32_t> via;
    Opening opening;
    const char* error;
    std::vector<uint32_t> sending;
    // The PC's address each reply is taken as coming in through: one on card 2, one on card 3,
    // one of which the system does not tell the card.
    std::vector<uint32_t> heard;
  } cases[] = {
      {std::nullopt,
       Opening::Opened,
       "",
       {0x0A4D0001, 0x0A4D0101, 0x0A4D0105},
       {0x0A4D0001, 0x0A4D0101, 0}},
      {0x0A4D0105, Opening::Opened, "", {0x0A4D0105}, {0x0A4D0105, 0x0A4D0105}},
      {0x0A4D0001, Opening::Opened, "", {0x0A4D0001}, {0x0A4D0001, 0x0A4D0001}},
      {0x0A4D0002,
       Opening::NotLocal,
       "10.77.0.2 is not an address of this PC; its addresses: 10.77.0.1, 10.77.1.1, 10.77.1.5",
       {},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.via ? Ipv4Text(*c.via) : "every address");
    fakes::ScriptedSockets sockets;
    BroadcastPort port(sockets, addresses, [&] { return interfaces; });
    std::string error;
    EXPECT_EQ(port.Open(error, c.via), c.opening);
    EXPECT_EQ(error, c.error);
    if (c.opening != Opening::Opened) {
      EXPECT_EQ(sockets.opened, 0);  // refused before any socket
      continue;
    }
    EXPECT_EQ(port.Addresses(), c.sending);
    std::vector<uint32_t> bound;
    for (const auto& [socket, address] : sockets.bound)
      if (address != 0) bound.push_back(address);  // not the receive socket's 0.0.0.0
    EXPECT_EQ(bound, c.sending);
    ASSERT_TRUE(port.Send(BuildSearchRequest()));
    EXPECT_EQ(sockets.sentThrough.size(), c.sending.size());

    const Bytes reply = {0x55, 0x00, 0x01, 0x02, 0x02};
    sockets.incoming = {{reply, 2, 0x0A4D0002}, {reply, 3, 0x0A4D0102}, {reply, 0, 0x0A4D0102}};
    std::vector<uint32_t> heard;
    while (std::optional<PortDatagram> datagram = port.Receive(port.Now()))
      heard.push_back(datagram->localAddress);
    EXPECT_EQ(heard, c.heard);
  }
}

TEST(BroadcastPort, ADatagramTooLateForOneWaitIsTheNextWaitsAnswer) {
  // Devices served side by side share the port: a datagram that one wait took after its deadline
  // is another transfer's answer and must not be lost.
  fakes::ScriptedSockets sockets;
  BroadcastPort port(
      sockets, [] { return std::vector<uint32_t>{0x0A4D0001}; },
      [] { return std::vector<InterfaceAddress>{}; });
  std::string error;
  ASSERT_EQ(port.Open(error), Opening::Opened);
  sockets.incoming.push_back({BuildSearchRequest(), 0, 0x0A4D0002});  // arrived a second ago
  const auto now = BroadcastPort::Clock::now();
  EXPECT_FALSE(port.Receive(now - std::chrono::seconds(5)));
  EXPECT_FALSE(port.Receive(now - std::chrono::seconds(4)));  // still too late for this one
  const std::optional<PortDatagram> taken = port.Receive(now);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->bytes, BuildSearchRequest());
  EXPECT_FALSE(port.Receive(now));
}
