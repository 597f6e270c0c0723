// Text in skinned controls: one line or word-wrapped, aligned, cut with an
// ellipsis when it does not fit, and embossed for disabled controls.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;
class QFontMetrics;

namespace skin {

// Drawing flags (the Windows numbers, so callers read like the code they
// replace).
inline constexpr unsigned DT_LEFT = 0x0;
inline constexpr unsigned DT_CENTER = 0x1;
inline constexpr unsigned DT_RIGHT = 0x2;
inline constexpr unsigned DT_VCENTER = 0x4;
inline constexpr unsigned DT_BOTTOM = 0x8;
inline constexpr unsigned DT_WORDBREAK = 0x10;
inline constexpr unsigned DT_SINGLELINE = 0x20;
inline constexpr unsigned DT_NOPREFIX = 0x800;
inline constexpr unsigned DT_PATH_ELLIPSIS = 0x4000;
inline constexpr unsigned DT_END_ELLIPSIS = 0x8000;
inline constexpr unsigned DT_WORD_ELLIPSIS = 0x40000;

// The text lines that would be drawn into a box WIDTH x HEIGHT: the text's
// own line breaks, plus word wrapping with DT_WORDBREAK. With an ellipsis
// flag, lines that do not fit in the height are dropped and the last shown
// line, and any line too wide, end with "…". CUT tells whether anything was
// left out.
struct TextLines {
    QStringList lines;
    bool cut = false;
};
TextLines LayOutText(const QString& text, const QFontMetrics& metrics, int width, int height,
                     unsigned flags);

// Removes "&" mnemonic marks: "&&" is one "&", "&x" is "x". *UNDERLINE gets
// the position of the marked character (-1 when there is none).
QString StripMnemonics(const QString& text, int* underline = nullptr);

// Draws TEXT into RECT with FLAGS in COLOUR with the painter's font.
void DrawSkinText(QPainter& painter, const QRect& rect, const QString& text, unsigned flags,
                  const QColor& colour);

// The disabled look: the text in HIGHLIGHT one pixel down and right, then in
// GREY at its place.
void DrawEmbossedText(QPainter& painter, const QRect& rect, const QString& text, unsigned flags,
                      const QColor& highlight, const QColor& grey);

}  // namespace skin
