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
#include "qt/app/batch_dlg.h"
#include "qt/app/param_file_dialogs.h"
#include "qt/pages/net_param_page.h"
#include "qt/pages/rs485_page.h"
#include "qt/widgets/dialog_units.h"
#include "qt/widgets/tab_control.h"

namespace quillon {

CConfigMainDlg::CConfigMainDlg(ConfigSession& session, const AddressSource& addresses,
                               QWidget* parent)
    : QDialog(parent), session_(session), main_(session) {
  BuildControls();
  main_.Start(*this, *this, addresses);
  ControlAs<QPushButton>(controls_, IDC_SEARCH)->setFocus(Qt::OtherFocusReason);
}

CConfigMainDlg::~CConfigMainDlg() = default;

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

  for (const int id : {IDC_SEARCH, IDC_CLEAR_LOG, IDC_EXPORT, IDC_IMPORT, IDC_BATCH})
    connect(ControlAs<QPushButton>(controls_, id), &QPushButton::clicked, this,
            [this, id] { main_.OnClicked(id); });
  connect(DeviceList(), &QTreeWidget::itemDoubleClicked, this,
          [this] { main_.OnDeviceDoubleClicked(); });
  connect(logBox_, &QPlainTextEdit::textChanged, this, &CConfigMainDlg::LimitLogText);
}

QTreeWidget* CConfigMainDlg::DeviceList() const {
  return ControlAs<QTreeWidget>(controls_, IDC_DEVICE_LIST);
}

void CConfigMainDlg::SetText(int id, const std::string& text) {
  ControlAs<QLineEdit>(controls_, id)->setText(QString::fromStdString(text));
}

void CConfigMainDlg::InsertColumn(int column, const std::string& heading) {
  QTreeWidget* list = DeviceList();
  if (list->columnCount() <= column) list->setColumnCount(column + 1);
  list->headerItem()->setText(column, QString::fromStdString(heading));
}

int CConfigMainDlg::ListClientWidth() {
  const QTreeWidget* list = DeviceList();
  return list->width() - 2 * list->frameWidth();
}

void CConfigMainDlg::SetColumnWidth(int column, int width) {
  DeviceList()->setColumnWidth(column, width);
}

void CConfigMainDlg::RunBatchDialog(BatchForm& form, BatchService& service, Notifier& notifier,
                                    std::function<void(const std::string&)> log) {
  CBatchDlg dialog(form, service, notifier, std::move(log), this);
  dialog.exec();
}

void CConfigMainDlg::MakePages(const std::array<std::string, 2>& tabNames,
                               const PageInsets& inset) {
  // Both pages over the tab control's panel, the network page first.
  CTabControl* tabs = ControlAs<CTabControl>(controls_, IDC_TABS);
  for (int i = 0; i < 2; ++i) tabs->InsertItem(i, QString::fromStdString(tabNames[i]));
  PageForms& forms = session_.Forms();
  netPage_ = new CNetParamPage(forms.net, tabs);
  rs485Page_ = new CRs485Page(forms.rs485, forms.gear, tabs);
  const QRect pageRect =
      tabs->ClientRect().adjusted(inset.left, inset.top, -inset.right, -inset.bottom);
  netPage_->setGeometry(pageRect);
  rs485Page_->setGeometry(pageRect);
  netPage_->show();
  rs485Page_->hide();
  tabs->SetCurrentSelection(0);
  connect(tabs, &CTabControl::selectionChanged, this, &CConfigMainDlg::OnSelchangeTab);
  connect(netPage_, &CNetParamPage::downloadRequested, this,
          [this] { main_.OnPageEvent(PageEvent::NetDownload); });
  connect(rs485Page_, &CRs485Page::readRequested, this,
          [this] { main_.OnPageEvent(PageEvent::Rs485Read); });
  connect(rs485Page_, &CRs485Page::downloadRequested, this,
          [this] { main_.OnPageEvent(PageEvent::Rs485Download); });
  connect(rs485Page_, &CRs485Page::remoteAdjustRequested, this,
          [this] { main_.OnPageEvent(PageEvent::RemoteAdjust); });
  connect(rs485Page_, &CRs485Page::slotChosen, this,
          [this](int index) { main_.OnSlotChosen(index); });
}

void CConfigMainDlg::OnSelchangeTab(int selection) {
  const std::optional<MainPage> page = PageOfTab(selection);
  if (page == MainPage::Net) {
    netPage_->show();
    rs485Page_->hide();
  } else if (page == MainPage::Rs485) {
    netPage_->hide();
    rs485Page_->show();
  }
}

void CConfigMainDlg::PostDatagram(Datagram datagram) {
  QMetaObject::invokeMethod(
      this, [this, d = std::move(datagram)] { main_.OnDatagram(d); }, Qt::QueuedConnection);
}

void CConfigMainDlg::ShowLogText(const std::string& text) {
  const LogBoxText::Change change = main_.Log().Show(text);
  QString shown = QString::fromUtf8(change.text.data(), static_cast<qsizetype>(change.text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (change.append) {
    QTextCursor end(logBox_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(shown);
  } else {
    logBox_->setPlainText(shown);
  }
  main_.Log().Shown();
  logBox_->moveCursor(QTextCursor::End);
  logBox_->verticalScrollBar()->setValue(logBox_->verticalScrollBar()->maximum());
}

void CConfigMainDlg::LimitLogText() {
  // The box takes at most kLogLimit characters from the user; the log text itself is shown
  // whole.
  if (!main_.Log().BoxChanged()) return;
  const int count = logBox_->document()->characterCount() - 1;
  if (count <= kLogLimit) return;
  QTextCursor cursor(logBox_->document());
  cursor.setPosition(kLogLimit);
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void CConfigMainDlg::RequestLogRefresh() {
  QMetaObject::invokeMethod(
      this, [this] { main_.OnLogRefresh(); }, Qt::QueuedConnection);
}

void CConfigMainDlg::ClearDeviceList() { DeviceList()->clear(); }

void CConfigMainDlg::InsertDeviceRow(const DeviceRow& row) {
  QStringList cells;
  for (const std::string& cell : DeviceCells(row)) cells << QString::fromStdString(cell);
  auto* item = new QTreeWidgetItem(cells);
  DeviceList()->insertTopLevelItem(0, item);
}

std::optional<DeviceRow> CConfigMainDlg::SelectedDeviceRow() {
  const QList<QTreeWidgetItem*> selected = DeviceList()->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const QTreeWidgetItem* item = selected.front();
  std::array<QString, kColumnCount> cells;
  for (int column = 0; column < kColumnCount; ++column) cells[column] = item->text(column);
  return DeviceRowOf(cells, [](const QString& cell) { return cell.toStdString(); });
}

void CConfigMainDlg::ShowNetForm(NetParamForm& form) { netPage_->Show(form); }

void CConfigMainDlg::ReadNetForm(NetParamForm& form) { netPage_->Read(form); }

void CConfigMainDlg::ShowRs485Form(Rs485Form& form) { rs485Page_->Show(form); }

void CConfigMainDlg::ReadRs485Form(Rs485Form& form) { rs485Page_->Read(form); }

bool CConfigMainDlg::RunGearDialog(GearForm& form) {
  return rs485Page_->RemoteAdjustDialog().Run(form);
}

std::optional<std::string> CConfigMainDlg::ChooseExportFile(const std::string& defaultName) {
  const auto dialog = MakeExportDialog(this, QString::fromStdString(defaultName));
  return RunFileDialog(*dialog);
}

std::optional<std::string> CConfigMainDlg::ChooseImportFile() {
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
