// Transfers with one device that wait for each answer instead of polling for it: the parameter
// read, the camera line texts, every RS-485 dictionary entry in both directions, and the
// parameter download with its line texts. Each request goes out, the reply that answers it is
// taken the moment it arrives, and the next request follows at once. Timeouts and retries are
// the window's: 10 s per dictionary chunk with three tries in all, 5 s per camera's line texts
// without a retry, and the pauses that the device needs around a download stay as they are.
//
// One device at a time: a dictionary reply does not say which device sent it, so only the
// device being served may have a request outstanding. A reply counts when it answers the
// outstanding request (same operation, names one of its identifiers) and reached the PC after
// that request left; a read reply also has to carry the device's MAC.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_rules.h"
#include "link/transfer_port.h"
#include "params/dictionary.h"
#include "params/parameter_block.h"

namespace quillon {

// How one step of a transfer ended.
struct TransferResult {
  enum class Status {
    Done,
    NoReply,     // nothing answered within the timeout (after every try)
    Refused,     // the device answered the download with a failure
    SendFailed,  // the request could not leave the PC
  };
  Status status = Status::Done;
  std::string message;  // what went wrong, for the user; empty when done

  bool Ok() const { return status == Status::Done; }
};

// Progress of a step: what is being done and how far it has come, 0 to 100.
using TransferProgress = std::function<void(std::string_view step, int percent)>;

class DeviceTransfer {
 public:
  using Clock = TransferPort::Clock;

  DeviceTransfer(TransferPort& port, const uint8_t mac[6], bool legacyLineText);

  void SetProgress(TransferProgress progress) { progress_ = std::move(progress); }

  // Command 3: the network settings and camera records (with their line texts for legacy
  // firmware) into `osd`, one request with 5 s for the answer. Nothing changes without one.
  TransferResult ReadParams(sOSDCommPara& osd,
                            std::chrono::milliseconds timeout = kReadReplyTimeout);
  // Whether the device answers a parameter read within `timeout`; nothing is kept of the answer.
  // A device that restarts after a download answers nothing for a while.
  bool AnswersRead(std::chrono::milliseconds timeout);

  // The eight line texts of each of the four cameras (current firmware), one camera after the
  // other; a camera that does not answer within 5 s ends the read, the rest are not asked.
  TransferResult ReadCameraTexts(DeviceParameterBlock& block);

  // Marks every entry of the block's index and moves them all: read from the device into the
  // block, or written from the block to the device.
  TransferResult ReadRs485(DeviceParameterBlock& block);
  TransferResult WriteRs485(DeviceParameterBlock& block);
  // Moves whatever is marked in one direction, at most 31 entries per request. A chunk that is
  // not answered within 10 s goes out again, three times in all; then every mark of that
  // direction is cleared and the transfer has failed. Entries answered before stay done.
  TransferResult TransferMarked(DeviceParameterBlock& block, bool write);

  // Command 4 with the block's network settings and camera records; for current firmware then
  // the line texts of the four cameras, 200 ms after it and 200 ms apart. Lines the device does
  // not acknowledge within 200 ms of the last frame go out again, at the same pace, three tries
  // in all. Done when the device answers the parameters with success (1) within 5 s and has
  // acknowledged every line text. After a refusal no line text follows.
  TransferResult Download(DeviceParameterBlock& block);

  // Requests sent so far, requests sent again after a timeout, line-text frames of downloads
  // sent and acknowledged by the device, and the pauses kept for the device's sake.
  int RequestsSent() const { return requestsSent_; }
  int Retries() const { return retries_; }
  int TextFramesSent() const { return textFramesSent_; }
  int TextFramesAcknowledged() const { return textFramesAcknowledged_; }
  std::chrono::milliseconds DevicePauses() const { return devicePauses_; }
  // What the device's replies held that the dictionary does not know, as the window logs it.
  const std::vector<std::string>& Notes() const { return notes_; }

 private:
  bool Send(const Bytes& frame);
  bool SendDictionary(const uint8_t* payload, size_t length);
  // Takes datagrams until `done` holds or `deadline` passes, handing each acceptable reply to
  // `handle`. Returns whether `done` held.
  bool WaitFor(Clock::time_point deadline, const std::function<void(const PortDatagram&)>& handle,
               const std::function<bool()>& done);
  // Parses a command 9 reply that answers `request` (sent at `sentAt`); false if it does not.
  bool TakeDictionaryReply(DeviceParameterBlock& block, const PortDatagram& datagram,
                           DictionaryRequest& request, Clock::time_point sentAt);
  void Progress(std::string_view step, int percent);

  TransferPort& port_;
  uint8_t mac_[6];
  bool legacy_;
  TransferProgress progress_;
  DictionaryRequest request_;
  int requestsSent_ = 0;
  int retries_ = 0;
  int textFramesSent_ = 0;
  int textFramesAcknowledged_ = 0;
  std::chrono::milliseconds devicePauses_{0};
  std::vector<std::string> notes_;
};

}  // namespace quillon
