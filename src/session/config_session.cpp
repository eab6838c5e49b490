#include "session/config_session.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "device/device_rules.h"
#include "files/param_file.h"
#include "link/discovery.h"
#include "link/frame.h"
#include "params/dictionary.h"
#include "params/osd_wire.h"
#include "text/number_text.h"

namespace quillon {

namespace {

constexpr const char* kFirstGenerationWarning =
    "请使用老版（V1.X版本)"
    "配置软件进行配置\r\n此款软件不适用于此设备\r\n继续操作可能导致设备工作异常";

constexpr const char* kImportErrorText = "参数载入错误";
constexpr const char* kTransferRunningText = "正在传输参数，请等待本次传输结束后再操作";
constexpr const char* kExportErrorText = "参数文件写入失败";

// In the view's milliseconds: the pause before the line texts of a read are asked for, the
// pauses around a download's line-text frames, and how long the selected device has to answer a
// read request before the log says it did not.
constexpr int kCameraTextPauseMs = static_cast<int>(kCameraTextReadPause.count());
constexpr int kDownloadPauseMs = static_cast<int>(kTextFramePause.count());
constexpr int kReadReplyWaitMs = static_cast<int>(kReadReplyTimeout.count());
// How long after a download its acknowledgements are taken as answers to it.
constexpr auto kDownloadResultWindow = kDownloadResultTimeout;

// The major firmware version of a device-list row: the number before the '.' of "%02d.%02d"
// (so "100.01" is 100, not 10).
int MajorVersion(std::string_view version) {
  return ParseSignedDecimal(version.substr(0, version.find('.')));
}

void SetFlag(uint8_t& flag, uint8_t value) { std::atomic_ref<uint8_t>(flag).store(value); }

uint8_t GetFlag(uint8_t& flag) { return std::atomic_ref<uint8_t>(flag).load(); }

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  // Standard C++ on every system (localtime_r is POSIX only); nothing else in the program asks
  // for the local time, so its shared result is not overwritten under us.
  const std::tm* local = std::localtime(&now);
  return local != nullptr ? *local : std::tm{};
}

}  // namespace

ConfigSession::ConfigSession(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier)
    : block_(block),
      link_(link),
      notifier_(notifier),
      localClock_(LocalNow),
      worker_(
          block, flags_, modelMutex_, dictRequest_,
          [this](const uint8_t* bytes, uint16_t length) { link_.SendFrame(bytes, length); },
          [this](std::string_view text) {
            AppendLog(text);
            View().RequestLogRefresh();
          },
          notifier) {}

ConfigSession::~ConfigSession() { StopWorker(); }

void ConfigSession::StartWorker() { worker_.Start(); }

void ConfigSession::StopWorker() { worker_.Stop(); }

void ConfigSession::InitModel() {
  std::lock_guard lock(modelMutex_);
  ClearBlock(block_);
  BuildDictionaryIndex(block_.modbus);
  SetFlag(flags_.b485Read, 0);
  SetFlag(flags_.bParamsRead, 0);
}

void ConfigSession::AppendLog(std::string_view text) {
  std::lock_guard lock(logMutex_);
  log_.append(text);
}

void ConfigSession::RefreshLog() { View().ShowLogText(LogText()); }

void ConfigSession::ClearLog() {
  {
    std::lock_guard lock(logMutex_);
    log_.clear();
  }
  RefreshLog();
}

std::string ConfigSession::LogText() const {
  std::lock_guard lock(logMutex_);
  return log_;
}

void ConfigSession::OnSearch() {
  if (RefusedForBatch()) return;
  found_.clear();
  searchStarted_ = std::chrono::system_clock::now();
  ClearLog();
  AppendLog("搜索...\r\n");
  link_.RefreshEndpoints();
  const Bytes request = BuildSearchRequest();
  link_.SendFrame(request.data(), static_cast<uint16_t>(request.size()));
  View().ClearDeviceList();
  RefreshLog();
}

