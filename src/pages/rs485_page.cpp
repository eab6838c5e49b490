#include "pages/rs485_page.h"

#include "widgets/dialog_units.h"

namespace quillon {

CRs485Page::CRs485Page(QWidget* parent) : QWidget(parent) {
  setFont(DialogFont());
  resize(DialogFontUnits().Size(kWidthDu, kHeightDu));
}

void CRs485Page::ParamsToPage(const sModBusPara& modbus) { (void)modbus; }

}  // namespace quillon
