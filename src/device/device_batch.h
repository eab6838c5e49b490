// One way to serve the devices of a batch (apply, set, backup, the window's batch): the outcome
// of each device, the refusal of first-generation firmware, the check that reads a device back
// until it holds what was sent, and many devices side by side over one port.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/device_search.h"
#include "device/device_transfer.h"
#include "device/fleet_port.h"
#include "link/transfer_port.h"
#include "params/parameter_block.h"

namespace quillon {

// What serving one device came to. Each command fills what it does.
struct DeviceOutcome {
  std::string mac;
  std::string name;  // UTF-8, as the device gives it
  std::string ip;    // as the search saw it
  std::string version;
  bool ok = false;
  std::string failedStep;  // search, firmware, read, rs485, download, verify, write
  std::string error;
  // How the failed transfer ended (no reply, refused, not sent); Done when the device failed
  // without one: not found, first-generation firmware, a file not written, or a check that
  // read back other values (failedStep "verify" with the mismatches).
  TransferResult::Status status = TransferResult::Status::Done;
  unsigned writtenParts = 0;               // apply: the parts that the device acknowledged
  std::vector<std::string> writtenFields;  // set: the fields that changed, by name
  bool downloaded = false;                 // the parameter download went out and was taken
  std::optional<uint32_t> staticIp;        // the static IP as downloaded
  int rs485Entries = 0;                    // RS-485 dictionary entries written
  int lineTextFrames = 0;                  // line-text frames sent after the download
  int lineTextFramesAcknowledged = 0;
  bool verified = false;
  std::vector<std::string> mismatches;
  std::vector<std::string> notes;
  std::string file;  // backup: the parameter file, in the folder
  int retries = 0;
  std::chrono::milliseconds time{0};

  // Ends the device's work at `step` with the result's message and status.
  void Fail(const char* step, const TransferResult& result);
};

enum class FirstGeneration { Refuse, Serve, Warn };

// One device of a batch as the work of a command sees it: the port is the device's own (its
// member of the fleet when devices are served side by side).
struct DeviceJob {
  size_t index;  // among the targets
  const FoundDevice& device;
  DeviceTransfer& transfer;
  const TransferProgress& progress;
  TransferPort& port;
};
// The work of a command on one device found by the search: it fills in the outcome, leaving
// failedStep empty when the device is done.
using DeviceWork = std::function<void(const DeviceJob&, DeviceOutcome&)>;
// Told of a device with first-generation firmware that is served all the same (Warn).
using FirstGenerationWarning = std::function<void(const FoundDevice&)>;

// Serves one device: refuses first-generation firmware (or tells `warn` of it), then does the
// work on a transfer of its own, timed, with the transfer's retries and notes in the outcome.
DeviceOutcome ServeDevice(TransferPort& port, const FoundDevice& device, FirstGeneration policy,
                          const TransferProgress& progress, const DeviceWork& work,
                          size_t index = 0, const FirstGenerationWarning& warn = {});

// One device of a side-by-side batch: `index` counts the devices from 0; `member` is the
// device's own port, which the work points at its device (Member::Serve) before it talks.
using FleetDeviceWork = std::function<void(FleetPort::Member& member, size_t index)>;

// Serves `count` devices in the order of their indices, up to `parallel` of them at once, each
// on a thread of its own through a member of one fleet over `port` (each reply reaching the
// transfer of the device it names). Before each next device starts, `keepGoing` (if given) is
// asked on the thread that would serve it, one thread at a time; once it says no, no device
// starts any more and those under way finish. Returns when they have: how many devices were
// started, indices 0 up to it.
size_t ServeSideBySide(TransferPort& port, size_t count, int parallel, const FleetDeviceWork& work,
                       const std::function<bool()>& keepGoing = {});

// A block for one device's transfers: zero, with the dictionary index, addressed to the device.
std::unique_ptr<DeviceParameterBlock> NewDeviceBlock(const FoundDevice& device);

// Everything a parameter file holds of a device: its parameters, its line texts (current
// firmware) and all its RS-485 entries, into a block made by NewDeviceBlock.
TransferResult ReadWholeDevice(DeviceTransfer& transfer, bool legacyLineText,
                               DeviceParameterBlock& block);

// Reads the whole device into the parameter file `path`; fails at "read" or "write".
void ReadIntoFile(const DeviceJob& job, const std::string& path, DeviceOutcome& outcome);

// Between two read-backs of a device that answered but does not hold what was sent yet, and
// between two reads of a device that does not answer while it restarts after a download.
constexpr std::chrono::milliseconds kVerifyRetryPause{2000};
constexpr std::chrono::milliseconds kRestartPoll{500};

// Reads the device back with `check` (which lists what differs) until nothing differs; a device
// that was downloaded restarts, so until `wait` is over it is asked again: every half second
// while it answers nothing (from the download on), every two seconds while it answers with
// other values. Sets verified, or fails the outcome at "verify".
void VerifyDevice(const DeviceJob& job, DeviceOutcome& outcome, std::chrono::milliseconds wait,
                  const std::function<TransferResult(std::vector<std::string>&)>& check);

// Lets `duration` pass, taking whatever arrives meanwhile.
void Idle(TransferPort& port, std::chrono::milliseconds duration);

}  // namespace quillon
