// Region data reading (well-formed and hostile), the corner composition of
// resizable skins, and regions made from bitmaps.
#include "skin/regions.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <initializer_list>

namespace skin {
namespace {

QByteArray Data(std::initializer_list<qint32> words)
{
    QByteArray out;
    for (qint32 w : words) {
        char b[4];
        qToLittleEndian<qint32>(w, b);
        out.append(b, 4);
    }
    return out;
}

// Every pixel of BOX: whether A and B agree on it.
void ExpectSamePixels(const QRegion& a, const QRegion& b, const QRect& box)
{
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            ASSERT_EQ(a.contains(QPoint(x, y)), b.contains(QPoint(x, y))) << x << "," << y;
}

TEST(RegionData, RoundTripsARegion)
{
    QRegion region(QRect(0, 0, 20, 10));
    region += QRect(5, 10, 10, 6);
    region -= QRect(0, 0, 2, 2);
    const auto back = RegionFromData(RegionToData(region));
    ASSERT_TRUE(back);
    ExpectSamePixels(*back, region, QRect(-2, -2, 30, 24));
    EXPECT_EQ(RegionBox(*back), (CRect{0, 0, 20, 16}));
}

struct BadRegion {
    const char* name;
    QByteArray data;
};

class RegionDataRejects : public ::testing::TestWithParam<BadRegion> {};

TEST_P(RegionDataRejects, MalformedData)
{
    QString error;
    EXPECT_FALSE(RegionFromData(GetParam().data, &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegionDataRejects,
    ::testing::Values(
        BadRegion{"Empty", QByteArray()},
        BadRegion{"ShortHeader", Data({32, 1, 0, 0, 0, 0, 0})},
        BadRegion{"WrongHeaderSize", Data({36, 1, 0, 0, 0, 0, 0, 0})},
        BadRegion{"WrongType", Data({32, 2, 0, 0, 0, 0, 0, 0})},
        // Two rectangles claimed, one present: must not read past the end.
        BadRegion{"CountPastEnd", Data({32, 1, 2, 32, 0, 0, 10, 10, 0, 0, 10, 10})},
        BadRegion{"HugeCount", Data({32, 1, -1, 0, 0, 0, 0, 0})},
        BadRegion{"PartialRectangle", Data({32, 1, 1, 16, 0, 0, 10, 10, 0, 0, 10})},
        BadRegion{"InvertedRectangle", Data({32, 1, 1, 16, 0, 0, 10, 10, 10, 0, 0, 10})},
        BadRegion{"OutOfRange", Data({32, 1, 1, 16, 0, 0, 10, 10, 0, 0, 0x7FFFFFFF, 10})}),
    [](const ::testing::TestParamInfo<BadRegion>& info) { return std::string(info.param.name); });

TEST(RegionData, SkipsEmptyRectanglesAndIgnoresTheStoredBox)
{
    // The stored bounding box and size field are wrong; only the
    // rectangles count.
    const auto region = RegionFromData(Data({32, 1, 2, 999, -5, -5, 999, 999,
                                             3, 3, 3, 8,   // empty: no width
                                             1, 2, 4, 6}));
    ASSERT_TRUE(region);
    EXPECT_EQ(RegionBox(*region), (CRect{1, 2, 4, 6}));
}

// A corner piece: a SIDE x SIDE box without its outer corner pixel(s).
QRegion Corner(int side, QPoint cut)
{
    QRegion r(0, 0, side, side);
    r -= QRect(cut, QSize(1, 1));
    return r;
}

TEST(ResizableRegion, CornersAndCrossCoverTheWindow)
{
    const int side = 8;
    const QRegion tl = Corner(side, {0, 0});
    QRegion tr = Corner(side, {side - 1, 0});
    QRegion bl = Corner(side, {0, side - 1});
    QRegion br = Corner(side, {side - 1, side - 1});

    for (const QSize size : {QSize(100, 60), QSize(40, 30), QSize(100, 60)}) {
        const QRegion shape =
            CreateResizableRegion(tl, tr, bl, br, CRect{0, 0, size.width(), size.height()});
        QRegion expected(0, 0, size.width(), size.height());
        expected -= QRect(0, 0, 1, 1);
        expected -= QRect(size.width() - 1, 0, 1, 1);
        expected -= QRect(0, size.height() - 1, 1, 1);
        expected -= QRect(size.width() - 1, size.height() - 1, 1, 1);
        ExpectSamePixels(shape, expected, QRect(-2, -2, size.width() + 4, size.height() + 4));
    }
}

TEST(BitmapRegion, RunsOfNonTransparentPixels)
{
    QImage image(6, 3, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    image.setPixel(1, 0, qRgb(0, 0, 0));
    image.setPixel(2, 0, qRgb(10, 0, 0));
    image.setPixel(4, 0, qRgb(0, 0, 0));
    for (int x = 0; x < 6; ++x)
        image.setPixel(x, 2, qRgb(1, 2, 3));
    const QRegion region = CreateRgnFromBitmap(image, qRgb(255, 255, 255));
    QRegion expected(1, 0, 2, 1);
    expected += QRect(4, 0, 1, 1);
    expected += QRect(0, 2, 6, 1);
    ExpectSamePixels(region, expected, QRect(-1, -1, 8, 5));
}

TEST(BitmapRegion, MaskMarksTheColourWhiteAndBlackensTheSource)
{
    QImage image(3, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 255));
    image.setPixel(1, 0, qRgb(9, 9, 9));
    image.setPixel(2, 0, qRgb(255, 0, 255));
    const QImage mask = CreateBitmapMask(image, qRgb(255, 0, 255));
    ASSERT_EQ(mask.format(), QImage::Format_Mono);
    EXPECT_EQ(mask.pixelIndex(0, 0), 1);
    EXPECT_EQ(mask.pixelIndex(1, 0), 0);
    EXPECT_EQ(qRgb(0, 0, 0), image.pixel(0, 0) | 0xFF000000);
    EXPECT_EQ(qRgb(9, 9, 9), image.pixel(1, 0) | 0xFF000000);
}

}  // namespace
}  // namespace skin
