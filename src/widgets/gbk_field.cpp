#include "widgets/gbk_field.h"

#include <QByteArray>
#include <QLineEdit>
#include <QVariant>
#include <cstring>
#include <string>

#include "text/gbk.h"

namespace quillon {

namespace {

constexpr const char* kShownBytes = "quillonGbkBytes";
constexpr const char* kShownText = "quillonGbkText";

}  // namespace

void ShowGbkField(QLineEdit* box, const char* field, size_t fieldSize) {
  const std::string_view bytes = FieldText(field, fieldSize);
  const QString text = QString::fromStdString(GbkToUtf8(bytes));
  box->setText(text);
  box->setProperty(kShownBytes, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  box->setProperty(kShownText, text);
}

void StoreGbkField(const QLineEdit* box, char* field, size_t fieldSize, size_t limit) {
  const QVariant shownText = box->property(kShownText);
  if (shownText.isValid() && shownText.toString() == box->text()) {
    const QByteArray bytes = box->property(kShownBytes).toByteArray();
    const size_t size = std::min(static_cast<size_t>(bytes.size()), fieldSize);
    std::memcpy(field, bytes.constData(), size);
    if (size < fieldSize) field[size] = '\0';
    return;
  }
  StoreGbkText(field, limit, box->text().toStdString());
}

}  // namespace quillon
