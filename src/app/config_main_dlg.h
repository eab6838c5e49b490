// The main window: local address, search, the device list, the information log and the tab
// control with the network and RS-485 pages. The protocol flows live in the ConfigSession it
// owns; the window implements ConfigView for it and routes its controls' events to it.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "app/config_session.h"
#include "link/frame.h"
#include "link/udp_link.h"
#include "params/parameter_block.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quillon {

class CNetParamPage;
class CRs485Page;
class CTabControl;

// The five help lines the log starts with.
extern const char* const kHelpText;

class CConfigMainDlg : public QDialog, public ConfigView {
  Q_OBJECT

 public:
  static constexpr int kWidthDu = 645;
  static constexpr int kHeightDu = 479;
  static constexpr int kLogLimit = 10240000;  // characters the log box takes

  // A window on the given block, link and boxes (tests pass fakes). `addresses` gives the
  // PC's addresses for the local-address box. No receive thread is started here: whoever owns
  // the link delivers datagrams through PostDatagram.
  CConfigMainDlg(DeviceParameterBlock& block, FrameLink& link, Notifier& notifier,
                 AddressSource addresses = InterfaceAddresses, QWidget* parent = nullptr);
  ~CConfigMainDlg() override;

  // The program's window: real sockets (UdpLink over PosixSockets), QMessageBox boxes, and the
  // receive thread started during initialisation.
  static std::unique_ptr<CConfigMainDlg> CreateProgramWindow(DeviceParameterBlock& block);

  // Hands one received datagram to the user-interface thread, which dispatches it; any thread.
  // The bytes travel with the queued call, so no datagram overwrites another.
  void PostDatagram(Bytes datagram);

  // ConfigView.
  void ShowLogText(const std::string& text) override;
  void RequestLogRefresh() override;
  void ClearDeviceList() override;
  void InsertDeviceRow(const DeviceRow& row) override;
  std::optional<DeviceRow> SelectedDeviceRow() override;
  void NetParamsToPage() override;
  void NetPageToParams() override;
  void Rs485ParamsToPage() override;
  void PauseMs(int milliseconds) override;

  ConfigSession& Session() { return session_; }
  QTreeWidget* DeviceList() const { return deviceList_; }
  QPlainTextEdit* LogBox() const { return logBox_; }
  QLineEdit* AddressBox() const { return addressBox_; }
  QLineEdit* PortBox() const { return portBox_; }
  QPushButton* SearchButton() const { return searchButton_; }
  QPushButton* ClearButton() const { return clearButton_; }
  QPushButton* ExportButton() const { return exportButton_; }
  QPushButton* ImportButton() const { return importButton_; }
  CTabControl* Tabs() const { return tabs_; }
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
  struct ProgramParts;
  CConfigMainDlg(DeviceParameterBlock& block, std::unique_ptr<ProgramParts> parts);

  void Initialise(const AddressSource& addresses);
  void BuildControls();
  void OnSelchangeTab(int selection);
  void OnExport();
  void OnImport();
  void LimitLogText();

  std::unique_ptr<ProgramParts> program_;  // only in the program's window; outlives session_
  DeviceParameterBlock& block_;
  ConfigSession session_;

  CNetParamPage* netPage_ = nullptr;
  CRs485Page* rs485Page_ = nullptr;
  CTabControl* tabs_ = nullptr;
  QTreeWidget* deviceList_ = nullptr;
  QPlainTextEdit* logBox_ = nullptr;
  QLineEdit* addressBox_ = nullptr;
  QLineEdit* portBox_ = nullptr;
  QPushButton* searchButton_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* importButton_ = nullptr;
  bool showingLog_ = false;
};

}  // namespace quillon
