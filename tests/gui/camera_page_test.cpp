// The camera page: what ParamsToPage shows and what PageToParams stores, byte for byte.
#include "pages/camera_page.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <cstring>

#include "params/parameter_block.h"
#include "support/list_items.h"
#include "widgets/ipv4_edit.h"

using quillon::CCameraPage;
using quillon::sOSDCommPara;
using quillon::fakes::ListItems;
using quillon::fakes::TypeIntoList;
using quillon::fakes::WalkEveryItem;

namespace {

// Offset of camera k, line j inside the network block.
size_t LineOffset(int k, int j) { return 52 + 694 * k + 68 + 78 * j; }

const uint8_t* Bytes(const sOSDCommPara& osd) { return reinterpret_cast<const uint8_t*>(&osd); }

}  // namespace

class CameraPageTest : public QObject {
  Q_OBJECT

 private:
  sOSDCommPara osd_{};
  std::unique_ptr<CCameraPage> page_;

 private slots:
  void init() {
    std::memset(&osd_, 0, sizeof osd_);
    page_ = std::make_unique<CCameraPage>();
    page_->SetCameraIndex(2);
  }
  void cleanup() { page_.reset(); }

  void freshPageStoresEmptyValues() {
    QCOMPARE(page_->BrandCombo()->currentIndex(), -1);
    QCOMPARE(page_->LineCountCombo()->currentIndex(), -1);
    QCOMPARE(page_->BrandCombo()->count(), 5);
    QCOMPARE(page_->BrandCombo()->itemText(0), QStringLiteral("海康威视"));
    QCOMPARE(page_->BrandCombo()->itemText(4), QStringLiteral("华为"));
    QCOMPARE(page_->LineCountCombo()->count(), 8);
    QCOMPARE(page_->LineCountCombo()->itemText(7), QStringLiteral("8"));
    std::memset(&osd_.asCamera[2], 0x77, sizeof osd_.asCamera[2]);
    page_->PageToParams(osd_);
    const auto& cam = osd_.asCamera[2];
    QCOMPARE(cam.wCameraPort, uint16_t{0});
    QCOMPARE(cam.wSourcePort, uint16_t{0});
    for (uint8_t b : cam.abyCameraIP) QCOMPARE(b, uint8_t{0});
    QCOMPARE(cam.szUser[0], '\0');
    QCOMPARE(cam.szPassword[0], '\0');
    QCOMPARE(cam.asLine[5].szText[0], '\0');
    QCOMPARE(cam.byLineCount, uint8_t{0});
    QCOMPARE(cam.byBrand, uint8_t{255});
  }

  void everyListItemBothWays() {
    const size_t camera = 52 + 694 * 2;
    std::vector<ListItems> lists = {
        {page_->LineCountCombo(), camera + 693, 1, {}},
        {page_->BrandCombo(),
         camera + 692,
         1,
         {{0, "海康威视"}, {1, "大华"}, {2, "宇视科技"}, {3, "中维世纪"}, {4, "华为"}}}};
    for (uint32_t n = 1; n <= 8; ++n) lists[0].items.push_back({n, QString::number(n)});
    WalkEveryItem(
        osd_, lists, [&] { page_->ParamsToPage(osd_); }, [&] { page_->PageToParams(osd_); });
  }

