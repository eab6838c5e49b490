// The batch dialog's service in either window: the devices the last search found, the pages or a
// parameter file as what is sent, the static addresses planned as the command line plans them,
// and the devices served side by side on a thread of the service's own, over the window's link,
// by the engine of `quillon-cli apply`. While a batch runs, what the link receives is the
// batch's, and the session sees none of it.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/address_plan.h"
#include "forms/batch_dialog.h"
#include "link/link_transfer_port.h"
#include "session/config_session.h"

namespace quillon {

// A refused address plan as the window words it: the first address that breaks a rule, and the
// rule.
std::string PlanRefusalText(const PlanRefusal& refusal, std::span<const std::string> targets);

class WindowBatch : public BatchService {
 public:
  WindowBatch(ConfigSession& session, FrameLink& link, Notifier& notifier)
      : session_(session), notifier_(notifier), port_(link) {}
  // Starts no more devices and waits for those under way.
  ~WindowBatch() override;
  WindowBatch(const WindowBatch&) = delete;
  WindowBatch& operator=(const WindowBatch&) = delete;

  // The dialog's rows anew: the devices of the last search.
  void Fill(BatchForm& form);
  // A datagram of the link, on the user-interface thread: true when a batch runs and took it.
  bool Take(const Datagram& datagram);
  bool Running() const { return running_.load(); }
  // The program's boxes, for the dialog's own.
  Notifier& Boxes() { return notifier_; }

  bool PagesRead() override { return session_.ParamsRead(); }
  bool ParamFileLoads(const std::string& path) override;
  std::optional<std::string> PlanRefusal(const BatchForm& form) override;
  void Start(const BatchForm& form, Report report, std::function<void()> done) override;
  void Stop() override { keepGoing_ = false; }
  bool WriteFile(const std::string& path, const std::string& contents) override;

  // How long a device may take to answer again, and to hold what was sent, after the download
  // that restarts it (the command line's default).
  std::chrono::milliseconds verifyWait{30000};

 private:
  // What is sent: the pages or the file; nothing after the box that says why.
  std::optional<ParamImages> Source(const BatchForm& form);
  // The checked rows and the addresses they get.
  struct Plan {
    std::vector<size_t> rows;
    std::vector<std::string> targets;
    AddressCount count;
  };
  Plan PlanFor(const BatchForm& form, const ParamImages& images) const;
  void Join();

  ConfigSession& session_;
  Notifier& notifier_;
  LinkTransferPort port_;
  std::vector<DeviceRecord> devices_;  // the form's rows
  // What the last plan check read (the pages stored, or the file), which its start sends.
  std::optional<ParamImages> checked_;
  std::atomic<bool> running_{false};
  std::atomic<bool> keepGoing_{true};
  std::thread thread_;
};

}  // namespace quillon
