// The IPv4 address control: four byte fields 0 to 255 separated by dots, in one framed box.
// A blank field reads as 0. Typing '.' (or a third digit) moves on to the next field.
#pragma once

#include <QFrame>
#include <QString>
#include <array>
#include <cstdint>

class QLineEdit;
class QLabel;

namespace quillon {

class CIpAddressEdit : public QFrame {
  Q_OBJECT

 public:
  explicit CIpAddressEdit(QWidget* parent = nullptr);

  // The four bytes, the leftmost field first; blank fields give 0.
  std::array<uint8_t, 4> Address() const;
  void SetAddress(const uint8_t bytes[4]);
  void SetAddress(const std::array<uint8_t, 4>& bytes) { SetAddress(bytes.data()); }
  // Empties every field.
  void Clear();
  // True when every field is blank.
  bool IsBlank() const;

  // "a.b.c.d" of Address(); the accessible value of the control.
  QString DottedText() const;

  // The field widgets, leftmost first (tests type into them).
  QLineEdit* Field(int index) const { return fields_[index]; }

  // Gives the control and its four fields their accessible names from the label text.
  void SetAccessibleLabel(const QString& label);

 signals:
  void addressEdited();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FocusField(int index, bool selectAll);
  void OnFieldEdited(int index, const QString& text);

  std::array<QLineEdit*, 4> fields_{};
  std::array<QLabel*, 3> dots_{};
};

// Installs the accessibility factory that exposes CIpAddressEdit's dotted text as its value.
// Called by the control's constructor; harmless to call again.
void InstallIpAddressAccessibility();

}  // namespace quillon
