// Window shapes: region data files, the corner composition of resizable
// skins, and regions made from bitmaps.
//
// Region data is the platform's region-data format: a 32-byte header
// (dwSize = 32, iType = 1 for rectangles, nCount, nRgnSize, bounding
// rectangle) followed by nCount rectangles, each four signed 32-bit numbers
// (left, top, right, bottom), all little-endian. Files come from layout
// authors, so every field is checked before it is used.
#pragma once

#include "skin/rect.h"

#include <QByteArray>
#include <QImage>
#include <QRegion>
#include <QString>

#include <optional>

namespace skin {

// Rejects data whose header is short or wrong, whose rectangle count does
// not fit the data, or whose rectangles are inverted or absurdly large;
// *ERROR then says why. Empty rectangles are skipped.
std::optional<QRegion> RegionFromData(const QByteArray& data, QString* error = nullptr);

// The region-data bytes of REGION (what RegionFromData reads back).
QByteArray RegionToData(const QRegion& region);

// The bounding box of REGION with an exclusive right and bottom edge.
CRect RegionBox(const QRegion& region);

// The shape of a resizable skin for client rectangle CLIENT, made of its
// four corner pieces: the top-left piece where it is, the others moved to
// their corners (TR, BL and BR are moved in place), joined by exclusive-or,
// and the cross-shaped polygon between them filled with the winding rule.
QRegion CreateResizableRegion(const QRegion& topLeft, QRegion& topRight, QRegion& bottomLeft,
                              QRegion& bottomRight, const CRect& client);

// The union of one rectangle per run of pixels, row by row, whose colour
// differs from TRANSPARENT (compared as RGB, alpha ignored).
QRegion CreateRgnFromBitmap(const QImage& bitmap, QRgb transparent);

// A one-bit mask of BITMAP in which the pixels of COLOUR are white (1) and
// all others black (0); those pixels of BITMAP are turned black, so drawing
// the bitmap through the mask leaves them out.
QImage CreateBitmapMask(QImage& bitmap, QRgb colour);

}  // namespace skin
