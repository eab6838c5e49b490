#include "app/config_main_dlg.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include "app/about_dlg.h"
#include "app/param_file_dialogs.h"
#include "pages/net_param_page.h"
#include "pages/rs485_page.h"
#include "text/ipv4_text.h"
#include "widgets/dialog_units.h"
#include "widgets/page_controls.h"
#include "widgets/tab_control.h"

namespace quillon {

namespace {

RefusedList Refusal(const UnmatchedList& list) {
  return {list.name.toStdString(), list.text.toStdString()};
}

}  // namespace

const char* const kHelpText =
    "单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，"
    "点击\"配置参数\"按钮，设备将保存参数并自动重启\r\n"
    "注意事项:\r\n"
    "1、确保软件与设备在同一局域网内\r\n"
    "2、请确定当前PC只使用一个网卡\r\n"
    "3、请按照 搜索->双击选中并读取->配置参数 的步骤来操作\r\n";

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
  tabs_->InsertItem(0, QStringLiteral("网络参数"));
  tabs_->InsertItem(1, QStringLiteral("485参数"));
  netPage_ = new CNetParamPage(tabs_);
  rs485Page_ = new CRs485Page(tabs_);
  const QRect pageRect = tabs_->ClientRect().adjusted(5, 20, -5, -5);
  netPage_->setGeometry(pageRect);
  rs485Page_->setGeometry(pageRect);
  netPage_->show();
  rs485Page_->hide();
  tabs_->SetCurrentSelection(0);
  connect(tabs_, &CTabControl::selectionChanged, this, &CConfigMainDlg::OnSelchangeTab);
  connect(netPage_, &CNetParamPage::downloadRequested, this, [this] { session_.OnDownload(); });
  rs485Page_->SetModel(&Block().modbus, &session_.ModelMutex());
  connect(rs485Page_, &CRs485Page::readRequested, this, [this] { session_.OnRs485Read(); });
  connect(rs485Page_, &CRs485Page::downloadRequested, this, [this] { session_.OnRs485Download(); });
  connect(rs485Page_, &CRs485Page::listRefused, this,
          [this](const UnmatchedList& list) { session_.OnListRefused(Refusal(list)); });

  // Both blocks zeroed, the dictionary index built, the flags cleared: before the application
  // object starts the dictionary worker, which polls the index's marks.
  session_.InitModel();

  const std::vector<uint32_t> local = addresses ? addresses() : std::vector<uint32_t>{};
  addressBox_->setText(local.empty() ? QStringLiteral("0.0.0.0") : DottedAddress(local.front()));

  searchButton_->setFocus(Qt::OtherFocusReason);
}

CConfigMainDlg::~CConfigMainDlg() { session_.DetachView(); }

