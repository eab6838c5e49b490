// A batch (apply, set, backup) as the command line shows it: the loop over the devices with its
// progress, and the report as text, CSV or JSON.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "cli_text.h"
#include "command_support.h"
#include "device/device_batch.h"

namespace quillon::cli {

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
