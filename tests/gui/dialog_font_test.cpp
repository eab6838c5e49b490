// The window's font draws every character of GBK rows A1–A9 that a device's text can hold
// (punctuation, units such as ℃, Greek, Cyrillic, box drawing): each one leaves ink on a white
// picture. A font's character map is no proof: a font may claim a character and draw nothing.
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>
#include <string>

#include "qt/widgets/dialog_units.h"
#include "text/gbk.h"

class DialogFontTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryCharacterOfRowsA1ToA9DrawsInk();
};

namespace {

bool HasInk(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qGray(line[x]) < 192) return true;
  }
  return false;
}

}  // namespace

void DialogFontTest::EveryCharacterOfRowsA1ToA9DrawsInk() {
  const QFont font = quillon::DialogFont();
  const QFontMetrics metrics(font);
  QImage image(metrics.height() * 3, metrics.height() * 2, QImage::Format_RGB32);
  QStringList blank;
  int drawn = 0;
  for (int row = 0xA1; row <= 0xA9; ++row) {
    for (int cell = 0xA1; cell <= 0xFE; ++cell) {
      const char gbk[] = {static_cast<char>(row), static_cast<char>(cell)};
      const QString text = QString::fromStdString(quillon::GbkToUtf8(std::string(gbk, 2)));
      // Codes without a character of their own (the user-defined ones too) and the spaces.
      if (text.size() != 1 || text[0] == QChar::ReplacementCharacter || text[0] == u'?' ||
          text[0].category() == QChar::Other_PrivateUse || text[0].isSpace())
        continue;
      image.fill(Qt::white);
      QPainter painter(&image);
      painter.setFont(font);
      painter.setPen(Qt::black);
      painter.drawText(image.rect(), Qt::AlignCenter, text);
      painter.end();
      if (HasInk(image))
        ++drawn;
      else
        blank << QStringLiteral("%1 (GBK %2, U+%3)")
                     .arg(
                         text, QString::number(row << 8 | cell, 16).toUpper(),
                         QStringLiteral("%1").arg(text[0].unicode(), 4, 16, QChar(u'0')).toUpper());
    }
  }
  QVERIFY2(blank.isEmpty(), qPrintable(QStringLiteral("%1 draws nothing for %2")
                                           .arg(QFontInfo(font).family(), blank.join(", "))));
  QVERIFY2(drawn > 600, qPrintable(QString::number(drawn)));  // the rows hold about 700
}

QTEST_MAIN(DialogFontTest)
#include "dialog_font_test.moc"
