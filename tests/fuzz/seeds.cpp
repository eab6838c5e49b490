#include "seeds.h"

#include <cstring>
#include <memory>

#include "dictionary_reply.h"
#include "files/param_file.h"
#include "link/frame.h"
#include "param_import.h"
#include "params/dictionary.h"
#include "receive_path.h"
#include "simulated_device.h"
#include "support/param_file_samples.h"

namespace quillon::fuzz {

namespace {

using devsim::FaultOptions;
using devsim::Simulator;

Simulator MakeSimulator(const FaultOptions& faults) {
  std::vector<devsim::DeviceIdentity> devices(2);
  std::string error;
  devsim::ParseDeviceDescription("ip=192.168.1.64,mac=00E04C3A1B03,version=32.01,name=1号机", 0,
                                 devices[0], error);
  devsim::ParseDeviceDescription("ip=192.168.1.65,mac=00E04C3A1B05,version=31.05,name=2号机", 1,
                                 devices[1], error);
  return Simulator(devices, faults);
}

// Hands every frame the session sent since `seen` to the simulator and its replies back.
void Answer(ReceivePathMachine& machine, Simulator& sim, size_t& seen) {
  const std::vector<Bytes> sent = machine.Sent();
  for (; seen < sent.size(); ++seen)
    for (const Bytes& reply : sim.Handle(sent[seen]).replies) machine.Datagram(reply, 0);
}

// Worker cycles with the device answering, until `rounds` have passed.
void Converse(ReceivePathMachine& machine, Simulator& sim, size_t& seen, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    machine.Tick(1);
    Answer(machine, sim, seen);
  }
}

// What a conversation goes through after the search and the read of the chosen row with its
// camera texts.
struct Phases {
  bool rs485Read = false;
  bool rs485Download = false;
  bool download = false;
};

Bytes Conversation(const FaultOptions& faults, uint8_t row, Phases phases) {
  Simulator sim = MakeSimulator(faults);
  ReceivePathMachine machine;
  size_t seen = 0;
  machine.Search();
  Answer(machine, sim, seen);
  machine.DoubleClick(row);
  Answer(machine, sim, seen);
  Converse(machine, sim, seen, 6);
  if (phases.rs485Read) {
    machine.Mark(2);  // "读取" of the RS-485 page
    Converse(machine, sim, seen, 22);
  }
  if (phases.rs485Download) {
    machine.Mark(3);  // "下载"
    Converse(machine, sim, seen, 22);
  }
  if (phases.download) {
    machine.Download();
    Answer(machine, sim, seen);
    Converse(machine, sim, seen, 6);
  }
  machine.Advance(60);
  machine.RunLater();
  return machine.Program();
}

std::vector<Bytes> ReceivePathSeeds() {
  const FaultOptions sound;
  std::vector<Bytes> seeds = {
      Conversation(sound, 0, {}),
      Conversation(sound, 1, {.download = true}),  // the legacy device
      Conversation(sound, 0, {.rs485Read = true}),
      Conversation(sound, 0, {.rs485Read = true, .rs485Download = true}),
      Conversation(sound, 0, {.download = true}),
  };
  std::vector<FaultOptions> faults(7);
  faults[0].truncate = true;
  faults[1].answerTwice = true;
  faults[2].partialAck = 3;
  faults[3].foreignId = true;
  faults[4].refuseDownload = true;
  faults[5].foreignMac = true;
  faults[6].oversize = true;
  for (const FaultOptions& f : faults)
    seeds.push_back(Conversation(f, 0, {.rs485Read = true, .download = true}));
  return seeds;
}

// The simulator's reply payload (offset 10 up to the checksum) to one dictionary request.
Bytes ReplyPayload(Simulator& sim, const uint8_t* payload, size_t length) {
  const uint8_t mac[6] = {0x00, 0xE0, 0x4C, 0x3A, 0x1B, 0x03};
  const Bytes request = BuildRequestFrame(CMD_DICTIONARY, mac, payload, length);
  const std::vector<Bytes> replies = sim.Handle(request).replies;
  if (replies.empty() || replies[0].size() < kFrameOverhead) return {};
  return Bytes(replies[0].begin() + kFramePayloadOffset, replies[0].end() - 1);
}

std::vector<Bytes> DictionaryReplySeeds() {
  FaultOptions sound, cut, foreign, partial;
  cut.truncate = true;
  foreign.foreignId = true;
  partial.partialAck = 5;
  std::vector<Bytes> seeds;
  for (const FaultOptions* faults : {&sound, &cut, &foreign, &partial}) {
    Simulator sim = MakeSimulator(*faults);
    auto block = std::make_unique<DeviceParameterBlock>();
    ClearBlock(*block);
    BuildDictionaryIndex(block->modbus);
    uint8_t payload[kDictFrameBufferSize];
    // A read chunk of every second entry, then one of every entry from the 16th on.
    for (const uint8_t marks : {uint8_t{0x01}, uint8_t{0xF0}}) {
      auto marked = std::make_unique<DeviceParameterBlock>(*block);
      for (int i = marks >> 4; i < marked->modbus.wDictCount; i += (marks & 15) + 1) {
        marked->modbus.abyDictRead[i] = 1;
        marked->modbus.abyDictWrite[i] = 1;
      }
      const size_t read = BuildReadChunk(*marked, payload, sizeof payload);
      seeds.push_back(DictionaryReplyInput(0x11, marks, 0, ReplyPayload(sim, payload, read)));
      const size_t write = BuildWriteChunk(*marked, payload, sizeof payload);
      seeds.push_back(DictionaryReplyInput(0x12, 0, marks, ReplyPayload(sim, payload, write)));
    }
    for (uint8_t camera = 0; camera < 4; ++camera) {
      const size_t length = BuildCameraTextReadPayload(camera, payload);
      seeds.push_back(DictionaryReplyInput(static_cast<uint8_t>(0x13 | camera << 2), 0, 0,
                                           ReplyPayload(sim, payload, length)));
    }
  }
  return seeds;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::vector<Bytes> ParamImportSeeds() {
  std::vector<Bytes> seeds;
  Bytes sample{0};
  const std::string known = fakes::KnownFileText();
  sample.insert(sample.end(), known.begin(), known.end());
  seeds.push_back(sample);

  // A simulated device's parameters as images, and as the file an export of them makes.
  Simulator sim = MakeSimulator({});
  const DeviceParameterBlock& device = sim.Devices()[0].Block();
  for (const uint8_t mode : {uint8_t{0x01}, uint8_t{0x1F}}) {
    Bytes images{mode};
    const auto* osd = reinterpret_cast<const uint8_t*>(&device.osd);
    const auto* modbus = reinterpret_cast<const uint8_t*>(&device.modbus);
    images.insert(images.end(), osd, osd + sizeof device.osd);
    images.insert(images.end(), modbus, modbus + sizeof device.modbus);
    seeds.push_back(images);
  }
  IniProfile profile;
  ParamImages images;
  std::memcpy(&images.osd, &device.osd, sizeof images.osd);
  std::memcpy(&images.modbus, &device.modbus, sizeof images.modbus);
  EncodeParamFile(images, profile);
  Bytes exported{0};
  const Bytes text = Text(profile.Text());
  exported.insert(exported.end(), text.begin(), text.end());
  seeds.push_back(exported);
  return seeds;
}

}  // namespace

std::vector<Bytes> SeedInputs(const std::string& target) {
  if (target == "receive_path") return ReceivePathSeeds();
  if (target == "dictionary_reply") return DictionaryReplySeeds();
  if (target == "param_import") return ParamImportSeeds();
  return {};
}

std::string RunTarget(const std::string& target, const Bytes& input) {
  if (target == "receive_path") return RunReceivePath(input.data(), input.size());
  if (target == "dictionary_reply") return RunDictionaryReply(input.data(), input.size());
  if (target == "param_import") return RunParamImport(input.data(), input.size());
  return "no target " + target;
}

}  // namespace quillon::fuzz
