#include "qt/app/config_main_dlg.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include "qt/app/about_dlg.h"
#include "qt/app/param_file_dialogs.h"
#include "qt/pages/net_param_page.h"
#include "qt/pages/rs485_page.h"
#include "qt/widgets/dialog_units.h"
#include "qt/widgets/tab_control.h"
#include "text/ipv4_text.h"

namespace quillon {

namespace {

enum DeviceColumn { kColumnIp, kColumnName, kColumnMac, kColumnVersion, kColumnCount };

QString DottedAddress(uint32_t address) { return QString::fromStdString(Ipv4Text(address)); }

}  // namespace

CConfigMainDlg::CConfigMainDlg(ConfigSession& session, const AddressSource& addresses,
                               QWidget* parent)
    : QDialog(parent), session_(session) {
  BuildControls();
  session_.AttachView(*this);

  // Help text into the (empty) log.
  session_.AppendLog(kHelpText);
  session_.RefreshLog();

  // Tabs and pages: both pages over the tab control's panel, the network page first.
  CTabControl* tabs = Tabs();
  for (int i = 0; i < 2; ++i) tabs->InsertItem(i, QString::fromUtf8(kPageTabs[i]));
  PageForms& forms = session_.Forms();
  netPage_ = new CNetParamPage(forms.net, tabs);
  rs485Page_ = new CRs485Page(forms.rs485, forms.gear, tabs);
  const PageInsets& inset = kMainPageInsets;
  const QRect pageRect =
      tabs->ClientRect().adjusted(inset.left, inset.top, -inset.right, -inset.bottom);
  netPage_->setGeometry(pageRect);
  rs485Page_->setGeometry(pageRect);
  netPage_->show();
  rs485Page_->hide();
  tabs->SetCurrentSelection(0);
  connect(tabs, &CTabControl::selectionChanged, this, &CConfigMainDlg::OnSelchangeTab);
  connect(netPage_, &CNetParamPage::downloadRequested, this, [this] { session_.OnDownload(); });
  connect(rs485Page_, &CRs485Page::readRequested, this, [this] { session_.OnRs485Read(); });
  connect(rs485Page_, &CRs485Page::downloadRequested, this, [this] { session_.OnRs485Download(); });
  connect(rs485Page_, &CRs485Page::slotChosen, this,
          [this](int index) { session_.OnSlotChanged(index); });
  connect(rs485Page_, &CRs485Page::remoteAdjustRequested, this,
          [this] { session_.OnRemoteAdjust(); });

  // Both blocks zeroed, the dictionary index built, the flags cleared: before the application
  // object starts the dictionary worker, which polls the index's marks.
  session_.InitModel();

  const std::vector<uint32_t> local = addresses ? addresses() : std::vector<uint32_t>{};
  AddressBox()->setText(local.empty() ? QStringLiteral("0.0.0.0") : DottedAddress(local.front()));

  SearchButton()->setFocus(Qt::OtherFocusReason);
}

CConfigMainDlg::~CConfigMainDlg() { session_.DetachView(); }

void CConfigMainDlg::BuildControls() {
  const DialogLayout& layout = MainWindowLayout();
  setWindowTitle(QString::fromStdString(layout.caption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  setFixedSize(du.Size(layout.cx, layout.cy));
  controls_ = BuildDialog(this, layout, du);
  logBox_ = ControlAs<QPlainTextEdit>(controls_, IDC_LOG);
  PortBox()->setText(QStringLiteral("1901"));

  QTreeWidget* list = DeviceList();
  list->setColumnCount(kColumnCount);
  QStringList headings;
  for (const char* heading : kDeviceColumns) headings << QString::fromUtf8(heading);
  list->setHeaderLabels(headings);
  // The widths are set once, from the list's client width.
  const int client = list->width() - 2 * list->frameWidth();
  for (int column = 0; column < kColumnCount; ++column)
    list->setColumnWidth(column, DeviceColumnWidth(column, client));

  connect(SearchButton(), &QPushButton::clicked, this, [this] { session_.OnSearch(); });
  connect(ClearButton(), &QPushButton::clicked, this, [this] { session_.ClearLog(); });
  connect(ExportButton(), &QPushButton::clicked, this, [this] { session_.OnExportParams(); });
  connect(ImportButton(), &QPushButton::clicked, this, [this] { session_.OnImportParams(); });
  connect(list, &QTreeWidget::itemDoubleClicked, this,
          [this] { session_.OnDeviceDoubleClicked(); });
  connect(logBox_, &QPlainTextEdit::textChanged, this, &CConfigMainDlg::LimitLogText);
}

QTreeWidget* CConfigMainDlg::DeviceList() const {
  return ControlAs<QTreeWidget>(controls_, IDC_DEVICE_LIST);
}
QLineEdit* CConfigMainDlg::AddressBox() const {
  return ControlAs<QLineEdit>(controls_, IDC_LOCAL_IP);
}
QLineEdit* CConfigMainDlg::PortBox() const {
  return ControlAs<QLineEdit>(controls_, IDC_LOCAL_PORT);
}
QPushButton* CConfigMainDlg::SearchButton() const {
  return ControlAs<QPushButton>(controls_, IDC_SEARCH);
}
QPushButton* CConfigMainDlg::ClearButton() const {
  return ControlAs<QPushButton>(controls_, IDC_CLEAR_LOG);
}
QPushButton* CConfigMainDlg::ExportButton() const {
  return ControlAs<QPushButton>(controls_, IDC_EXPORT);
}
QPushButton* CConfigMainDlg::ImportButton() const {
  return ControlAs<QPushButton>(controls_, IDC_IMPORT);
}
CTabControl* CConfigMainDlg::Tabs() const { return ControlAs<CTabControl>(controls_, IDC_TABS); }

void CConfigMainDlg::OnSelchangeTab(int selection) {
  if (selection == 0) {
    netPage_->show();
    rs485Page_->hide();
  } else if (selection == 1) {
    netPage_->hide();
    rs485Page_->show();
  }
}

void CConfigMainDlg::PostDatagram(Datagram datagram) {
  QMetaObject::invokeMethod(
      this, [this, d = std::move(datagram)] { session_.OnFrameReceived(d.bytes, d.received); },
      Qt::QueuedConnection);
}

void CConfigMainDlg::ShowLogText(const std::string& text) {
  // The log mostly grows by a line at a time (a thousand devices answering a search add a line
  // each): while the box still holds what was shown last, only the new lines go in, instead of
  // the whole text, which would make the replies of many devices cost the square of their count.
  const bool grows = !boxEdited_ && !shownLog_.empty() && shownLog_.back() == '\n' &&
                     text.size() >= shownLog_.size() &&
                     text.compare(0, shownLog_.size(), shownLog_) == 0;
  QString shown = QString::fromStdString(grows ? text.substr(shownLog_.size()) : text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  showingLog_ = true;
  if (grows) {
    QTextCursor end(logBox_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(shown);
  } else {
    logBox_->setPlainText(shown);
  }
  showingLog_ = false;
  shownLog_ = text;
  boxEdited_ = false;
  logBox_->moveCursor(QTextCursor::End);
  logBox_->verticalScrollBar()->setValue(logBox_->verticalScrollBar()->maximum());
}

void CConfigMainDlg::LimitLogText() {
  // The box takes at most kLogLimit characters from the user; the log text itself is shown
  // whole.
  if (showingLog_) return;
  boxEdited_ = true;  // the next refresh replaces the box's whole content
  const int count = logBox_->document()->characterCount() - 1;
  if (count <= kLogLimit) return;
  QTextCursor cursor(logBox_->document());
  cursor.setPosition(kLogLimit);
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void CConfigMainDlg::RequestLogRefresh() {
  QMetaObject::invokeMethod(
      this, [this] { session_.RefreshLog(); }, Qt::QueuedConnection);
}

void CConfigMainDlg::ClearDeviceList() { DeviceList()->clear(); }

void CConfigMainDlg::InsertDeviceRow(const DeviceRow& row) {
  auto* item = new QTreeWidgetItem(
      QStringList{QString::fromStdString(row.ip), QString::fromStdString(row.name),
                  QString::fromStdString(row.mac), QString::fromStdString(row.version)});
  DeviceList()->insertTopLevelItem(0, item);
}

std::optional<DeviceRow> CConfigMainDlg::SelectedDeviceRow() {
  const QList<QTreeWidgetItem*> selected = DeviceList()->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const QTreeWidgetItem* item = selected.front();
  return DeviceRow{item->text(kColumnIp).toStdString(), item->text(kColumnName).toStdString(),
                   item->text(kColumnMac).toStdString(), item->text(kColumnVersion).toStdString()};
}

void CConfigMainDlg::ShowNetForm(NetParamForm& form) { netPage_->Show(form); }

void CConfigMainDlg::ReadNetForm(NetParamForm& form) { netPage_->Read(form); }

void CConfigMainDlg::ShowRs485Form(Rs485Form& form) { rs485Page_->Show(form); }

void CConfigMainDlg::ReadRs485Form(Rs485Form& form) { rs485Page_->Read(form); }

bool CConfigMainDlg::RunGearDialog(GearForm& form) {
  return rs485Page_->RemoteAdjustDialog().Run(form);
}

std::optional<std::string> CConfigMainDlg::ChooseExportFile(const std::string& defaultName) {
  if (fileChooser_.exportFile) return fileChooser_.exportFile(defaultName);
  const auto dialog = MakeExportDialog(this, QString::fromStdString(defaultName));
  return RunFileDialog(*dialog);
}

std::optional<std::string> CConfigMainDlg::ChooseImportFile() {
  if (fileChooser_.importFile) return fileChooser_.importFile();
  const auto dialog = MakeImportDialog(this);
  return RunFileDialog(*dialog);
}

void CConfigMainDlg::PauseMs(int milliseconds) {
  // The pauses of the read and download sequences block the user-interface thread on purpose:
  // no other handler may run between the frames.
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void CConfigMainDlg::CallLater(int milliseconds, std::function<void()> action) {
  QTimer::singleShot(milliseconds, this, std::move(action));
}

void CConfigMainDlg::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CConfigMainDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // A focused button takes Enter itself, as its click; anywhere else Enter does nothing.
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CConfigMainDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(QString::fromUtf8(kAboutMenuText));
  connect(about, &QAction::triggered, this, &CConfigMainDlg::ShowAbout);
  menu.exec(event->globalPos());
}

}  // namespace quillon
