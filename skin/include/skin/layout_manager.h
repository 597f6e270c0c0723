// Runs the edge constraints of a resizable dialog: one CLayoutMetrics per
// managed child, recomputed in registration order on every pass and applied
// to all children at once.
#pragma once

#include "skin/layout_constraint.h"

#include <QRegion>

#include <memory>
#include <vector>

class QPainter;

namespace skin {

class CLayoutManager {
public:
    CLayoutManager();
    virtual ~CLayoutManager();
    CLayoutManager(const CLayoutManager&) = delete;
    CLayoutManager& operator=(const CLayoutManager&) = delete;

    // A new metrics object for CHILD, appended to the list (a child may be
    // registered twice; the first registration is the one GetChildMetrics
    // finds).
    CLayoutMetrics* NewChildMetrics(QWidget* child);
    CLayoutMetrics* GetChildMetrics(const QWidget* child) const;
    const std::vector<std::unique_ptr<CLayoutMetrics>>& Metrics() const { return metrics_; }

    // Computes every child's new bounds and moves them all at once, updating
    // the parent once. Returns false when a managed child could not be moved
    // (it was destroyed); the children are then left where they were.
    virtual bool LayoutChildren(QWidget* parent);

    // The geometry half of LayoutChildren: fills each metrics' bounds and
    // move flags from RECTS without touching a window.
    void ComputeLayout(QWidget* parent, const CWindowRects& rects);

    void SetResizableWindow(QWidget* window) { resizableWindow_ = window; }
    QWidget* GetResizableWindow() const { return resizableWindow_; }

    // Where a pass reads window rectangles; tests install a fake.
    void SetWindowRects(std::unique_ptr<CWindowRects> rects);

    // Whether the background under the child may be skipped when the
    // resizable window paints (the child paints all of its rectangle).
    bool LikesClipping(CLayoutMetrics& metrics) const;
    void ClipChildWindow(CLayoutMetrics& metrics, QRegion& region) const;
    // The resizable window's client area less the children that like
    // clipping, plus those that do not.
    void GetClippingRegion(QRegion& region) const;
    // With FLAG 0 and a painter on the resizable window, narrows the
    // painter's clip to GetClippingRegion and returns 1; otherwise 0.
    int ClipChildren(QPainter* painter, const QWidget* paintedWindow, int flag) const;

private:
    std::vector<std::unique_ptr<CLayoutMetrics>> metrics_;
    std::unique_ptr<CWindowRects> rects_;
    QPointer<QWidget> resizableWindow_;
};


}  // namespace skin
