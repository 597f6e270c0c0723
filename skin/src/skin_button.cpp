#include "skin/skin_button.h"

#include "skin/bitmap_paint.h"
#include "skin/control_info.h"
#include "skin/regions.h"
#include "skin/text_draw.h"
#include "skin/window_style.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

namespace skin {
CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent)
{
    SetControlClass(this, QStringLiteral("Button"));
    setAutoExclusive(false);
    textColour_ = palette().color(QPalette::ButtonText);
    // The button paints its whole rectangle from its bitmaps.
    setAttribute(Qt::WA_Hover, false);
    // QAbstractButton emits clicked after the release, with the mouse
    // already let go: the moment OnButtonClick belongs to.
    connect(this, &QAbstractButton::clicked, this, [this] { OnButtonClick(); });
}

const QCursor* CSkinButton::KeepCursor()
{
    // A unique address that is never dereferenced: no cursor (and no
    // pixmap) may exist before the application object does.
    static const char tag = 0;
    return reinterpret_cast<const QCursor*>(&tag);
}

void CSkinButton::SetButtonStyle(std::uint32_t style)
{
    style_ = style;
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE: kind_ = kCheckBox; break;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: kind_ = kRadio; break;
    default: kind_ = kPush; break;
    }
    setCheckable(kind_ != kPush);
}

void CSkinButton::SetSkin(const QPixmap& normal, const QPixmap& down, const QPixmap& over,
                          const QPixmap& disabled, const QPixmap& downDisabled,
                          const QPixmap& focus, const QPixmap& mask, int drawMode, int border,
                          int margin, const QCursor* cursor)
{
    normal_ = normal;
    down_ = down;
    over_ = over;
    disabled_ = disabled.isNull() ? normal : disabled;
    downDisabled_ = downDisabled.isNull() ? normal : downDisabled;
    focus_ = focus;

    if (cursor != KeepCursor()) {
        if (cursor)
            cursor_ = *cursor;
        else
            cursor_.reset();
        if (cursor_)
            setCursor(*cursor_);
        else
            unsetCursor();
    }
    if (drawMode != -1)
        drawMode_ = std::clamp(drawMode, 0, 2);
    if (border != -1)
        border_ = border != 0;
    if (margin != -1)
        margin_ = std::max(0, margin);

    if (!mask.isNull()) {
        mask_ = mask.toImage();
        ApplyMaskRegion(mask_, mask_.size());
    } else {
        mask_ = QImage();
        clearMask();
    }
    update();
}

void CSkinButton::ApplyMaskRegion(const QImage& maskImage, QSize naturalSize)
{
    clearMask();
    setMask(CreateRgnFromBitmap(maskImage, qRgb(255, 255, 255)));
    if (drawMode_ == kDrawNatural)
        resize(naturalSize);
}

void CSkinButton::SetTransparentColor(COLORREF colour, const QPixmap* bitmap)
{
    const QPixmap& source = bitmap ? *bitmap : normal_;
    if (source.isNull())
        return;
    QImage image = source.toImage();
    mask_ = CreateBitmapMask(image, qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    // CreateBitmapMask marks the outside with 1 (white); the region keeps
    // every other pixel.
    setMask(CreateRgnFromBitmap(mask_.convertToFormat(QImage::Format_RGB32), qRgb(255, 255, 255)));
    if (drawMode_ == kDrawNatural)
        resize(source.size());
    update();
}

COLORREF CSkinButton::SetTextColor(COLORREF colour)
{
    const COLORREF previous = FromQColor(textColour_);
    textColour_ = ToQColor(colour);
    update();
    return previous;
}

void CSkinButton::SetToolTipText(const QString& text)
{
    setToolTip(text);
}

void CSkinButton::SetCheck(int check)
{
    if (kind_ == kPush) {
        setChecked(false);
        return;
    }
    const bool becomesChecked = check != 0 && !isChecked();
    setChecked(check != 0);
    if (becomesChecked && kind_ == kRadio)
        UncheckGroupPeers();
    update();
}

void CSkinButton::UncheckGroupPeers()
{
    QWidget* parent = parentWidget();
    if (parent == nullptr)
        return;
    // The dialog group: from the nearest control at or before this one that
    // has WS_GROUP up to the next control that has it.
    QList<QWidget*> controls;
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow() && !ControlClass(w).isEmpty())
            controls.append(w);
    }
    const qsizetype self = controls.indexOf(this);
    if (self < 0)
        return;
    qsizetype first = self;
    while (first > 0 && !(ControlStyle(controls[first]) & WS_GROUP))
        --first;
    for (qsizetype i = first; i < controls.size(); ++i) {
        if (i > first && (ControlStyle(controls[i]) & WS_GROUP))
            break;
        if (controls[i] != this) {
            QEvent message(kRadioUncheckEvent);
            QCoreApplication::sendEvent(controls[i], &message);
        }
    }
}

bool CSkinButton::event(QEvent* e)
{
    if (e->type() == kRadioUncheckEvent) {
        if (kind_ == kRadio && isChecked()) {
            setChecked(false);
            update();
        }
        return true;
    }
    return QAbstractButton::event(e);
}

void CSkinButton::nextCheckState()
{
    if (kind_ == kRadio)
        SetCheck(1);
    else if (kind_ == kCheckBox)
        SetCheck(isChecked() ? 0 : 1);
}

void CSkinButton::changeEvent(QEvent* e)
{
    QAbstractButton::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        update();
}

void CSkinButton::enterEvent(QEnterEvent* e)
{
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(e);
}

void CSkinButton::leaveEvent(QEvent* e)
{
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}

CSkinButton::Face CSkinButton::CurrentFace() const
{
    if (!isEnabled())
        return (isChecked() && kind_ != kPush) ? Face::DownDisabled : Face::Disabled;
    if (isDown() || isChecked())
        return Face::Down;
    if (hovering_ && !over_.isNull())
        return Face::Over;
    if (hasFocus() && !focus_.isNull())
        return Face::Focus;
    return Face::Normal;
}

const QPixmap& CSkinButton::Bitmap(Face face) const
{
    switch (face) {
    case Face::Normal: return normal_;
    case Face::Down: return down_;
    case Face::Over: return over_;
    case Face::Disabled: return disabled_;
    case Face::DownDisabled: return downDisabled_;
    case Face::Focus: return focus_;
    }
    return normal_;
}

const QPixmap* CSkinButton::CurrentBitmap() const
{
    const QPixmap& bitmap = Bitmap(CurrentFace());
    return bitmap.isNull() ? nullptr : &bitmap;
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect item = rect();
    const QRect textArea = item.adjusted(margin_ + 2, 0, -(margin_ + 2), 0);
    const Face face = CurrentFace();
    const QPixmap* bitmap = CurrentBitmap();

    if (bitmap)
        DrawSkinBitmap(painter, item, *bitmap, drawMode_, mask_);
    else
        painter.fillRect(item, palette().color(QPalette::Button));

    const bool pushed = face == Face::Down;
    if (border_)
        qDrawShadePanel(&painter, item, palette(), /*sunken=*/pushed, 1);

    painter.setFont(font());
    const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (face == Face::Disabled || face == Face::DownDisabled) {
        DrawEmbossedText(painter, textArea, text(), flags, palette().color(QPalette::Light),
                         palette().color(QPalette::Disabled, QPalette::ButtonText));
        return;
    }
    DrawSkinText(painter, pushed ? textArea.translated(1, 1) : textArea, text(), flags, textColour_);
    if (!pushed && hasFocus() && margin_ != 0) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = item.adjusted(margin_, margin_, -margin_, -margin_);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

}  // namespace skin
