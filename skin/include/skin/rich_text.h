// The inline mark-up of rich static texts: "[font,colour,background]" starts
// a piece in that font and those colours, "[]" returns to the defaults, and
// "[[" is a literal "[". For example
//   "POPUP COUNT: [counter_bold_font,counter_number_color]%d[] SINCE %s".
#pragma once

#include "skin/colors.h"

#include <QFont>
#include <QMap>
#include <QRect>
#include <QString>

#include <vector>

namespace skin {

// m_mapSkinFonts as the mark-up sees it: font name -> font.
using CSkinFontLookup = QMap<QString, QFont>;

struct RichDefaults {
    QFont font;
    COLORREF textColor = 0;
    COLORREF bgColor = CLR_TRANSPARENT;
};

struct RichPiece {
    QString text;
    QString fontName;  // as written in the marker; empty for the default font
    QFont font;
    COLORREF textColor = 0;
    COLORREF bgColor = CLR_TRANSPARENT;
    QRect rect;  // measured: one line, laid side by side from (0, 0)
};

// Splits TEXT into pieces. Font names resolve through FONTS (else the
// default font); colours through COLORS or as hexadecimal digits (else the
// default); a background of "transparent" is transparent.
std::vector<RichPiece> SplitRichString(const QString& text, const RichDefaults& defaults,
                                       const CSkinFontLookup& fonts, const CSkinColorMap& colors);

// Measures each piece on one line in its font and lays them side by side;
// returns the total size (sum of widths, largest height).
QSize MeasureRichPieces(std::vector<RichPiece>& pieces);

// Where each piece goes in a box: pieces start at ORIGIN and run right; a
// piece that would pass RIGHT is cut there and ends the line. Returns the
// number of pieces drawn (the last possibly cut) and sets each drawn
// piece's rect.
struct RichPlacement {
    QRect rect;     // where the whole piece would be
    QRect visible;  // the part that is drawn
};
std::vector<RichPlacement> PlaceRichPieces(const std::vector<RichPiece>& pieces, QPoint origin,
                                           int right);

}  // namespace skin
