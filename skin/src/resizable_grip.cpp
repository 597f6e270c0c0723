#include "skin/resizable_grip.h"

#include "skin/window_style.h"
#include "skin/control_info.h"

#include <QApplication>
#include <QSizeGrip>
#include <QStyle>

namespace skin {

CResizableWindowGrip::CResizableWindowGrip()
{
    // The grip is as wide as a vertical scroll bar and as high as a
    // horizontal one.
    const QStyle* style = QApplication::style();
    width_ = style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
    height_ = width_;
}

CResizableWindowGrip::~CResizableWindowGrip() = default;

QRegion CResizableWindowGrip::TriangleRegion(int width, int height)
{
    QRegion region(0, 0, width, height);
    for (int y = 0; y < height; ++y) {
        const int cut = width - y;
        if (cut > 0)
            region -= QRegion(0, y, cut, 1);
    }
    return region;
}

bool CResizableWindowGrip::InitGrip()
{
    if (owner_ == nullptr)
        return false;
    grip_ = new QSizeGrip(owner_);
    grip_->setGeometry(0, 0, width_, height_);
    grip_->setMask(TriangleRegion(width_, height_));
    SetControlId(grip_, 0);
    UpdateGripPos();
    ShowSizeGrip(true);
    return true;
}

void CResizableWindowGrip::UpdateGripPos()
{
    if (grip_ == nullptr || owner_ == nullptr)
        return;
    grip_->move(owner_->width() - width_, owner_->height() - height_);
    grip_->lower();
    grip_->setEnabled(!owner_->isMaximized());
}

void CResizableWindowGrip::ShowSizeGrip(bool show)
{
    if (grip_)
        grip_->setVisible(show);
}

bool CResizableWindowGrip::IsRTL(const QWidget* window)
{
    if (window == nullptr)
        return false;
    return window->layoutDirection() == Qt::RightToLeft ||
           (ControlExStyle(window) & WS_EX_LAYOUTRTL) != 0;
}

int CResizableWindowGrip::HitTest() const
{
    return IsRTL(grip_) ? HTBOTTOMLEFT : HTBOTTOMRIGHT;
}

QWidget* CResizableWindowGrip::Grip() const
{
    return grip_;
}

}  // namespace skin
