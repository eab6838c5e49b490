#include "batch_apply.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "apply_plan.h"
#include "cli_text.h"
#include "command_support.h"
#include "link/broadcast_port.h"
#include "params/dictionary.h"

namespace quillon::cli {

namespace {

using Clock = TransferPort::Clock;

// Mismatches listed one by one in a text report; the JSON report lists them all.
constexpr size_t kMismatchLines = 20;

void Fail(DeviceReport& report, const char* step, const TransferResult& result) {
  report.failedStep = step;
  report.error = result.message;
}

// Reads back what the chosen parts cover into `back`.
TransferResult ReadBack(DeviceTransfer& transfer, DeviceParameterBlock& back, unsigned parts,
                        bool legacy) {
  TransferResult result = transfer.ReadParams(back.osd);
  if (result.Ok() && (parts & kCamerasPart) && !legacy) result = transfer.ReadCameraTexts(back);
  if (result.Ok() && (parts & kRs485Part)) result = transfer.ReadRs485(back);
  return result;
}

std::string Seconds(std::chrono::milliseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(time.count()) / 1000);
  return text;
}

std::vector<std::string> PartNames(unsigned parts) {
  std::vector<std::string> names;
  if (parts & kNetworkPart) names.push_back("network");
  if (parts & kCamerasPart) names.push_back("cameras");
  if (parts & kRs485Part) names.push_back("rs485");
  return names;
}

std::string TextLine(const DeviceReport& r, const ApplySettings& settings) {
  std::string line = r.mac + "  " + (r.ok ? "ok    " : "FAILED") + "  ";
  if (!r.ok) {
    line += r.failedStep + ": " + r.error;
    if (r.written) line += " (written before: " + PartsText(r.written) + ")";
    return line + "\n";
  }
  line += (r.ip.empty() ? "" : r.ip + ": ") + PartsText(r.written) + " written";
  if (r.staticIp) line += ", static IP " + Ipv4Text(*r.staticIp);
  if (settings.verify) line += "; verified";
  return line + " (" + Seconds(r.time) + ")\n";
}

Json JsonDevice(const DeviceReport& r) {
  auto text = [](const std::string& s) { return s.empty() ? Json() : Json(s); };
  return {{"mac", r.mac},
          {"name", r.name},
          {"ip", text(r.ip)},
          {"version", text(r.version)},
          {"ok", r.ok},
          {"failed_step", text(r.failedStep)},
          {"error", text(r.error)},
          {"written", PartNames(r.written)},
          {"static_ip", r.staticIp ? Json(Ipv4Text(*r.staticIp)) : Json()},
          {"rs485_entries", r.rs485Entries},
          {"line_text_frames", r.lineTextFrames},
          {"line_text_frames_acknowledged", r.lineTextFramesAcknowledged},
          {"verified", r.verified},
          {"mismatches", r.mismatches},
          {"notes", r.notes},
          {"retries", r.retries},
          {"seconds", static_cast<double>(r.time.count()) / 1000}};
}

}  // namespace

std::unique_ptr<DeviceParameterBlock> NewDeviceBlock(const FoundDevice& device) {
  auto block = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*block);
  BuildDictionaryIndex(block->modbus);
  std::memcpy(block->abySelectedMac, device.record.mac, 6);
  block->bLegacyLineText = device.LegacyLineText() ? 1 : 0;
  return block;
}

DeviceReport NotFoundReport(const std::string& mac, std::chrono::milliseconds wait) {
  DeviceReport report;
  report.mac = mac;
  report.failedStep = "search";
  report.error = "no reply to the search within " + Seconds(wait);
  return report;
}

