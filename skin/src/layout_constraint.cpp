#include "skin/layout_constraint.h"

#include <cstdlib>

namespace skin {

CRect CWindowRects::WindowRect(const QWidget* window) const
{
    if (window == nullptr)
        return {};
    if (window->isWindow())
        return CRect::FromQRect(window->frameGeometry());
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y(), origin.x() + window->width(), origin.y() + window->height()};
}

CLayoutConstraint::CLayoutConstraint(LM_ATTRIBUTE attribute) : attribute_(attribute) {}

void CLayoutConstraint::SetConstraints(LM_RELATIONSHIP relationship, QWidget* window,
                                       LM_ATTRIBUTE attribute, int distance, bool percentage)
{
    relationship_ = relationship;
    if (window == nullptr) {
        target_ = Target::Self;
        window_ = nullptr;
    } else if (window == LM_PARENT) {
        target_ = Target::Parent;
        window_ = nullptr;
    } else {
        target_ = Target::Window;
        window_ = window;
    }
    attribute_ = attribute;
    distance_ = distance;
    percentage_ = percentage;
}

QWidget* CLayoutConstraint::GetRelation(QWidget* parent, QWidget* child) const
{
    switch (target_) {
    case Target::Self: return child;
    case Target::Parent: return parent;
    case Target::Window: return window_.data();
    }
    return child;
}

int CLayoutConstraint::GetOffset() const
{
    switch (relationship_) {
    case LM_SAMEAS: return 0;
    case LM_ABOVE:
    case LM_LEFTOF: return -distance_;
    case LM_BELOW:
    case LM_RIGHTOF: return distance_;
    }
    return 0;
}

int CLayoutConstraint::CalcAttributeValue(CRectMap& map, const CWindowRects& rects,
                                          QWidget* parent, QWidget* child) const
{
    const QWidget* related = GetRelation(parent, child);
    CRect r;
    if (related != nullptr) {
        auto found = map.constFind(related);
        if (found != map.constEnd()) {
            r = *found;
        } else {
            r = rects.WindowRect(related);
            map.insert(related, r);
        }
    }
    // A destroyed related window leaves r at (0, 0, 0, 0).

    const int offset = GetOffset();
    if (percentage_) {
        const long long fraction = std::llabs(static_cast<long long>(offset));
        if (attribute_ == LM_WIDTH)
            return r.left + static_cast<int>(fraction * (r.right - r.left) / 10000);
        if (attribute_ == LM_HEIGHT)
            return r.top + static_cast<int>(fraction * (r.bottom - r.top) / 10000);
        return 0;
    }
    switch (attribute_) {
    case LM_LEFT: return r.left + offset;
    case LM_TOP: return r.top + offset;
    case LM_RIGHT: return r.right + offset;
    case LM_BOTTOM: return r.bottom + offset;
    case LM_VCENTER: return (r.top + r.bottom) / 2 + offset;
    case LM_HCENTER: return (r.left + r.right) / 2 + offset;
    case LM_TOPLEFT:
    case LM_BOTTOMRIGHT:
    case LM_WIDTH:
    case LM_HEIGHT: return 0;
    }
    return 0;
}

CLayoutMetrics::CLayoutMetrics(QWidget* child) : window_(child), identity_(child) {}

void CLayoutMetrics::SetLeft(LM_RELATIONSHIP r, QWidget* w, LM_ATTRIBUTE a, int d, bool p)
{
    left_.SetConstraints(r, w, a, d, p);
}
void CLayoutMetrics::SetTop(LM_RELATIONSHIP r, QWidget* w, LM_ATTRIBUTE a, int d, bool p)
{
    top_.SetConstraints(r, w, a, d, p);
}
void CLayoutMetrics::SetRight(LM_RELATIONSHIP r, QWidget* w, LM_ATTRIBUTE a, int d, bool p)
{
    right_.SetConstraints(r, w, a, d, p);
}
void CLayoutMetrics::SetBottom(LM_RELATIONSHIP r, QWidget* w, LM_ATTRIBUTE a, int d, bool p)
{
    bottom_.SetConstraints(r, w, a, d, p);
}

bool CLayoutMetrics::GetCachedClippingFlag(bool& flag) const
{
    flag = clippingFlag_;
    return clippingCached_;
}

void CLayoutMetrics::SetCachedClippingFlag(bool flag)
{
    clippingFlag_ = flag;
    clippingCached_ = true;
}

void CLayoutMetrics::AutoSizeToParent(QWidget* parent, const CWindowRects& rects)
{
    const CRect p = rects.WindowRect(parent);
    const CRect c = rects.WindowRect(window_);
    SetLeft(LM_RIGHTOF, LM_PARENT, LM_LEFT, c.left - p.left, false);
    SetTop(LM_BELOW, LM_PARENT, LM_TOP, c.top - p.top, false);
    SetRight(LM_LEFTOF, LM_PARENT, LM_RIGHT, p.right - c.right, false);
    SetBottom(LM_ABOVE, LM_PARENT, LM_BOTTOM, p.bottom - c.bottom, false);
}

void CLayoutMetrics::AutoMoveToParent(QWidget* parent, LM_ATTRIBUTE attribute,
                                      const CWindowRects& rects)
{
    const CRect p = rects.WindowRect(parent);
    const CRect c = rects.WindowRect(window_);
    if (attribute == LM_RIGHT || attribute == LM_BOTTOMRIGHT) {
        SetLeft(LM_LEFTOF, parent, LM_RIGHT, p.right - c.left, false);
        SetRight(LM_LEFTOF, parent, LM_RIGHT, p.right - c.right, false);
    }
    if (attribute == LM_BOTTOM || attribute == LM_BOTTOMRIGHT) {
        SetTop(LM_ABOVE, parent, LM_BOTTOM, p.bottom - c.top, false);
        SetBottom(LM_ABOVE, parent, LM_BOTTOM, p.bottom - c.bottom, false);
    }
}

void CLayoutMetrics::Layout(CRectMap& map, const CWindowRects& rects, QWidget* parent)
{
    QWidget* child = window_.data();
    const CRect old = bounds_;
    CRect now;
    now.left = left_.CalcAttributeValue(map, rects, parent, child);
    now.top = top_.CalcAttributeValue(map, rects, parent, child);
    now.right = right_.CalcAttributeValue(map, rects, parent, child);
    now.bottom = bottom_.CalcAttributeValue(map, rects, parent, child);
    bounds_ = now;

    moveFlags_ = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (now.Width() == old.Width() && now.Height() == old.Height())
        moveFlags_ |= SWP_NOSIZE;
    map.insert(identity_, now);
}

}  // namespace skin
