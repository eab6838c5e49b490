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
    // A field that came without a terminator (from a file) leaves it with one: the device
    // reads the field as a terminated text, so it is cut at a character boundary inside it.
    const QByteArray shown = box->property(kShownBytes).toByteArray();
    const std::string_view bytes = CutGbk(
        std::string_view(shown.constData(), static_cast<size_t>(shown.size())), fieldSize - 1);
    std::memcpy(field, bytes.data(), bytes.size());
    field[bytes.size()] = '\0';
    return;
  }
  StoreGbkText(field, limit, box->text().toStdString());
}

}  // namespace quillon