DeviceReport ApplyToDevice(TransferPort& port, const FoundDevice& device, const ParamImages& file,
                           const ApplySettings& settings, std::optional<uint32_t> staticIp,
                           const TransferProgress& progress) {
  const Clock::time_point start = port.Now();
  DeviceReport report;
  report.mac = device.Mac();
  report.name = device.record.name;
  report.ip = device.record.IpText();
  report.version = device.record.VersionText();
  const bool legacy = device.LegacyLineText();
  const unsigned parts = settings.parts;
  const bool download = (parts & (kNetworkPart | kCamerasPart)) != 0;

  DeviceTransfer transfer(port, device.record.mac, legacy);
  transfer.SetProgress(progress);
  auto finish = [&]() -> DeviceReport {
    report.retries = transfer.Retries();
    report.notes = transfer.Notes();
    report.devicePauses = transfer.DevicePauses();
    report.time = std::chrono::duration_cast<std::chrono::milliseconds>(port.Now() - start);
    return report;
  };

  if (device.FirstGeneration() && !settings.forceFirstGeneration) {
    report.failedStep = "firmware";
    report.error = "first-generation firmware " + report.version +
                   " is not served (--force-first-generation serves it all the same)";
    return finish();
  }

  // What the device holds now: the parts that are not applied go back to it unchanged.
  std::unique_ptr<DeviceParameterBlock> block = NewDeviceBlock(device);
  TransferResult result = transfer.ReadParams(block->osd);
  if (result.Ok() && download && !legacy) result = transfer.ReadCameraTexts(*block);
  if (!result.Ok()) {
    Fail(report, "read", result);
    return finish();
  }

  ApplyParts(file, parts, *block);
  if ((parts & kNetworkPart) && staticIp) SetStaticIp(block->osd, *staticIp);

  // The RS-485 entries first: the download restarts the device.
  if (parts & kRs485Part) {
    result = transfer.WriteRs485(*block);
    if (!result.Ok()) {
      Fail(report, "rs485", result);
      return finish();
    }
    report.written |= kRs485Part;
    report.rs485Entries = block->modbus.wDictCount;
  }
  if (download) {
    const int acknowledgedBefore = transfer.TextFramesAcknowledged();
    result = transfer.Download(*block);
    report.lineTextFrames = transfer.TextFramesSent();
    report.lineTextFramesAcknowledged = transfer.TextFramesAcknowledged() - acknowledgedBefore;
    if (!result.Ok()) {
      Fail(report, "download", result);
      return finish();
    }
    report.written |= parts & (kNetworkPart | kCamerasPart);
    if (parts & kNetworkPart) report.staticIp = StaticIp(block->osd);
  }

  if (settings.verify) {
    // After the download the device restarts: until it is back it may not answer, or answer
    // with what it held before. It is asked again until the wait is over.
    const Clock::time_point deadline = port.Now() + settings.verifyWait;
    for (;;) {
      std::unique_ptr<DeviceParameterBlock> back = NewDeviceBlock(device);
      if (progress) progress("checking", 0);
      result = ReadBack(transfer, *back, parts, legacy);
      if (result.Ok()) {
        report.mismatches = CompareApplied(*block, *back, parts, legacy);
        if (report.mismatches.empty()) {
          report.verified = true;
          break;
        }
      }
      if (!download || port.Now() + kVerifyRetryPause >= deadline) {
        if (result.Ok()) {
          report.failedStep = "verify";
          report.error =
              std::to_string(report.mismatches.size()) + " field(s) differ from what was sent";
        } else {
          Fail(report, "verify", result);
          report.error = "reading back: " + report.error;
          report.mismatches.clear();
        }
        return finish();
      }
      Idle(port, kVerifyRetryPause);
    }
  }
  report.ok = true;
  return finish();
}

std::string FormatReports(const std::vector<DeviceReport>& reports, const std::string& file,
                          const ApplySettings& settings, OutputFormat format) {
  int failed = 0;
  std::string failedMacs;
  for (const DeviceReport& r : reports) {
    if (r.ok) continue;
    ++failed;
    failedMacs += (failedMacs.empty() ? "" : ", ") + r.mac;
  }
  std::string out;
  if (format == OutputFormat::Json) {
    Json devices = Json::array();
    for (const DeviceReport& r : reports) devices.push_back(JsonDevice(r));
    return JsonText({{"file", file},
                     {"parts", PartNames(settings.parts)},
                     {"verify", settings.verify},
                     {"devices", devices},
                     {"succeeded", reports.size() - failed},
                     {"failed", failed}});
  }
  for (const DeviceReport& r : reports) {
    out += TextLine(r, settings);
    for (size_t i = 0; i < r.mismatches.size() && i < kMismatchLines; ++i)
      out += "    " + PrintableText(r.mismatches[i]) + "\n";
    if (r.mismatches.size() > kMismatchLines)
      out += "    ... and " + std::to_string(r.mismatches.size() - kMismatchLines) + " more\n";
  }
  out += std::to_string(reports.size() - failed) + " of " + std::to_string(reports.size()) +
         " device(s) done";
  out += failed ? "; failed: " + failedMacs + "\n" : "\n";
  return out;
}

}  // namespace quillon::cli
