// The substitute overlay device: what one device answers to each request it hears on port 1901.
// This is the device's side of the protocol, written independently of the program's own
// encoders so that the two sides check each other. No sockets here: a datagram goes in, reply
// datagrams come out.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/frame.h"
#include "params/parameter_block.h"

namespace quillon::devsim {

struct DeviceIdentity {
  uint32_t ip = 0;  // host order: 192.168.1.100 is 0xC0A80164
  uint8_t mac[6] = {};
  uint8_t major = 32;
  uint8_t minor = 1;
  std::string name;  // UTF-8; the device sends it in GBK
  // How long the device answers nothing while it restarts after a download it accepted (0: it
  // takes the new settings at once and never goes quiet).
  std::chrono::milliseconds restart{0};
};

// After a download it accepted, a device that restarts takes the line-text frames that follow
// and answers nothing else, until it has the texts of all four cameras or none came for this
// long; then it restarts.
inline constexpr std::chrono::milliseconds kLineTextWindow{1000};

// Parses "ip=192.168.1.64,mac=0011223344AB,version=32.01,restart-ms=5000,name=1号机". Missing
// keys take
// defaults derived from `index`. The name runs to the end of the text, so it may hold commas
// when it comes last. Returns false with a message on a malformed value.
bool ParseDeviceDescription(const std::string& description, int index, DeviceIdentity& identity,
                            std::string& error);

// Ways to misbehave. All of them apply to every device, and, unless `faultSearch` is set, only
// to requests addressed to a device (read, download, dictionary), never to the search. The
// delay is the exception: the socket loop holds back every reply, search replies too.
struct FaultOptions {
  int silent = 0;               // ignore the next N requests addressed to each device (and the
                                // searches among them, with faultSearch)
  int silentAfter = -1;         // >= 0: answer the first N requests addressed to each device,
                                // then none (a device gone quiet in the middle of a transfer)
  bool refuseDownload = false;  // download result 0 instead of 1
  int partialAck = -1;          // >= 0: only the first K entries of each dictionary request
  bool answerTwice = false;     // every reply goes out twice
  int delayMs = 0;              // replies go out this late (applied by the socket loop)
  bool badChecksum = false;     // checksum byte off by one
  bool oversize = false;        // a 2100-byte reply instead of the real one
  bool truncate = false;        // replies cut to half, length and checksum made right again
  bool foreignId = false;       // identifier 9000 added to each dictionary read reply
  bool foreignMac = false;      // replies name kForeignReplyMac at offsets 4 to 9
  bool faultSearch = false;     // apply the reply faults to search replies too
  // Per device (MAC text): answers the search only, or nothing of camera line-text reads.
  std::vector<std::string> silentDevices;
  std::vector<std::string> silentTextDevices;
};

// The MAC that --foreign-mac puts where a reply names its device: no simulated device has it.
inline constexpr uint8_t kForeignReplyMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0xFE};

std::string MacText(const uint8_t mac[6]);  // "0011223344AB"

class SimulatedDevice {
 public:
  // `variant` makes the default parameters of several devices differ.
  SimulatedDevice(const DeviceIdentity& identity, int variant);

  const DeviceIdentity& Identity() const { return identity_; }
  std::string MacText() const;
  bool LegacyLineText() const { return identity_.major < 32; }

  // The device's parameters: its sOSDCommPara (camera line texts included) and sModBusPara.
  DeviceParameterBlock& Block() { return block_; }
  const DeviceParameterBlock& Block() const { return block_; }

  Bytes SearchReply() const;
  Bytes ReadReply() const;
  // Parses a download frame into the parameters; false when it is too short to hold the layout
  // (then nothing is changed).
  bool ApplyDownload(std::span<const uint8_t> frame);
  Bytes DownloadResult(uint8_t result) const;
  // What a device does after it has stored a download: it restarts with its new network
  // settings, so a static address becomes the one it answers the search with. With DHCP it
  // keeps the address it had (no DHCP server here hands out another).
  void Restart();

  // Where the device stands at `now` after its last accepted download: taking its line texts,
  // restarting (answering nothing), or answering everything.
  enum class Phase { Answering, TakingLineTexts, Restarting };
  Phase PhaseAt(std::chrono::steady_clock::time_point now) const;
  void Downloaded(std::chrono::steady_clock::time_point now);
  // A line-text frame of `camera` (0 to 3) taken after the download.
  void TookLineTexts(std::chrono::steady_clock::time_point now, int camera);

 private:
  void FillDefaults(int variant);

  DeviceIdentity identity_;
  DeviceParameterBlock block_;
  bool downloaded_ = false;
  std::chrono::steady_clock::time_point lastTaken_{};  // the download or its last line texts
  unsigned camerasTaken_ = 0;                          // a bit per camera
  std::optional<std::chrono::steady_clock::time_point> restartAt_;
};

// All simulated devices behind one port.
class Simulator {
 public:
  Simulator(std::vector<DeviceIdentity> identities, FaultOptions faults);

  struct Outcome {
    std::vector<Bytes> replies;    // in sending order
    std::vector<std::string> log;  // one line per accepted request
    bool stateChanged = false;     // a download or dictionary write changed a device
  };
  // One received datagram. Anything but a well-formed request (the devices' own replies
  // included) gets no answer.
  Outcome Handle(std::span<const uint8_t> datagram);

  // The devices' clock, for their restarts: the steady clock unless a test gives its own.
  std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;

  std::vector<SimulatedDevice>& Devices() { return devices_; }
  const FaultOptions& Faults() const { return faults_; }

 private:
  Outcome HandleAddressed(SimulatedDevice& device, int index, std::span<const uint8_t> frame);
  Outcome HandleDictionary(SimulatedDevice& device, std::span<const uint8_t> frame);
  void Misbehave(std::vector<Bytes>& replies) const;

  std::vector<SimulatedDevice> devices_;
  std::vector<int> silentLeft_;
  std::vector<int> answered_;  // requests addressed to each device that it answered
  FaultOptions faults_;
};

}  // namespace quillon::devsim
