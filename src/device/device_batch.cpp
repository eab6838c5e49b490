#include "device/device_batch.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "files/param_file.h"
#include "params/dictionary.h"

namespace quillon {

void DeviceOutcome::Fail(const char* step, const TransferResult& result) {
  failedStep = step;
  error = result.message;
  status = result.status;
}

DeviceOutcome ServeDevice(TransferPort& port, const FoundDevice& device, FirstGeneration policy,
                          const TransferProgress& progress, const DeviceWork& work, size_t index,
                          const FirstGenerationWarning& warn) {
  const TransferPort::Clock::time_point start = port.Now();
  DeviceOutcome outcome;
  outcome.mac = device.Mac();
  outcome.name = device.record.name;
  outcome.ip = device.record.IpText();
  outcome.version = device.record.VersionText();
  DeviceTransfer transfer(port, device.record.mac, device.LegacyLineText());
  transfer.SetProgress(progress);
  if (device.FirstGeneration() && policy == FirstGeneration::Refuse) {
    outcome.failedStep = "firmware";
    outcome.error = "first-generation firmware " + outcome.version +
                    " is not served (--force-first-generation serves it all the same)";
  } else {
    if (device.FirstGeneration() && policy == FirstGeneration::Warn && warn) warn(device);
    work({index, device, transfer, progress, port}, outcome);
  }
  outcome.ok = outcome.failedStep.empty();
  outcome.retries = transfer.Retries();
  outcome.notes.insert(outcome.notes.end(), transfer.Notes().begin(), transfer.Notes().end());
  outcome.time = std::chrono::duration_cast<std::chrono::milliseconds>(port.Now() - start);
  return outcome;
}

// `parallel` threads, each with a member of the fleet, take the next device until none is left
// or the batch is told to stop.
size_t ServeSideBySide(TransferPort& port, size_t count, int parallel, const FleetDeviceWork& work,
                       const std::function<bool()>& keepGoing) {
  std::mutex mutex;
  size_t next = 0;
  bool stopped = false;
  FleetPort fleet(port);
  std::vector<FleetPort::Member*> members;
  const size_t threads = std::min(static_cast<size_t>(std::max(parallel, 1)), count);
  for (size_t t = 0; t < threads; ++t) members.push_back(&fleet.Join());
  const auto serve = [&](FleetPort::Member& member) {
    for (;;) {
      size_t i = 0;
      {
        const std::lock_guard lock(mutex);
        if (!stopped && next < count && keepGoing && !keepGoing()) stopped = true;
        if (stopped || next == count) break;
        i = next++;
      }
      work(member, i);
    }
    fleet.Leave(member);
  };
  std::vector<std::thread> running;
  for (FleetPort::Member* member : members) running.emplace_back(serve, std::ref(*member));
  for (std::thread& thread : running) thread.join();
  return next;
}

std::unique_ptr<DeviceParameterBlock> NewDeviceBlock(const FoundDevice& device) {
  auto block = std::make_unique<DeviceParameterBlock>();
  ClearBlock(*block);
  BuildDictionaryIndex(block->modbus);
  std::memcpy(block->abySelectedMac, device.record.mac, 6);
  block->bLegacyLineText = device.LegacyLineText() ? 1 : 0;
  return block;
}

TransferResult ReadWholeDevice(DeviceTransfer& transfer, bool legacyLineText,
                               DeviceParameterBlock& block) {
  TransferResult result = transfer.ReadParams(block.osd);
  if (result.Ok() && !legacyLineText) result = transfer.ReadCameraTexts(block);
  if (result.Ok()) result = transfer.ReadRs485(block);
  return result;
}

void ReadIntoFile(const DeviceJob& job, const std::string& path, DeviceOutcome& outcome) {
  std::unique_ptr<DeviceParameterBlock> block = NewDeviceBlock(job.device);
  const TransferResult result = ReadWholeDevice(job.transfer, job.device.LegacyLineText(), *block);
  if (!result.Ok()) return outcome.Fail("read", result);
  if (!ExportParamFile(path, TakeImages(*block)))
    return outcome.Fail("write", {TransferResult::Status::Done, "cannot write " + path});
}

void VerifyDevice(const DeviceJob& job, DeviceOutcome& outcome, std::chrono::milliseconds wait,
                  const std::function<TransferResult(std::vector<std::string>&)>& check) {
  TransferPort& port = job.port;
  const TransferPort::Clock::time_point deadline = port.Now() + wait;
  // A device restarts after a download and answers nothing meanwhile: it is asked every half
  // second until it answers again, so that the check follows its return at once.
  if (outcome.downloaded)
    while (!job.transfer.AnswersRead(kRestartPoll) && port.Now() < deadline) {
    }
  for (;;) {
    if (job.progress) job.progress("checking", 0);
    outcome.mismatches.clear();
    const TransferResult result = check(outcome.mismatches);
    if (result.Ok() && outcome.mismatches.empty()) {
      outcome.verified = true;
      return;
    }
    // Only a device that restarts may come back with its old values, or none, for a while.
    bool again = outcome.downloaded && port.Now() < deadline;
    if (again && result.Ok()) {
      again = port.Now() + kVerifyRetryPause < deadline;
      if (again) Idle(port, kVerifyRetryPause);
    } else if (again) {
      while (!(again = job.transfer.AnswersRead(kRestartPoll)) && port.Now() < deadline) {
      }
    }
    if (again) continue;
    if (result.Ok()) {
      outcome.failedStep = "verify";
      outcome.error =
          std::to_string(outcome.mismatches.size()) + " field(s) differ from what was sent";
    } else {
      outcome.Fail("verify", result);
      outcome.error = "reading back: " + outcome.error;
      outcome.mismatches.clear();
    }
    return;
  }
}

void Idle(TransferPort& port, std::chrono::milliseconds duration) {
  const TransferPort::Clock::time_point until = port.Now() + duration;
  while (port.Receive(until)) {
  }
}

}  // namespace quillon
