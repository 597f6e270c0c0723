#include "skin/bitmap_paint.h"

#include <QPainter>

namespace skin {

QPixmap ApplyWhiteMask(const QPixmap& bitmap, const QImage& mask)
{
    if (bitmap.isNull() || mask.isNull())
        return bitmap;
    QImage image = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QImage m = mask.convertToFormat(QImage::Format_RGB32);
    if (m.size() != image.size())
        m = m.scaled(image.size());
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const QRgb* maskLine = reinterpret_cast<const QRgb*>(m.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((maskLine[x] & 0x00FFFFFF) == 0x00FFFFFF)
                line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

void DrawSkinBitmap(QPainter& painter, const QRect& target, const QPixmap& bitmap, int mode,
                    const QImage& mask)
{
    if (bitmap.isNull() || target.isEmpty())
        return;
    if (mode == kDrawTile) {
        painter.drawTiledPixmap(target, bitmap);
        return;
    }
    const QPixmap source = mask.isNull() ? bitmap : ApplyWhiteMask(bitmap, mask);
    if (mode == kDrawStretch) {
        painter.drawPixmap(target, source);
        return;
    }
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.drawPixmap(target.topLeft(), source);
    painter.restore();
}

}  // namespace skin