void ConfigSession::OnDeviceDoubleClicked() {
  if (RefusedForBatch()) return;
  const std::optional<DeviceRow> row = View().SelectedDeviceRow();
  if (!row) return;

  const bool legacy = MajorVersion(row->version) < kFirstDictionaryMajor;
  uint8_t mac[6];
  ParseMacText(row->mac, mac);
  {
    std::lock_guard lock(modelMutex_);
    block_.bLegacyLineText = legacy ? 1 : 0;
    std::memcpy(block_.abySelectedMac, mac, sizeof mac);
  }
  // What was read belongs to the previous device: until this one answers, a download would
  // give it the other device's settings.
  SetFlag(flags_.bParamsRead, 0);
  const uint32_t request = ++readRequests_;
  const Bytes frame = BuildReadRequest(mac);

  ClearLog();
  AppendLog("读取参数...\r\n");
  link_.SendFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  RefreshLog();
  View().CallLater(kReadReplyWaitMs, [this, request] { OnReadTimeout(request); });

  if (!legacy) {
    // Current firmware sends the line texts as dictionary entries; the worker fetches them,
    // starting over for this device.
    View().PauseMs(kCameraTextPauseMs);
    worker_.RequestCameraTexts();
  }
}

void ConfigSession::OnReadTimeout(uint32_t request) {
  // Only the latest request counts, and only while its reply is still missing.
  if (request != readRequests_ || GetFlag(flags_.bParamsRead)) return;
  AppendLog("读取参数失败\r\n");
  RefreshLog();
}

void ConfigSession::OnDownload() {
  if (RefusedForBatch()) return;
  if (!GetFlag(flags_.bParamsRead)) {
    notifier_.ShowBox("提示", "请先双击设备列表读取参数", BoxIcon::Exclamation);
    return;
  }
  Bytes frame;
  uint8_t mac[6];
  bool legacy;
  std::optional<RefusedList> refused;
  {
    std::lock_guard lock(modelMutex_);
    refused = NetPageToParams();
    std::memcpy(mac, block_.abySelectedMac, sizeof mac);
    legacy = block_.bLegacyLineText != 0;
    if (!refused) frame = BuildDownloadFrame(block_.osd, mac, legacy);
  }
  if (!Stored(refused)) return;
  link_.SendFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  downloadSent_ = now_();
  ClearLog();
  AppendLog("设置参数... \r\n");
  RefreshLog();

  if (!legacy) {
    View().PauseMs(kDownloadPauseMs);
    for (int camera = 0; camera < 4; ++camera) {
      uint8_t payload[kDictFrameBufferSize];
      size_t length;
      {
        std::lock_guard lock(modelMutex_);
        length = BuildCameraTextWritePayload(block_, camera, payload);
      }
      const Bytes textFrame = BuildRequestFrame(CMD_DICTIONARY, mac, payload, length);
      link_.SendFrame(textFrame.data(), static_cast<uint16_t>(textFrame.size()));
      char line[64];
      std::snprintf(line, sizeof line, "正在下载摄像头%d参数...\r\n", camera + 1);
      AppendLog(line);
      RefreshLog();
      View().PauseMs(kDownloadPauseMs);
    }
  }
  AppendLog("设置完成\r\n");
  RefreshLog();
}

void ConfigSession::OnRs485Read() {
  if (RefusedForBatch()) return;
  if (!GetFlag(flags_.bParamsRead)) {
    notifier_.ShowBox("提示", "请先双击设备列表读取参数", BoxIcon::Exclamation);
    return;
  }
  // A second read would join the running transfer, whichever device it was for.
  if (RefusedForTransfer()) return;
  // Until every entry has come, the block holds a mix of this device's values and earlier ones.
  SetFlag(flags_.b485Read, 0);
  {
    std::lock_guard lock(modelMutex_);
    std::memcpy(rs485ReadMac_.data(), block_.abySelectedMac, rs485ReadMac_.size());
  }
  ClearLog();
  // The page is not stored first: every reply refills it from the device's values.
  MarkAllEntries(block_.modbus.abyDictRead);
}

