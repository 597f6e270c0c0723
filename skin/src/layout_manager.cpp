#include "skin/layout_manager.h"

#include "skin/control_info.h"
#include "skin/window_style.h"

#include <QPainter>

namespace skin {

CLayoutManager::CLayoutManager() : rects_(std::make_unique<CWindowRects>()) {}

CLayoutManager::~CLayoutManager() = default;

CLayoutMetrics* CLayoutManager::NewChildMetrics(QWidget* child)
{
    metrics_.push_back(std::make_unique<CLayoutMetrics>(child));
    return metrics_.back().get();
}

CLayoutMetrics* CLayoutManager::GetChildMetrics(const QWidget* child) const
{
    for (const auto& m : metrics_) {
        if (m->GetWindow() == child)
            return m.get();
    }
    return nullptr;
}

void CLayoutManager::SetWindowRects(std::unique_ptr<CWindowRects> rects)
{
    rects_ = rects ? std::move(rects) : std::make_unique<CWindowRects>();
}

void CLayoutManager::ComputeLayout(QWidget* parent, const CWindowRects& rects)
{
    CRectMap map;
    for (auto& m : metrics_)
        m->Layout(map, rects, parent);
}

bool CLayoutManager::LayoutChildren(QWidget* parent)
{
    ComputeLayout(parent, *rects_);

    // Every child must still exist before any moves, so a pass either moves
    // all children or none.
    for (const auto& m : metrics_) {
        if (m->GetWindow() == nullptr)
            return false;
    }

    // Children move as one batch: the parent repaints once, after the last.
    const bool updates = parent && parent->updatesEnabled();
    if (updates)
        parent->setUpdatesEnabled(false);
    for (const auto& m : metrics_) {
        QWidget* child = m->GetWindow();
        const unsigned flags = m->GetMoveFlags();
        if ((flags & SWP_NOSIZE) && (flags & SWP_NOMOVE))
            continue;
        const CRect& b = m->GetBounds();
        QPoint topLeft(b.left, b.top);
        if (QWidget* holder = child->parentWidget(); holder && !child->isWindow())
            topLeft = holder->mapFromGlobal(topLeft);
        if (flags & SWP_NOSIZE)
            child->move(topLeft);
        else
            child->setGeometry(topLeft.x(), topLeft.y(), b.Width(), b.Height());
    }
    if (updates) {
        parent->setUpdatesEnabled(true);
        parent->update();
    }
    return true;
}

bool CLayoutManager::LikesClipping(CLayoutMetrics& metrics) const
{
    bool cached = false;
    if (metrics.GetCachedClippingFlag(cached))
        return cached;

    bool likes = true;
    const QWidget* child = metrics.GetWindow();
    const QString className = ControlClass(child);
    const std::uint32_t style = ControlStyle(child);
    if (className == QLatin1String("Button")) {
        const std::uint32_t type = style & BS_TYPEMASK;
        if (type == BS_GROUPBOX)
            likes = false;
        else if (type == BS_OWNERDRAW && child &&
                 (child->testAttribute(Qt::WA_TransparentForMouseEvents) ||
                  (!child->mask().isEmpty() && !child->mask().contains(QPoint(0, 0)))))
            likes = false;
    } else if (className == QLatin1String("Static")) {
        const std::uint32_t type = style & SS_TYPEMASK;
        if (type == SS_ICON || type == SS_ENHMETAFILE)
            likes = (style & SS_CENTERIMAGE) == 0;
        else if ((type >= 7 && type <= 11) || type == 13 || type >= 18)
            likes = false;
    }
    metrics.SetCachedClippingFlag(likes);
    return likes;
}

void CLayoutManager::ClipChildWindow(CLayoutMetrics& metrics, QRegion& region) const
{
    const QWidget* child = metrics.GetWindow();
    const QWidget* window = resizableWindow_.data();
    if (child == nullptr || window == nullptr)
        return;
    const QPoint origin = window->mapFromGlobal(child->mapToGlobal(QPoint(0, 0)));
    QRegion area = child->mask().isEmpty() ? QRegion(QRect(QPoint(0, 0), child->size()))
                                            : child->mask();
    area.translate(origin);
    if (LikesClipping(metrics))
        region -= area;
    else
        region += area;
}

void CLayoutManager::GetClippingRegion(QRegion& region) const
{
    region = QRegion();
    const QWidget* window = resizableWindow_.data();
    if (window == nullptr)
        return;
    region = QRegion(window->rect());
    for (const auto& m : metrics_) {
        if (m->GetWindow() && m->GetWindow()->isVisible())
            ClipChildWindow(*m, region);
    }
}

int CLayoutManager::ClipChildren(QPainter* painter, const QWidget* paintedWindow, int flag) const
{
    if (flag != 0 || painter == nullptr || paintedWindow == nullptr ||
        paintedWindow != resizableWindow_.data())
        return 0;
    QRegion region;
    GetClippingRegion(region);
    painter->setClipRegion(region, Qt::IntersectClip);
    return 1;
}

}  // namespace skin
