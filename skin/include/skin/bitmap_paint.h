// Drawing skin bitmaps: at natural size, stretched or tiled, optionally
// through a mask bitmap whose white pixels are left out.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>

class QPainter;

namespace skin {

enum SkinDrawMode {
    kDrawNatural = 0,  // copied at natural size from the top-left corner
    kDrawStretch = 1,  // stretched over the rectangle
    kDrawTile = 2,     // repeated from the top-left corner
};

// BITMAP with every pixel that is white in MASK made transparent. A mask of
// another size is matched by scaling.
QPixmap ApplyWhiteMask(const QPixmap& bitmap, const QImage& mask);

// Draws BITMAP into TARGET with MODE; with a non-null MASK the bitmap is
// drawn through it (tiling ignores the mask, as its tiles do not line up).
void DrawSkinBitmap(QPainter& painter, const QRect& target, const QPixmap& bitmap, int mode,
                    const QImage& mask = QImage());

}  // namespace skin
