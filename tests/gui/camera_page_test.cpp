// The camera page as a view of its form: every control bound both ways, typed list text routed
// through the form, the names assistive tools read, and the tab order.
#include "qt/pages/camera_page.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "qt/widgets/ipv4_edit.h"
#include "support/form_binding.h"
#include "support/qt_control.h"

using quillon::CameraForm;
using quillon::CameraPageLayout;
using quillon::CCameraPage;

using quillon::fakes::TypeIntoList;
using namespace quillon;

class CameraPageTest : public QObject {
  Q_OBJECT

 private:
  CameraForm form_{2};
  std::unique_ptr<CCameraPage> page_;

 private slots:
  void init() {
    form_ = CameraForm(2);
    page_ = std::make_unique<CCameraPage>(form_);
  }
  void cleanup() { page_.reset(); }

  void everyControlIsBoundBothWays() {
    QCOMPARE(page_->CameraIndex(), uint8_t{2});
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_BRAND)->currentIndex(),
             -1);  // as made: no selection
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT)->currentIndex(), -1);
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_BRAND)->itemText(0),
             QStringLiteral("海康威视"));
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT)->itemText(7),
             QStringLiteral("8"));
    quillon::fakes::CheckEveryInputIsBound(CameraPageLayout(), form_.Controls());
    quillon::fakes::CheckBoundBothWays(
        page_->Controls(), form_.Controls(), [&] { page_->Show(form_); },
        [&] { page_->Read(form_); });
  }

  // A line text wider than its box shows its beginning after a read, as on Windows.
  void aLongTextShowsItsBeginning() {
    form_.texts[0].text = "温度：25.6℃ 湿度：40% 风速：3.2m/s 东门 1号机房 2号泵站";
    page_->Show(form_);
    QLineEdit* box = fakes::ById<QLineEdit>(page_, IDC_LINE_TEXT);
    QVERIFY(box->fontMetrics().horizontalAdvance(box->text()) > box->width());
    QCOMPARE(box->cursorPosition(), 0);
  }

  // An item's text typed into a list picks the item, as a choice from the list does.
  void typedItemTextIsAChoice() {
    QSignalSpy chosen(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT), &QComboBox::activated);
    TypeIntoList(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT), QStringLiteral("12"));
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT)->currentIndex(), -1);
    TypeIntoList(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT), QStringLiteral("5"));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT)->currentIndex(), 4);
    TypeIntoList(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT),
                 QStringLiteral("5"));  // already chosen
    QCOMPARE(chosen.count(), 1);
    page_->Read(form_);
    QCOMPARE(form_.lineCount.Choice(), 4);
  }

  void controlsCarryAccessibleNames() {
    QCOMPARE(fakes::ById<CIpAddressEdit>(page_, IDC_CAMERA_IP)->accessibleName(),
             QStringLiteral("摄像头地址"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_CAMERA_PORT)->accessibleName(),
             QStringLiteral("摄像头端口"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_CAMERA_SOURCE_PORT)->accessibleName(),
             QStringLiteral("源端口"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_CAMERA_USER)->accessibleName(),
             QStringLiteral("用户名"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_CAMERA_PASSWORD)->accessibleName(),
             QStringLiteral("密码"));
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT)->accessibleName(),
             QStringLiteral("行数"));
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT)->accessibleDescription(),
             QStringLiteral("行数"));
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_BRAND)->accessibleName(),
             QStringLiteral("品牌"));
    QCOMPARE(fakes::ById<QComboBox>(page_, IDC_CAMERA_BRAND)->accessibleDescription(),
             QStringLiteral("品牌"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_LINE_TEXT)->accessibleName(),
             QStringLiteral("第一行 默认内容"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_LINE_X)->accessibleName(),
             QStringLiteral("第一行 X坐标"));
    QCOMPARE(fakes::ById<QLineEdit>(page_, IDC_LINE_Y + 7)->accessibleName(),
             QStringLiteral("第八行 Y坐标"));
    // Every label leads to its control.
    int buddies = 0;
    for (QLabel* label : page_->findChildren<QLabel*>()) {
      if (!label->buddy()) continue;
      ++buddies;
      const bool row = label->text().endsWith(u'行') && label->text() != QStringLiteral("行数");
      QCOMPARE(label->buddy()->accessibleName(),
               row ? label->text() + QStringLiteral(" 默认内容") : label->text());
    }
    QCOMPARE(buddies, 6 + 8);
    QAccessibleInterface* ip =
        QAccessible::queryAccessibleInterface(fakes::ById<CIpAddressEdit>(page_, IDC_CAMERA_IP));
    QVERIFY(ip);
    QCOMPARE(ip->text(QAccessible::Name), QStringLiteral("摄像头地址"));
    QCOMPARE(ip->text(QAccessible::Value), QStringLiteral("0.0.0.0"));
  }

  void tabOrderFollowsTheLayout() {
    QList<QWidget*> chain;
    QWidget* w = fakes::ById<CIpAddressEdit>(page_, IDC_CAMERA_IP)->Field(0);
    for (int i = 0; i < 500 && w; ++i) {
      // An editable combo box's own edit field follows the box itself.
      if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QComboBox*>(w->parentWidget()))
        chain << w;
      w = w->nextInFocusChain();
      if (w == fakes::ById<CIpAddressEdit>(page_, IDC_CAMERA_IP)->Field(0)) break;
    }
    QList<QWidget*> expected;
    for (int i = 0; i < 4; ++i)
      expected << fakes::ById<CIpAddressEdit>(page_, IDC_CAMERA_IP)->Field(i);
    expected << fakes::ById<QLineEdit>(page_, IDC_CAMERA_PORT)
             << fakes::ById<QLineEdit>(page_, IDC_CAMERA_SOURCE_PORT)
             << fakes::ById<QLineEdit>(page_, IDC_CAMERA_USER)
             << fakes::ById<QLineEdit>(page_, IDC_CAMERA_PASSWORD);
    for (int j = 0; j < 8; ++j)
      expected << fakes::ById<QLineEdit>(page_, IDC_LINE_TEXT + j)
               << fakes::ById<QLineEdit>(page_, IDC_LINE_X + j)
               << fakes::ById<QLineEdit>(page_, IDC_LINE_Y + j);
    expected << fakes::ById<QComboBox>(page_, IDC_CAMERA_BRAND)
             << fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT);
    QCOMPARE(chain.mid(0, expected.size()), expected);
  }
};

QTEST_MAIN(CameraPageTest)
#include "camera_page_test.moc"