void ConfigSession::OnRs485Download() {
  if (RefusedForBatch()) return;
  if (!GetFlag(flags_.b485Read)) {
    notifier_.ShowBox("提示", "请先读取485参数后下载", BoxIcon::Exclamation);
    return;
  }
  // The worker sends writes first: every entry not yet read back would get the page's old value.
  if (RefusedForTransfer()) return;
  if (!ConfirmRs485Target()) return;
  std::optional<RefusedList> refused;
  Rs485Origin target{Rs485Origin::Kind::Device, {}, {}};
  {
    std::lock_guard lock(modelMutex_);
    refused = Rs485PageToParams();
    std::memcpy(target.mac.data(), block_.abySelectedMac, target.mac.size());
  }
  if (!Stored(refused)) return;
  rs485Origin_ = target;
  ClearLog();
  MarkAllEntries(block_.modbus.abyDictWrite);
}

void ConfigSession::NetParamsToPage() {
  {
    std::lock_guard lock(modelMutex_);
    forms_.net.Fill(block_.osd);
  }
  View().ShowNetForm(forms_.net);
}

void ConfigSession::Rs485ParamsToPage() {
  {
    std::lock_guard lock(modelMutex_);
    forms_.rs485.Fill(block_.modbus);
  }
  View().ShowRs485Form(forms_.rs485);
}

std::optional<RefusedList> ConfigSession::NetPageToParams() {
  View().ReadNetForm(forms_.net);
  return forms_.net.Store(block_.osd);
}

std::optional<RefusedList> ConfigSession::Rs485PageToParams() {
  View().ReadRs485Form(forms_.rs485);
  return forms_.rs485.Store(block_.modbus);
}

void ConfigSession::OnSlotChanged(int index) {
  View().ReadRs485Form(forms_.rs485);
  std::optional<RefusedList> refused;
  {
    std::lock_guard lock(modelMutex_);
    refused = forms_.rs485.ChangeSlot(index, block_.modbus);
  }
  View().ShowRs485Form(forms_.rs485);
  if (refused) OnListRefused(*refused);
}

void ConfigSession::OnRemoteAdjust() {
  {
    std::lock_guard lock(modelMutex_);
    forms_.gear.Fill(block_.modbus, forms_.rs485.CurrentSlot());
  }
  if (!View().RunGearDialog(forms_.gear)) return;
  std::lock_guard lock(modelMutex_);
  forms_.gear.Store(block_.modbus);
}

void ConfigSession::OnListRefused(const RefusedList& list) {
  notifier_.ShowBox("提示", list.name + "：“" + list.text + "”不是列表中的选项，请从列表中选择",
                    BoxIcon::Exclamation);
}

bool ConfigSession::Stored(const std::optional<RefusedList>& refused) {
  if (refused) OnListRefused(*refused);
  return !refused;
}

bool ConfigSession::RefusedForBatch() {
  if (batchRunning_) notifier_.ShowBox("提示", kTransferRunningText, BoxIcon::Exclamation);
  return batchRunning_;
}

bool ConfigSession::RefusedForTransfer() {
  bool running = batchRunning_;
  {
    std::lock_guard lock(modelMutex_);
    running = running || CountPendingWrites(block_.modbus) != 0 ||
              CountPendingReads(block_.modbus) != 0 || GetFlag(flags_.bCameraTextRequest) != 0;
  }
  if (running) notifier_.ShowBox("提示", kTransferRunningText, BoxIcon::Exclamation);
  return running;
}

