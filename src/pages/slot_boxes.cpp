#include "pages/slot_boxes.h"

#include <QLineEdit>

#include "text/gbk.h"
#include "text/number_text.h"

namespace quillon {

void TextFieldToBox(QLineEdit* box, const char* field, size_t fieldSize) {
  box->setText(QString::fromStdString(LoadGbkText(field, fieldSize)));
}

void BoxToTextField(const QLineEdit* box, char* field, size_t limit) {
  StoreGbkText(field, limit, box->text().toStdString());
}

void IntegerToBox(QLineEdit* box, uint32_t value) {
  box->setText(QString::fromStdString(FormatUnsigned(value)));
}

int32_t BoxToInteger(const QLineEdit* box) { return ParseSignedDecimal(box->text().toStdString()); }

void RealToBox(QLineEdit* box, float value) {
  box->setText(QString::fromStdString(FormatReal(value)));
}

float BoxToReal(const QLineEdit* box) { return ParseReal(box->text().toStdString()); }

}  // namespace quillon
