// CSkinButton: a push button, check box or radio button drawn from state
// bitmaps (normal, pressed, hover, disabled, pressed-disabled, focused),
// optionally shaped by a mask bitmap.
#pragma once

#include "skin/colors.h"

#include <QAbstractButton>
#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <optional>

namespace skin {

// Sent to the other radio buttons of a group when one becomes checked; each
// unchecks itself (the private radio message 0x500).
inline const QEvent::Type kRadioUncheckEvent = static_cast<QEvent::Type>(QEvent::User + 0x500);

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Kind { kPush = 0, kCheckBox = 2, kRadio = 4 };
    enum class Face { Normal, Down, Over, Disabled, DownDisabled, Focus };

    explicit CSkinButton(QWidget* parent = nullptr);

    // Takes the kind (push, check box, radio) from the style's button type
    // and keeps the style bits.
    void SetButtonStyle(std::uint32_t style);
    Kind GetKind() const { return kind_; }

    // Passed as the cursor argument of SetSkin to keep the current cursor.
    static const QCursor* KeepCursor();

    // Replaces every state bitmap. A missing disabled or pressed-disabled
    // bitmap falls back to the normal one. DRAWMODE (clamped to 0..2),
    // BORDER and MARGIN are kept when -1. With a mask (white = outside) the
    // button takes the mask's shape, and with draw mode 0 its size.
    void SetSkin(const QPixmap& normal, const QPixmap& down, const QPixmap& over,
                 const QPixmap& disabled, const QPixmap& downDisabled, const QPixmap& focus,
                 const QPixmap& mask, int drawMode = -1, int border = -1, int margin = -1,
                 const QCursor* cursor = KeepCursor());
    // As the mask step of SetSkin, with COLOUR of BITMAP (the normal bitmap
    // when null) as the outside.
    void SetTransparentColor(COLORREF colour, const QPixmap* bitmap = nullptr);

    COLORREF SetTextColor(COLORREF colour);
    void SetToolTipText(const QString& text);

    // 1 checked, 0 not; push buttons stay unchecked.
    void SetCheck(int check);
    int GetCheck() const { return isChecked() ? 1 : 0; }

    // Called after every click.
    virtual void OnButtonClick() {}

    int DrawMode() const { return drawMode_; }
    bool Border() const { return border_; }
    int Margin() const { return margin_; }
    bool IsHovering() const { return hovering_; }
    const std::optional<QCursor>& Cursor() const { return cursor_; }

    // Which face the button shows now, and its bitmap (null: the plain
    // button-face colour is painted).
    Face CurrentFace() const;
    const QPixmap* CurrentBitmap() const;
    const QPixmap& Bitmap(Face face) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void nextCheckState() override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UncheckGroupPeers();
    void ApplyMaskRegion(const QImage& maskImage, QSize naturalSize);

    Kind kind_ = kPush;
    std::uint32_t style_ = 0;
    QPixmap normal_, down_, over_, disabled_, downDisabled_, focus_;
    QImage mask_;  // white = outside
    int drawMode_ = 1;
    bool border_ = false;
    int margin_ = 0;
    QColor textColour_;
    std::optional<QCursor> cursor_;
    bool hovering_ = false;
};

}  // namespace skin