bool ConfigSession::ConfirmRs485Target() {
  std::string selected;
  {
    std::lock_guard lock(modelMutex_);
    if (rs485Origin_.kind == Rs485Origin::Kind::Device &&
        std::memcmp(rs485Origin_.mac.data(), block_.abySelectedMac, rs485Origin_.mac.size()) == 0)
      return true;
    selected = FormatMac(block_.abySelectedMac);
  }
  const std::string from = rs485Origin_.kind == Rs485Origin::Kind::File
                               ? "参数文件 " + rs485Origin_.file
                               : "设备 " + FormatMac(rs485Origin_.mac.data());
  return notifier_.AskYesNo("提示",
                            "页面上的485参数来自" + from + "，当前选中的是设备 " + selected +
                                "。\r\n是否将这些485参数下载到设备 " + selected + "？",
                            BoxIcon::Exclamation);
}

void ConfigSession::MarkAllEntries(uint8_t (&marks)[kDictCapacity]) {
  std::lock_guard lock(modelMutex_);
  worker_.BeginTransfer(block_.abySelectedMac);
  const int count = std::min<int>(block_.modbus.wDictCount, kDictCapacity);
  for (int i = 0; i < count; ++i) SetFlag(marks[i], 1);
}

void ConfigSession::OnExportParams() {
  const std::string defaultName = DefaultParamFileName(localClock_());
  // The block is brought up to date before the dialog opens, so also when the user cancels.
  std::optional<RefusedList> refused;
  {
    std::lock_guard lock(modelMutex_);
    refused = Rs485PageToParams();
    if (!refused) refused = NetPageToParams();
  }
  if (!Stored(refused)) return;
  const std::optional<std::string> chosen = View().ChooseExportFile(defaultName);
  if (!chosen) return;
  // A name without an extension gets ".ini"; a file that no import would take is not written.
  const std::optional<std::string> path = ExportFileName(*chosen);
  const ParamImages images = [this] {
    std::lock_guard lock(modelMutex_);
    return TakeImages(block_);
  }();
  if (!path || !ExportParamFile(*path, images))
    notifier_.ShowBox(kProgramName, kExportErrorText, BoxIcon::None);
}

bool ConfigSession::ParamsRead() { return GetFlag(flags_.bParamsRead) != 0; }

std::optional<ParamImages> ConfigSession::PageImages() {
  std::optional<RefusedList> refused;
  {
    std::lock_guard lock(modelMutex_);
    refused = Rs485PageToParams();
    if (!refused) refused = NetPageToParams();
  }
  if (!Stored(refused)) return std::nullopt;
  std::lock_guard lock(modelMutex_);
  return TakeImages(block_);
}

void ConfigSession::OnImportParams() {
  // A block replaced half-way through a transfer would reach the device as a mix of both.
  if (RefusedForTransfer()) return;
  const std::optional<std::string> path = View().ChooseImportFile();
  if (!path || !HasParamFileExtension(*path)) return;
  // Decoded apart from the block: a file that fails a check changes nothing.
  const std::optional<ParamImages> images = ImportParamFile(*path);
  if (!images) {
    notifier_.ShowBox(kProgramName, kImportErrorText, BoxIcon::None);
    return;
  }
  {
    std::lock_guard lock(modelMutex_);
    ApplyImportedImages(block_, *images);
  }
  rs485Origin_ = {Rs485Origin::Kind::File, {}, *path};
  NetParamsToPage();
  Rs485ParamsToPage();
}

void ConfigSession::OnFrameReceived(std::span<const uint8_t> datagram, ReceiveTime received) {
  if (datagram.size() > kMaxDatagram) return;
  // This handler's own copy: a box opened below lets further frames be dispatched meanwhile.
  const Bytes frame(datagram.begin(), datagram.end());
  if (!IsAcceptableReply(frame)) return;

  bool accepted = true;
  switch (frame[3]) {
    case CMD_SEARCH:
      // A reply that reached the PC before the latest search was pressed answers an earlier
      // one: it waited in a queue while the list was emptied, and would list its device twice.
      accepted = !(searchStarted_ && received < *searchStarted_) && OnSearchReply(frame);
      break;
    case CMD_READ_PARAMS:
      accepted = OnReadReply(frame);
      break;
    case CMD_DOWNLOAD_PARAMS:
      accepted = OnDownloadResult(frame);
      break;
    case CMD_DICTIONARY:
      accepted = OnDictionaryReply(frame);
      break;
    default:
      break;  // accepted, but no command of ours
  }
  if (accepted) RefreshLog();
}

