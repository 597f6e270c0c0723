#include "skin/skin_static.h"

#include "skin/control_info.h"
#include "skin/text_draw.h"
#include "skin/window_style.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace skin {
namespace {

unsigned TextFlagsForStatic(std::uint32_t style)
{
    const std::uint32_t type = style & SS_TYPEMASK;
    unsigned flags = 0;
    switch (type) {
    case SS_CENTER: flags = DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: flags = DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: flags = DT_LEFT | DT_SINGLELINE; break;
    default: flags = DT_LEFT | DT_WORDBREAK; break;
    }
    if (style & SS_CENTERIMAGE)
        flags = (flags & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_NOPREFIX)
        flags |= DT_NOPREFIX;
    switch (style & SS_ELLIPSISMASK) {
    case SS_ENDELLIPSIS: flags |= DT_END_ELLIPSIS; break;
    case SS_PATHELLIPSIS: flags |= DT_PATH_ELLIPSIS; break;
    case SS_WORDELLIPSIS: flags |= DT_WORD_ELLIPSIS; break;
    default: break;
    }
    return flags;
}

}  // namespace

CSkinStatic::CSkinStatic(QWidget* parent) : QWidget(parent)
{
    SetControlClass(this, QStringLiteral("Static"));
    setFocusPolicy(Qt::NoFocus);
    SetStaticStyle(0);
}

void CSkinStatic::SetStaticStyle(std::uint32_t style)
{
    style_ = style;
    // Without SS_NOTIFY a static lets the mouse through to the dialog (so a
    // label on a draggable skin still drags the window).
    setAttribute(Qt::WA_TransparentForMouseEvents, (style & SS_NOTIFY) == 0);
    update();
}

void CSkinStatic::SetText(const QString& text)
{
    text_ = text;
    update();
}

void CSkinStatic::SetBitmap(const QPixmap& bitmap)
{
    bitmap_ = bitmap;
    update();
}

void CSkinStatic::SetTextColor(const QColor& colour)
{
    textColour_ = colour;
    update();
}

void CSkinStatic::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

void CSkinStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    const std::uint32_t type = style_ & SS_TYPEMASK;
    const QPalette& pal = palette();

    switch (type) {
    case SS_BITMAP:
        if (style_ & SS_REALSIZECONTROL) {
            painter.drawPixmap(r, bitmap_);
        } else if (style_ & SS_CENTERIMAGE) {
            painter.drawPixmap(r.center() - QPoint(bitmap_.width() / 2, bitmap_.height() / 2) + QPoint(1, 1),
                               bitmap_);
        } else {
            painter.drawPixmap(0, 0, bitmap_);
        }
        break;
    case SS_BLACKRECT: painter.fillRect(r, pal.color(QPalette::WindowText)); break;
    case SS_GRAYRECT: painter.fillRect(r, pal.color(QPalette::Mid)); break;
    case SS_WHITERECT: painter.fillRect(r, pal.color(QPalette::Base)); break;
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME: {
        const QColor c = type == SS_BLACKFRAME ? pal.color(QPalette::WindowText)
                         : type == SS_GRAYFRAME ? pal.color(QPalette::Mid)
                                                : pal.color(QPalette::Base);
        painter.setPen(c);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        break;
    }
    case SS_ETCHEDHORZ:
        qDrawShadeLine(&painter, r.left(), r.top(), r.right(), r.top(), pal, true, 1, 0);
        break;
    case SS_ETCHEDVERT:
        qDrawShadeLine(&painter, r.left(), r.top(), r.left(), r.bottom(), pal, true, 1, 0);
        break;
    case SS_ETCHEDFRAME: qDrawShadeRect(&painter, r, pal, true, 1, 0); break;
    default: {
        painter.setFont(font());
        const unsigned flags = TextFlagsForStatic(style_);
        if (!isEnabled()) {
            DrawEmbossedText(painter, r, text_, flags, pal.color(QPalette::Light),
                             pal.color(QPalette::Disabled, QPalette::WindowText));
        } else {
            const QColor colour = textColour_.isValid() ? textColour_ : pal.color(QPalette::WindowText);
            DrawSkinText(painter, r, text_, flags, colour);
        }
        break;
    }
    }
    if ((style_ & SS_SUNKEN) || (ControlExStyle(this) & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE)))
        qDrawShadePanel(&painter, r, pal, /*sunken=*/true, 1);
}

