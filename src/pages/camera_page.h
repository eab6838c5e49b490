// One camera's page under the network page's camera tabs: the camera's address and ports, the
// login, the brand, the number of overlay lines and the eight overlay lines. The page keeps no
// values of its own; ParamsToPage and PageToParams copy between its controls and camera record
// `cameraIndex` of the network block.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "params/parameter_block.h"
#include "widgets/page_controls.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace quillon {

class CIpAddressEdit;

// The brand list, in index order (the values of byBrand).
inline constexpr const char* kBrandNames[5] = {"海康威视", "大华", "宇视科技", "中维世纪", "华为"};

class CCameraPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidthDu = 336;
  static constexpr int kHeightDu = 260;
  static constexpr int kRows = 8;

  explicit CCameraPage(QWidget* parent = nullptr);

  void SetCameraIndex(uint8_t index) { cameraIndex = index; }
  uint8_t CameraIndex() const { return cameraIndex; }

  // Camera record `cameraIndex` of `osd` into the controls.
  void ParamsToPage(const sOSDCommPara& osd);
  // The controls into camera record `cameraIndex` of `osd`. Text bytes behind the terminators
  // and byLineAux keep their previous content.
  void PageToParams(sOSDCommPara& osd);
  // The first list that holds what it cannot store (see FindUnmatchedList).
  std::optional<UnmatchedList> Unmatched() const;

  CIpAddressEdit* CameraAddressEdit() const { return cameraAddress_; }
  QLineEdit* CameraPortBox() const { return cameraPort_; }
  QLineEdit* SourcePortBox() const { return sourcePort_; }
  QLineEdit* UserBox() const { return user_; }
  QLineEdit* PasswordBox() const { return password_; }
  QComboBox* BrandCombo() const { return brand_; }
  QComboBox* LineCountCombo() const { return lineCount_; }
  QLineEdit* TextBox(int row) const { return textBoxes_[row]; }
  QLineEdit* XBox(int row) const { return xBoxes_[row]; }
  QLineEdit* YBox(int row) const { return yBoxes_[row]; }

 private:
  uint8_t cameraIndex = 0;
  std::array<QLineEdit*, kRows> textBoxes_{};
  std::array<QLineEdit*, kRows> xBoxes_{};
  std::array<QLineEdit*, kRows> yBoxes_{};

  CIpAddressEdit* cameraAddress_ = nullptr;
  QLineEdit* cameraPort_ = nullptr;
  QLineEdit* sourcePort_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QComboBox* brand_ = nullptr;
  QComboBox* lineCount_ = nullptr;
};

}  // namespace quillon
