// The batch dialog ("批量配置") as plain values: every device of the device list with a check
// and a state each, what is sent (the pages or a parameter file) and which parts of it, the first
// static address, the read-back check and how many devices are served at once. It knows which
// controls may be used, what refuses a start, what each row and the line under the list say, and
// the list as a CSV file. Serving the devices is not its business: whoever runs the batch tells it
// how each device fares.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "forms/form_fields.h"

namespace quillon {

// A device as the device list shows it; `firstGeneration` devices cannot be served.
struct BatchDevice {
  std::string ip;
  std::string name;  // UTF-8
  std::string mac;
  std::string version;
  bool firstGeneration = false;
};

enum class BatchState {
  Idle,         // not part of the batch (yet)
  Unsupported,  // first-generation firmware: never checked
  Waiting,
  Running,
  Succeeded,
  Verified,  // succeeded and read back the same
  Failed,
};

struct BatchRow {
  BatchDevice device;
  bool checked = false;
  BatchState state = BatchState::Idle;
  std::string reason;  // a failure's: the step that failed, and for a check the fields
};

// The parts of the parameters a batch sends.
enum BatchPart : unsigned {
  kBatchNetwork = 1,
  kBatchCameras = 2,
  kBatchRs485 = 4,
};

// The list's columns, and the CSV file's.
inline constexpr const char* kBatchColumns[5] = {"设备IP", "设备名称", "MAC地址", "固件版本",
                                                 "状态"};

// Why a device failed, as its row names the step.
inline constexpr const char* kBatchNoReply = "无应答";
inline constexpr const char* kBatchRefused = "设备拒绝";
inline constexpr const char* kBatchMismatch = "校验不一致";
// The question "关闭" asks while a batch runs.
inline constexpr const char* kBatchCloseQuestion = "批量配置正在进行，是否停止？";

class BatchForm {
 public:
  static constexpr int kMaxParallel = 64;

  // The rows anew, one per device, none checked, the inputs kept.
  void Fill(std::vector<BatchDevice> devices);
  const std::vector<BatchRow>& Rows() const { return rows_; }

  // A row's check box, as the user sets it; false when the row keeps its state (a first-
  // generation device, a batch under way, a row that does not exist). "全选" and "全不选" set
  // every row that may be set.
  bool SetChecked(size_t row, bool checked);
  void CheckAll(bool checked);
  size_t CheckedCount() const;

  // The inputs, bound to their controls by Controls().
  bool fromPages = true;  // "当前页面参数"; else "参数文件"
  std::string file;
  bool network = true;
  bool cameras = true;
  bool rs485 = true;
  Ipv4Value startIp{};
  bool verify = true;
  std::string parallel = "16";

  FormControls Controls();
  // Whether the control of `id` may be used now: the inputs and "开始" while no batch runs (the
  // file while "参数文件" is chosen, the first address while the network part is sent), "停止"
  // while one runs and has not been stopped, the list and the line under it, "导出结果" and
  // "关闭" always.
  bool Enabled(int id) const;

  // What a start is refused with (the text of the box "提示"), or nothing. The address plan is
  // checked apart, by the code that plans it.
  std::optional<std::string> StartRefusal(bool pagesRead) const;
  unsigned Parts() const;
  // "同时配置台数" as a number in 1 to 64, or nothing.
  std::optional<int> Parallel() const;
  // Whether the first address is needed: the network part for more than one device.
  bool NeedsStartIp() const;

  // A batch: the checked rows wait, the others keep what they show.
  void Begin();
  // "停止": no more rows start; those under way finish.
  void Stop() { stopping_ = true; }
  void SetState(size_t row, BatchState state, std::string reason = {});
  void Finish();
  bool Running() const { return running_; }
  bool Stopping() const { return running_ && stopping_; }

  // The 状态 column of a row.
  std::string StateText(size_t row) const;
  // The line under the list: "已完成 n/m，失败 k" (empty before the first batch).
  std::string Summary() const;
  // The main window's log: one line per device that ended, and one at the end.
  std::string DeviceLogLine(size_t row) const;
  std::string FinalLogLine() const;
  // Every row, checked or not, with its state: UTF-8 with a byte-order mark, CRLF, fields quoted
  // where they hold a comma, a quote or a line break.
  std::string Csv() const;

 private:
  size_t Count(BatchState state) const;

  bool fromFile_ = false;
  std::vector<BatchRow> rows_;
  size_t batchSize_ = 0;
  bool begun_ = false;
  bool running_ = false;
  bool stopping_ = false;
};

}  // namespace quillon
