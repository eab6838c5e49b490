// Dialog units to pixels. Every dialog of the program is laid out in dialog units, as its
// templates were, and placed with this helper from the dialog font's own metrics: one
// horizontal unit is a quarter of the font's average character width, one vertical unit an
// eighth of its character height. So the arrangement follows the font instead of fixed pixels.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace quillon {

// The dialog font: a CJK font at 9 points (the stand-in for 宋体 9 pt).
QFont DialogFont();

class DialogUnits {
 public:
  // Base units from the font: the average width of the 52 Latin letters, rounded, and the
  // character height (ascent + descent).
  explicit DialogUnits(const QFont& font);
  // Fixed base units, for tests.
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

  int BaseX() const { return baseX_; }
  int BaseY() const { return baseY_; }

  // du * base / 4 (or / 8), rounded to the nearest pixel.
  int X(int du) const;
  int Y(int du) const;
  QSize Size(int cx, int cy) const { return QSize(X(cx), Y(cy)); }
  QRect Rect(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }

  // Sets the widget's geometry from a dialog-unit rectangle.
  void Place(QWidget* widget, int x, int y, int cx, int cy) const;

 private:
  int baseX_;
  int baseY_;
};

// The units of DialogFont(), computed once (needs a QGuiApplication).
const DialogUnits& DialogFontUnits();

}  // namespace quillon
