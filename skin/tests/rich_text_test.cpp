// Rich-text mark-up: splitting into pieces, and where a line is cut off.
#include "skin/rich_text.h"
#include "skin/skin_static.h"
#include "skin/window_style.h"

#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

namespace skin {
namespace {

struct Expected {
    QString text;
    QString font;  // "" = the default font
    COLORREF color;
    COLORREF bg;
};

struct SplitCase {
    const char* name;
    QString markup;
    std::vector<Expected> pieces;
};

constexpr COLORREF kDefaultText = 0x112233;

class RichSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(RichSplitTest, Pieces)
{
    QFont base = QApplication::font();
    QFont bold = base;
    bold.setBold(true);
    const CSkinFontLookup fonts{{QStringLiteral("bold"), bold}};
    CSkinColorMap colors;
    colors.SetColor(QStringLiteral("accent"), 0x00AA00);
    const RichDefaults defaults{base, kDefaultText, CLR_TRANSPARENT};

    const auto pieces = SplitRichString(GetParam().markup, defaults, fonts, colors);
    const auto& expected = GetParam().pieces;
    ASSERT_EQ(pieces.size(), expected.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].text, expected[i].text) << i;
        EXPECT_EQ(pieces[i].font.bold(), expected[i].font == QLatin1String("bold")) << i;
        EXPECT_EQ(pieces[i].textColor, expected[i].color) << i;
        EXPECT_EQ(pieces[i].bgColor, expected[i].bg) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RichSplitTest,
    ::testing::Values(
        SplitCase{"MarkerAndReturn", QStringLiteral("one [bold,FF0000]two[] three"),
                  {{"one ", "", kDefaultText, CLR_TRANSPARENT},
                   {"two", "bold", 0xFF0000, CLR_TRANSPARENT},
                   {" three", "", kDefaultText, CLR_TRANSPARENT}}},
        SplitCase{"DoubledBracketIsLiteral", QStringLiteral("[[word]"),
                  {{"[word]", "", kDefaultText, CLR_TRANSPARENT}}},
        SplitCase{"UnclosedMarkerIsPlain", QStringLiteral("a [bold,FF0000 b"),
                  {{"a [bold,FF0000 b", "", kDefaultText, CLR_TRANSPARENT}}},
        SplitCase{"ColourNameAndBackground", QStringLiteral("[,accent,ff]x"),
                  {{"x", "", 0x00AA00, 0xFF}}},
        SplitCase{"TransparentBackgroundWord", QStringLiteral("[bold,,transparent]x"),
                  {{"x", "bold", kDefaultText, CLR_TRANSPARENT}}},
        SplitCase{"UnknownFontAndBadColourFallBack", QStringLiteral("[nosuch,zz]x"),
                  {{"x", "", kDefaultText, CLR_TRANSPARENT}}},
        SplitCase{"EmptyTextMakesNoPiece", QStringLiteral("[bold]"), {}},
        SplitCase{"CounterText",
                  QStringLiteral("POPUP COUNT: [bold,accent]12[] SINCE today"),
                  {{"POPUP COUNT: ", "", kDefaultText, CLR_TRANSPARENT},
                   {"12", "bold", 0x00AA00, CLR_TRANSPARENT},
                   {" SINCE today", "", kDefaultText, CLR_TRANSPARENT}}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(RichPlacement, CutsThePieceThatPassesTheRightEdgeAndStops)
{
    std::vector<RichPiece> pieces(3);
    pieces[0].rect = QRect(0, 0, 40, 12);
    pieces[1].rect = QRect(0, 0, 30, 12);
    pieces[2].rect = QRect(0, 0, 20, 12);
    const auto placed = PlaceRichPieces(pieces, QPoint(10, 5), 10 + 55);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].visible, QRect(10, 5, 40, 12));
    EXPECT_EQ(placed[1].rect, QRect(50, 5, 30, 12));
    EXPECT_EQ(placed[1].visible, QRect(50, 5, 15, 12));

    const auto all = PlaceRichPieces(pieces, QPoint(0, 0), 90);
    EXPECT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].visible.width(), 20);
}

TEST(RichPlacement, MeasuresPiecesSideBySide)
{
    QFont big = QApplication::font();
    big.setPixelSize(30);
    std::vector<RichPiece> pieces(2);
    pieces[0].text = QStringLiteral("ab");
    pieces[0].font = QApplication::font();
    pieces[1].text = QStringLiteral("cd");
    pieces[1].font = big;
    const QSize size = MeasureRichPieces(pieces);
    EXPECT_EQ(pieces[1].rect.left(), pieces[0].rect.width());
    EXPECT_EQ(size.width(), pieces[0].rect.width() + pieces[1].rect.width());
    EXPECT_EQ(size.height(), QFontMetrics(big).height());
}

TEST(RichStatic, TransparentDefaultBackgroundPaintsNothing)
{
    CRichStatic control;
    control.resize(60, 20);
    control.SetText(QString());
    QImage image(60, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    control.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0);

    control.SetBGColor(RGB(0, 0, 255));
    image.fill(Qt::transparent);
    control.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(image.pixel(30, 10), qRgb(0, 0, 255));
}

TEST(RichStatic, ColourChangesRebuildThePieces)
{
    CSkinColorMap colors;
    colors.SetColor(QStringLiteral("accent"), 0x0000AA);
    CRichStatic control;
    control.SetColorMap(&colors);
    control.resize(200, 20);
    QImage image(200, 20, QImage::Format_ARGB32);
    control.SetText(QStringLiteral("a[,accent]b"));
    control.render(&image);
    ASSERT_EQ(control.Pieces().size(), 2u);
    control.SetTextColor(QStringLiteral("accent"));
    control.render(&image);
    EXPECT_EQ(control.Pieces()[0].textColor, 0x0000AAu);
}

}  // namespace
}  // namespace skin
