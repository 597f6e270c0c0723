// The static controls of a skin: CSkinStatic, a plain text or picture
// control that follows the SS_ style bits, and CRichStatic, one line of text
// with inline font and colour mark-up (rich_text.h).
#pragma once

#include "skin/colors.h"
#include "skin/rich_text.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

namespace skin {

class CSkinStatic : public QWidget {
    Q_OBJECT
public:
    explicit CSkinStatic(QWidget* parent = nullptr);

    // The SS_ style bits: alignment, wrapping, ellipsis, picture, frames.
    void SetStaticStyle(std::uint32_t style);
    std::uint32_t StaticStyle() const { return style_; }

    void SetText(const QString& text);
    const QString& Text() const { return text_; }

    // The control's picture (SS_BITMAP): shown at its natural size from the
    // top-left corner, centred with SS_CENTERIMAGE, stretched with
    // SS_REALSIZECONTROL.
    void SetBitmap(const QPixmap& bitmap);
    const QPixmap& Bitmap() const { return bitmap_; }

    // The text colour (the dialog's text colour when none is set).
    void SetTextColor(const QColor& colour);

signals:
    // A click on a static with SS_NOTIFY (the others let the mouse through).
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t style_ = 0;
    QString text_;
    QPixmap bitmap_;
    QColor textColour_;
};

class CRichStatic : public QWidget {
    Q_OBJECT
public:
    explicit CRichStatic(QWidget* parent = nullptr);

    // Both maps are the owner's and must outlive the control.
    void SetFontMap(const CSkinFontLookup* fonts);
    void SetColorMap(const CSkinColorMap* colors);
    void SetDefaultFont(const std::optional<QFont>& font);
    QFont GetDefaultFont() const;

    void SetTextColor(COLORREF colour);
    void SetTextColor(const QString& colour);
    void SetBGColor(COLORREF colour);
    void SetBGColor(const QString& colour);
    COLORREF TextColor() const { return textColour_; }
    COLORREF BGColor() const { return bgColour_; }

    void SetStaticStyle(std::uint32_t style) { style_ = style; update(); }
    std::uint32_t StaticStyle() const { return style_; }
    void SetText(const QString& text);
    const QString& Text() const { return text_; }

    // Draws TEXT into RECT of any painter: centred with SS_CENTER,
    // vertically centred with SS_CENTERIMAGE; a piece that would pass the
    // right edge is cut there and ends the line.
    void Paint(QPainter& painter, const QRect& rect, const QString& text, std::uint32_t style);

    // The pieces of the text last painted (rebuilt when the text changes).
    const std::vector<RichPiece>& Pieces() const { return pieces_; }
    QSize MeasuredSize() const { return measured_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Rebuild(const QString& text);
    void Invalidate();

    const CSkinFontLookup* fonts_ = nullptr;
    const CSkinColorMap* colors_ = nullptr;
    std::optional<QFont> defaultFont_;
    COLORREF textColour_ = 0;
    COLORREF bgColour_ = CLR_TRANSPARENT;
    std::uint32_t style_ = 0;
    QString text_;

    std::optional<QString> cachedText_;
    std::vector<RichPiece> pieces_;
    QSize measured_;
};

}  // namespace skin
