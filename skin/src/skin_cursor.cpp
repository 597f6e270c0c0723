#include "skin/skin_cursor.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace skin {
namespace {

constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr quint16 kCursorType = 2;

}  // namespace

std::optional<QCursor> CursorFromCurData(const QByteArray& data, QString* error)
{
    auto fail = [&](const QString& why) -> std::optional<QCursor> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (data.size() < kDirectorySize + kEntrySize)
        return fail(QStringLiteral("cursor data shorter than its header"));
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    if (qFromLittleEndian<quint16>(p) != 0 || qFromLittleEndian<quint16>(p + 2) != kCursorType)
        return fail(QStringLiteral("not a cursor file"));
    const quint16 count = qFromLittleEndian<quint16>(p + 4);
    if (count == 0 || kDirectorySize + static_cast<qint64>(count) * kEntrySize > data.size())
        return fail(QStringLiteral("cursor directory does not fit the data"));
    const uchar* entry = p + kDirectorySize;
    const int hotX = qFromLittleEndian<quint16>(entry + 4);
    const int hotY = qFromLittleEndian<quint16>(entry + 6);
    const quint32 size = qFromLittleEndian<quint32>(entry + 8);
    const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
    if (static_cast<qint64>(offset) + size > data.size())
        return fail(QStringLiteral("cursor image lies past the end of the data"));

    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        return fail(QStringLiteral("cursor image unreadable: %1").arg(reader.errorString()));
    if (hotX >= image.width() || hotY >= image.height())
        return fail(QStringLiteral("cursor hot spot outside its image"));
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

}  // namespace skin
