#include "window/batch_service.h"

#include <utility>

#include "device/device_apply.h"
#include "files/file_bytes.h"
#include "text/ipv4_text.h"

namespace quillon {

namespace {

// Parts of the form, as the engine counts them.
unsigned EngineParts(unsigned batchParts) {
  return (batchParts & kBatchNetwork ? kNetworkPart : 0u) |
         (batchParts & kBatchCameras ? kCamerasPart : 0u) |
         (batchParts & kBatchRs485 ? kRs485Part : 0u);
}

// The steps of an apply, as a row names the one that failed.
std::string StepText(const std::string& step) {
  if (step == "read") return "读取参数";
  if (step == "rs485") return "下载485参数";
  if (step == "download") return "下载参数";
  if (step == "verify") return "校验";
  return step;
}

// What a row shows of a device that was served: its state and, for a failure, the step and why.
std::pair<BatchState, std::string> RowOf(const DeviceOutcome& o) {
  if (o.ok) return {o.verified ? BatchState::Verified : BatchState::Succeeded, {}};
  if (o.failedStep == "verify" && o.status == TransferResult::Status::Done) {
    // "校验不一致 network.ip, camera2.line3.text": each field by its name, as the check lists it.
    std::string fields;
    for (const std::string& m : o.mismatches)
      fields += (fields.empty() ? " " : ", ") + m.substr(0, m.find(':'));
    return {BatchState::Failed, kBatchMismatch + fields};
  }
  switch (o.status) {
    case TransferResult::Status::NoReply:
      return {BatchState::Failed, StepText(o.failedStep) + kBatchNoReply};
    case TransferResult::Status::Refused:
      return {BatchState::Failed, StepText(o.failedStep) + kBatchRefused};
    case TransferResult::Status::SendFailed:
      return {BatchState::Failed, StepText(o.failedStep) + "发送失败"};
    case TransferResult::Status::Done:
      break;
  }
  return {BatchState::Failed, o.failedStep == "firmware" ? "不支持" : StepText(o.failedStep)};
}

}  // namespace

std::string PlanRefusalText(const PlanRefusal& r, std::span<const std::string> targets) {
  using enum PlanRefusal::Rule;
  const std::string address = Ipv4Text(r.address);
  const std::string meant =
      address + "（分配给 " + (r.target < targets.size() ? targets[r.target] : "") + "）";
  const SubnetRule& s = r.subnet;
  const std::string subnet = Ipv4Text(s.anchor & s.mask) + "/" + Ipv4Text(s.mask);
  switch (r.rule) {
    case PastTheEnd:
      return "从 " + Ipv4Text(r.first) + " 起的地址超出 255.255.255.255";
    case NoSubnetMask:
      return "子网掩码 " + Ipv4Text(s.mask) + " 不是可分配设备地址的子网掩码";
    case LeavesTheSubnet:
      return "地址 " + Ipv4Text(r.first) + " 至 " + Ipv4Text(r.last) + " 超出子网 " + subnet;
    case NetworkAddress:
      return meant + "是子网 " + subnet + " 的网络地址";
    case BroadcastAddress:
      return meant + "是子网 " + subnet + " 的广播地址";
    case Gateway:
      return meant + "是网关地址";
    case Held:
      return meant + "已被设备 " + r.holder.MacText() + " 占用";
  }
  return {};
}

WindowBatch::~WindowBatch() {
  keepGoing_ = false;
  Join();
}

void WindowBatch::Join() {
  if (thread_.joinable()) thread_.join();
}

void WindowBatch::Fill(BatchForm& form) {
  devices_ = session_.FoundDevices();
  std::vector<BatchDevice> rows;
  for (const DeviceRecord& d : devices_)
    rows.push_back({d.IpText(), d.name, d.MacText(), d.VersionText(), d.FirstGeneration()});
  form.Fill(std::move(rows));
}

bool WindowBatch::Take(const Datagram& datagram) {
  if (!running_) return false;
  port_.Deliver(datagram);
  return true;
}

bool WindowBatch::ParamFileLoads(const std::string& path) {
  return ImportParamFile(path).has_value();
}

bool WindowBatch::WriteFile(const std::string& path, const std::string& contents) {
  return ReplaceFileBytes(path, contents);
}

std::optional<ParamImages> WindowBatch::Source(const BatchForm& form) {
  if (form.fromPages) return session_.PageImages();
  return ImportParamFile(form.file);
}

WindowBatch::Plan WindowBatch::PlanFor(const BatchForm& form, const ParamImages& images) const {
  Plan plan;
  for (size_t i = 0; i < form.Rows().size() && i < devices_.size(); ++i) {
    if (!form.Rows()[i].checked) continue;
    plan.rows.push_back(i);
    plan.targets.push_back(devices_[i].MacText());
  }
  plan.count.addresses.assign(plan.targets.size(), std::nullopt);
  if (!form.network || plan.targets.empty()) return plan;
  const uint32_t own = Ipv4FromBytes(images.osd.abyIP);
  const std::optional<uint32_t> first = form.startIp == Ipv4Value{}
                                            ? std::nullopt
                                            : std::optional(Ipv4FromBytes(form.startIp.data()));
  if (first) {
    const SubnetRule rule{
        own, Ipv4FromBytes(images.osd.abyNetMask), Ipv4FromBytes(images.osd.abyGateway), {}};
    const std::vector<SubnetRule> rules(plan.targets.size(), rule);
    plan.count = CountAddresses(plan.targets, *first, rules, devices_);
    return plan;
  }
  // One device without a first address keeps what is sent, which no other device may hold (a
  // static address under DHCP is not in use).
  if (images.osd.byDHCP != 1)
    if (std::optional<DeviceRecord> holder = AddressHolder(own, plan.targets[0], devices_)) {
      quillon::PlanRefusal refusal;
      refusal.rule = quillon::PlanRefusal::Rule::Held;
      refusal.address = own;
      refusal.holder = std::move(*holder);
      plan.count.refusal = refusal;
      return plan;
    }
  plan.count.addresses[0] = own;
  return plan;
}

void WindowBatch::Start(const BatchForm& form, Report report, std::function<void()> done) {
  Join();  // an earlier batch has ended: its thread only remains to be joined
  // What the plan was checked against, read once; a start without a check reads it now.
  std::optional<ParamImages> images = std::exchange(checked_, std::nullopt);
  if (!images) images = Source(form);
  Plan plan;
  if (images) plan = PlanFor(form, *images);
  if (!images || plan.count.refusal) {
    // Checked a moment ago; nothing is sent when the source or the plan fail now.
    for (size_t row : plan.rows) report(row, BatchState::Failed, "参数载入错误");
    done();
    return;
  }
  std::vector<FoundDevice> devices;
  for (size_t row : plan.rows) devices.push_back({devices_[row], {}});
  ApplySettings settings;
  settings.parts = EngineParts(form.Parts());
  settings.verify = form.verify;
  settings.verifyWait = verifyWait;
  // Late replies of an earlier batch answer nothing of this one.
  while (port_.Receive(port_.Now())) {
  }
  keepGoing_ = true;
  running_ = true;
  thread_ = std::thread([this, file = *images, plan = std::move(plan), devices = std::move(devices),
                         settings, parallel = form.Parallel().value_or(1),
                         report = std::move(report), done = std::move(done)] {
    ServeSideBySide(
        port_, devices.size(), parallel,
        [&](FleetPort::Member& member, size_t i) {
          member.Serve(devices[i].record.mac);
          report(plan.rows[i], BatchState::Running, {});
          const DeviceOutcome outcome =
              ApplyToDevice(member, devices[i], file, settings, plan.count.addresses[i], {});
          auto [state, reason] = RowOf(outcome);
          report(plan.rows[i], state, std::move(reason));
        },
        [this] { return keepGoing_.load(); });
    running_ = false;
    done();
  });
}

std::optional<std::string> WindowBatch::PlanRefusal(const BatchForm& form) {
  checked_ = Source(form);
  if (!checked_) return std::string();  // the box was shown
  const Plan plan = PlanFor(form, *checked_);
  if (!plan.count.refusal) return std::nullopt;
  checked_.reset();
  return PlanRefusalText(*plan.count.refusal, plan.targets);
}

}  // namespace quillon
