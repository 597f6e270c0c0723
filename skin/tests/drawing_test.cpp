// Text lines (one line, wrapped, cut with an ellipsis, mnemonics) and the
// bitmap draw modes (natural size, stretched, tiled, through a mask).
#include "skin/bitmap_paint.h"
#include "skin/text_draw.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include <gtest/gtest.h>

namespace skin {
namespace {

const QChar kEllipsis(0x2026);

class TextLayout : public ::testing::Test {
protected:
    QFontMetrics fm{QApplication::font()};
    int Width(const QString& s) const { return fm.horizontalAdvance(s); }
};

TEST_F(TextLayout, SingleLineJoinsLines)
{
    const TextLines t = LayOutText(QStringLiteral("one\ntwo"), fm, 1000, 100, DT_SINGLELINE);
    EXPECT_EQ(t.lines, QStringList{QStringLiteral("one two")});
    EXPECT_FALSE(t.cut);
}

TEST_F(TextLayout, WrapsAtWordsWithinTheWidth)
{
    const QString text = QStringLiteral("alpha beta gamma delta");
    const int width = std::max(Width(QStringLiteral("alpha beta")), Width(QStringLiteral("gamma delta"))) + 1;
    const TextLines t = LayOutText(text, fm, width, 1000, DT_WORDBREAK);
    EXPECT_EQ(t.lines, (QStringList{QStringLiteral("alpha beta"), QStringLiteral("gamma delta")}));
    for (const QString& line : t.lines)
        EXPECT_LE(Width(line), width);
    // A word longer than the line is broken between characters.
    const TextLines longWord = LayOutText(QStringLiteral("abcdefghij"), fm, Width(QStringLiteral("abcd")), 1000, DT_WORDBREAK);
    EXPECT_GT(longWord.lines.size(), 1);
    EXPECT_EQ(longWord.lines.join(QString()), QStringLiteral("abcdefghij"));
}

TEST_F(TextLayout, EndEllipsisCutsLinesThatDoNotFit)
{
    const QString text = QStringLiteral("alpha beta gamma delta epsilon zeta");
    const int width = Width(QStringLiteral("alpha beta")) + 1;
    const int twoLines = fm.lineSpacing() * 2;
    const TextLines t = LayOutText(text, fm, width, twoLines, DT_WORDBREAK | DT_END_ELLIPSIS);
    ASSERT_EQ(t.lines.size(), 2);
    EXPECT_TRUE(t.cut);
    EXPECT_TRUE(t.lines.last().endsWith(kEllipsis));
    EXPECT_LE(Width(t.lines.last()), width);

    const TextLines wide = LayOutText(QStringLiteral("a very long single line of text"), fm, Width(QStringLiteral("a very")), 100,
                                      DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_TRUE(wide.cut);
    EXPECT_TRUE(wide.lines.front().endsWith(kEllipsis));
    EXPECT_TRUE(wide.lines.front().startsWith(QLatin1Char('a')));
}

TEST_F(TextLayout, PathEllipsisKeepsBothEnds)
{
    const QString path = QStringLiteral("C:/Program Files/Some Vendor/Some Product/file.exe");
    const TextLines t = LayOutText(path, fm, Width(QStringLiteral("C:/Program/file.exe")), 100,
                                   DT_SINGLELINE | DT_PATH_ELLIPSIS);
    EXPECT_TRUE(t.cut);
    EXPECT_TRUE(t.lines.front().startsWith(QLatin1Char('C')));
    EXPECT_TRUE(t.lines.front().endsWith(QLatin1String("exe")));
    EXPECT_TRUE(t.lines.front().contains(kEllipsis));
}

TEST(Mnemonics, AmpersandsMarkOneCharacter)
{
    int underline = 0;
    EXPECT_EQ(StripMnemonics(QStringLiteral("&Open"), &underline), QStringLiteral("Open"));
    EXPECT_EQ(underline, 0);
    EXPECT_EQ(StripMnemonics(QStringLiteral("Save && E&xit"), &underline), QStringLiteral("Save & Exit"));
    EXPECT_EQ(underline, 8);
    EXPECT_EQ(StripMnemonics(QStringLiteral("trailing&"), &underline), QStringLiteral("trailing&"));
    EXPECT_EQ(underline, -1);
}

TEST(Embossed, DrawsHighlightBelowRightAndGreyOnTop)
{
    QImage image(80, 30, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    QFont font = QApplication::font();
    font.setPixelSize(20);
    font.setStyleStrategy(QFont::NoAntialias);  // exact colours to count
    p.setFont(font);
    DrawEmbossedText(p, QRect(0, 0, 80, 30), QStringLiteral("H"), DT_SINGLELINE | DT_VCENTER, Qt::white,
                     QColor(128, 128, 128));
    p.end();
    int white = 0, grey = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const QRgb px = image.pixel(x, y);
            white += px == qRgb(255, 255, 255);
            grey += px == qRgb(128, 128, 128);
        }
    EXPECT_GT(white, 0);  // the highlight shows where the grey does not cover it
    EXPECT_GT(grey, 0);
}

QPixmap TwoColour()
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.setPixel(0, 0, qRgb(0, 0, 255));
    return QPixmap::fromImage(image);
}

QImage Draw(int mode, const QImage& mask = QImage())
{
    QImage target(10, 6, QImage::Format_RGB32);
    target.fill(Qt::green);
    QPainter p(&target);
    DrawSkinBitmap(p, QRect(1, 1, 8, 4), TwoColour(), mode, mask);
    return target;
}

TEST(BitmapDrawing, NaturalStretchAndTile)
{
    const QImage natural = Draw(kDrawNatural);
    EXPECT_EQ(natural.pixel(1, 1), qRgb(0, 0, 255));
    EXPECT_EQ(natural.pixel(4, 2), qRgb(255, 0, 0));
    EXPECT_EQ(natural.pixel(6, 2), qRgb(0, 255, 0));  // past the bitmap: untouched
    EXPECT_EQ(natural.pixel(0, 0), qRgb(0, 255, 0));  // outside the rectangle

    const QImage stretched = Draw(kDrawStretch);
    EXPECT_EQ(stretched.pixel(2, 2), qRgb(0, 0, 255));  // the corner pixel, twice as big
    EXPECT_EQ(stretched.pixel(8, 4), qRgb(255, 0, 0));
    EXPECT_EQ(stretched.pixel(9, 5), qRgb(0, 255, 0));

    const QImage tiled = Draw(kDrawTile);
    EXPECT_EQ(tiled.pixel(5, 1), qRgb(0, 0, 255));  // the second tile starts at x 5
    EXPECT_EQ(tiled.pixel(1, 3), qRgb(0, 0, 255));  // the second row of tiles at y 3
    EXPECT_EQ(tiled.pixel(8, 4), qRgb(255, 0, 0));
}

TEST(BitmapDrawing, WhiteMaskPixelsAreLeftOut)
{
    QImage mask(4, 2, QImage::Format_RGB32);
    mask.fill(Qt::black);
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage masked = Draw(kDrawNatural, mask);
    EXPECT_EQ(masked.pixel(2, 1), qRgb(0, 255, 0));
    EXPECT_EQ(masked.pixel(3, 1), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace skin
