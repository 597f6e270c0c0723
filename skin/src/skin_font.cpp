#include "skin/skin_font.h"

#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace skin {
namespace {

// Quality and pitch-and-family fields (the Windows numbers).
constexpr std::uint8_t kNonAntialiasedQuality = 3;
constexpr std::uint8_t kAntialiasedQuality = 4;
constexpr std::uint8_t kFixedPitch = 1;
constexpr std::uint8_t kFamilyRoman = 0x10;
constexpr std::uint8_t kFamilySwiss = 0x20;
constexpr std::uint8_t kFamilyModern = 0x30;
constexpr std::uint8_t kFamilyScript = 0x40;
constexpr std::uint8_t kFamilyDecorative = 0x50;

QFont::Weight QtWeight(std::int32_t weight)
{
    if (weight <= 0)
        return QFont::Normal;
    // Qt's weights use the same 100 to 900 scale.
    const int rounded = std::clamp((weight + 50) / 100 * 100, 100, 900);
    return static_cast<QFont::Weight>(rounded);
}

}  // namespace

std::int32_t PointsToLogicalHeight(std::int32_t points, int dpiY)
{
    const long long product = static_cast<long long>(points) * dpiY;
    // MulDiv rounds half away from zero.
    const long long half = product >= 0 ? 36 : -36;
    return static_cast<std::int32_t>((product + half) / 72);
}

QFont FontFromLogFont(const LOGFONT& lf)
{
    QFont font = QGuiApplication::font();
    if (!lf.lfFaceName.isEmpty())
        font.setFamilies({lf.lfFaceName});

    switch (lf.lfPitchAndFamily & 0xF0) {
    case kFamilyRoman: font.setStyleHint(QFont::Serif); break;
    case kFamilySwiss: font.setStyleHint(QFont::SansSerif); break;
    case kFamilyModern: font.setStyleHint(QFont::TypeWriter); break;
    case kFamilyScript: font.setStyleHint(QFont::Cursive); break;
    case kFamilyDecorative: font.setStyleHint(QFont::Fantasy); break;
    default: break;
    }
    if ((lf.lfPitchAndFamily & 0x3) == kFixedPitch)
        font.setFixedPitch(true);
    if (lf.lfQuality == kAntialiasedQuality)
        font.setStyleStrategy(QFont::PreferAntialias);
    else if (lf.lfQuality == kNonAntialiasedQuality)
        font.setStyleStrategy(QFont::NoAntialias);

    font.setWeight(QtWeight(lf.lfWeight));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);

    if (lf.lfHeight < 0) {
        font.setPixelSize(-lf.lfHeight);
    } else if (lf.lfHeight > 0) {
        // A cell height: scale the em size so ascent + descent come out at
        // the asked height.
        QFont probe = font;
        probe.setPixelSize(100);
        const qreal line = QFontMetricsF(probe).ascent() + QFontMetricsF(probe).descent();
        const int pixels = line > 0 ? static_cast<int>(std::lround(lf.lfHeight * 100.0 / line))
                                    : lf.lfHeight;
        font.setPixelSize(std::max(1, pixels));
    }
    return font;
}

}  // namespace skin
