// The page under the main window's tab "485参数": the RS-485 settings and the acquisition slots.
// For now an empty page of the right size; its controls come with the RS-485 work.
#pragma once

#include <QWidget>

#include "params/parameter_block.h"

namespace quillon {

class CRs485Page : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidthDu = 331;
  static constexpr int kHeightDu = 435;

  explicit CRs485Page(QWidget* parent = nullptr);

  // Shows sModBusPara in the controls.
  void ParamsToPage(const sModBusPara& modbus);
};

}  // namespace quillon
