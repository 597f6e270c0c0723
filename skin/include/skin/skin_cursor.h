// Cursor files (.cur): the image (read by Qt's icon reader) and the hot spot
// of the first entry, checked against the file's size before use.
#pragma once

#include <QByteArray>
#include <QCursor>
#include <QString>

#include <optional>

namespace skin {

std::optional<QCursor> CursorFromCurData(const QByteArray& data, QString* error = nullptr);

}  // namespace skin
