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

using quillon::CameraForm;
using quillon::CameraPageLayout;
using quillon::CCameraPage;

using quillon::fakes::TypeIntoList;

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
    QCOMPARE(page_->BrandCombo()->currentIndex(), -1);  // as made: no selection
    QCOMPARE(page_->LineCountCombo()->currentIndex(), -1);
    QCOMPARE(page_->BrandCombo()->itemText(0), QStringLiteral("海康威视"));
    QCOMPARE(page_->LineCountCombo()->itemText(7), QStringLiteral("8"));
    quillon::fakes::CheckEveryInputIsBound(CameraPageLayout(), form_.Controls());
    quillon::fakes::CheckBoundBothWays(
        page_->Controls(), form_.Controls(), [&] { page_->Show(form_); },
        [&] { page_->Read(form_); });
  }

  // A line text wider than its box shows its beginning after a read, as on Windows.
  void aLongTextShowsItsBeginning() {
    form_.texts[0].text = "温度：25.6℃ 湿度：40% 风速：3.2m/s 东门 1号机房 2号泵站";
    page_->Show(form_);
    QLineEdit* box = page_->TextBox(0);
    QVERIFY(box->fontMetrics().horizontalAdvance(box->text()) > box->width());
    QCOMPARE(box->cursorPosition(), 0);
  }

  // An item's text typed into a list picks the item, as a choice from the list does.
  void typedItemTextIsAChoice() {
    QSignalSpy chosen(page_->LineCountCombo(), &QComboBox::activated);
    TypeIntoList(page_->LineCountCombo(), QStringLiteral("12"));
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(page_->LineCountCombo()->currentIndex(), -1);
    TypeIntoList(page_->LineCountCombo(), QStringLiteral("5"));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(page_->LineCountCombo()->currentIndex(), 4);
    TypeIntoList(page_->LineCountCombo(), QStringLiteral("5"));  // already chosen
    QCOMPARE(chosen.count(), 1);
    page_->Read(form_);
    QCOMPARE(form_.lineCount.Choice(), 4);
  }

  void controlsCarryAccessibleNames() {
    QCOMPARE(page_->CameraAddressEdit()->accessibleName(), QStringLiteral("摄像头地址"));
    QCOMPARE(page_->CameraPortBox()->accessibleName(), QStringLiteral("摄像头端口"));
    QCOMPARE(page_->SourcePortBox()->accessibleName(), QStringLiteral("源端口"));
    QCOMPARE(page_->UserBox()->accessibleName(), QStringLiteral("用户名"));
    QCOMPARE(page_->PasswordBox()->accessibleName(), QStringLiteral("密码"));
    QCOMPARE(page_->LineCountCombo()->accessibleName(), QStringLiteral("行数"));
    QCOMPARE(page_->LineCountCombo()->accessibleDescription(), QStringLiteral("行数"));
    QCOMPARE(page_->BrandCombo()->accessibleName(), QStringLiteral("品牌"));
    QCOMPARE(page_->BrandCombo()->accessibleDescription(), QStringLiteral("品牌"));
    QCOMPARE(page_->TextBox(0)->accessibleName(), QStringLiteral("第一行 默认内容"));
    QCOMPARE(page_->XBox(0)->accessibleName(), QStringLiteral("第一行 X坐标"));
    QCOMPARE(page_->YBox(7)->accessibleName(), QStringLiteral("第八行 Y坐标"));
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
    QAccessibleInterface* ip = QAccessible::queryAccessibleInterface(page_->CameraAddressEdit());
    QVERIFY(ip);
    QCOMPARE(ip->text(QAccessible::Name), QStringLiteral("摄像头地址"));
    QCOMPARE(ip->text(QAccessible::Value), QStringLiteral("0.0.0.0"));
  }

  void tabOrderFollowsTheLayout() {
    QList<QWidget*> chain;
    QWidget* w = page_->CameraAddressEdit()->Field(0);
    for (int i = 0; i < 500 && w; ++i) {
      // An editable combo box's own edit field follows the box itself.
      if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QComboBox*>(w->parentWidget()))
        chain << w;
      w = w->nextInFocusChain();
      if (w == page_->CameraAddressEdit()->Field(0)) break;
    }
    QList<QWidget*> expected;
    for (int i = 0; i < 4; ++i) expected << page_->CameraAddressEdit()->Field(i);
    expected << page_->CameraPortBox() << page_->SourcePortBox() << page_->UserBox()
             << page_->PasswordBox();
    for (int j = 0; j < 8; ++j) expected << page_->TextBox(j) << page_->XBox(j) << page_->YBox(j);
    expected << page_->BrandCombo() << page_->LineCountCombo();
    QCOMPARE(chain.mid(0, expected.size()), expected);
  }
};

QTEST_MAIN(CameraPageTest)
#include "camera_page_test.moc"
