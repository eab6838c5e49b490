// The message boxes: shown on the user-interface thread with caption, text, icon and "确定";
// a caller on another thread waits until the box is closed while the user-interface thread
// keeps running.
#include "app/qt_notifier.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

using quillon::BoxIcon;
using quillon::QtNotifier;

namespace {

QMessageBox* OpenBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

void CloseBox(QMessageBox* box) { box->button(QMessageBox::Ok)->click(); }

// Runs `handle` once a box is open. The box runs its own event loop, so the check has to come
// from a timer inside that loop.
void WhenBoxOpens(std::function<void(QMessageBox*)> handle) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, handle] {
    if (QMessageBox* box = OpenBox()) {
      timer->stop();
      timer->deleteLater();
      handle(box);
    }
  });
  timer->start();
}

}  // namespace

class QtNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void boxOnTheUserInterfaceThread() {
    QtNotifier notifier;
    bool seen = false;
    QTimer::singleShot(0, [&] {
      QMessageBox* box = OpenBox();
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
    QTimer::singleShot(0, [&] {
      QMessageBox* box = OpenBox();
      QVERIFY(box);
      QCOMPARE(box->text(), QStringLiteral("第一行\n第二行"));
      QCOMPARE(box->icon(), QMessageBox::NoIcon);
      CloseBox(box);
    });
    notifier.ShowBox("警告", "第一行\r\n第二行", BoxIcon::None);
  }

  void callerOnAnotherThreadWaitsForTheBox() {
    QtNotifier notifier;
    std::atomic<bool> returned{false};
    bool waited = false;
    WhenBoxOpens([&](QMessageBox* box) {
      QCOMPARE(box->icon(), QMessageBox::Question);
      QCOMPARE(box->text(), QStringLiteral("读取失败"));
      QTest::qWait(50);  // the box stays open and the caller keeps waiting
      waited = !returned;
      CloseBox(box);
    });
    std::thread worker([&] {
      notifier.ShowBox("警告", "读取失败", BoxIcon::Question);
      returned = true;
    });
    QTRY_VERIFY(returned);
    worker.join();
    QVERIFY(waited);
  }

  void shutdownReleasesWaitingCallers() {
    QtNotifier notifier;
    std::atomic<bool> returned{false};
    std::thread worker;
    WhenBoxOpens([&](QMessageBox* box) {
      notifier.ReleaseWaiting();
      worker.join();  // would hang without ReleaseWaiting: the box is still open
      CloseBox(box);
    });
    worker = std::thread([&] {
      notifier.ShowBox("警告", "超时", BoxIcon::Question);
      returned = true;
    });
    QTRY_VERIFY(returned);
    QTRY_VERIFY(!worker.joinable());
    // After shutdown nobody waits any more, and no box opens.
    std::thread late([&] { notifier.ShowBox("警告", "超时", BoxIcon::Question); });
    late.join();
    QTest::qWait(20);
    QVERIFY(OpenBox() == nullptr);
  }
};

QTEST_MAIN(QtNotifierTest)
#include "qt_notifier_test.moc"
