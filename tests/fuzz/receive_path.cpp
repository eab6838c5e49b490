#include "receive_path.h"

#include <cstring>
#include <mutex>
#include <optional>

#include "link/frame.h"
#include "session/config_session.h"
#include "support/fake_view.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"

namespace quillon::fuzz {

namespace {

// Enough worker cycles for a chunk's three timeouts (3 x 10 s) and a little more; a program
// cannot spend more, so that one input never takes long.
constexpr int kMaxWorkerCycles = 3500;
constexpr int kMaxSteps = 400;
constexpr auto kDownloadResultWindow = std::chrono::seconds(5);

}  // namespace

struct ReceivePathMachine::Parts {
  Parts() : block(std::make_unique<DeviceParameterBlock>()), session(*block, link, notifier) {
    session.AttachView(view);
    session.SetClock([this] { return now; });
    session.InitModel();
    index = block->modbus;
  }
  ~Parts() { session.DetachView(); }

  std::unique_ptr<DeviceParameterBlock> block;
  fakes::RecordingLink link;
  fakes::RecordingNotifier notifier;
  fakes::FakeConfigView view;
  ConfigSession session;
  sModBusPara index;
  std::chrono::steady_clock::time_point now{};
  std::optional<std::chrono::steady_clock::time_point> downloadSent;
  bool searched = false;
  int workerCycles = 0;
};

ReceivePathMachine::ReceivePathMachine() : parts_(std::make_unique<Parts>()) {}
ReceivePathMachine::~ReceivePathMachine() = default;

std::vector<Bytes> ReceivePathMachine::Sent() const { return parts_->link.Sent(); }

std::string ReceivePathMachine::Check() {
  const DeviceParameterBlock& block = *parts_->block;
  std::string broken = CheckTextsTerminated(block);
  if (broken.empty()) broken = CheckIndexKept(block.modbus, parts_->index);
  return broken;
}

std::string ReceivePathMachine::Datagram(Bytes frame, uint8_t flags) {
  flags &= kRepair | kToSelected | kBeforeSearch;
  program_.push_back(flags);
  program_.push_back(static_cast<uint8_t>(frame.size() >> 8));
  program_.push_back(static_cast<uint8_t>(frame.size()));
  program_.insert(program_.end(), frame.begin(), frame.end());

  Parts& p = *parts_;
  if ((flags & kToSelected) && frame.size() >= kFramePayloadOffset)
    std::memcpy(frame.data() + kFrameMacOffset, p.block->abySelectedMac, 6);
  if (flags & kRepair) RepairReply(frame);
  const ReceiveTime received = (flags & kBeforeSearch) ? ReceiveTime{} : ReceiveTime::clock::now();

  const DeviceParameterBlock before = *p.block;
  const SessionFlags flagsBefore = p.session.Flags();
  const int shows = p.view.logShows;
  const size_t pageCalls = p.view.pageCalls.size();
  const size_t boxes = p.notifier.Count();
  const size_t rows = p.view.rows.size();

  // The datagram in a buffer of its own size, so that a read beyond it is caught.
  p.session.OnFrameReceived(std::span<const uint8_t>(frame.data(), frame.size()), received);

  const DeviceParameterBlock& after = *p.block;
  const SessionFlags& flagsAfter = p.session.Flags();
  const bool accepted = p.view.logShows != shows;
  if (!accepted) {
    // Dropped without a trace.
    if (std::string broken = CheckBlockUnchanged(before, after); !broken.empty())
      return "a dropped datagram changed the block: " + broken;
    if (std::memcmp(&flagsBefore, &flagsAfter, sizeof flagsAfter) != 0)
      return "a dropped datagram changed the session flags";
    if (p.view.pageCalls.size() != pageCalls || p.notifier.Count() != boxes ||
        p.view.rows.size() != rows)
      return "a dropped datagram reached the window";
  } else {
    if (std::memcmp(before.abySelectedMac, after.abySelectedMac, 6) != 0 ||
        before.bLegacyLineText != after.bLegacyLineText)
      return "a datagram changed the selected device";
    if (std::string broken = CheckNoMarkSet(before.modbus, after.modbus); !broken.empty())
      return broken;
    switch (frame[3]) {
      case CMD_SEARCH:
        if ((flags & kBeforeSearch) && p.searched)
          return "a search reply from before the search was listed";
        break;
      case CMD_READ_PARAMS:
        if (std::memcmp(frame.data() + kFrameMacOffset, before.abySelectedMac, 6) != 0)
          return "a read reply of another device was applied";
        break;
      case CMD_DOWNLOAD_PARAMS:
        if (!p.downloadSent || p.now - *p.downloadSent > kDownloadResultWindow)
          return "a download result was taken without a download of ours";
        break;
      default:
        break;
    }
  }
  return Check();
}

std::string ReceivePathMachine::Search() {
  program_.push_back(1);
  parts_->session.OnSearch();
  parts_->searched = true;
  return Check();
}

std::string ReceivePathMachine::DoubleClick(uint8_t row) {
  program_.push_back(2);
  program_.push_back(row);
  Parts& p = *parts_;
  if (!p.view.rows.empty()) {
    p.view.selected = p.view.rows[row % p.view.rows.size()];
  } else {
    p.view.selected =
        DeviceRow{"192.168.1.64", "1号机", "00E04C3A1B03", (row & 1) != 0 ? "31.05" : "32.01"};
  }
  p.session.OnDeviceDoubleClicked();
  return Check();
}

std::string ReceivePathMachine::Tick(uint8_t cycles) {
  program_.push_back(3);
  program_.push_back(cycles);
  Parts& p = *parts_;
  for (int i = 0; i <= cycles && p.workerCycles < kMaxWorkerCycles; ++i) {
    p.session.TickWorker();
    ++p.workerCycles;
    if (std::string broken = CheckIndexKept(p.block->modbus, p.index); !broken.empty())
      return broken;
  }
  return Check();
}

std::string ReceivePathMachine::Mark(uint8_t how) {
  program_.push_back(4);
  program_.push_back(how);
  Parts& p = *parts_;
  const bool write = (how & 1) != 0;
  if (how & 2) {
    if (write)
      p.session.OnRs485Download();
    else
      p.session.OnRs485Read();
  } else {
    std::lock_guard lock(p.session.ModelMutex());
    sModBusPara& modbus = p.block->modbus;
    uint8_t* marks = write ? modbus.abyDictWrite : modbus.abyDictRead;
    const int stride = (how >> 2) + 1;
    for (int i = 0; i < modbus.wDictCount; i += stride) marks[i] = 1;
  }
  return Check();
}

std::string ReceivePathMachine::Download() {
  program_.push_back(5);
  Parts& p = *parts_;
  if (p.session.Flags().bParamsRead) p.downloadSent = p.now;
  p.session.OnDownload();
  return Check();
}

std::string ReceivePathMachine::RunLater() {
  program_.push_back(6);
  parts_->view.RunLater();
  return Check();
}

std::string ReceivePathMachine::Advance(uint8_t tenths) {
  program_.push_back(7);
  program_.push_back(tenths);
  parts_->now += std::chrono::milliseconds(100) * tenths;
  return Check();
}

std::string RunReceivePath(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  ReceivePathMachine machine;
  for (int step = 0; step < kMaxSteps && !in.Empty(); ++step) {
    const uint8_t op = in.Byte();
    std::string broken;
    switch (op & 7) {
      case 0: {
        const uint16_t length = in.U16();
        broken = machine.Datagram(in.Take(length), op);
        break;
      }
      case 1:
        broken = machine.Search();
        break;
      case 2:
        broken = machine.DoubleClick(in.Byte());
        break;
      case 3:
        broken = machine.Tick(in.Byte());
        break;
      case 4:
        broken = machine.Mark(in.Byte());
        break;
      case 5:
        broken = machine.Download();
        break;
      case 6:
        broken = machine.RunLater();
        break;
      default:
        broken = machine.Advance(in.Byte());
        break;
    }
    if (!broken.empty()) return "step " + std::to_string(step) + ": " + broken;
  }
  return {};
}

}  // namespace quillon::fuzz
