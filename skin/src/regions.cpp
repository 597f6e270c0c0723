#include "skin/regions.h"

#include <QPolygon>
#include <QtEndian>

#include <vector>

namespace skin {
namespace {

constexpr int kHeaderSize = 32;
constexpr int kRectSize = 16;
constexpr quint32 kRectanglesType = 1;
// Windows coordinates are 27-bit; anything larger is a broken file and would
// overflow QRegion's arithmetic.
constexpr qint32 kCoordinateLimit = 1 << 27;

qint32 ReadInt(const char* p)
{
    return qFromLittleEndian<qint32>(p);
}

void AppendInt(QByteArray& out, qint32 v)
{
    char bytes[4];
    qToLittleEndian<qint32>(v, bytes);
    out.append(bytes, 4);
}

bool Fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

// Unites many row regions pairwise, so each union works on similar sizes.
QRegion UniteAll(std::vector<QRegion> parts)
{
    if (parts.empty())
        return QRegion();
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        next.reserve((parts.size() + 1) / 2);
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            next.push_back(parts[i].united(parts[i + 1]));
        if (parts.size() % 2)
            next.push_back(parts.back());
        parts.swap(next);
    }
    return parts.front();
}

}  // namespace

std::optional<QRegion> RegionFromData(const QByteArray& data, QString* error)
{
    if (data.size() < kHeaderSize) {
        Fail(error, QStringLiteral("region data shorter than its 32-byte header"));
        return std::nullopt;
    }
    const char* p = data.constData();
    const quint32 headerSize = static_cast<quint32>(ReadInt(p));
    const quint32 type = static_cast<quint32>(ReadInt(p + 4));
    const quint32 count = static_cast<quint32>(ReadInt(p + 8));
    if (headerSize != kHeaderSize) {
        Fail(error, QStringLiteral("region header size %1, expected 32").arg(headerSize));
        return std::nullopt;
    }
    if (type != kRectanglesType) {
        Fail(error, QStringLiteral("region type %1 is not rectangles").arg(type));
        return std::nullopt;
    }
    const qint64 available = (data.size() - kHeaderSize) / kRectSize;
    if (static_cast<qint64>(count) > available) {
        Fail(error, QStringLiteral("region claims %1 rectangles, the data holds %2")
                        .arg(count).arg(available));
        return std::nullopt;
    }

    std::vector<QRegion> rows;
    rows.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const char* r = p + kHeaderSize + static_cast<qint64>(i) * kRectSize;
        const qint32 left = ReadInt(r), top = ReadInt(r + 4);
        const qint32 right = ReadInt(r + 8), bottom = ReadInt(r + 12);
        for (qint32 v : {left, top, right, bottom}) {
            if (v < -kCoordinateLimit || v > kCoordinateLimit) {
                Fail(error, QStringLiteral("region rectangle %1 lies out of range").arg(i));
                return std::nullopt;
            }
        }
        if (right < left || bottom < top) {
            Fail(error, QStringLiteral("region rectangle %1 is inverted").arg(i));
            return std::nullopt;
        }
        if (right == left || bottom == top)
            continue;
        rows.emplace_back(left, top, right - left, bottom - top);
    }
    return UniteAll(std::move(rows));
}

QByteArray RegionToData(const QRegion& region)
{
    QByteArray out;
    const int count = region.rectCount();
    out.reserve(kHeaderSize + count * kRectSize);
    const CRect box = RegionBox(region);
    AppendInt(out, kHeaderSize);
    AppendInt(out, kRectanglesType);
    AppendInt(out, count);
    AppendInt(out, count * kRectSize);
    AppendInt(out, box.left);
    AppendInt(out, box.top);
    AppendInt(out, box.right);
    AppendInt(out, box.bottom);
    for (const QRect& r : region) {
        AppendInt(out, r.x());
        AppendInt(out, r.y());
        AppendInt(out, r.x() + r.width());
        AppendInt(out, r.y() + r.height());
    }
    return out;
}

CRect RegionBox(const QRegion& region)
{
    if (region.isEmpty())
        return {};
    return CRect::FromQRect(region.boundingRect());
}

QRegion CreateResizableRegion(const QRegion& topLeft, QRegion& topRight, QRegion& bottomLeft,
                              QRegion& bottomRight, const CRect& client)
{
    QRegion region = topLeft;

    const CRect trOld = RegionBox(topRight);
    topRight.translate(client.right - trOld.right, 0);
    region = region.xored(topRight);

    const CRect blOld = RegionBox(bottomLeft);
    bottomLeft.translate(0, client.bottom - blOld.bottom);
    region = region.xored(bottomLeft);

    const CRect tl = RegionBox(topLeft);
    const CRect tr = RegionBox(topRight);
    const CRect bl = RegionBox(bottomLeft);
    const CRect brOld = RegionBox(bottomRight);
    bottomRight.translate(tr.left - brOld.left, bl.top - brOld.top);
    region = region.xored(bottomRight);
    const CRect br = RegionBox(bottomRight);

    const QPolygon cross({
        {tl.right, tl.top}, {tr.left, tr.top}, {tr.left, tr.bottom}, {br.right, tr.bottom},
        {br.right, br.top}, {br.left, br.top}, {br.left, br.bottom}, {bl.right, bl.bottom},
        {bl.right, bl.top}, {bl.left, bl.top}, {tl.left, tl.bottom}, {tl.right, tl.bottom},
    });
    return region.united(QRegion(cross, Qt::WindingFill));
}

QRegion CreateRgnFromBitmap(const QImage& bitmap, QRgb transparent)
{
    if (bitmap.isNull())
        return QRegion();
    const QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb key = transparent & 0x00FFFFFF;
    std::vector<QRegion> rows;
    rows.reserve(image.height());
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        runs.clear();
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && (line[x] & 0x00FFFFFF) == key)
                ++x;
            const int start = x;
            while (x < image.width() && (line[x] & 0x00FFFFFF) != key)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
        if (!runs.empty()) {
            // One row of separate, non-touching runs is a valid band.
            QRegion row;
            row.setRects(runs.data(), static_cast<int>(runs.size()));
            rows.push_back(row);
        }
    }
    return UniteAll(std::move(rows));
}

QImage CreateBitmapMask(QImage& bitmap, QRgb colour)
{
    if (bitmap.isNull())
        return QImage();
    if (bitmap.format() != QImage::Format_RGB32 && bitmap.format() != QImage::Format_ARGB32)
        bitmap = bitmap.convertToFormat(QImage::Format_ARGB32);
    QImage mask(bitmap.size(), QImage::Format_Mono);
    mask.setColorCount(2);
    mask.setColor(0, qRgb(0, 0, 0));
    mask.setColor(1, qRgb(255, 255, 255));
    mask.fill(0);
    const QRgb key = colour & 0x00FFFFFF;
    for (int y = 0; y < bitmap.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == key) {
                mask.setPixel(x, y, 1);
                line[x] = qRgba(0, 0, 0, qAlpha(line[x]));
            }
        }
    }
    return mask;
}

}  // namespace skin
