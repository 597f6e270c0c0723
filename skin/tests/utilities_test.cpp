// CUIUtilities, the report list's rejected columns, the wait window, and the
// taskbar arithmetic of the window-size profile.
#include "skin/report_ctrl.h"
#include "skin/ui_utilities.h"
#include "skin/user_profile.h"
#include "skin/wait_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace skin {
namespace {

TEST(UIUtilities, BlendColorsSaturatesPerChannel)
{
    // (A + B) * 1 / 1 of 0xC0 and 0x80 is 0x140: held at 0xFF, the next
    // channel untouched.
    EXPECT_EQ(CUIUtilities::BlendColors(RGB(0xC0, 0x10, 0), RGB(0x80, 0x10, 0), 1, 1), RGB(0xFF, 0x20, 0));
    EXPECT_EQ(CUIUtilities::BlendColors(RGB(100, 50, 20), RGB(100, 150, 40), 1, 2), RGB(100, 100, 30));
    EXPECT_EQ(CUIUtilities::BlendColors(RGB(255, 255, 255), RGB(255, 255, 255), 1, 2), RGB(255, 255, 255));
    EXPECT_EQ(CUIUtilities::BlendColors(RGB(1, 2, 3), RGB(9, 9, 9), 1, 0), RGB(1, 2, 3));
}

TEST(UIUtilities, CenterRect)
{
    CRect r{0, 0, 10, 6};
    const CRect ref{100, 100, 201, 151};
    CUIUtilities::CenterRect(r, &ref);
    EXPECT_EQ(r, (CRect{145, 122, 155, 128}));
    CRect negative{-3, -3, 0, 0};
    const CRect around{-10, -10, -1, -1};
    CUIUtilities::CenterRect(negative, &around);
    EXPECT_EQ(negative.Width(), 3);
    EXPECT_EQ((negative.left + negative.right) / 2, (around.left + around.right) / 2);
}

TEST(UIUtilities, FindMenuIndexIgnoresAmpersandsAndCase)
{
    QMenu menu;
    menu.addAction(QStringLiteral("&Save"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Open"));
    EXPECT_EQ(CUIUtilities::FindMenuIndex(&menu, QStringLiteral("Open")), 2);
    EXPECT_EQ(CUIUtilities::FindMenuIndex(&menu, QStringLiteral("save")), 0);
    EXPECT_EQ(CUIUtilities::FindMenuIndex(&menu, QStringLiteral("Close")), -1);
    EXPECT_EQ(CUIUtilities::FindMenuIndex(nullptr, QStringLiteral("Open")), -1);
}

TEST(ReportCtrl, RejectedColumnCannotBeDraggedOthersCan)
{
    CReportCtrl list;
    list.setColumnCount(3);
    list.setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Path"), QStringLiteral("Date")});
    list.header()->setStretchLastSection(false);
    list.resize(400, 200);
    list.header()->resizeSection(0, 100);
    list.header()->resizeSection(1, 100);
    list.AddRejectColumnResize(0);
    list.show();
    QHeaderView* header = list.header();
    QWidget* viewport = header->viewport();
    auto drag = [&](int divider) {
        const QPoint from(divider - 1, header->height() / 2);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(40, 0)), QPointF(viewport->mapToGlobal(from + QPoint(40, 0))),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(40, 0));
    };
    drag(100);
    EXPECT_EQ(header->sectionSize(0), 100);
    drag(200);
    EXPECT_EQ(header->sectionSize(1), 140);
}

TEST(ReportCtrl, DropTarget)
{
    CReportCtrl list;
    list.setColumnCount(1);
    for (int i = 0; i < 3; ++i)
        list.addTopLevelItem(new QTreeWidgetItem({QStringLiteral("row %1").arg(i)}));
    list.resize(200, 200);
    list.show();
    const QRect second = list.visualItemRect(list.topLevelItem(1));
    list.Helper().SetDropTarget(second.center() + QPoint(0, second.height() / 4));
    bool after = false;
    EXPECT_EQ(list.Helper().GetDropTarget(&after), 1);
    EXPECT_TRUE(after);
    EXPECT_EQ(list.Helper().GetIndexFromPoint(QPoint(5, 190)), -1);
    list.Helper().ClearDropTarget();
    EXPECT_EQ(list.Helper().GetDropTarget(), -1);
    list.Helper().SetSelectionFromPoint(second.center());
    EXPECT_EQ(list.currentItem(), list.topLevelItem(1));
}

TEST(WaitWindow, GrowsToItsTextStaysCentredAndDisablesTheParent)
{
    QWidget parent;
    parent.show();
    {
        CWaitWindow wait(QStringLiteral("Working"), /*showNow=*/true, &parent);
        ASSERT_NE(wait.Window(), nullptr);
        EXPECT_FALSE(parent.isEnabled());
        EXPECT_TRUE(wait.Window()->isEnabled());
        EXPECT_EQ(wait.Window()->width(), CWaitWindow::kWidth);
        EXPECT_EQ(wait.Window()->windowTitle(), QStringLiteral("Tavrel"));

        const QString longText(80, QLatin1Char('W'));
        wait.Show(longText);
        const int needed = wait.StatusControl()->fontMetrics().horizontalAdvance(longText);
        ASSERT_GT(needed, CWaitWindow::kTextWidth);
        EXPECT_EQ(wait.Window()->width(), CWaitWindow::kWidth + needed - CWaitWindow::kTextWidth);
        const QRect label = wait.StatusControl()->geometry();
        EXPECT_EQ(label.width(), needed);
        EXPECT_LE(std::abs(label.left() - (wait.Window()->width() - label.right() - 1)), 1);

        wait.Hide();
        EXPECT_TRUE(parent.isEnabled());
        EXPECT_FALSE(wait.Window()->isVisible());
        wait.Show();  // shown again with the same text
        EXPECT_EQ(wait.Text(), longText);
        EXPECT_FALSE(parent.isEnabled());
    }
    // The destructor hides the window and gives the parent back.
    EXPECT_TRUE(parent.isEnabled());
}

struct EdgeCase {
    CRect bar;
    int edge;
};

TEST(UserProfile, TaskbarEdgesAndScreenCut)
{
    const EdgeCase cases[] = {
        {{0, 0, 40, 768}, ABE_LEFT}, {{0, 0, 1024, 30}, ABE_TOP},
        {{984, 0, 1024, 768}, ABE_RIGHT}, {{0, 738, 1024, 768}, ABE_BOTTOM},
    };
    for (const EdgeCase& c : cases)
        EXPECT_EQ(CUserProfile::GetAppBarEdge(c.bar), c.edge);

    const CRect screen{0, 0, 1024, 768};
    CRect rect;
    EXPECT_EQ(CUserProfile::CutTaskbar(screen, {0, 0, 1024, 738}, rect), ABE_BOTTOM);
    EXPECT_EQ(rect, (CRect{0, 0, 1024, 738}));
    EXPECT_EQ(CUserProfile::CutTaskbar(screen, {40, 0, 1024, 768}, rect), ABE_LEFT);
    EXPECT_EQ(rect, (CRect{40, 0, 1024, 768}));
    EXPECT_EQ(CUserProfile::CutTaskbar(screen, screen, rect), -1);
    EXPECT_EQ(rect, screen);
}

TEST(UserProfile, FitToScreen)
{
    const CRect screen{0, 0, 800, 570};
    // Beyond the right of a smaller screen: flush with its bottom-right.
    EXPECT_EQ(CUserProfile::FitToScreen({1500, 100, 1800, 300}, screen), (CRect{500, 370, 800, 570}));
    // Inside: unchanged.
    EXPECT_EQ(CUserProfile::FitToScreen({10, 10, 110, 60}, screen), (CRect{10, 10, 110, 60}));
    // Larger than the screen: moved flush, then the top-left raised to 0.
    EXPECT_EQ(CUserProfile::FitToScreen({0, 0, 900, 600}, screen), (CRect{0, 0, 900, 600}));
}

}  // namespace
}  // namespace skin
