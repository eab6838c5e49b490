// One way to serve the devices of a batch (apply, set, backup): the outcome of each device, the
// refusal of first-generation firmware, the loop over the devices with its progress, the check
// that reads a device back until it holds what was sent, and the report as text, CSV or JSON.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "cli_text.h"
#include "command_support.h"
#include "device/device_transfer.h"

namespace quillon::cli {

// What serving one device came to. Each command fills what it does.
struct DeviceOutcome {
  std::string mac;
  std::string name;  // UTF-8, as the device gives it
  std::string ip;    // as the search saw it
  std::string version;
  bool ok = false;
  std::string failedStep;  // search, firmware, read, rs485, download, verify, write
  std::string error;
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

  // Ends the device's work at `step` with the result's message.
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

// Serves one device: refuses first-generation firmware (or warns on `err`), then does the work
// on a transfer of its own, timed, with the transfer's retries and notes in the outcome.
DeviceOutcome ServeDevice(TransferPort& port, const FoundDevice& device, FirstGeneration policy,
                          const TransferProgress& progress, const DeviceWork& work,
                          std::FILE* err = nullptr, size_t index = 0);

struct Batch {
  FirstGeneration policy;  // for a DeviceWork; a DeviceServer keeps its own
  std::string notFound;    // the error of a device that did not answer the search
  const char* finished;    // the progress line of a device that is done
  bool quiet;              // no progress
  int parallel = 1;        // how many devices are served at once at the most
};

// Serves `targets`, up to `batch.parallel` of them side by side (each reply reaching the
// transfer of the device it names), with progress on `err`. The outcomes stand in the order of
// the targets, whatever the order in which the devices finish.
std::vector<DeviceOutcome> ServeBatch(TransferPort& port, const std::vector<std::string>& targets,
                                      const std::vector<FoundDevice>& found, const Batch& batch,
                                      std::FILE* err, const DeviceWork& work);

// Serves one device of a batch on its own port (as ServeDevice does, or a command's own way to
// serve a device alone), with the progress of its steps; `index` is its place among the targets.
using DeviceServer = std::function<DeviceOutcome(TransferPort& port, const FoundDevice& device,
                                                 const TransferProgress& progress, size_t index)>;
// ServeBatch with each device served by `serve`.
std::vector<DeviceOutcome> ServeBatch(TransferPort& port, const std::vector<std::string>& targets,
                                      const std::vector<FoundDevice>& found, const Batch& batch,
                                      std::FILE* err, const DeviceServer& serve);

// The exit status of a batch: kExitDeviceFailed when any device failed.
int BatchStatus(const std::vector<DeviceOutcome>& outcomes);

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

// How a command words its report.
struct ReportStyle {
  // What follows "MAC  ok      " or "MAC  FAILED  " on a device's line (without its end).
  std::function<std::string(const DeviceOutcome&)> line;
  // A device of the JSON report.
  std::function<Json(const DeviceOutcome&)> json;
  Json head = Json::object();       // the JSON report's keys before "devices"
  const char* summary = "done";     // "2 of 3 device(s) done"
  bool namesFailed = true;          // "; failed: MAC, MAC" after the summary
  size_t mismatchLines = SIZE_MAX;  // mismatches listed under a device's line
  bool notes = false;               // notes listed under a device's line, after them
};

// The report of a batch: a line per device and a summary, or JSON, or CSV (mac, ip, name,
// version, file, error).
std::string WriteReport(const std::vector<DeviceOutcome>& outcomes, const ReportStyle& style,
                        OutputFormat format);

// "1.5 s", as a report gives the time a device took.
std::string Seconds(std::chrono::milliseconds time);
// A text for JSON, null when empty.
Json TextOrNull(const std::string& text);
// A device of the JSON report of apply or set: mac, name, ip, version, ok, failed_step, error,
// the keys of `own`, then verified, mismatches, notes, retries, seconds.
Json TransferJson(const DeviceOutcome& o, const Json& own);

}  // namespace quillon::cli
