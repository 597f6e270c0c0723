#include "skin/text_draw.h"

#include <QFontMetrics>
#include <QPainter>

namespace skin {
namespace {

const QString kEllipsis = QString(QChar(0x2026));

// Words of one paragraph broken into lines no wider than WIDTH; a single
// word wider than the line is broken between characters.
QStringList WrapParagraph(const QString& paragraph, const QFontMetrics& fm, int width)
{
    QStringList lines;
    if (paragraph.isEmpty()) {
        lines.append(QString());
        return lines;
    }
    QString line;
    const QStringList words = paragraph.split(QLatin1Char(' '));
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (fm.horizontalAdvance(candidate) <= width || candidate.isEmpty()) {
            line = candidate;
            continue;
        }
        if (!line.isEmpty())
            lines.append(line);
        line = word;
        while (fm.horizontalAdvance(line) > width && line.size() > 1) {
            int fit = line.size() - 1;
            while (fit > 1 && fm.horizontalAdvance(line.left(fit)) > width)
                --fit;
            lines.append(line.left(fit));
            line = line.mid(fit);
        }
    }
    lines.append(line);
    return lines;
}

QString ElideTo(const QString& line, const QFontMetrics& fm, int width, unsigned flags,
                bool forceEllipsis)
{
    if (!forceEllipsis && fm.horizontalAdvance(line) <= width)
        return line;
    if (flags & DT_PATH_ELLIPSIS)
        return fm.elidedText(line, Qt::ElideMiddle, width);
    if (!forceEllipsis)
        return fm.elidedText(line, Qt::ElideRight, width);
    // The line fits but text follows it: end it with the ellipsis anyway.
    QString shown = line;
    while (!shown.isEmpty() && fm.horizontalAdvance(shown + kEllipsis) > width)
        shown.chop(1);
    return shown + kEllipsis;
}

unsigned AlignmentOf(unsigned flags)
{
    unsigned align = Qt::AlignLeft;
    if (flags & DT_CENTER)
        align = Qt::AlignHCenter;
    else if (flags & DT_RIGHT)
        align = Qt::AlignRight;
    return align;
}

}  // namespace

TextLines LayOutText(const QString& text, const QFontMetrics& fm, int width, int height,
                     unsigned flags)
{
    TextLines out;
    const bool ellipsis = flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS);
    QStringList lines;
    if (flags & DT_SINGLELINE) {
        QString single = text;
        single.replace(QLatin1Char('\n'), QLatin1Char(' '));
        lines.append(single);
    } else {
        QString normalised = text;
        normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        for (const QString& paragraph : normalised.split(QLatin1Char('\n'))) {
            if (flags & DT_WORDBREAK)
                lines.append(WrapParagraph(paragraph, fm, width));
            else
                lines.append(paragraph);
        }
    }

    if (ellipsis && !(flags & DT_SINGLELINE) && height >= 0) {
        const int fit = std::max(1, height / std::max(1, fm.lineSpacing()));
        if (lines.size() > fit) {
            lines = lines.mid(0, fit);
            lines.last() = ElideTo(lines.last(), fm, width, flags, /*forceEllipsis=*/true);
            out.cut = true;
        }
    }
    if (ellipsis) {
        for (QString& line : lines) {
            const QString shown = ElideTo(line, fm, width, flags, /*forceEllipsis=*/false);
            if (shown != line) {
                line = shown;
                out.cut = true;
            }
        }
    }
    out.lines = lines;
    return out;
}

QString StripMnemonics(const QString& text, int* underline)
{
    QString out;
    out.reserve(text.size());
    if (underline)
        *underline = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
            if (text[i] != QLatin1Char('&') && underline && *underline < 0)
                *underline = static_cast<int>(out.size());
        }
        out.append(text[i]);
    }
    return out;
}

void DrawSkinText(QPainter& painter, const QRect& rect, const QString& text, unsigned flags,
                  const QColor& colour)
{
    if (text.isEmpty() || !colour.isValid())
        return;
    int underline = -1;
    const QString shown = (flags & DT_NOPREFIX) ? text : StripMnemonics(text, &underline);
    const QFontMetrics fm(painter.font());
    const TextLines laid = LayOutText(shown, fm, rect.width(), rect.height(), flags);
    const int lineHeight = fm.lineSpacing();
    const int total = lineHeight * static_cast<int>(laid.lines.size());

    int y = rect.top();
    const bool vcenter = (flags & DT_VCENTER) && ((flags & DT_SINGLELINE) || (flags & DT_WORDBREAK) ||
                                                  laid.lines.size() == 1);
    if (vcenter)
        y = rect.top() + (rect.height() - total) / 2;
    else if (flags & DT_BOTTOM)
        y = rect.bottom() + 1 - total;

    painter.save();
    painter.setPen(colour);
    painter.setClipRect(rect, Qt::IntersectClip);
    const unsigned align = AlignmentOf(flags);
    for (const QString& line : laid.lines) {
        const QRect lineRect(rect.left(), y, rect.width(), lineHeight);
        painter.drawText(lineRect, static_cast<int>(align | Qt::AlignVCenter), line);
        y += lineHeight;
    }
    // The mnemonic underline of single-line captions.
    if (underline >= 0 && laid.lines.size() == 1 && !laid.cut) {
        const QString& line = laid.lines.front();
        const int lineWidth = fm.horizontalAdvance(line);
        int x = rect.left();
        if (align == Qt::AlignHCenter)
            x = rect.left() + (rect.width() - lineWidth) / 2;
        else if (align == Qt::AlignRight)
            x = rect.left() + rect.width() - lineWidth;
        x += fm.horizontalAdvance(line.left(underline));
        const int lineY = (vcenter ? rect.top() + (rect.height() - lineHeight) / 2 : rect.top()) +
                          fm.ascent() + 1;
        painter.drawLine(x, lineY, x + fm.horizontalAdvance(line.at(underline)) - 1, lineY);
    }
    painter.restore();
}

void DrawEmbossedText(QPainter& painter, const QRect& rect, const QString& text, unsigned flags,
                      const QColor& highlight, const QColor& grey)
{
    DrawSkinText(painter, rect.translated(1, 1), text, flags, highlight);
    DrawSkinText(painter, rect, text, flags, grey);
}

}  // namespace skin
