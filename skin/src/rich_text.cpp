#include "skin/rich_text.h"

#include <QFontMetrics>

namespace skin {
namespace {

struct Style {
    QString fontName;
    QFont font;
    COLORREF text;
    COLORREF bg;
};

Style StyleFromMarker(const QString& marker, const RichDefaults& defaults,
                      const CSkinFontLookup& fonts, const CSkinColorMap& colors)
{
    const QStringList parts = marker.split(QLatin1Char(','));
    const QString fontName = parts.value(0).trimmed();
    const QString textColour = parts.value(1).trimmed();
    const QString bgColour = parts.value(2).trimmed();

    Style style{fontName, defaults.font, defaults.textColor, defaults.bgColor};
    if (auto found = fonts.constFind(fontName); !fontName.isEmpty() && found != fonts.constEnd())
        style.font = *found;
    if (!textColour.isEmpty())
        style.text = colors.Resolve(textColour).value_or(defaults.textColor);
    if (bgColour == QLatin1String("transparent"))
        style.bg = CLR_TRANSPARENT;
    else if (!bgColour.isEmpty())
        style.bg = colors.Resolve(bgColour).value_or(defaults.bgColor);
    return style;
}

}  // namespace

std::vector<RichPiece> SplitRichString(const QString& text, const RichDefaults& defaults,
                                       const CSkinFontLookup& fonts, const CSkinColorMap& colors)
{
    std::vector<RichPiece> pieces;
    Style current{QString(), defaults.font, defaults.textColor, defaults.bgColor};
    QString buffer;

    auto flush = [&] {
        if (buffer.isEmpty())
            return;
        RichPiece piece;
        piece.text = buffer;
        piece.fontName = current.fontName;
        piece.font = current.font;
        piece.textColor = current.text;
        piece.bgColor = current.bg;
        pieces.push_back(piece);
        buffer.clear();
    };

    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c != QLatin1Char('[')) {
            buffer.append(c);
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char('[')) {
            buffer.append(c);
            i += 2;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char(']'), i + 1);
        if (close < 0) {
            // An unclosed marker: the rest is plain text.
            buffer.append(QStringView(text).mid(i));
            break;
        }
        flush();
        current = StyleFromMarker(text.mid(i + 1, close - i - 1), defaults, fonts, colors);
        i = close + 1;
    }
    flush();
    return pieces;
}

QSize MeasureRichPieces(std::vector<RichPiece>& pieces)
{
    int x = 0;
    int height = 0;
    for (RichPiece& piece : pieces) {
        const QFontMetrics fm(piece.font);
        const int w = fm.horizontalAdvance(piece.text);
        piece.rect = QRect(x, 0, w, fm.height());
        x += w;
        height = std::max(height, fm.height());
    }
    return QSize(x, height);
}

std::vector<RichPlacement> PlaceRichPieces(const std::vector<RichPiece>& pieces, QPoint origin,
                                           int right)
{
    std::vector<RichPlacement> placed;
    int x = origin.x();
    for (const RichPiece& piece : pieces) {
        if (x >= right)
            break;
        const QRect whole(x, origin.y(), piece.rect.width(), piece.rect.height());
        RichPlacement p{whole, whole};
        if (whole.x() + whole.width() > right) {
            p.visible.setWidth(right - whole.x());
            placed.push_back(p);
            break;
        }
        placed.push_back(p);
        x += piece.rect.width();
    }
    return placed;
}

}  // namespace skin