bool ConfigSession::OnSearchReply(std::span<const uint8_t> frame) {
  const std::optional<DeviceRecord> record = ParseSearchReply(frame);
  if (!record) return false;
  View().InsertDeviceRow(
      {record->IpText(), record->name, record->MacText(), record->VersionText()});
  // The batch takes each device once, as it answered last.
  std::erase_if(found_, [&](const DeviceRecord& d) { return d.MacText() == record->MacText(); });
  found_.insert(found_.begin(), *record);
  if (record->Major() < kFirstServedMajor)
    notifier_.ShowBox("警告", kFirstGenerationWarning, BoxIcon::None);
  AppendLog("搜索到设备\r\n");
  return true;
}

bool ConfigSession::OnReadReply(std::span<const uint8_t> frame) {
  if (frame.size() < kFramePayloadOffset) return false;
  {
    std::lock_guard lock(modelMutex_);
    if (std::memcmp(frame.data() + kFrameMacOffset, block_.abySelectedMac, 6) != 0) return false;
    // A reply shorter than its layout is dropped like any malformed frame.
    if (!MapReadReply(block_.osd, frame, block_.bLegacyLineText != 0)) return false;
  }
  NetParamsToPage();
  AppendLog("读取参数成功\r\n");
  RefreshLog();
  SetFlag(flags_.bParamsRead, 1);
  return true;
}

bool ConfigSession::OnDownloadResult(std::span<const uint8_t> frame) {
  // The result byte sits at offset 10, before the checksum.
  if (frame.size() < kFramePayloadOffset + 2) return false;
  // Only an answer to this program's own download counts: one that comes when none was sent
  // lately would report a success or a failure that nobody asked for.
  if (!downloadSent_ || now_() - *downloadSent_ > kDownloadResultWindow) return false;
  if (frame[kFramePayloadOffset] == 1) {
    AppendLog("下载参数成功\r\n");
  } else {
    AppendLog("下载参数失败\r\n");
    RefreshLog();  // let the user see the line while the box is up
    notifier_.ShowBox("警告", "下载参数失败", BoxIcon::Question);
  }
  return true;
}

bool ConfigSession::OnDictionaryReply(std::span<const uint8_t> frame) {
  if (frame.size() < kFrameOverhead) return false;
  DictionaryReplyResult result;
  int pendingReads;
  {
    std::lock_guard lock(modelMutex_);
    result = ParseDictionaryReply(block_, frame.data() + kFramePayloadOffset,
                                  frame.size() - kFrameOverhead, dictRequest_);
    pendingReads = CountPendingReads(block_.modbus);
  }
  // A reply that answers no outstanding request changes nothing at all.
  if (result.kind == DictionaryReplyResult::Kind::Ignored) return false;
  for (const std::string& line : result.logLines) AppendLog(line);
  if (result.kind == DictionaryReplyResult::Kind::ReadReply) {
    if (result.carriedCameraText) {
      NetParamsToPage();
    } else {
      Rs485ParamsToPage();
      // Download is allowed once every entry has come: a slot never read would go out as it
      // was before the read.
      if (pendingReads == 0) {
        SetFlag(flags_.b485Read, 1);
        rs485Origin_.kind = Rs485Origin::Kind::Device;
        rs485Origin_.mac = rs485ReadMac_;
      }
    }
  }
  return true;
}

}  // namespace quillon