void CConfigMainDlg::BuildControls() {
  setWindowTitle(QStringLiteral("Quillon|网络视频字符叠加器配置软件-V2.3"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  setFixedSize(du.Size(kWidthDu, kHeightDu));

  auto* group = new QGroupBox(QStringLiteral("本机信息"), this);
  du.Place(group, 19, 15, 218, 39);

  addressBox_ = MakeEdit(this, du, QStringLiteral("本机IP"), 33, 31, 73, 14);
  addressBox_->setReadOnly(true);
  portBox_ = MakeEdit(this, du, QStringLiteral("端口"), 122, 31, 40, 14);
  portBox_->setReadOnly(true);
  portBox_->setText(QStringLiteral("1901"));

  searchButton_ = new QPushButton(QStringLiteral("搜索"), this);
  du.Place(searchButton_, 179, 27, 50, 19);

  QLabel* listLabel = MakeLabel(this, du, QStringLiteral("设备列表"), 21, 63, 33, 8);
  exportButton_ = new QPushButton(QStringLiteral("导出参数"), this);
  du.Place(exportButton_, 139, 61, 50, 14);
  importButton_ = new QPushButton(QStringLiteral("导入参数"), this);
  du.Place(importButton_, 199, 61, 50, 14);

  deviceList_ = new QTreeWidget(this);
  deviceList_->setAccessibleName(listLabel->text());
  du.Place(deviceList_, 19, 79, 242, 102);
  deviceList_->setColumnCount(kColumnCount);
  deviceList_->setHeaderLabels({QStringLiteral("设备IP"), QStringLiteral("设备名称"),
                                QStringLiteral("MAC地址"), QStringLiteral("固件版本")});
  deviceList_->setRootIsDecorated(false);
  deviceList_->setItemsExpandable(false);
  deviceList_->setUniformRowHeights(true);
  deviceList_->setSortingEnabled(false);
  deviceList_->setSelectionMode(QAbstractItemView::SingleSelection);
  deviceList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  deviceList_->setAllColumnsShowFocus(true);
  deviceList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QHeaderView* header = deviceList_->header();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  header->setSectionsClickable(false);
  // The widths are set once, from the list's client width.
  const int client = deviceList_->width() - 2 * deviceList_->frameWidth();
  for (int column = 0; column < kColumnCount; ++column)
    deviceList_->setColumnWidth(column,
                                column == kColumnVersion ? client * 2 / 11 : client * 3 / 11);
  LinkLabel(listLabel, deviceList_);

  QLabel* logLabel = MakeLabel(this, du, QStringLiteral("信息提示区"), 19, 193, 41, 8);
  clearButton_ = new QPushButton(QStringLiteral("清空"), this);
  du.Place(clearButton_, 70, 192, 50, 14);

  logBox_ = new QPlainTextEdit(this);
  logBox_->setAccessibleName(logLabel->text());
  logBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  logBox_->setTabChangesFocus(true);
  du.Place(logBox_, 22, 213, 239, 247);
  LinkLabel(logLabel, logBox_);

  tabs_ = new CTabControl(this);
  tabs_->setAccessibleName(QStringLiteral("参数页"));
  du.Place(tabs_, 287, 18, 338, 460);

  for (QPushButton* button : {searchButton_, exportButton_, importButton_, clearButton_})
    button->setAccessibleName(button->text());

  connect(searchButton_, &QPushButton::clicked, this, [this] { session_.OnSearch(); });
  connect(clearButton_, &QPushButton::clicked, this, [this] { session_.ClearLog(); });
  connect(exportButton_, &QPushButton::clicked, this, [this] { session_.OnExportParams(); });
  connect(importButton_, &QPushButton::clicked, this, [this] { session_.OnImportParams(); });
  connect(deviceList_, &QTreeWidget::itemDoubleClicked, this,
          [this] { session_.OnDeviceDoubleClicked(); });
  connect(logBox_, &QPlainTextEdit::textChanged, this, &CConfigMainDlg::LimitLogText);
}

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

void CConfigMainDlg::ClearDeviceList() { deviceList_->clear(); }

void CConfigMainDlg::InsertDeviceRow(const DeviceRow& row) {
  auto* item = new QTreeWidgetItem(
      QStringList{QString::fromStdString(row.ip), QString::fromStdString(row.name),
                  QString::fromStdString(row.mac), QString::fromStdString(row.version)});
  deviceList_->insertTopLevelItem(0, item);
}

std::optional<DeviceRow> CConfigMainDlg::SelectedDeviceRow() {
  const QList<QTreeWidgetItem*> selected = deviceList_->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const QTreeWidgetItem* item = selected.front();
  return DeviceRow{item->text(kColumnIp).toStdString(), item->text(kColumnName).toStdString(),
                   item->text(kColumnMac).toStdString(), item->text(kColumnVersion).toStdString()};
}

void CConfigMainDlg::NetParamsToPage() { netPage_->ParamsToPage(Block().osd); }

std::optional<RefusedList> CConfigMainDlg::NetPageToParams() {
  if (netPage_->PageToParams(Block().osd)) return std::nullopt;
  return Refusal(netPage_->Unmatched().value_or(UnmatchedList{}));
}

void CConfigMainDlg::Rs485ParamsToPage() { rs485Page_->ParamsToPage(Block().modbus); }

std::optional<RefusedList> CConfigMainDlg::Rs485PageToParams() {
  if (rs485Page_->PageToParams(Block().modbus)) return std::nullopt;
  return Refusal(rs485Page_->Unmatched().value_or(UnmatchedList{}));
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
  QAction* about = menu.addAction(QStringLiteral("关于 Quillon(&A)..."));
  connect(about, &QAction::triggered, this, &CConfigMainDlg::ShowAbout);
  menu.exec(event->globalPos());
}

}  // namespace quillon
