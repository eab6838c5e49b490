// The main window: local address, search, the device list, the information log and the tab
// control with the network and RS-485 pages. The protocol flows live in the ConfigSession that
// the application object hands it; the window is that session's view and routes its controls'
// events to it.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/frame.h"
#include "link/udp_link.h"
#include "params/parameter_block.h"
#include "qt/pages/dialog_builder.h"
#include "session/config_session.h"
#include "window/main_window.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quillon {

class CNetParamPage;
class CRs485Page;
class CTabControl;

class CConfigMainDlg : public QDialog, public ConfigView, private MainWindowControls {
  Q_OBJECT

 public:
  // The window's controls, then the main window's start-up (MainWindow::Start) with the PC's
  // addresses from `addresses`. The window is the session's view until it is destroyed.
  CConfigMainDlg(ConfigSession& session, const AddressSource& addresses, QWidget* parent = nullptr);
  ~CConfigMainDlg() override;

  // Hands one received datagram to the user-interface thread, which dispatches it; any thread.
  // The bytes travel with the queued call, so no datagram overwrites another.
  void PostDatagram(Datagram datagram);

  // ConfigView.
  void ShowLogText(const std::string& text) override;
  void RequestLogRefresh() override;
  void ClearDeviceList() override;
  void InsertDeviceRow(const DeviceRow& row) override;
  std::optional<DeviceRow> SelectedDeviceRow() override;
  void ShowNetForm(NetParamForm& form) override;
  void ReadNetForm(NetParamForm& form) override;
  void ShowRs485Form(Rs485Form& form) override;
  void ReadRs485Form(Rs485Form& form) override;
  bool RunGearDialog(GearForm& form) override;
  std::optional<std::string> ChooseExportFile(const std::string& defaultName) override;
  std::optional<std::string> ChooseImportFile() override;
  void PauseMs(int milliseconds) override;
  void CallLater(int milliseconds, std::function<void()> action) override;

  // The batch dialog's service ("批量配置").
  void SetBatch(WindowBatch& batch) { main_.SetBatch(batch); }

  const ControlMap& Controls() const { return controls_; }
  CNetParamPage* NetPage() const { return netPage_; }
  CRs485Page* Rs485Page() const { return rs485Page_; }

 public slots:
  // Shows the about box modally.
  void ShowAbout();

 protected:
  // Enter and Escape do not end the program; only the close box does.
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildControls();
  QTreeWidget* DeviceList() const;
  void OnSelchangeTab(int selection);
  void LimitLogText();

  // MainWindowControls.
  void SetText(int id, const std::string& text) override;
  void InsertColumn(int column, const std::string& heading) override;
  int ListClientWidth() override;
  void SetColumnWidth(int column, int width) override;
  void MakePages(const std::array<std::string, 2>& tabs, const PageInsets& insets) override;
  void RunBatchDialog(BatchForm& form, BatchService& service, Notifier& notifier,
                      std::function<void(const std::string&)> log) override;

  ConfigSession& session_;
  MainWindow main_;

  CNetParamPage* netPage_ = nullptr;
  CRs485Page* rs485Page_ = nullptr;
  ControlMap controls_;
  QPlainTextEdit* logBox_ = nullptr;
};

}  // namespace quillon
