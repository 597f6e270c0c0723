// Fonts of the layout's FONTS element, described by the logical-font fields
// the format uses and turned into a QFont.
#pragma once

#include <QFont>
#include <QString>

#include <cstdint>

class QWidget;

namespace skin {

struct LOGFONT {
    std::int32_t lfHeight = 0;  // > 0: cell height in pixels; < 0: character height
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 400;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    QString lfFaceName;  // empty: the system chooses
};

// The pixel height of a font of POINTS points on a screen of DPIY dots per
// inch, rounded as multiply-then-divide does (10 points at 96 give 13).
std::int32_t PointsToLogicalHeight(std::int32_t points, int dpiY);

// The QFont for LF. The cell height of a positive lfHeight becomes the
// font's line height; a negative one is the character (em) height. Weight,
// italic, underline, strike-out, quality, pitch and family map to their Qt
// counterparts; the character set and the precision fields have no Qt
// counterpart and change nothing; escapement and orientation (rotated text)
// are not drawn.
QFont FontFromLogFont(const LOGFONT& lf);

// A named skin font: its fields as the layout gave them and the QFont made
// from them.
struct CSkinFont {
    LOGFONT logFont;
    QFont font;
};

}  // namespace skin
