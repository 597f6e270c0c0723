#include "skin/min_max_info.h"

#include <QWidget>

namespace skin {

void CWindowMinMaxInfo::SetMinTrackingSize(QSize size)
{
    minTrack_ = size;
    minTrackSet_ = true;
}

void CWindowMinMaxInfo::ResetMinTrackingSize()
{
    minTrackSet_ = false;
}

bool CWindowMinMaxInfo::GetMinTrackingSize(QSize& size) const
{
    size = minTrack_;
    return minTrackSet_;
}

void CWindowMinMaxInfo::SetMaxTrackingSize(QSize size)
{
    maxTrack_ = size;
    maxTrackSet_ = true;
}

void CWindowMinMaxInfo::ResetMaxTrackingSize()
{
    maxTrackSet_ = false;
}

bool CWindowMinMaxInfo::GetMaxTrackingSize(QSize& size) const
{
    size = maxTrack_;
    return maxTrackSet_;
}

void CWindowMinMaxInfo::SetMaxRect(int left, int top, int right, int bottom)
{
    maxPosition_ = QPoint(left, top);
    maxSize_ = QSize(right - left, bottom - top);
    maxRectSet_ = true;
}

void CWindowMinMaxInfo::ResetMaxRect()
{
    maxRectSet_ = false;
}

void CWindowMinMaxInfo::FillMinMaxInfoStruct(MINMAXINFO& info) const
{
    if (minTrackSet_)
        info.ptMinTrackSize = QPoint(minTrack_.width(), minTrack_.height());
    if (maxTrackSet_)
        info.ptMaxTrackSize = QPoint(maxTrack_.width(), maxTrack_.height());
    if (maxRectSet_) {
        info.ptMaxPosition = maxPosition_;
        info.ptMaxSize = QPoint(maxSize_.width(), maxSize_.height());
    }
}

void CWindowMinMaxInfo::ApplyTo(QWidget* window) const
{
    if (window == nullptr)
        return;
    MINMAXINFO info;
    info.ptMinTrackSize = QPoint(window->minimumWidth(), window->minimumHeight());
    info.ptMaxTrackSize = QPoint(window->maximumWidth(), window->maximumHeight());
    FillMinMaxInfoStruct(info);
    window->setMinimumSize(qMax(0, info.ptMinTrackSize.x()), qMax(0, info.ptMinTrackSize.y()));
    window->setMaximumSize(qMax(0, info.ptMaxTrackSize.x()), qMax(0, info.ptMaxTrackSize.y()));
}

}  // namespace skin