CRichStatic::CRichStatic(QWidget* parent) : QWidget(parent)
{
    SetControlClass(this, QStringLiteral("Static"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    // The system menu-text colour.
    textColour_ = FromQColor(palette().color(QPalette::WindowText));
}

void CRichStatic::SetFontMap(const CSkinFontLookup* fonts)
{
    fonts_ = fonts;
    Invalidate();
}

void CRichStatic::SetColorMap(const CSkinColorMap* colors)
{
    colors_ = colors;
    Invalidate();
}

void CRichStatic::SetDefaultFont(const std::optional<QFont>& font)
{
    defaultFont_ = font;
    Invalidate();
}

QFont CRichStatic::GetDefaultFont() const
{
    return defaultFont_ ? *defaultFont_ : font();
}

void CRichStatic::SetTextColor(COLORREF colour)
{
    textColour_ = colour;
    Invalidate();
}

void CRichStatic::SetTextColor(const QString& colour)
{
    const CSkinColorMap empty;
    const CSkinColorMap& map = colors_ ? *colors_ : empty;
    if (auto value = map.Resolve(colour))
        SetTextColor(*value);
}

void CRichStatic::SetBGColor(COLORREF colour)
{
    bgColour_ = colour;
    Invalidate();
}

void CRichStatic::SetBGColor(const QString& colour)
{
    const CSkinColorMap empty;
    const CSkinColorMap& map = colors_ ? *colors_ : empty;
    if (auto value = map.Resolve(colour))
        SetBGColor(*value);
}

void CRichStatic::SetText(const QString& text)
{
    text_ = text;
    update();
}

void CRichStatic::Invalidate()
{
    cachedText_.reset();
    update();
}

void CRichStatic::Rebuild(const QString& text)
{
    static const CSkinFontLookup kNoFonts;
    static const CSkinColorMap kNoColors;
    RichDefaults defaults{GetDefaultFont(), textColour_, bgColour_};
    pieces_ = SplitRichString(text, defaults, fonts_ ? *fonts_ : kNoFonts,
                              colors_ ? *colors_ : kNoColors);
    measured_ = MeasureRichPieces(pieces_);
    cachedText_ = text;
}

void CRichStatic::Paint(QPainter& painter, const QRect& rect, const QString& text,
                        std::uint32_t style)
{
    if (!cachedText_ || *cachedText_ != text)
        Rebuild(text);
    QPoint origin(rect.left(), rect.top());
    if ((style & SS_TYPEMASK) == SS_CENTER)
        origin.setX(rect.left() + (rect.width() - measured_.width()) / 2);
    if (style & SS_CENTERIMAGE)
        origin.setY(rect.top() + (rect.height() - measured_.height()) / 2);

    const auto placed = PlaceRichPieces(pieces_, origin, rect.left() + rect.width());
    painter.save();
    for (size_t i = 0; i < placed.size(); ++i) {
        const RichPiece& piece = pieces_[i];
        painter.setClipRect(placed[i].visible);
        if (piece.bgColor != CLR_TRANSPARENT)
            painter.fillRect(placed[i].visible, ToQColor(piece.bgColor));
        painter.setFont(piece.font);
        const QColor colour = ToQColor(piece.textColor);
        if (colour.isValid()) {
            painter.setPen(colour);
            painter.drawText(placed[i].rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             piece.text);
        }
    }
    painter.restore();
}

void CRichStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (bgColour_ != CLR_TRANSPARENT)
        painter.fillRect(rect(), ToQColor(bgColour_));
    Paint(painter, rect(), text_, style_);
}

}  // namespace skin
