#include "qt/widgets/dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>
#include <cmath>

namespace quillon {

namespace {

// Rounded du * base / divisor, as the platform's MulDiv rounds.
int Scale(int du, int base, int divisor) {
  const long long product = static_cast<long long>(du) * base;
  const long long half = divisor / 2;
  return static_cast<int>(product >= 0 ? (product + half) / divisor
                                       : -((-product + half) / divisor));
}

bool HasChinese(const QString& family) {
  return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
}

}  // namespace

QFont DialogFont() {
  static const QFont font = [] {
    // A Song face, as the dialogs' 宋体, that draws every GBK character a device's text can
    // hold (℃ among them, which WenQuanYi Micro Hei maps but draws empty); WenQuanYi where it
    // is missing.
    QFont f(QStringList{QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(13);
    if (!HasChinese(QFontInfo(f).family())) {
      const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
      for (const QString& family : chinese) {
        if (!QFontDatabase::isPrivateFamily(family)) {
          f = QFont(family, 9);
          break;
        }
      }
    }
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
  }();
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int width = metrics.horizontalAdvance(kLetters);
  baseX_ = std::max(1, (width / 26 + 1) / 2);
  baseY_ = std::max(1, metrics.height());
}

int DialogUnits::X(int du) const { return Scale(du, baseX_, 4); }
int DialogUnits::Y(int du) const { return Scale(du, baseY_, 8); }

void DialogUnits::Place(QWidget* widget, int x, int y, int cx, int cy) const {
  widget->setGeometry(Rect(x, y, cx, cy));
}

const DialogUnits& DialogFontUnits() {
  static const DialogUnits units(DialogFont());
  return units;
}

}  // namespace quillon
