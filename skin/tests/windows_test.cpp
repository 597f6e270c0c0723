// One offscreen screenshot per kind of window: the window shape, the
// controls where the layout puts them, and the picture saved for a person
// to look at (SKIN_SCREENSHOT_DIR).
#include "module_fixture.h"
#include "preview_dialog.h"

#include "skin/control_info.h"
#include "skin/skin_message_box.h"
#include "skin/wait_window.h"

#include <QLabel>

namespace skin::test {
namespace {

using skinview::CSkinPreviewDialog;
using skinview::GrabShaped;

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override { SilenceFaults(); }

    static QRect At(const CSkinDialog& d, int id)
    {
        const QWidget* w = d.GetDlgItem(id);
        return w ? w->geometry() : QRect();
    }
    static bool Opaque(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 255; }
    // Pixels of AREA whose colour differs from the one at its top-left.
    static int InkIn(const QImage& image, const QRect& area)
    {
        const QRgb paper = image.pixel(area.topLeft());
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ink += image.pixel(x, y) != paper;
        return ink;
    }
};

TEST_F(WindowsTest, MessageBox)
{
    CSkinMessageBox box(nullptr, ModulePath(), QStringLiteral("BLANK_DIALOG"),
                        QStringLiteral("MESSAGEBOX_INFORMATION_LAYOUT"));
    box.SetMessageText(QStringLiteral("The scan finished. Nothing needs your attention."));
    box.Create();
    box.show();
    ASSERT_TRUE(box.LayoutWarnings().isEmpty()) << Warnings(box).toStdString();
    const QImage shot = GrabShaped(&box);
    shot.save(ScreenshotPath(QStringLiteral("message_box")));

    EXPECT_EQ(box.size(), QSize(400, 190));
    EXPECT_FALSE(Opaque(shot, 0, 0));      // rounded corner: outside the shape
    EXPECT_FALSE(Opaque(shot, 399, 189));
    EXPECT_TRUE(Opaque(shot, 200, 100));
    EXPECT_EQ(At(box, IDOK), QRect(292, 149, 96, 30));
    EXPECT_EQ(At(box, IDC_ALERT_TITLE_CLOSE_BUTTON), QRect(366, 8, 24, 24));
    // The caller's text is drawn into the text area.
    EXPECT_GT(InkIn(shot, At(box, IDC_MESSAGE_TEXT_AREA).adjusted(8, 8, -8, -8)), 50);
    // The OK button shows its bitmap: blue in its middle.
    const QColor middle = shot.pixelColor(At(box, IDOK).center() + QPoint(30, 0));
    EXPECT_GT(middle.blue(), 150);
    EXPECT_LT(middle.red(), 100);
}

TEST_F(WindowsTest, MainWindow)
{
    CSkinPreviewDialog d(ModulePath(), QStringLiteral("QV_OPTIONS_DIALOG"), QStringLiteral("QVCONSOLE_DIALOG_LAYOUT"));
    d.CreateModeless();
    d.show();
    ASSERT_TRUE(d.LayoutWarnings().isEmpty()) << Warnings(d).toStdString();
    const QImage shot = GrabShaped(&d);
    shot.save(ScreenshotPath(QStringLiteral("main_window")));

    EXPECT_EQ(d.size(), QSize(755, 565));
    EXPECT_FALSE(Opaque(shot, 0, 0));
    EXPECT_FALSE(Opaque(shot, 754, 0));
    EXPECT_TRUE(Opaque(shot, 377, 282));
    EXPECT_EQ(At(d, 1001), QRect(168, 100, 587, 413));  // the page browser, moved by CONTROL
    EXPECT_EQ(At(d, IDOK), QRect(539, 524, 96, 30));
    EXPECT_EQ(At(d, 1002), QRect(0, 72, 168, 46));     // home navigation button
    EXPECT_TRUE(d.GetDlgItem(IDOK)->isVisible());
    EXPECT_FALSE(d.GetDlgItem(1041)->isVisible());      // scan now: shown on the scan page only
    EXPECT_TRUE(d.ExtendedDragging());
}

TEST_F(WindowsTest, ResizablePageDialogFollowsItsRules)
{
    CSkinPreviewDialog d(ModulePath(), QStringLiteral("GENERICWEB_DIALOG"), QStringLiteral("GENERICWEB_DIALOG_LAYOUT"));
    d.CreateModeless();
    d.show();
    ASSERT_TRUE(d.LayoutWarnings().isEmpty()) << Warnings(d).toStdString();
    ASSERT_TRUE(d.IsResizable());
    EXPECT_EQ(At(d, IDOK), QRect(348, 377, 96, 30));

    d.resize(700, 460);
    const QImage shot = GrabShaped(&d);
    shot.save(ScreenshotPath(QStringLiteral("resizable_dialog")));
    // Buttons keep their distance from the bottom-right corner, the title
    // buttons from the right edge, and the page fills the middle.
    EXPECT_EQ(At(d, IDOK), QRect(488, 417, 96, 30));
    EXPECT_EQ(At(d, IDCANCEL), QRect(592, 417, 96, 30));
    EXPECT_EQ(At(d, 1012), QRect(662, 10, 24, 24));
    EXPECT_EQ(At(d, 1001), QRect(0, 44, 700, 360));
    // The shape follows the new size: all four corners cut.
    EXPECT_FALSE(Opaque(shot, 0, 0));
    EXPECT_FALSE(Opaque(shot, 699, 0));
    EXPECT_FALSE(Opaque(shot, 0, 459));
    EXPECT_FALSE(Opaque(shot, 699, 459));
    EXPECT_TRUE(Opaque(shot, 10, 230));
    // The background parts stretch: title bar dark, footer light, at the new
    // width.
    EXPECT_LT(shot.pixelColor(650, 20).lightness(), 60);
    EXPECT_GT(shot.pixelColor(650, 440).lightness(), 200);

    // It cannot shrink below its minimum size.
    d.resize(100, 100);
    EXPECT_EQ(d.size(), QSize(420, 300));
}

TEST_F(WindowsTest, PopupBarIsAChildThatStretches)
{
    QWidget page;
    page.resize(900, 300);
    CSkinPreviewDialog bar(ModulePath(), QStringLiteral("POPUP_NOTIFY_DLG"), QStringLiteral("POPUP_NOTIFY_DLG_LAYOUT"));
    bar.CreateModeless(&page);
    ASSERT_TRUE(bar.LayoutWarnings().isEmpty()) << Warnings(bar).toStdString();
    EXPECT_FALSE(bar.isWindow());
    page.show();
    bar.show();
    bar.setGeometry(0, 0, 800, 30);
    const QImage shot = GrabShaped(&bar);
    shot.save(ScreenshotPath(QStringLiteral("popup_bar")));
    EXPECT_TRUE(bar.mask().isEmpty());
    EXPECT_EQ(At(bar, IDCANCEL), QRect(774, 5, 20, 20));
    EXPECT_EQ(At(bar, 1071), QRect(688, 4, 80, 22));
    EXPECT_EQ(shot.pixelColor(600, 10), QColor(0xFF, 0xF6, 0xD6));  // the bar colour, stretched
    EXPECT_GT(InkIn(shot, At(bar, 1035)), 30);                      // the message text
}

TEST_F(WindowsTest, WaitWindow)
{
    QWidget owner;
    owner.show();
    CWaitWindow wait(QStringLiteral("Resolving path names...."), /*showNow=*/true, &owner);
    const QImage shot = wait.Window()->grab().toImage();
    shot.save(ScreenshotPath(QStringLiteral("wait_window")));
    EXPECT_EQ(shot.size(), QSize(CWaitWindow::kWidth, CWaitWindow::kHeight));
    EXPECT_EQ(ControlId(wait.StatusControl()), IDC_WAIT_STATUS_TEXT);
    EXPECT_GT(InkIn(shot, wait.StatusControl()->geometry()), 30);
}

}  // namespace
}  // namespace skin::test
