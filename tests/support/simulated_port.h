// A transfer port on simulated devices and a simulated clock, for tests of the transfers that
// wait for their answers: each frame sent is handed to quillon-devsim's device logic in this
// process, its replies arrive a moment later on the simulated clock, and a wait that nothing
// ends moves the clock to its deadline at once. So a 10 s timeout costs no real time, and the
// devices' own tables check the program's mapping.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/frame_link.h"
#include "link/transfer_port.h"
#include "simulated_device.h"

namespace quillon::fakes {

class SimulatedPort : public TransferPort {
 public:
  // `devices`: quillon-devsim --device descriptions.
  explicit SimulatedPort(const std::vector<std::string>& devices, devsim::FaultOptions faults = {});

  Clock::time_point Now() override { return now_; }
  bool Send(std::span<const uint8_t> frame) override;
  std::optional<PortDatagram> Receive(Clock::time_point deadline) override;
  bool ClockMovesByWaiting() const override { return true; }

  // A datagram reaching the PC at `when` (which may lie before now: it waited in the queue).
  void ArriveAt(Bytes datagram, Clock::time_point when);

  // The devices' answer to a request; the simulator's own unless a test plays the device.
  std::function<std::vector<Bytes>(const Bytes& request)> answer;
  std::vector<Bytes> SimulatorAnswer(const Bytes& request);
  // Plays devices that answer every parameter download with a failure (result 0).
  void RefuseDownloads();

  // A device's parameters as the simulator holds them.
  DeviceParameterBlock& Device(const std::string& mac);

  struct SentFrame {
    Bytes bytes;
    std::chrono::milliseconds at;  // since the port was made
  };
  std::vector<SentFrame> sent;
  std::chrono::milliseconds Elapsed() const;
  // The frames sent with this command code.
  std::vector<SentFrame> SentWith(uint8_t command) const;

  std::chrono::milliseconds replyDelay{1};
  uint32_t localAddress = 0x0A4D0001;  // 10.77.0.1
  bool sendFails = false;

 private:
  devsim::Simulator simulator_;
  Clock::time_point start_;
  Clock::time_point now_;
  std::vector<PortDatagram> queue_;  // in order of arrival
};

// The window's link on a simulated port, for session tests that play the user-interface thread
// and step the worker by hand (ConfigSession::TickWorker): what the session sends reaches the
// devices, and Step hands their replies to the session as the simulated clock passes them.
class SimulatedLink : public FrameLink {
 public:
  explicit SimulatedLink(SimulatedPort& port) : port_(port) {}
  void Start(DatagramHandler) override {}
  void Stop() override {}
  void RefreshEndpoints() override {}
  void SendFrame(const uint8_t* bytes, uint16_t length) override { port_.Send({bytes, length}); }

 private:
  SimulatedPort& port_;
};

}  // namespace quillon::fakes

namespace quillon {
class ConfigSession;
}

namespace quillon::fakes {

// Plays the user-interface thread and the worker's 10 ms cycles on the port's simulated clock:
// each cycle ticks the worker once, then hands the session every datagram that has arrived by
// the cycle's end. Stops as soon as `done` holds (true) or after `cycles` cycles (false).
bool StepSession(ConfigSession& session, SimulatedPort& port, const std::function<bool()>& done,
                 int cycles);

}  // namespace quillon::fakes
