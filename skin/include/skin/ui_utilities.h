// Small helpers the suite's windows share: bitmap sizes, centring a
// rectangle, blending two colours, finding a menu item by its text.
#pragma once

#include "skin/colors.h"
#include "skin/rect.h"

#include <QPixmap>
#include <QString>

class QMenu;

namespace skin {

class CUIUtilities {
public:
    static int GetBitmapWidth(const QPixmap& bitmap) { return bitmap.width(); }
    static int GetBitmapHeight(const QPixmap& bitmap) { return bitmap.height(); }

    // Moves RECT so its centre is REFERENCE's (the primary screen when
    // null); halves truncate toward zero.
    static void CenterRect(CRect& rect, const CRect* reference = nullptr);

    // Per channel (A + B) * NUMERATOR / DENOMINATOR, held to 0..255 (a sum
    // past 255 saturates instead of spilling into the next channel). A zero
    // denominator gives A.
    static COLORREF BlendColors(COLORREF a, COLORREF b, int numerator, int denominator);

    // The position of the first item whose text, without "&" marks, equals
    // TEXT regardless of case; -1 when none does.
    static int FindMenuIndex(const QMenu* menu, const QString& text);
};

}  // namespace skin
