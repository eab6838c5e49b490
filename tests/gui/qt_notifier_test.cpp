// The message boxes: shown on the user-interface thread with caption, text, icon and "确定" (or
// "是" and "否"); a caller on another thread waits until the box is closed while the
// user-interface thread keeps running.
#include "qt/app/qt_notifier.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

#include "support/modal_watch.h"

using quillon::BoxIcon;
using quillon::QtNotifier;

namespace {

using quillon::fakes::ModalWatch;

QMessageBox* AsBox(QWidget* modal) { return qobject_cast<QMessageBox*>(modal); }

void CloseBox(QMessageBox* box) { box->button(QMessageBox::Ok)->click(); }

// Lets a caller still waiting for a box go, before its thread is joined, however the test ends.
struct ReleaseOnExit {
  QtNotifier& notifier;
  ~ReleaseOnExit() { notifier.ReleaseWaiting(); }
};

}  // namespace

class QtNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void boxOnTheUserInterfaceThread() {
    QtNotifier notifier;
    bool seen = false;
    ModalWatch watch([&](QWidget* modal) {
      QMessageBox* box = AsBox(modal);
      QVERIFY(box);
      QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
      QCOMPARE(box->text(), QStringLiteral("请先双击设备列表读取参数"));
      QCOMPARE(box->icon(), QMessageBox::Warning);
      // Named by its caption; the text is its description.
      QCOMPARE(box->accessibleName(), QStringLiteral("提示"));
      QCOMPARE(box->accessibleDescription(), QStringLiteral("请先双击设备列表读取参数"));
      QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
      seen = true;
      CloseBox(box);
    });
    notifier.ShowBox("提示", "请先双击设备列表读取参数", BoxIcon::Exclamation);
    QVERIFY(seen);
  }

  void lineBreaksAndNoIcon() {
    QtNotifier notifier;
    ModalWatch watch([&](QWidget* modal) {
      QMessageBox* box = AsBox(modal);
      QVERIFY(box);
      QCOMPARE(box->text(), QStringLiteral("第一行\n第二行"));
      QCOMPARE(box->icon(), QMessageBox::NoIcon);
      CloseBox(box);
    });
    notifier.ShowBox("警告", "第一行\r\n第二行", BoxIcon::None);
    QVERIFY(watch.Handled());
  }

  // "是" answers yes; "否", Escape and Enter answer no.
  void questionsAnswerYesOnlyWhenChosen() {
    QtNotifier notifier;
    for (int way = 0; way < 4; ++way) {
      ModalWatch watch([&](QWidget* modal) {
        QMessageBox* box = AsBox(modal);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
        QCOMPARE(box->text(), QStringLiteral("下载吗？\n设备 2"));
        QCOMPARE(box->accessibleName(), QStringLiteral("提示"));
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("是"));
        QCOMPARE(box->button(QMessageBox::No)->text(), QStringLiteral("否"));
        if (way == 0) box->button(QMessageBox::Yes)->click();
        if (way == 1) box->button(QMessageBox::No)->click();
        if (way == 2) QTest::keyClick(box, Qt::Key_Escape);
        if (way == 3) QTest::keyClick(box, Qt::Key_Return);
      });
      const bool yes = notifier.AskYesNo("提示", "下载吗？\r\n设备 2", BoxIcon::Exclamation);
      QVERIFY(watch.Handled());
      QCOMPARE(yes, way == 0);
    }
  }

  void callerOnAnotherThreadWaitsForTheBox() {
    QtNotifier notifier;
    std::atomic<bool> returned{false};
    bool waitedWhileOpen = false;
    ModalWatch watch([&](QWidget* modal) {
      QMessageBox* box = AsBox(modal);
      QVERIFY(box);
      QCOMPARE(box->icon(), QMessageBox::Question);
      QCOMPARE(box->text(), QStringLiteral("读取失败"));
      // The caller is seen waiting for this very box, and has not returned.
      QTRY_COMPARE(notifier.Waiting(), 1);
      waitedWhileOpen = !returned;
      CloseBox(box);
    });
    std::jthread worker([&] {
      notifier.ShowBox("警告", "读取失败", BoxIcon::Question);
      returned = true;
    });
    ReleaseOnExit release{notifier};
    QTRY_VERIFY(returned);
    QVERIFY(waitedWhileOpen);
    QCOMPARE(notifier.Waiting(), 0);
  }

  void shutdownReleasesWaitingCallers() {
    QtNotifier notifier;
    std::atomic<bool> returned{false};
    std::jthread worker;
    ModalWatch watch([&](QWidget* modal) {
      notifier.ReleaseWaiting();
      QTRY_VERIFY(returned);  // while the box is still open
      CloseBox(AsBox(modal));
    });
    worker = std::jthread([&] {
      notifier.ShowBox("警告", "超时", BoxIcon::Question);
      returned = true;
    });
    ReleaseOnExit release{notifier};
    QTRY_VERIFY(watch.Handled());
    QTRY_VERIFY(returned);
    // After shutdown nobody waits any more, and no box opens: the question answers no at once.
    std::jthread([&] { notifier.ShowBox("警告", "超时", BoxIcon::Question); }).join();
    QVERIFY(!notifier.AskYesNo("提示", "下载吗？", BoxIcon::Exclamation));
    QCoreApplication::processEvents();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }
};

QTEST_MAIN(QtNotifierTest)
#include "qt_notifier_test.moc"