  void noSelectionRoundTrip_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("brand");
    QTest::newRow("zero count, brand 255") << 0 << 255;
    QTest::newRow("count 9, brand 5") << 9 << 5;
  }
  void noSelectionRoundTrip() {
    QFETCH(int, count);
    QFETCH(int, brand);
    // A page that showed a selection before must drop it.
    osd_.asCamera[2].byLineCount = 8;
    osd_.asCamera[2].byBrand = 4;
    page_->ParamsToPage(osd_);
    osd_.asCamera[2].byLineCount = static_cast<uint8_t>(count);
    osd_.asCamera[2].byBrand = static_cast<uint8_t>(brand);
    page_->ParamsToPage(osd_);
    QCOMPARE(page_->LineCountCombo()->currentIndex(), -1);
    QCOMPARE(page_->BrandCombo()->currentIndex(), -1);
    QVERIFY(page_->LineCountCombo()->currentText().isEmpty());
    page_->PageToParams(osd_);
    QCOMPARE(osd_.asCamera[2].byLineCount, uint8_t{0});
    QCOMPARE(osd_.asCamera[2].byBrand, uint8_t{255});
  }

  void typedTextThatIsNoItemIsNamed() {
    osd_.asCamera[2].byLineCount = 2;
    page_->ParamsToPage(osd_);
    QVERIFY(!page_->Unmatched());
    TypeIntoList(page_->LineCountCombo(), QStringLiteral("12"));
    TypeIntoList(page_->BrandCombo(), QStringLiteral("大华 "));
    QCOMPARE(page_->Unmatched()->name, page_->LineCountCombo()->accessibleName());
    QCOMPARE(page_->Unmatched()->text, QStringLiteral("12"));
    page_->LineCountCombo()->lineEdit()->clear();  // emptied by the user: no item either
    QCOMPARE(page_->Unmatched()->text, QString());
    TypeIntoList(page_->LineCountCombo(), QStringLiteral("5"));
    QCOMPARE(page_->Unmatched()->name, QStringLiteral("品牌"));
  }

  void longTextsAreCutAtTheirByteLimits() {
    page_->UserBox()->setText(QString(35, u'a'));
    page_->PasswordBox()->setText(QString(40, u'p'));
    page_->TextBox(7)->setText(QString(80, u't'));
    std::memset(&osd_.asCamera[2], 0x55, sizeof osd_.asCamera[2]);
    page_->PageToParams(osd_);
    const auto& cam = osd_.asCamera[2];
    QCOMPARE(QByteArray(cam.szUser, 30), QByteArray(29, 'a') + '\0');
    QCOMPARE(QByteArray(cam.szPassword, 30), QByteArray(29, 'p') + '\0');
    QCOMPARE(QByteArray(cam.asLine[7].szText, 73), QByteArray(72, 't') + '\0');
  }

  void chineseTextIsCutBetweenCharacters() {
    // 大 is B4 F3 and 华 is BB AA in GBK.
    page_->TextBox(0)->setText(QStringLiteral("大华"));
    // "a" and 36 two-byte characters make 73 bytes: the last character no longer fits.
    page_->TextBox(1)->setText(QStringLiteral("a") + QString(36, QChar(0x534E)));
    // "ab" and 14 two-byte characters make 30 bytes against a limit of 29.
    page_->UserBox()->setText(QStringLiteral("ab") + QString(14, QChar(0x5927)));
    std::memset(&osd_.asCamera[2], 0x55, sizeof osd_.asCamera[2]);
    page_->PageToParams(osd_);
    const auto& cam = osd_.asCamera[2];
    QCOMPARE(QByteArray(cam.asLine[0].szText, 5), QByteArray("\xB4\xF3\xBB\xAA\x00", 5));
    QByteArray expected = "a";
    for (int i = 0; i < 35; ++i) expected += "\xBB\xAA";
    expected += '\0';
    QCOMPARE(QByteArray(cam.asLine[1].szText, 72), expected);
    QCOMPARE(static_cast<uint8_t>(cam.asLine[1].szText[72]), uint8_t{0x55});
    QByteArray user = "ab";
    for (int i = 0; i < 13; ++i) user += "\xB4\xF3";
    user += '\0';
    QCOMPARE(QByteArray(cam.szUser, 29), user);
    QCOMPARE(static_cast<uint8_t>(cam.szUser[29]), uint8_t{0x55});
  }

  void chineseTextIsShownFromGbk() {
    std::memcpy(osd_.asCamera[2].asLine[3].szText,
                "\xB4\xF3\xBB\xAA"
                "A",
                6);
    page_->ParamsToPage(osd_);
    QCOMPARE(page_->TextBox(3)->text(), QStringLiteral("大华A"));
  }

  void numbersKeepTheirLow16Bits() {
    page_->XBox(0)->setText(QStringLiteral("65536"));
    page_->XBox(1)->setText(QStringLiteral("720"));
    page_->YBox(1)->setText(QStringLiteral("70000"));
    page_->YBox(2)->setText(QStringLiteral("abc"));
    page_->CameraPortBox()->setText(QStringLiteral("65535"));
    page_->SourcePortBox()->setText(QStringLiteral(" 0080"));
    std::memset(&osd_, 0xEE, sizeof osd_);
    page_->PageToParams(osd_);
    const uint8_t* b = Bytes(osd_);
    QCOMPARE(b[LineOffset(2, 0)], uint8_t{0x00});
    QCOMPARE(b[LineOffset(2, 0) + 1], uint8_t{0x00});
    QCOMPARE(b[LineOffset(2, 1)], uint8_t{0xD0});
    QCOMPARE(b[LineOffset(2, 1) + 1], uint8_t{0x02});
    QCOMPARE(b[LineOffset(2, 1) + 2], uint8_t{0x70});  // 70000 & 0xFFFF = 4464 = 0x1170
    QCOMPARE(b[LineOffset(2, 1) + 3], uint8_t{0x11});
    QCOMPARE(b[LineOffset(2, 2) + 2], uint8_t{0x00});
    QCOMPARE(b[LineOffset(2, 2) + 3], uint8_t{0x00});
    const size_t camera = 52 + 694 * 2;
    QCOMPARE(b[camera + 66], uint8_t{0xFF});  // camera port
    QCOMPARE(b[camera + 67], uint8_t{0xFF});
    QCOMPARE(b[camera + 64], uint8_t{80});  // source port
    QCOMPARE(b[camera + 65], uint8_t{0});
  }

  void numbersAndAddressShowAsDecimal() {
    auto& cam = osd_.asCamera[2];
    const uint8_t ip[4] = {192, 168, 1, 64};
    std::memcpy(cam.abyCameraIP, ip, 4);
    cam.wCameraPort = 8000;
    cam.wSourcePort = 65535;
    cam.asLine[6].wX = 1920;
    cam.asLine[6].wY = 0;
    page_->ParamsToPage(osd_);
    QCOMPARE(page_->CameraAddressEdit()->DottedText(), QStringLiteral("192.168.1.64"));
    QCOMPARE(page_->CameraPortBox()->text(), QStringLiteral("8000"));
    QCOMPARE(page_->SourcePortBox()->text(), QStringLiteral("65535"));
    QCOMPARE(page_->XBox(6)->text(), QStringLiteral("1920"));
    QCOMPARE(page_->YBox(6)->text(), QStringLiteral("0"));
    sOSDCommPara back{};
    page_->PageToParams(back);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(back.asCamera[2].abyCameraIP), 4),
             QByteArray("\xC0\xA8\x01\x40", 4));
  }

  void shorterUserNameKeepsBytesBehindTerminator() {
    auto& cam = osd_.asCamera[2];
    std::memcpy(cam.szUser, "administrator_of_camera_three", 30);  // 29 letters and a zero
    page_->ParamsToPage(osd_);
    page_->UserBox()->setText(QStringLiteral("root"));
    page_->PageToParams(osd_);
    QCOMPARE(QByteArray(cam.szUser, 30), QByteArray("root\0istrator_of_camera_three\0", 30));
  }

  // Bytes that are not GBK (a password byte 0xE9 alone, a user-defined character) cannot be
  // shown; a field the user did not touch goes back exactly as it was read, while an edited
  // field is stored as the text typed.
  void untouchedTextsGoBackByteForByte() {
    auto& cam = osd_.asCamera[2];
    const char password[] = "pw\xE9\0tail";
    std::memcpy(cam.szPassword, password, sizeof password);
    const char line[] = "\xAA\xA1\xFE\xFE\x80";  // user-defined area, a lone 0x80
    std::memcpy(cam.asLine[3].szText, line, sizeof line);
    // No terminator at all, as a file may hold: what goes back ends inside the field, cut at a
    // character boundary ("u" and fourteen times "啊" fill 29 bytes, the 30th is half of one).
    std::memset(cam.szUser, 'u', 30);
    std::memcpy(cam.asLine[5].szText, "u", 1);
    for (int i = 0; i < 36; ++i) std::memcpy(cam.asLine[5].szText + 1 + 2 * i, "\xB0\xA1", 2);
    const sOSDCommPara before = osd_;
    page_->ParamsToPage(osd_);
    page_->PageToParams(osd_);
    QCOMPARE(QByteArray(cam.szPassword, 30), QByteArray(before.asCamera[2].szPassword, 30));
    QCOMPARE(QByteArray(cam.asLine[3].szText, 73),
             QByteArray(before.asCamera[2].asLine[3].szText, 73));
    QCOMPARE(QByteArray(cam.szUser, 30), QByteArray(29, 'u') + '\0');
    QCOMPARE(QByteArray(cam.asLine[5].szText, 73),
             QByteArray(before.asCamera[2].asLine[5].szText, 71) + QByteArray("\0\xA1", 2));

    page_->PasswordBox()->setText(QStringLiteral("新"));  // edited: stored as typed
    page_->PageToParams(osd_);
    QCOMPARE(QByteArray(cam.szPassword, 3), QByteArray("\xD0\xC2\0", 3));
    // Shown again, it is the new text's bytes that are remembered.
    page_->ParamsToPage(osd_);
    page_->PageToParams(osd_);
    QCOMPARE(QByteArray(cam.szPassword, 3), QByteArray("\xD0\xC2\0", 3));
  }

  void userFieldWithoutTerminatorShowsThirtyBytes() {
    auto& cam = osd_.asCamera[2];
    std::memset(cam.szUser, 'u', 30);
    std::memcpy(cam.szPassword, "secret", 7);
    page_->ParamsToPage(osd_);
    QCOMPARE(page_->UserBox()->text(), QString(30, u'u'));
    QCOMPARE(page_->PasswordBox()->text(), QStringLiteral("secret"));
  }

  void lineAuxAndOtherCamerasAreNeverWritten() {
    for (int j = 0; j < 8; ++j)
      osd_.asCamera[2].asLine[j].byLineAux = static_cast<uint8_t>(0xA0 + j);
    std::memset(&osd_.asCamera[1], 0x31, sizeof osd_.asCamera[1]);
    std::memset(&osd_.asCamera[3], 0x33, sizeof osd_.asCamera[3]);
    const sOSDCommPara before = osd_;
    page_->ParamsToPage(osd_);
    for (int j = 0; j < 8; ++j) page_->TextBox(j)->setText(QStringLiteral("line %1").arg(j));
    page_->PageToParams(osd_);
    for (int j = 0; j < 8; ++j) {
      QCOMPARE(Bytes(osd_)[LineOffset(2, j) + 4], uint8_t(0xA0 + j));
      QCOMPARE(QByteArray(osd_.asCamera[2].asLine[j].szText), QByteArray("line ") + char('0' + j));
    }
    QVERIFY(std::memcmp(Bytes(osd_), Bytes(before), 52 + 694 * 2) == 0);
    QVERIFY(std::memcmp(&osd_.asCamera[3], &before.asCamera[3], 694) == 0);
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
