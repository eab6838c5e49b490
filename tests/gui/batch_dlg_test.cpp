// The Qt batch dialog: its inputs bound to the form both ways, the devices as checkable table
// rows (a first-generation one never), and its ways of closing while a batch runs or not.
#include "qt/app/batch_dlg.h"

#include <QAbstractButton>
#include <QTableWidget>
#include <QtTest>

#include "support/batch_fakes.h"
#include "support/form_binding.h"
#include "support/recording_notifier.h"

using namespace quillon;

class BatchDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = BatchForm();
    form_.Fill({{"192.168.1.64", "1号机房", "00E04C3A1B01", "32.05"},
                {"192.168.1.65", "2号机房", "00E04C3A1B02", "32.05"},
                {"192.168.1.66", "老设备", "00E04C3A1B03", "01.02", true}});
    form_.startIp = {192, 168, 1, 100};
    notifier_.Clear();
    service_ = fakes::FakeBatchService();
    dlg_ = std::make_unique<CBatchDlg>(form_, service_, notifier_, [](const std::string&) {});
    dlg_->show();
  }
  void cleanup() { dlg_.reset(); }

  void inputsAreBoundBothWays() {
    FormControls inputs = form_.Controls();
    fakes::CheckEveryInputIsBound(BatchDialogLayout(), inputs);
    std::erase_if(inputs, [](const FormControl& c) {
      return c.id == IDC_BATCH_FROM_PAGES || c.id == IDC_BATCH_FROM_FILE;
    });
    fakes::CheckBoundBothWays(
        dlg_->Controls(), inputs, [&] { dlg_->ShowInputs(form_); },
        [&] { dlg_->ReadInputs(form_); });
    // The two sources are one choice.
    form_.fromPages = false;
    dlg_->ShowInputs(form_);
    QVERIFY(Button(IDC_BATCH_FROM_FILE)->isChecked());
    Button(IDC_BATCH_FROM_PAGES)->click();
    QVERIFY(form_.fromPages);
    QVERIFY(!dlg_->Controls().value(IDC_BATCH_FILE)->isEnabled());
  }

  void rowsAreCheckedByTheUserButNeverAFirstGenerationOne() {
    auto* list = Control<QTableWidget>(IDC_BATCH_LIST);
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(list->horizontalHeaderItem(4)->text(), QStringLiteral("状态"));
    list->item(0, 0)->setCheckState(Qt::Checked);
    QVERIFY(form_.Rows()[0].checked);
    QVERIFY(!(list->item(2, 0)->flags() & Qt::ItemIsUserCheckable));
    QCOMPARE(list->item(2, 4)->text(), QStringLiteral("不支持"));
    Button(IDC_BATCH_ALL)->click();
    QCOMPARE(list->item(1, 0)->checkState(), Qt::Checked);
    QCOMPARE(list->item(2, 0)->checkState(), Qt::Unchecked);
  }

  // "关闭" during a batch asks; 否 keeps it open and running, 是 stops it and the dialog closes
  // once the service is done. Without a batch it closes at once.
  void closingWaitsForTheBatch() {
    Button(IDC_BATCH_ALL)->click();
    Button(IDC_BATCH_START)->click();
    QVERIFY(form_.Running());
    QVERIFY(!Button(IDC_BATCH_START)->isEnabled() && Button(IDC_BATCH_STOP)->isEnabled());
    Button(IDC_BATCH_CLOSE)->click();
    QVERIFY(dlg_->isVisible());
    QVERIFY(!service_.stopped);
    notifier_.yes = true;
    Button(IDC_BATCH_CLOSE)->click();
    QVERIFY(service_.stopped && dlg_->isVisible());
    service_.report(0, BatchState::Verified, "");
    service_.done();  // from the service's thread, through the event loop
    QTRY_VERIFY_WITH_TIMEOUT(!dlg_->isVisible(), 5000);
    QCOMPARE(Control<QTableWidget>(IDC_BATCH_LIST)->item(0, 4)->text(),
             QStringLiteral("成功（已校验）"));
    QCOMPARE(notifier_.Count(), 2u);

    dlg_->show();
    Button(IDC_BATCH_CLOSE)->click();
    QVERIFY(!dlg_->isVisible());
  }

 private:
  template <typename T>
  T* Control(int id) {
    T* widget = ControlAs<T>(dlg_->Controls(), id);
    if (!widget) qFatal("no control %d of the kind the test expects", id);
    return widget;
  }
  QAbstractButton* Button(int id) { return Control<QAbstractButton>(id); }

  BatchForm form_;
  fakes::FakeBatchService service_;
  fakes::RecordingNotifier notifier_;
  std::unique_ptr<CBatchDlg> dlg_;
};

QTEST_MAIN(BatchDlgTest)
#include "batch_dlg_test.moc"
