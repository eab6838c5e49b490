// The main window's own logic, once for both windows and without any toolkit: what it shows at
// start-up and in which order, where the clicks of its buttons, its device list and its pages
// go, which page a tab shows, the device list's columns, and how the log box follows the log
// text. Each window draws its controls and hands their events here, as the pages do with their
// forms.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "forms/batch_form.h"
#include "forms/dialog_layout.h"
#include "link/frame_link.h"
#include "link/udp_link.h"
#include "session/config_session.h"
#include "window/batch_service.h"

namespace quillon {

inline constexpr int kLogLimit = 10240000;  // characters the log box takes
inline constexpr const char* kLocalPortText = "1901";

// The device list's columns, in the order of kDeviceColumns.
enum DeviceColumn { kColumnIp, kColumnName, kColumnMac, kColumnVersion, kColumnCount };

// A row's texts by column, and back from the cells that a list holds in its own text type.
std::array<std::string, kColumnCount> DeviceCells(const DeviceRow& row);
template <typename Cells, typename ToUtf8>
DeviceRow DeviceRowOf(const Cells& cells, ToUtf8 toUtf8) {
  return DeviceRow{toUtf8(cells[kColumnIp]), toUtf8(cells[kColumnName]), toUtf8(cells[kColumnMac]),
                   toUtf8(cells[kColumnVersion])};
}

// The pages under the main window's tabs; tab 0 shows the network page, tab 1 the RS-485 page.
enum class MainPage { Net, Rs485 };
std::optional<MainPage> PageOfTab(int selection);

// What the box shows of the log text. The log mostly grows by a line at a time (a thousand
// devices answering a search add a line each): while the box still holds what was shown last,
// only the new lines go in, instead of the whole text, which would make the replies of many
// devices cost the square of their count. Once the user has edited the box, the next text
// replaces its whole content.
class LogBoxText {
 public:
  struct Change {
    bool append;            // `text` goes after what the box holds; else it replaces it
    std::string_view text;  // a part of the text given to Show
  };
  // The change that brings the box to `text`. The window makes it, then calls Shown; whatever
  // the box reports changed meanwhile is the program's own change.
  Change Show(const std::string& text);
  void Shown() { showing_ = false; }
  // The box reports a change of its content; true when the user made it.
  bool BoxChanged();

 private:
  std::string shown_;    // the log text as last shown in the box
  bool edited_ = false;  // the user changed the box since
  bool showing_ = false;
};

// What a window's toolkit does for the main window's start-up.
class MainWindowControls {
 public:
  virtual ~MainWindowControls() = default;
  // The text of an edit box of the main window.
  virtual void SetText(int id, const std::string& text) = 0;
  // The device list's column `column`, headed `heading`.
  virtual void InsertColumn(int column, const std::string& heading) = 0;
  virtual int ListClientWidth() = 0;
  virtual void SetColumnWidth(int column, int width) = 0;
  // The tab control's tabs, both pages over its panel, the network page shown and its tab
  // selected.
  virtual void MakePages(const std::array<std::string, 2>& tabs, const PageInsets& insets) = 0;
  // The batch dialog over the main window, modal, until the user closes it; `log` adds a line to
  // the main window's log.
  virtual void RunBatchDialog(BatchForm& form, BatchService& service, Notifier& notifier,
                              std::function<void(const std::string&)> log) = 0;
};

// The page events the window hands on.
enum class PageEvent { NetDownload, Rs485Read, Rs485Download, RemoteAdjust };

class MainWindow {
 public:
  explicit MainWindow(ConfigSession& session) : session_(session) {}
  // The service of the batch dialog ("批量配置"); without one the button does nothing.
  void SetBatch(WindowBatch& batch) { batch_ = &batch; }
  ~MainWindow() { session_.DetachView(); }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The window's initialisation: the port and the device list's columns; `view` attached to the
  // session; the help text into the (empty) log; the tabs and pages; both blocks zeroed, the
  // dictionary index built and the flags cleared, before the worker starts, which polls the
  // index's marks; the PC's first address (from `addresses`) in the local-address box. Starting
  // the link and the worker is the program's part.
  void Start(MainWindowControls& controls, ConfigView& view, const AddressSource& addresses);
  // The window is going away: the session shows nothing any more.
  void Detach() { session_.DetachView(); }

  // A click on a button of the main window (by its id); other ids do nothing. "批量配置" opens
  // the batch dialog over the devices of the last search, refused with a box while there are
  // none or a transfer runs; while it is open, the session refuses the window's own transfers.
  void OnClicked(int id);
  void OnDeviceDoubleClicked() { session_.OnDeviceDoubleClicked(); }
  void OnPageEvent(PageEvent event);
  void OnSlotChosen(int index) { session_.OnSlotChanged(index); }
  // On the user-interface thread: a datagram that came, and the refresh the worker asked for.
  // While a batch runs, every datagram is the batch's.
  void OnDatagram(const Datagram& datagram) {
    if (batch_ && batch_->Take(datagram)) return;
    session_.OnFrameReceived(datagram.bytes, datagram.received);
  }
  void OnLogRefresh() { session_.RefreshLog(); }

  LogBoxText& Log() { return log_; }

 private:
  void OnBatch();

  ConfigSession& session_;
  LogBoxText log_;
  MainWindowControls* controls_ = nullptr;  // from Start on
  WindowBatch* batch_ = nullptr;
  BatchForm batchForm_;  // the batch dialog's choices, kept from one opening to the next
};

}  // namespace quillon
