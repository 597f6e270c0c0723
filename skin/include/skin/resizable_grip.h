// The size grip in the bottom-right corner of a resizable window: a small
// triangle that resizes the window when dragged.
#pragma once

#include <QPointer>
#include <QRegion>

class QSizeGrip;
class QWidget;

namespace skin {

// Hit-test answers of the window frame (the Windows numbers).
inline constexpr int HTCLIENT = 1;
inline constexpr int HTCAPTION = 2;
inline constexpr int HTLEFT = 10;
inline constexpr int HTRIGHT = 11;
inline constexpr int HTTOP = 12;
inline constexpr int HTTOPLEFT = 13;
inline constexpr int HTTOPRIGHT = 14;
inline constexpr int HTBOTTOM = 15;
inline constexpr int HTBOTTOMLEFT = 16;
inline constexpr int HTBOTTOMRIGHT = 17;

class CResizableWindowGrip {
public:
    CResizableWindowGrip();
    virtual ~CResizableWindowGrip();

    void SetOwner(QWidget* owner) { owner_ = owner; }
    // Creates the grip in the owner's bottom-right corner and shows it.
    bool InitGrip();
    void UpdateGripPos();
    void ShowSizeGrip(bool show);
    static bool IsRTL(const QWidget* window);

    // Which frame corner a press on the grip resizes.
    int HitTest() const;
    QWidget* Grip() const;
    int GripWidth() const { return width_; }
    int GripHeight() const { return height_; }

    // The lower-right triangle of a WIDTH x HEIGHT square, as the grip's shape.
    static QRegion TriangleRegion(int width, int height);

private:
    QPointer<QWidget> owner_;
    QPointer<QSizeGrip> grip_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace skin
