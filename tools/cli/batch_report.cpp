#include "batch_report.h"

#include <algorithm>
#include <mutex>
#include <string_view>

namespace quillon::cli {

namespace {

std::string FinishText(const Batch& batch, const DeviceOutcome& outcome) {
  return outcome.ok ? batch.finished : "FAILED: " + outcome.failedStep + ": " + outcome.error;
}

DeviceOutcome NotFound(const Batch& batch, const std::string& mac) {
  DeviceOutcome outcome;
  outcome.mac = mac;
  outcome.failedStep = "search";
  outcome.error = batch.notFound;
  return outcome;
}

// One device after the other, each step of each device on the progress line.
std::vector<DeviceOutcome> ServeInTurn(TransferPort& port, const std::vector<std::string>& targets,
                                       const std::vector<FoundDevice>& found, const Batch& batch,
                                       std::FILE* err, const DeviceServer& serve) {
  ProgressLine progress(err, !batch.quiet);
  std::vector<DeviceOutcome> outcomes;
  for (size_t i = 0; i < targets.size(); ++i) {
    progress.Device(static_cast<int>(i + 1), static_cast<int>(targets.size()), targets[i]);
    DeviceOutcome outcome = NotFound(batch, targets[i]);
    if (const FoundDevice* device = FindDevice(found, targets[i]))
      outcome = serve(
          port, *device, [&](std::string_view step, int percent) { progress.Step(step, percent); },
          i);
    progress.Finish(FinishText(batch, outcome));
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

// Side by side: a device's line comes when it is done, with how many are done, in flight and
// failed.
std::vector<DeviceOutcome> ServeTogether(TransferPort& port,
                                         const std::vector<std::string>& targets,
                                         const std::vector<FoundDevice>& found, const Batch& batch,
                                         std::FILE* err, const DeviceServer& serve) {
  std::vector<DeviceOutcome> outcomes(targets.size());
  ProgressLine progress(err, !batch.quiet);
  std::mutex progressMutex;
  size_t done = 0, inFlight = 0, failed = 0;
  const auto count = static_cast<int>(targets.size());
  const TransferProgress noSteps;
  quillon::ServeSideBySide(
      port, targets.size(), batch.parallel, [&](FleetPort::Member& member, size_t i) {
        {
          const std::lock_guard lock(progressMutex);
          ++inFlight;
        }
        DeviceOutcome outcome = NotFound(batch, targets[i]);
        if (const FoundDevice* device = FindDevice(found, targets[i])) {
          member.Serve(device->record.mac);
          outcome = serve(member, *device, noSteps, i);
        }
        const std::lock_guard lock(progressMutex);
        --inFlight;
        ++done;
        if (!outcome.ok) ++failed;
        progress.Device(static_cast<int>(done), count, targets[i]);
        progress.Finish(FinishText(batch, outcome) + " (" + std::to_string(done) + " done, " +
                        std::to_string(inFlight) + " in flight, " + std::to_string(failed) +
                        " failed)");
        outcomes[i] = std::move(outcome);
      });
  return outcomes;
}

}  // namespace

std::vector<DeviceOutcome> ServeBatch(TransferPort& port, const std::vector<std::string>& targets,
                                      const std::vector<FoundDevice>& found, const Batch& batch,
                                      std::FILE* err, const DeviceServer& serve) {
  if (batch.parallel <= 1 || targets.size() <= 1)
    return ServeInTurn(port, targets, found, batch, err, serve);
  return ServeTogether(port, targets, found, batch, err, serve);
}

std::vector<DeviceOutcome> ServeBatch(TransferPort& port, const std::vector<std::string>& targets,
                                      const std::vector<FoundDevice>& found, const Batch& batch,
                                      std::FILE* err, const DeviceWork& work) {
  return ServeBatch(port, targets, found, batch, err,
                    [&](TransferPort& devicePort, const FoundDevice& device,
                        const TransferProgress& progress, size_t index) {
                      return ServeDevice(devicePort, device, batch.policy, progress, work, index,
                                         [err](const FoundDevice& first) {
                                           if (err) WarnFirstGeneration(first, err);
                                         });
                    });
}

int BatchStatus(const std::vector<DeviceOutcome>& outcomes) {
  for (const DeviceOutcome& outcome : outcomes)
    if (!outcome.ok) return kExitDeviceFailed;
  return kExitOk;
}

std::string WriteReport(const std::vector<DeviceOutcome>& outcomes, const ReportStyle& style,
                        OutputFormat format) {
  std::vector<std::string> failedMacs;
  for (const DeviceOutcome& o : outcomes)
    if (!o.ok) failedMacs.push_back(o.mac);
  const size_t failed = failedMacs.size();
  std::string out;
  switch (format) {
    case OutputFormat::Json: {
      Json json = style.head;
      json["devices"] = Json::array();
      for (const DeviceOutcome& o : outcomes) json["devices"].push_back(style.json(o));
      json["succeeded"] = outcomes.size() - failed;
      json["failed"] = failed;
      return JsonText(json);
    }
    case OutputFormat::Csv:
      out = "mac,ip,name,version,file,error\n";
      for (const DeviceOutcome& o : outcomes)
        out += o.mac + "," + o.ip + "," + CsvField(o.name) + "," + o.version + "," + o.file + "," +
               CsvField(o.ok ? "" : o.failedStep + ": " + o.error) + "\n";
      return out;
    case OutputFormat::Text:
      break;
  }
  for (const DeviceOutcome& o : outcomes) {
    out += o.mac + (o.ok ? "  ok      " : "  FAILED  ") +
           (o.ok ? "" : o.failedStep + ": " + o.error) + style.line(o) + "\n";
    const size_t shown = std::min(o.mismatches.size(), style.mismatchLines);
    for (size_t i = 0; i < shown; ++i) out += "    " + PrintableText(o.mismatches[i]) + "\n";
    if (o.mismatches.size() > shown)
      out += "    ... and " + std::to_string(o.mismatches.size() - shown) + " more\n";
    for (size_t i = 0; style.notes && i < o.notes.size(); ++i)
      out += "    " + PrintableText(o.notes[i]) + "\n";
  }
  out += std::to_string(outcomes.size() - failed) + " of " + std::to_string(outcomes.size()) +
         " device(s) " + style.summary;
  return out + (style.namesFailed && failed ? "; failed: " + Joined(failedMacs) + "\n" : "\n");
}

std::string Seconds(std::chrono::milliseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(time.count()) / 1000);
  return text;
}

Json TextOrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

Json TransferJson(const DeviceOutcome& o, const Json& own) {
  Json json = {{"mac", o.mac},
               {"name", o.name},
               {"ip", TextOrNull(o.ip)},
               {"version", TextOrNull(o.version)},
               {"ok", o.ok},
               {"failed_step", TextOrNull(o.failedStep)},
               {"error", TextOrNull(o.error)}};
  json.update(own);
  json.update(Json{{"verified", o.verified},
                   {"mismatches", o.mismatches},
                   {"notes", o.notes},
                   {"retries", o.retries},
                   {"seconds", static_cast<double>(o.time.count()) / 1000}});
  return json;
}

}  // namespace quillon::cli
