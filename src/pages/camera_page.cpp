#include "pages/camera_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "widgets/dialog_units.h"
#include "widgets/gbk_field.h"
#include "widgets/ipv4_edit.h"
#include "widgets/page_controls.h"

namespace quillon {

namespace {

const char* const kRowNames[CCameraPage::kRows] = {"第一行", "第二行", "第三行", "第四行",
                                                   "第五行", "第六行", "第七行", "第八行"};

constexpr size_t kLoginLimit = 29;  // bytes of szUser / szPassword before the terminator
constexpr size_t kLineTextLimit = 72;

}  // namespace

CCameraPage::CCameraPage(QWidget* parent) : QWidget(parent) {
  setFont(DialogFont());
  const DialogUnits& du = DialogFontUnits();
  resize(du.Size(kWidthDu, kHeightDu));

  // Made in the tab order of the page.
  QLabel* addressLabel = MakeLabel(this, du, QStringLiteral("摄像头地址"), 8, 14, 41, 8);
  cameraAddress_ = new CIpAddressEdit(this);
  du.Place(cameraAddress_, 51, 11, 100, 15);
  cameraAddress_->SetAccessibleLabel(addressLabel->text());
  LinkLabel(addressLabel, cameraAddress_);

  QLabel* cameraPortLabel = MakeLabel(this, du, QStringLiteral("摄像头端口"), 156, 14, 41, 8);
  cameraPort_ = MakeEdit(this, du, cameraPortLabel->text(), 200, 11, 40, 14);
  LinkLabel(cameraPortLabel, cameraPort_);

  QLabel* sourcePortLabel = MakeLabel(this, du, QStringLiteral("源端口"), 243, 14, 25, 8);
  sourcePort_ = MakeEdit(this, du, sourcePortLabel->text(), 271, 11, 40, 14);
  LinkLabel(sourcePortLabel, sourcePort_);

  QLabel* userLabel = MakeLabel(this, du, QStringLiteral("用户名"), 8, 44, 25, 8);
  QLabel* passwordLabel = MakeLabel(this, du, QStringLiteral("密码"), 98, 44, 17, 8);
  user_ = MakeEdit(this, du, userLabel->text(), 35, 41, 59, 14);
  password_ = MakeEdit(this, du, passwordLabel->text(), 118, 41, 65, 14);
  LinkLabel(userLabel, user_);
  LinkLabel(passwordLabel, password_);

  QLabel* countLabel = MakeLabel(this, du, QStringLiteral("行数"), 186, 44, 17, 8);

  const QString textHeading = QStringLiteral("默认内容");
  const QString xHeading = QStringLiteral("X坐标");
  const QString yHeading = QStringLiteral("Y坐标");
  MakeLabel(this, du, textHeading, 94, 65, 33, 8);
  MakeLabel(this, du, xHeading, 181, 67, 21, 8);
  MakeLabel(this, du, yHeading, 230, 67, 21, 8);

  for (int j = 0; j < kRows; ++j) {
    const QString row = QString::fromUtf8(kRowNames[j]);
    QLabel* rowLabel = MakeLabel(this, du, row, 28, 84 + 19 * j, 25, 8);
    textBoxes_[j] = MakeEdit(this, du, row + u' ' + textHeading, 66, 81 + 19 * j, 90, 14);
    xBoxes_[j] = MakeEdit(this, du, row + u' ' + xHeading, 171, 81 + 19 * j, 40, 14);
    yBoxes_[j] = MakeEdit(this, du, row + u' ' + yHeading, 221, 81 + 19 * j, 40, 14);
    rowLabel->setBuddy(textBoxes_[j]);
  }

  brand_ = MakeCombo(this, du, QStringLiteral("品牌"), 250, 41, 62, 53);
  for (const char* name : kBrandNames) brand_->addItem(QString::fromUtf8(name));
  SetComboSelection(brand_, -1);

  lineCount_ = MakeCombo(this, du, countLabel->text(), 205, 42, 32, 61);
  for (int i = 1; i <= 8; ++i) lineCount_->addItem(QString::number(i));
  SetComboSelection(lineCount_, -1);
  LinkLabel(countLabel, lineCount_);
}

void CCameraPage::ParamsToPage(const sOSDCommPara& osd) {
  const sCameraPara& camera = osd.asCamera[cameraIndex & 3];
  cameraAddress_->SetAddress(camera.abyCameraIP);
  WordToBox(cameraPort_, camera.wCameraPort);
  WordToBox(sourcePort_, camera.wSourcePort);
  ShowGbkField(user_, camera.szUser, sizeof camera.szUser);
  ShowGbkField(password_, camera.szPassword, sizeof camera.szPassword);
  SetComboSelection(lineCount_, static_cast<int>(camera.byLineCount) - 1);
  SetComboSelection(brand_, camera.byBrand);
  for (int j = 0; j < kRows; ++j) {
    const sOverlayLine& line = camera.asLine[j];
    ShowGbkField(textBoxes_[j], line.szText, sizeof line.szText);
    WordToBox(xBoxes_[j], line.wX);
    WordToBox(yBoxes_[j], line.wY);
  }
}

std::optional<UnmatchedList> CCameraPage::Unmatched() const {
  return FindUnmatchedList({lineCount_, brand_});
}

void CCameraPage::PageToParams(sOSDCommPara& osd) {
  sCameraPara& camera = osd.asCamera[cameraIndex & 3];
  const auto address = cameraAddress_->Address();
  std::copy(address.begin(), address.end(), camera.abyCameraIP);
  camera.wCameraPort = BoxToWord(cameraPort_);
  camera.wSourcePort = BoxToWord(sourcePort_);
  StoreGbkField(user_, camera.szUser, sizeof camera.szUser, kLoginLimit);
  StoreGbkField(password_, camera.szPassword, sizeof camera.szPassword, kLoginLimit);
  camera.byLineCount = static_cast<uint8_t>(ComboSelection(lineCount_) + 1);
  camera.byBrand = static_cast<uint8_t>(ComboSelection(brand_));  // none: 255
  for (int j = 0; j < kRows; ++j) {
    sOverlayLine& line = camera.asLine[j];
    StoreGbkField(textBoxes_[j], line.szText, sizeof line.szText, kLineTextLimit);
    line.wX = BoxToWord(xBoxes_[j]);
    line.wY = BoxToWord(yBoxes_[j]);
  }
}

}  // namespace quillon
