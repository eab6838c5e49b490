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
    QComboBox* lines = fakes::ById<QComboBox>(page_, IDC_CAMERA_LINE_COUNT);
    QSignalSpy chosen(lines, &QComboBox::activated);
    TypeIntoList(lines, QStringLiteral("12"));
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(lines->currentIndex(), -1);
    TypeIntoList(lines, QStringLiteral("5"));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(lines->currentIndex(), 4);
    TypeIntoList(lines, QStringLiteral("5"));  // already chosen
    QCOMPARE(chosen.count(), 1);
    page_->Read(form_);
    QCOMPARE(form_.lineCount.Choice(), 4);
  }

  void controlsCarryAccessibleNames() {
    const std::pair<int, const char*> names[] = {
        {IDC_CAMERA_IP, "摄像头地址"},      {IDC_CAMERA_PORT, "摄像头端口"},
        {IDC_CAMERA_SOURCE_PORT, "源端口"}, {IDC_CAMERA_USER, "用户名"},
        {IDC_CAMERA_PASSWORD, "密码"},      {IDC_CAMERA_LINE_COUNT, "行数"},
        {IDC_CAMERA_BRAND, "品牌"},         {IDC_LINE_TEXT, "第一行 默认内容"},
        {IDC_LINE_X, "第一行 X坐标"},       {IDC_LINE_Y + 7, "第八行 Y坐标"}};
    for (const auto& [id, name] : names)
      QCOMPARE(fakes::ById(page_, id)->accessibleName(), QString::fromUtf8(name));
    // The lists carry their name as description too.
    for (const int id : {IDC_CAMERA_LINE_COUNT, IDC_CAMERA_BRAND})
      QCOMPARE(fakes::ById<QComboBox>(page_, id)->accessibleDescription(),
               fakes::ById(page_, id)->accessibleName());
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
        QAccessible::queryAccessibleInterface(fakes::ById(page_, IDC_CAMERA_IP));
    QVERIFY(ip);
    QCOMPARE(ip->text(QAccessible::Name), QStringLiteral("摄像头地址"));
    QCOMPARE(ip->text(QAccessible::Value), QStringLiteral("0.0.0.0"));
  }

  void tabOrderFollowsTheLayout() {
    CIpAddressEdit* ip = fakes::ById<CIpAddressEdit>(page_, IDC_CAMERA_IP);
    QList<QWidget*> chain;
    QWidget* w = ip->Field(0);
    for (int i = 0; i < 500 && w; ++i) {
      // An editable combo box's own edit field follows the box itself.
      if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QComboBox*>(w->parentWidget()))
        chain << w;
      w = w->nextInFocusChain();
      if (w == ip->Field(0)) break;
    }
    QList<QWidget*> expected;
    for (int i = 0; i < 4; ++i) expected << ip->Field(i);
    for (const int id :
         {IDC_CAMERA_PORT, IDC_CAMERA_SOURCE_PORT, IDC_CAMERA_USER, IDC_CAMERA_PASSWORD})
      expected << fakes::ById(page_, id);
    for (int j = 0; j < 8; ++j)
      for (const int id : {IDC_LINE_TEXT, IDC_LINE_X, IDC_LINE_Y})
        expected << fakes::ById(page_, id + j);
    expected << fakes::ById(page_, IDC_CAMERA_BRAND) << fakes::ById(page_, IDC_CAMERA_LINE_COUNT);
    QCOMPARE(chain.mid(0, expected.size()), expected);
  }
};

QTEST_MAIN(CameraPageTest)
#include "camera_page_test.moc"
