#include "pages/slot_boxes.h"

#include <QLineEdit>

#include "text/number_text.h"
#include "widgets/gbk_field.h"

namespace quillon {

void TextFieldToBox(QLineEdit* box, const char* field, size_t fieldSize) {
  ShowGbkField(box, field, fieldSize);
}

void BoxToTextField(const QLineEdit* box, char* field, size_t fieldSize, size_t limit) {
  StoreGbkField(box, field, fieldSize, limit);
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
