// The layout pass as pure geometry: window rectangles come from a table, so
// each case states the parent and child rectangles and the expected edges.
#include "skin/layout_manager.h"
#include "skin/min_max_info.h"
#include "skin/resizable_grip.h"
#include "skin/control_info.h"
#include "skin/window_style.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace skin {
namespace {

class TableRects : public CWindowRects {
public:
    QHash<const QWidget*, CRect> rects;
    mutable int queries = 0;
    CRect WindowRect(const QWidget* w) const override
    {
        ++queries;
        return w ? rects.value(w) : CRect{};
    }
};

struct EdgeCase {
    const char* name;
    CRect parent;
    CRect child;
    std::function<void(CLayoutMetrics&)> rules;
    CRect expected;
    unsigned flags;
};

constexpr unsigned kMove = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;  // 532
constexpr unsigned kMoveNoSize = kMove | SWP_NOSIZE;                            // 533

class LayoutEdgeTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(LayoutEdgeTest, ComputesEdges)
{
    const EdgeCase& c = GetParam();
    QWidget parent;
    QWidget child(&parent);
    TableRects rects;
    rects.rects.insert(&parent, c.parent);
    rects.rects.insert(&child, c.child);

    CLayoutManager manager;
    CLayoutMetrics* m = manager.NewChildMetrics(&child);
    c.rules(*m);
    // The first pass starts from empty bounds; the second compares sizes
    // with the first, as every later pass does.
    manager.ComputeLayout(&parent, rects);
    rects.rects.insert(&child, m->GetBounds());
    manager.ComputeLayout(&parent, rects);
    EXPECT_EQ(m->GetBounds(), c.expected);
    EXPECT_EQ(m->GetMoveFlags(), c.flags);
}

const CRect kParent{100, 50, 500, 350};  // 400 x 300, frame included
const CRect kChild{110, 60, 160, 80};

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutEdgeTest,
    ::testing::Values(
        EdgeCase{"NoConstraintStaysPut", kParent, kChild, [](CLayoutMetrics&) {}, kChild, kMoveNoSize},
        EdgeCase{"SameAsIgnoresDistance", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetRight(LM_SAMEAS, LM_PARENT, LM_RIGHT, 10, false); },
                 {110, 60, 500, 80}, kMoveNoSize},
        EdgeCase{"LeftOfParentRight", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetRight(LM_LEFTOF, LM_PARENT, LM_RIGHT, 10, false); },
                 {110, 60, 490, 80}, kMoveNoSize},
        EdgeCase{"RightOfHalfWidth", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetLeft(LM_RIGHTOF, LM_PARENT, LM_WIDTH, 5000, true); },
                 {300, 60, 160, 80}, kMoveNoSize},
        EdgeCase{"LeftOfHalfWidthIsTheSamePoint", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetLeft(LM_LEFTOF, LM_PARENT, LM_WIDTH, 5000, true); },
                 {300, 60, 160, 80}, kMoveNoSize},
        EdgeCase{"SameAsWidthPercentIsLeft", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetLeft(LM_SAMEAS, LM_PARENT, LM_WIDTH, 5000, true); },
                 {100, 60, 160, 80}, kMoveNoSize},
        EdgeCase{"HeightPercentTruncates", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetTop(LM_BELOW, LM_PARENT, LM_HEIGHT, 3329, true); },
                 {110, 50 + 3329 * 300 / 10000, 160, 80}, kMoveNoSize},
        EdgeCase{"WidthWithoutPercentIsZero", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetLeft(LM_RIGHTOF, LM_PARENT, LM_WIDTH, 5000, false); },
                 {0, 60, 160, 80}, kMoveNoSize},
        EdgeCase{"TopLeftIsZero", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetTop(LM_SAMEAS, LM_PARENT, LM_TOPLEFT, 0, false); },
                 {110, 0, 160, 80}, kMoveNoSize},
        EdgeCase{"BottomRightIsZeroEvenWithPercent", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetBottom(LM_BELOW, LM_PARENT, LM_BOTTOMRIGHT, 50, true); },
                 {110, 60, 160, 0}, kMoveNoSize},
        EdgeCase{"CentresHalveTowardZero", {-7, -9, 0, 0}, kChild,
                 [](CLayoutMetrics& m) {
                     m.SetLeft(LM_SAMEAS, LM_PARENT, LM_HCENTER, 0, false);
                     m.SetTop(LM_ABOVE, LM_PARENT, LM_VCENTER, 2, false);
                 },
                 {-3, -6, 160, 80}, kMoveNoSize},
        EdgeCase{"StretchesWithParent", kParent, kChild,
                 [](CLayoutMetrics& m) {
                     m.SetRight(LM_LEFTOF, LM_PARENT, LM_RIGHT, 10, false);
                     m.SetBottom(LM_ABOVE, LM_PARENT, LM_BOTTOM, 10, false);
                 },
                 {110, 60, 490, 340}, kMoveNoSize},
        EdgeCase{"SelfRelationUsesOwnEdges", kParent, kChild,
                 [](CLayoutMetrics& m) { m.SetLeft(LM_LEFTOF, nullptr, LM_RIGHT, 5, false); },
                 {155, 60, 160, 80}, kMoveNoSize}),
    [](const ::testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST(LayoutPass, SizeChangeDropsTheNoSizeFlag)
{
    QWidget parent;
    QWidget child(&parent);
    TableRects rects;
    rects.rects.insert(&parent, kParent);
    rects.rects.insert(&child, kChild);
    CLayoutManager manager;
    CLayoutMetrics* m = manager.NewChildMetrics(&child);
    m->SetRight(LM_LEFTOF, LM_PARENT, LM_RIGHT, 10, false);
    manager.ComputeLayout(&parent, rects);
    rects.rects.insert(&child, m->GetBounds());
    manager.ComputeLayout(&parent, rects);
    EXPECT_EQ(m->GetMoveFlags(), kMoveNoSize);

    rects.rects.insert(&parent, CRect{100, 50, 600, 350});  // the dialog grows
    manager.ComputeLayout(&parent, rects);
    EXPECT_EQ(m->GetBounds(), (CRect{110, 60, 590, 80}));
    EXPECT_EQ(m->GetMoveFlags(), kMove);
}

TEST(LayoutPass, SiblingsSeeNewRectsOnlyOfEarlierSiblings)
{
    QWidget parent;
    QWidget first(&parent);
    QWidget second(&parent);
    TableRects rects;
    rects.rects.insert(&parent, kParent);
    rects.rects.insert(&first, CRect{110, 60, 160, 80});
    rects.rects.insert(&second, CRect{200, 60, 250, 80});

    CLayoutManager manager;
    CLayoutMetrics* a = manager.NewChildMetrics(&first);
    a->SetLeft(LM_RIGHTOF, LM_PARENT, LM_LEFT, 30, false);  // moves 20 right, to 130
    a->SetRight(LM_RIGHTOF, LM_PARENT, LM_LEFT, 80, false);
    // The first also looks at the second, which has not moved yet.
    a->SetTop(LM_SAMEAS, &second, LM_BOTTOM, 0, false);
    CLayoutMetrics* b = manager.NewChildMetrics(&second);
    b->SetLeft(LM_RIGHTOF, &first, LM_RIGHT, 5, false);  // first's new right: 180
    b->SetTop(LM_SAMEAS, &second, LM_TOP, 0, false);
    b->SetBottom(LM_SAMEAS, &second, LM_BOTTOM, 0, false);
    rects.rects.insert(&second, CRect{200, 60, 250, 80});
    manager.ComputeLayout(&parent, rects);

    EXPECT_EQ(a->GetBounds(), (CRect{130, 80, 180, 80}));
    EXPECT_EQ(b->GetBounds().left, 185);
    EXPECT_EQ(b->GetBounds().top, 60);
}

TEST(LayoutPass, EachWindowIsQueriedOncePerPass)
{
    QWidget parent;
    QWidget child(&parent);
    TableRects rects;
    rects.rects.insert(&parent, kParent);
    rects.rects.insert(&child, kChild);
    CLayoutManager manager;
    CLayoutMetrics* m = manager.NewChildMetrics(&child);
    m->AutoSizeToParent(&parent, rects);
    rects.queries = 0;
    manager.ComputeLayout(&parent, rects);
    EXPECT_EQ(rects.queries, 1);  // the parent only; the child refers to nothing else
}

TEST(LayoutPass, DestroyedRelatedWindowReadsAsZeroRect)
{
    QWidget parent;
    QWidget child(&parent);
    auto sibling = std::make_unique<QWidget>(&parent);
    TableRects rects;
    rects.rects.insert(&parent, kParent);
    rects.rects.insert(&child, kChild);
    CLayoutManager manager;
    CLayoutMetrics* m = manager.NewChildMetrics(&child);
    m->SetLeft(LM_RIGHTOF, sibling.get(), LM_RIGHT, 7, false);
    sibling.reset();
    manager.ComputeLayout(&parent, rects);
    EXPECT_EQ(m->GetBounds().left, 7);
}

TEST(LayoutPass, AutoSizeAndAutoMoveFollowTheParent)
{
    QWidget parent;
    QWidget stretched(&parent);
    QWidget moved(&parent);
    TableRects rects;
    rects.rects.insert(&parent, kParent);
    rects.rects.insert(&stretched, CRect{110, 60, 490, 300});
    rects.rects.insert(&moved, CRect{400, 310, 480, 340});
    CLayoutManager manager;
    manager.NewChildMetrics(&stretched)->AutoSizeToParent(&parent, rects);
    manager.NewChildMetrics(&moved)->AutoMoveToParent(&parent, LM_BOTTOMRIGHT, rects);

    rects.rects.insert(&parent, CRect{100, 50, 600, 450});  // 100 wider, 100 higher
    manager.ComputeLayout(&parent, rects);
    EXPECT_EQ(manager.GetChildMetrics(&stretched)->GetBounds(), (CRect{110, 60, 590, 400}));
    EXPECT_EQ(manager.GetChildMetrics(&moved)->GetBounds(), (CRect{500, 410, 580, 440}));
}

TEST(LayoutPass, LayoutChildrenMovesWidgetsInClientCoordinates)
{
    QWidget parent;
    parent.setGeometry(100, 100, 300, 200);
    QWidget child(&parent);
    child.setGeometry(10, 10, 50, 20);
    CLayoutManager manager;
    CLayoutMetrics* m = manager.NewChildMetrics(&child);
    m->SetRight(LM_LEFTOF, LM_PARENT, LM_RIGHT, 20, false);
    m->SetBottom(LM_ABOVE, LM_PARENT, LM_BOTTOM, 20, false);
    ASSERT_TRUE(manager.LayoutChildren(&parent));
    const QRect frame = parent.frameGeometry();
    const QPoint client = parent.mapToGlobal(QPoint(0, 0));
    // The right edge is 20 pixels inside the parent's outer frame.
    EXPECT_EQ(client.x() + child.x() + child.width(), frame.x() + frame.width() - 20);
    EXPECT_EQ(client.y() + child.y() + child.height(), frame.y() + frame.height() - 20);
    EXPECT_EQ(child.x(), 10);
}

TEST(LayoutPass, PassWithADestroyedChildMovesNothing)
{
    QWidget parent;
    parent.setGeometry(0, 0, 300, 200);
    QWidget kept(&parent);
    kept.setGeometry(10, 10, 50, 20);
    auto gone = std::make_unique<QWidget>(&parent);
    CLayoutManager manager;
    manager.NewChildMetrics(&kept)->SetLeft(LM_RIGHTOF, LM_PARENT, LM_LEFT, 100, false);
    manager.NewChildMetrics(gone.get());
    gone.reset();
    EXPECT_FALSE(manager.LayoutChildren(&parent));
    EXPECT_EQ(kept.geometry(), QRect(10, 10, 50, 20));
}

TEST(MinMaxInfo, FreshObjectChangesNothingAndSetFieldsAreWritten)
{
    MINMAXINFO info;
    info.ptMaxSize = QPoint(1, 2);
    info.ptMaxPosition = QPoint(3, 4);
    info.ptMinTrackSize = QPoint(5, 6);
    info.ptMaxTrackSize = QPoint(7, 8);
    CWindowMinMaxInfo fresh;
    MINMAXINFO copy = info;
    fresh.FillMinMaxInfoStruct(copy);
    EXPECT_EQ(copy.ptMinTrackSize, info.ptMinTrackSize);
    EXPECT_EQ(copy.ptMaxTrackSize, info.ptMaxTrackSize);
    EXPECT_EQ(copy.ptMaxSize, info.ptMaxSize);
    EXPECT_EQ(copy.ptMaxPosition, info.ptMaxPosition);

    CWindowMinMaxInfo set;
    set.SetMinTrackingSize(QSize(300, 200));
    set.SetMaxRect(10, 20, 110, 220);
    set.FillMinMaxInfoStruct(copy);
    EXPECT_EQ(copy.ptMinTrackSize, QPoint(300, 200));
    EXPECT_EQ(copy.ptMaxPosition, QPoint(10, 20));
    EXPECT_EQ(copy.ptMaxSize, QPoint(100, 200));
    EXPECT_EQ(copy.ptMaxTrackSize, info.ptMaxTrackSize);
}

TEST(ResizableGrip, TriangleAndRightToLeftHitTest)
{
    const QRegion triangle = CResizableWindowGrip::TriangleRegion(4, 4);
    // Row y keeps x >= 4 - y.
    EXPECT_FALSE(triangle.contains(QPoint(3, 0)));
    EXPECT_TRUE(triangle.contains(QPoint(3, 1)));
    EXPECT_FALSE(triangle.contains(QPoint(0, 3)));
    EXPECT_TRUE(triangle.contains(QPoint(1, 3)));

    QWidget owner;
    owner.resize(200, 100);
    CResizableWindowGrip grip;
    grip.SetOwner(&owner);
    ASSERT_TRUE(grip.InitGrip());
    EXPECT_EQ(grip.Grip()->pos(), QPoint(200 - grip.GripWidth(), 100 - grip.GripHeight()));
    EXPECT_EQ(grip.HitTest(), HTBOTTOMRIGHT);
    owner.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(grip.HitTest(), HTBOTTOMLEFT);
}

struct ClipCase {
    const char* className;
    std::uint32_t style;
    bool likes;
};

TEST(LayoutManager, LikesClippingByClassAndStyle)
{
    const ClipCase cases[] = {
        {"Button", BS_PUSHBUTTON, true},   {"Button", BS_GROUPBOX, false},
        {"Static", SS_LEFT, true},         {"Static", SS_BLACKFRAME, false},
        {"Static", SS_SIMPLE, false},      {"Static", SS_ICON, true},
        {"Static", SS_ICON | SS_CENTERIMAGE, false},
        {"Static", SS_ETCHEDFRAME, false}, {"Static", SS_BITMAP, true},
        {"Edit", 0, true},
    };
    QWidget parent;
    CLayoutManager manager;
    for (const ClipCase& c : cases) {
        QWidget child(&parent);
        SetControlClass(&child, QString::fromLatin1(c.className));
        SetControlStyle(&child, c.style);
        CLayoutMetrics metrics(&child);
        EXPECT_EQ(manager.LikesClipping(metrics), c.likes) << c.className << " " << c.style;
        // Cached: a later style change does not alter the answer.
        SetControlStyle(&child, BS_GROUPBOX);
        EXPECT_EQ(manager.LikesClipping(metrics), c.likes);
    }
}

}  // namespace
}  // namespace skin
