// Edge constraints of the resizable dialogs: each edge of a child window is
// tied to an edge, centre or fraction of a related window (the child itself,
// the dialog, or a sibling) plus or minus a distance.
//
// The computation is pure geometry over a CWindowRects source, so it can be
// tested without showing a window; CLayoutManager (layout_manager.h) applies
// the result to real widgets.
#pragma once

#include "skin/rect.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <cstdint>

namespace skin {

enum LM_RELATIONSHIP {
    LM_SAMEAS = 0,   // the edge equals the attribute; the distance is ignored
    LM_ABOVE = 1,    // minus the distance
    LM_BELOW = 2,    // plus the distance
    LM_LEFTOF = 3,   // minus the distance
    LM_RIGHTOF = 4,  // plus the distance
};

enum LM_ATTRIBUTE {
    LM_LEFT = 0,
    LM_TOP = 1,
    LM_RIGHT = 2,
    LM_BOTTOM = 3,
    LM_TOPLEFT = 4,      // no value; used only by AutoMoveToParent
    LM_BOTTOMRIGHT = 5,  // no value; used only by AutoMoveToParent
    LM_WIDTH = 6,        // with the percentage flag: left + a fraction of the width
    LM_HEIGHT = 7,       // with the percentage flag: top + a fraction of the height
    LM_VCENTER = 8,
    LM_HCENTER = 9,
};

// The marker for "the window being laid out" (the dialog) where a related
// window is expected; nullptr means the constrained child itself.
inline QWidget* const LM_PARENT = reinterpret_cast<QWidget*>(~std::uintptr_t(0));

// Window rectangles in screen coordinates (the whole window, frame
// included). A window that no longer exists reads as (0, 0, 0, 0).
class CWindowRects {
public:
    virtual ~CWindowRects() = default;
    virtual CRect WindowRect(const QWidget* window) const;
};

// The rectangles read or computed during one layout pass.
using CRectMap = QHash<const QWidget*, CRect>;

class CLayoutConstraint {
public:
    explicit CLayoutConstraint(LM_ATTRIBUTE attribute = LM_LEFT);

    void SetConstraints(LM_RELATIONSHIP relationship, QWidget* window, LM_ATTRIBUTE attribute,
                        int distance, bool percentage);

    // PARENT for the parent marker, CHILD for no window, else the related
    // window (null when it has been destroyed).
    QWidget* GetRelation(QWidget* parent, QWidget* child) const;
    int GetOffset() const;
    int CalcAttributeValue(CRectMap& map, const CWindowRects& rects, QWidget* parent,
                           QWidget* child) const;

    LM_RELATIONSHIP Relationship() const { return relationship_; }
    LM_ATTRIBUTE Attribute() const { return attribute_; }
    int Distance() const { return distance_; }
    bool IsPercentage() const { return percentage_; }

private:
    enum class Target { Self, Parent, Window };

    LM_RELATIONSHIP relationship_ = LM_SAMEAS;
    Target target_ = Target::Self;
    QPointer<QWidget> window_;
    LM_ATTRIBUTE attribute_ = LM_LEFT;
    int distance_ = 0;
    bool percentage_ = false;
};

// The window-positioning flags a pass records for each child.
inline constexpr unsigned SWP_NOSIZE = 0x0001;
inline constexpr unsigned SWP_NOMOVE = 0x0002;
inline constexpr unsigned SWP_NOZORDER = 0x0004;
inline constexpr unsigned SWP_NOACTIVATE = 0x0010;
inline constexpr unsigned SWP_NOOWNERZORDER = 0x0200;

class CLayoutMetrics {
public:
    explicit CLayoutMetrics(QWidget* child);

    void SetLeft(LM_RELATIONSHIP r, QWidget* window, LM_ATTRIBUTE a, int distance, bool percentage);
    void SetTop(LM_RELATIONSHIP r, QWidget* window, LM_ATTRIBUTE a, int distance, bool percentage);
    void SetRight(LM_RELATIONSHIP r, QWidget* window, LM_ATTRIBUTE a, int distance, bool percentage);
    void SetBottom(LM_RELATIONSHIP r, QWidget* window, LM_ATTRIBUTE a, int distance, bool percentage);

    QWidget* GetWindow() const { return window_; }
    const CRect& GetBounds() const { return bounds_; }
    unsigned GetMoveFlags() const { return moveFlags_; }
    bool GetCachedClippingFlag(bool& flag) const;
    void SetCachedClippingFlag(bool flag);

    const CLayoutConstraint& Left() const { return left_; }
    const CLayoutConstraint& Top() const { return top_; }
    const CLayoutConstraint& Right() const { return right_; }
    const CLayoutConstraint& Bottom() const { return bottom_; }

    // Ties every edge to the parent's edge at its present distance, so the
    // child stretches with the parent.
    void AutoSizeToParent(QWidget* parent, const CWindowRects& rects = CWindowRects());
    // Moves the child with the parent's right edge (LM_RIGHT), bottom edge
    // (LM_BOTTOM) or both (LM_BOTTOMRIGHT), keeping its size.
    void AutoMoveToParent(QWidget* parent, LM_ATTRIBUTE attribute,
                          const CWindowRects& rects = CWindowRects());

    // One child's step of a layout pass: computes the new bounds and the
    // move flags and records the bounds in MAP.
    void Layout(CRectMap& map, const CWindowRects& rects, QWidget* parent);

private:
    QPointer<QWidget> window_;
    const QWidget* identity_ = nullptr;  // the map key, valid after destruction
    CRect bounds_;
    unsigned moveFlags_ = 0;
    bool clippingFlag_ = false;
    bool clippingCached_ = false;
    CLayoutConstraint left_{LM_LEFT};
    CLayoutConstraint top_{LM_TOP};
    CLayoutConstraint right_{LM_RIGHT};
    CLayoutConstraint bottom_{LM_BOTTOM};
};

}  // namespace skin
