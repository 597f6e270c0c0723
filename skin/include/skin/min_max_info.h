// The minimum and maximum tracking sizes of a resizable window and where it
// goes when maximized, answered the way the window system asks for them.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace skin {

// The window system's size query: each field is pre-filled with the
// system's answer; FillMinMaxInfoStruct overwrites what was set.
struct MINMAXINFO {
    QPoint ptReserved;
    QPoint ptMaxSize;
    QPoint ptMaxPosition;
    QPoint ptMinTrackSize;
    QPoint ptMaxTrackSize;
};

class CWindowMinMaxInfo {
public:
    virtual ~CWindowMinMaxInfo() = default;

    void SetMinTrackingSize(QSize size);
    void ResetMinTrackingSize();
    bool GetMinTrackingSize(QSize& size) const;

    void SetMaxTrackingSize(QSize size);
    void ResetMaxTrackingSize();
    bool GetMaxTrackingSize(QSize& size) const;

    // Maximized position = (left, top), size = (right - left, bottom - top).
    void SetMaxRect(int left, int top, int right, int bottom);
    void ResetMaxRect();

    void FillMinMaxInfoStruct(MINMAXINFO& info) const;

    // Asks the same question of WINDOW's current limits and applies the
    // answer as its minimum and maximum size.
    void ApplyTo(QWidget* window) const;

private:
    QSize minTrack_;
    bool minTrackSet_ = false;
    QSize maxTrack_;
    bool maxTrackSet_ = false;
    QPoint maxPosition_;
    QSize maxSize_;
    bool maxRectSet_ = false;
};

}  // namespace skin
