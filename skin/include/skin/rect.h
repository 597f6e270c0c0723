// A rectangle with the edge semantics of the suite's layouts: right and
// bottom lie one past the last pixel, so width = right - left. QRect keeps an
// inclusive right edge, which would put every computed edge one pixel off.
#pragma once

#include <QRect>

namespace skin {

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const CRect&, const CRect&) = default;

    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
    static CRect FromQRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }
};

}  // namespace skin
