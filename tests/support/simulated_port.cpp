#include "support/simulated_port.h"

#include <algorithm>
#include <stdexcept>

#include "session/config_session.h"

namespace quillon::fakes {

namespace {

std::vector<devsim::DeviceIdentity> Identities(const std::vector<std::string>& devices) {
  std::vector<devsim::DeviceIdentity> identities;
  for (size_t i = 0; i < devices.size(); ++i) {
    devsim::DeviceIdentity identity;
    std::string error;
    if (!devsim::ParseDeviceDescription(devices[i], static_cast<int>(i), identity, error))
      throw std::invalid_argument(error);
    identities.push_back(identity);
  }
  return identities;
}

}  // namespace

SimulatedPort::SimulatedPort(const std::vector<std::string>& devices, devsim::FaultOptions faults)
    : simulator_(Identities(devices), faults),
      start_(Clock::time_point() + std::chrono::hours(1)),
      now_(start_) {
  simulator_.clock = [this] { return now_; };
}

std::vector<Bytes> SimulatedPort::SimulatorAnswer(const Bytes& request) {
  return simulator_.Handle(request).replies;
}

void SimulatedPort::RefuseDownloads() {
  answer = [this](const Bytes& request) {
    std::vector<Bytes> replies = SimulatorAnswer(request);
    if (request[3] == CMD_DOWNLOAD_PARAMS) replies.front()[10] = 0, replies.front().back() -= 1;
    return replies;
  };
}

bool SimulatedPort::Send(std::span<const uint8_t> frame) {
  const Bytes bytes(frame.begin(), frame.end());
  sent.push_back({bytes, Elapsed()});
  if (sendFails) return false;
  // A broadcast comes back to the PC's own port first.
  ArriveAt(bytes, now_);
  const std::vector<Bytes> replies = answer ? answer(bytes) : SimulatorAnswer(bytes);
  for (const Bytes& reply : replies) ArriveAt(reply, now_ + replyDelay);
  return true;
}

void SimulatedPort::ArriveAt(Bytes datagram, Clock::time_point when) {
  queue_.push_back(PortDatagram{std::move(datagram), when, localAddress});
  std::stable_sort(queue_.begin(), queue_.end(), [](const PortDatagram& a, const PortDatagram& b) {
    return a.received < b.received;
  });
}

std::optional<PortDatagram> SimulatedPort::Receive(Clock::time_point deadline) {
  if (!queue_.empty() && queue_.front().received <= deadline) {
    PortDatagram datagram = std::move(queue_.front());
    queue_.erase(queue_.begin());
    now_ = std::max(now_, datagram.received);
    return datagram;
  }
  now_ = std::max(now_, deadline);
  return std::nullopt;
}

DeviceParameterBlock& SimulatedPort::Device(const std::string& mac) {
  for (devsim::SimulatedDevice& device : simulator_.Devices())
    if (device.MacText() == mac) return device.Block();
  throw std::invalid_argument("no simulated device " + mac);
}

std::chrono::milliseconds SimulatedPort::Elapsed() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_);
}

std::vector<SimulatedPort::SentFrame> SimulatedPort::SentWith(uint8_t command) const {
  std::vector<SentFrame> frames;
  for (const SentFrame& frame : sent)
    if (frame.bytes.size() > 3 && frame.bytes[3] == command) frames.push_back(frame);
  return frames;
}

bool StepSession(ConfigSession& session, SimulatedPort& port, const std::function<bool()>& done,
                 int cycles) {
  for (int i = 0; i < cycles; ++i) {
    if (done()) return true;
    session.TickWorker();
    const auto end = port.Now() + std::chrono::milliseconds(DictionaryWorker::kCycleMs);
    while (std::optional<PortDatagram> datagram = port.Receive(end))
      session.OnFrameReceived(datagram->bytes, std::chrono::system_clock::now());
  }
  return done();
}

}  // namespace quillon::fakes
