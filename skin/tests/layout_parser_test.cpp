// The layout format as CSkinDialog reads it: styles, names and IDs, sizes,
// fonts, colours, rules, regions and bitmaps, and the faults it reports.
#include "skin_fixture.h"

#include "skin/control_info.h"
#include "skin/resizable_grip.h"
#include "skin/skin_button.h"
#include "skin/skin_static.h"
#include "skin/window_style.h"

#include "win/ui/messaging.h"
#include "win/ui/window_handle.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QTest>

namespace skin::test {
namespace {

using LayoutParser = SkinFolder;

TEST_F(LayoutParser, StaticStylesWithAndWithoutLeadingBar)
{
    auto d = Build("<R><STATIC name=\"a\" style=\"|SS_NOTIFY\"/><STATIC name=\"b\" style=\"SS_NOTIFY\"/></R>");
    EXPECT_EQ(ControlStyle(d->GetControl("a")), WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOTIFY);
    EXPECT_EQ(ControlStyle(d->GetControl("b")), SS_NOTIFY);
    EXPECT_FALSE(d->GetControl("b")->isVisibleTo(d.get()));
    EXPECT_TRUE(d->LayoutWarnings().isEmpty()) << Messages(*d).join('\n').toStdString();
}

TEST_F(LayoutParser, ButtonStyleReplacesTheDefaultEvenWithLeadingBar)
{
    auto d = Build("<R><BUTTON name=\"a\" style=\"|BS_FLAT\"/><CHECKBOX name=\"c\"/><BUTTON name=\"p\"/></R>");
    EXPECT_EQ(ControlStyle(d->GetControl("a")), BS_FLAT);
    EXPECT_EQ(ControlStyle(d->GetControl("c")), WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX);
    EXPECT_EQ(static_cast<CSkinButton*>(d->GetControl("c"))->GetKind(), CSkinButton::kCheckBox);
    EXPECT_EQ(ControlStyle(d->GetControl("p")), WS_CHILD | WS_VISIBLE);
}

class NamedDialog : public CSkinDialog {
public:
    using CSkinDialog::CSkinDialog;

protected:
    void InitSkinControlIDs() override
    {
        m_mapSkinControlIDs.Set(QStringLiteral("IDOK"), 1);
        m_mapOptionalControlIDs.Set(QStringLiteral("IDC_EDIT"), 1001);
    }
};

TEST_F(LayoutParser, NamesAndIds)
{
    auto d = Build<NamedDialog>(
        "<R><BUTTON/><STATIC/><BUTTON id=\"IDOK\"/><STATIC id=\"1234\"/><STATIC id=\"IDC_NOTHING\"/>"
        "<RICHSTATIC name=\"label\"/><CONTROL id=\"IDC_EDIT\" left=\"40\" top=\"50\" width=\"70\" height=\"22\"/></R>");
    EXPECT_EQ(ControlId(d->GetControl("BUTTON4096")), -1);
    EXPECT_EQ(ControlId(d->GetControl("STATIC4097")), -1);
    EXPECT_EQ(ControlId(d->GetControl("IDOK")), 1);
    EXPECT_EQ(ControlId(d->GetControl("1234")), 1234);
    EXPECT_EQ(ControlId(d->GetControl("IDC_NOTHING")), 0);
    EXPECT_EQ(ControlId(d->GetControl("label")), -1);
    // CONTROL moves the template control and is not a layout control.
    EXPECT_EQ(d->GetDlgItem(1001)->geometry(), QRect(40, 50, 70, 22));
    EXPECT_EQ(d->GetControl("IDC_EDIT"), nullptr);
    EXPECT_TRUE(d->LayoutWarnings().isEmpty()) << Messages(*d).join('\n').toStdString();
}

TEST_F(LayoutParser, RequiredControlsMissingAreReportedOnce)
{
    auto d = Build<NamedDialog>("<R><BUTTON id=\"IDCANCEL\"/></R>");
    ASSERT_EQ(d->LayoutWarnings().size(), 1);
    EXPECT_TRUE(d->LayoutWarnings()[0].message.contains("IDOK"));
    EXPECT_EQ(d->LayoutWarnings()[0].boxText,
              QStringLiteral("The following controls are not defined by skin configuration:\n\nIDOK\n"));
}

TEST_F(LayoutParser, SizesDefaultToTheBitmap)
{
    WriteBitmap("pic.png", QSize(33, 17), Qt::red);
    auto d = Build("<R><STATIC name=\"s\" left=\"4\" top=\"6\" bitmap=\"pic\"/>"
                   "<BUTTON name=\"b\" left=\"1\" top=\"2\" width=\"40\" bitmap=\"pic\"/>"
                   "<STATIC name=\"e\" left=\"3\" top=\"3\"/></R>");
    EXPECT_EQ(d->GetControl("s")->geometry(), QRect(4, 6, 33, 17));
    EXPECT_EQ(ControlStyle(d->GetControl("s")) & SS_TYPEMASK, SS_BITMAP);
    EXPECT_EQ(d->GetControl("b")->geometry(), QRect(1, 2, 40, 17));
    EXPECT_EQ(d->GetControl("e")->geometry().size(), QSize(0, 0));
    // A button with a bitmap draws it at natural size without a border.
    auto* b = static_cast<CSkinButton*>(d->GetControl("b"));
    EXPECT_EQ(b->DrawMode(), 0);
    EXPECT_FALSE(b->Border());
    EXPECT_EQ(b->Margin(), 0);
}

TEST_F(LayoutParser, LaterDefinitionsAreNotSeenAndAreReported)
{
    auto d = Build("<R><RESIZINGRULES><late><LEFT/></late></RESIZINGRULES>"
                   "<STATIC name=\"s\" font=\"big\"/>"
                   "<STATIC name=\"late\"/>"
                   "<FONTS><big height=\"20\"/></FONTS></R>");
    EXPECT_EQ(d->LayoutManager().GetChildMetrics(d->GetControl("late")), nullptr);
    EXPECT_NE(d->GetControl("s")->font(), *d->GetSkinFont("big"));
    ASSERT_EQ(d->LayoutWarnings().size(), 2) << Messages(*d).join('\n').toStdString();
    EXPECT_EQ(d->LayoutWarnings()[0].line, 1);
}

TEST_F(LayoutParser, RootWidthWithoutHeightGivesZeroHeight)
{
    auto d = Build("<R width=\"300\"/>");
    EXPECT_EQ(d->width(), 300);
    EXPECT_EQ(d->height(), 0);
    EXPECT_EQ(d->LayoutWarnings().size(), 1);
}

TEST_F(LayoutParser, RootAttributes)
{
    auto d = Build("<R extended_dragging=\"true\" minwidth=\"200\" minheight=\"150\" gripsize=\"10\" "
                   "sizingborderwidth=\"6\" defaultwidth=\"640\" defaultheight=\"480\" text=\"Title\"/>");
    EXPECT_TRUE(d->ExtendedDragging());
    EXPECT_EQ(d->GripSize(), 10);
    EXPECT_EQ(d->SizingBorderWidth(), 6);
    EXPECT_EQ(d->DefaultSize(), QSize(640, 480));
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Title"));
    QSize min;
    EXPECT_TRUE(d->MinMaxInfo().GetMinTrackingSize(min));
    EXPECT_EQ(min, QSize(200, 150));
    // Not resizable: every point drags the window.
    EXPECT_EQ(d->HitTest(QPoint(1, 1)), HTCAPTION);
    EXPECT_EQ(d->HitTest(QPoint(299, 199)), HTCAPTION);
}

TEST_F(LayoutParser, ResizableHitTest)
{
    auto d = Build("<R gripsize=\"10\" sizingborderwidth=\"4\"><RESIZINGRULES/></R>");
    ASSERT_TRUE(d->IsResizable());
    struct Hit {
        QPoint p;
        int answer;
    };
    for (const Hit& h : {Hit{{295, 195}, HTBOTTOMRIGHT}, Hit{{2, 100}, HTLEFT}, Hit{{150, 1}, HTTOP},
                         Hit{{298, 100}, HTRIGHT}, Hit{{150, 197}, HTBOTTOM}, Hit{{150, 100}, HTCLIENT}})
        EXPECT_EQ(d->HitTest(h.p), h.answer) << h.p.x() << "," << h.p.y();
}

TEST_F(LayoutParser, FontFields)
{
    auto d = Build("<R><FONTS><f height=\"10\" weight=\"FW_BOLD\" italic=\"TRUE\" pitch=\"FIXED_PITCH\" "
                   "family=\"FF_MODERN\" typeface=\"DejaVu Sans Mono\" charset=\"RUSSIAN_CHARSET\"/>"
                   "<plain/></FONTS></R>");
    const CSkinFont* f = d->GetSkinFontFields("f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->logFont.lfHeight, PointsToLogicalHeight(10, d->logicalDpiY()));
    if (d->logicalDpiY() == 96) {
        EXPECT_EQ(f->logFont.lfHeight, 13);
    }
    EXPECT_EQ(f->logFont.lfWeight, 700);
    EXPECT_EQ(f->logFont.lfPitchAndFamily, 49);
    EXPECT_EQ(f->logFont.lfCharSet, 204);
    EXPECT_TRUE(f->font.bold());
    EXPECT_TRUE(f->font.italic());
    EXPECT_TRUE(f->font.fixedPitch());
    const CSkinFont* plain = d->GetSkinFontFields("plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->logFont.lfWeight, 400);
    EXPECT_EQ(QFontMetrics(plain->font).ascent() + QFontMetrics(plain->font).descent(),
              plain->logFont.lfHeight);
}

TEST_F(LayoutParser, Colours)
{
    auto d = Build("<R><COLORS><onlyred r=\"255\"/><orange>#FF8000</orange><same>orange</same>"
                   "<hex>123456</hex><empty></empty><wrapped r=\"511\"/></COLORS>"
                   "<RICHSTATIC name=\"rs\" color=\"orange\" bgcolor=\"00ff00\"/></R>");
    EXPECT_EQ(d->GetSkinColor("onlyred"), 255u);
    EXPECT_EQ(d->GetSkinColorMap().Text("orange"), QStringLiteral("ff8000"));
    EXPECT_EQ(d->GetSkinColor("orange"), 0xFF8000u);
    EXPECT_EQ(d->GetSkinColor("same"), 0xFF8000u);
    EXPECT_EQ(d->GetSkinColor("hex"), 0x123456u);
    EXPECT_EQ(d->GetSkinColor("empty"), 0u);
    EXPECT_EQ(d->GetSkinColor("wrapped"), 255u);  // each part masked to 8 bits
    EXPECT_EQ(d->GetSkinColor("transparent"), 0xFFFFFFFFu);
    auto* rs = static_cast<CRichStatic*>(d->GetControl("rs"));
    EXPECT_EQ(rs->TextColor(), 0xFF8000u);
    EXPECT_EQ(rs->BGColor(), 0x00FF00u);
    EXPECT_TRUE(d->LayoutWarnings().isEmpty()) << Messages(*d).join('\n').toStdString();

    auto redefined = Build("<R><COLORS><transparent r=\"1\"/></COLORS></R>");
    EXPECT_EQ(redefined->GetSkinColor("transparent"), 1u);
}

TEST_F(LayoutParser, EdgeRules)
{
    auto d = Build("<R><STATIC name=\"a\" width=\"10\" height=\"10\"/><STATIC name=\"b\"/>"
                   "<RESIZINGRULES><b>"
                   "<LEFT rightof=\"a.right\" distance=\"5\"/>"
                   "<TOP below=\"parent.height\" distance=\"33.3%\"/>"
                   "<RIGHT leftof=\"parent.width\" distance=\"50%\"/>"
                   "<BOTTOM sameas=\"self.bottom\"/>"
                   "</b><a><LEFT distance=\"7\"/></a></RESIZINGRULES></R>");
    const CLayoutMetrics* b = d->LayoutManager().GetChildMetrics(d->GetControl("b"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Left().Relationship(), LM_RIGHTOF);
    EXPECT_EQ(b->Left().GetRelation(d.get(), d->GetControl("b")), d->GetControl("a"));
    EXPECT_EQ(b->Left().Attribute(), LM_RIGHT);
    EXPECT_EQ(b->Top().Distance(), 3329);
    EXPECT_TRUE(b->Top().IsPercentage());
    EXPECT_EQ(b->Right().Distance(), 5000);
    EXPECT_EQ(b->Bottom().GetRelation(d.get(), d->GetControl("b")), d->GetControl("b"));
    // An edge element without a relationship: same as the parent's top.
    const CLayoutMetrics* a = d->LayoutManager().GetChildMetrics(d->GetControl("a"));
    EXPECT_EQ(a->Left().Relationship(), LM_SAMEAS);
    EXPECT_EQ(a->Left().Attribute(), LM_TOP);
    EXPECT_EQ(a->Left().GetRelation(d.get(), nullptr), d.get());
    EXPECT_TRUE(d->LayoutWarnings().isEmpty()) << Messages(*d).join('\n').toStdString();
}

TEST_F(LayoutParser, FixedRegionShapesAndSizesTheWindow)
{
    QRegion shape(0, 0, 120, 80);
    shape -= QRect(0, 0, 3, 3);
    WriteRegion("shape", shape);
    auto d = Build("<R region=\"shape\"/>");
    EXPECT_TRUE(d->HasRegion());
    EXPECT_EQ(d->size(), QSize(120, 80));
    EXPECT_FALSE(d->mask().contains(QPoint(1, 1)));
    EXPECT_TRUE(d->mask().contains(QPoint(60, 40)));
}

TEST_F(LayoutParser, ResizableRegionFromCorners)
{
    for (const char* name : {"tl", "tr", "bl", "br"})
        WriteRegion(name, QRegion(0, 0, 6, 6).subtracted(QRegion(name[1] == 'r' ? 5 : 0, name[0] == 'b' ? 5 : 0, 1, 1)));
    auto d = Build("<R><RESIZINGRULES top_left_region=\"tl\" top_right_region=\"tr\" "
                   "bottom_left_region=\"bl\" bottom_right_region=\"br\"/></R>");
    d->show();
    d->resize(200, 100);
    QCoreApplication::processEvents();
    const QRegion mask = d->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(199, 0)));
    EXPECT_FALSE(mask.contains(QPoint(0, 99)));
    EXPECT_FALSE(mask.contains(QPoint(199, 99)));
    EXPECT_TRUE(mask.contains(QPoint(1, 0)));
    EXPECT_TRUE(mask.contains(QPoint(100, 50)));
    EXPECT_EQ(RegionBox(mask), (CRect{0, 0, 200, 100}));
}

TEST_F(LayoutParser, MissingOrBrokenCornerLeavesTheWindowUnshaped)
{
    WriteRegion("tl", QRegion(0, 0, 6, 6));
    WriteFile("broken.rgn", QByteArray("\x20\x00\x00\x00\x01\x00\x00\x00\x05", 9));
    auto three = Build("<R><RESIZINGRULES top_left_region=\"tl\" top_right_region=\"tl\" bottom_left_region=\"tl\"/></R>");
    EXPECT_TRUE(three->IsResizable());
    EXPECT_TRUE(three->mask().isEmpty());
    EXPECT_EQ(three->LayoutWarnings().size(), 1);

    auto broken = Build("<R><RESIZINGRULES top_left_region=\"tl\" top_right_region=\"tl\" "
                        "bottom_left_region=\"tl\" bottom_right_region=\"broken\"/></R>");
    EXPECT_FALSE(broken->HasRegion());
    EXPECT_TRUE(broken->mask().isEmpty());
    ASSERT_EQ(broken->LayoutWarnings().size(), 1);
    EXPECT_TRUE(broken->LayoutWarnings()[0].message.contains("shorter than"));
}

TEST_F(LayoutParser, JpegNamesAndBitmapCache)
{
    WriteBitmap("pic.jpg.bmp", QSize(8, 8), Qt::blue, "PNG");
    WriteBitmap("photo.JPG", QSize(9, 9), Qt::green, "JPEG");
    auto d = Build("<R><STATIC name=\"lower\" bitmap=\"pic.jpg\"/><STATIC name=\"upper\" bitmap=\"photo.JPG\"/></R>");
    EXPECT_NE(d->GetNamedBitmap("pic.jpg"), nullptr);
    EXPECT_EQ(d->GetControl("lower")->size(), QSize(8, 8));
    EXPECT_EQ(d->GetNamedBitmap("photo.JPG"), nullptr);  // JPEG pictures are not cached
    EXPECT_EQ(d->GetControl("upper")->size(), QSize(9, 9));
    EXPECT_TRUE(d->LayoutWarnings().isEmpty()) << Messages(*d).join('\n').toStdString();
}

TEST_F(LayoutParser, MalformedBitmapIsRejected)
{
    // A PNG signature followed by garbage, and a BMP header that claims more
    // than the file holds.
    WriteFile("bad.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, '\x7f'));
    QByteArray bmp("BM");
    bmp += QByteArray("\xff\xff\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00", 16);
    bmp += QByteArray("\x00\x40\x00\x00\x00\x40\x00\x00\x01\x00\x18\x00", 12);
    bmp += QByteArray(24, '\0');
    WriteFile("short.bmp", bmp);
    auto d = Build("<R><STATIC name=\"a\" bitmap=\"bad\"/><STATIC name=\"b\" bitmap=\"short\"/></R>");
    EXPECT_EQ(d->GetNamedBitmap("bad"), nullptr);
    EXPECT_EQ(d->GetNamedBitmap("short"), nullptr);
    ASSERT_EQ(d->LayoutWarnings().size(), 2);
    EXPECT_EQ(d->LayoutWarnings()[0].boxText, QStringLiteral("Failed to load resource bitmap bad"));
    EXPECT_NE(d->GetControl("a"), nullptr);  // the control is made without its bitmap
}

TEST_F(LayoutParser, BackgroundPartsAndToolTips)
{
    WriteBitmap("part.png", QSize(20, 10), Qt::darkBlue);
    auto d = Build("<R><STATIC name=\"bg\" bitmap=\"part\"/><BUTTON name=\"b\" tooltip=\"Press\"/>"
                   "<BACKGROUNDPARTS><bg/></BACKGROUNDPARTS></R>");
    QWidget* bg = d->GetControl("bg");
    EXPECT_FALSE(bg->isVisibleTo(d.get()));
    EXPECT_FALSE(bg->isEnabled());
    EXPECT_TRUE(d->HasBackground());
    ASSERT_EQ(d->BackgroundParts().size(), 1);
    EXPECT_EQ(d->BackgroundParts()[0], bg);
    EXPECT_EQ(d->RegisteredToolTip(d->GetControl("b")), QStringLiteral("Press"));
    EXPECT_TRUE(d->GetControl("b")->toolTip().isEmpty());
    d->EnableToolTips(true);
    EXPECT_EQ(d->GetControl("b")->toolTip(), QStringLiteral("Press"));
}

TEST_F(LayoutParser, InvalidXmlBuildsTheTemplateOnly)
{
    auto d = Build("<R><STATIC name=\"a\"></R>");
    EXPECT_TRUE(d->ControlNames().isEmpty());
    EXPECT_NE(d->GetDlgItem(1001), nullptr);
    ASSERT_EQ(d->LayoutWarnings().size(), 1);
    EXPECT_TRUE(d->LayoutWarnings()[0].message.startsWith("not valid XML"));
}

TEST_F(LayoutParser, MissingTemplateFailsInitialize)
{
    CSkinDialog d(nullptr, dir_.path(), QStringLiteral("NOPE"), QStringLiteral("L"), false, 0);
    EXPECT_FALSE(d.Template().has_value());
    EXPECT_FALSE(d.Initialize(nullptr, dir_.path(), QStringLiteral("NOPE"), QStringLiteral("L"), false, 0));
}

// A derived dialog's message map sees the layout's buttons as WM_COMMAND,
// and other code reaches the dialog by its handle.
class MappedDialog : public CSkinDialog {
public:
    MappedDialog(QWidget* parent, const QString& path, const QString& t, const QString& l, bool modal, int language)
        : CSkinDialog(parent, path, t, l, modal, language)
    {
        MapMessage(win::WM_COMMAND, [this](win::WPARAM w, win::LPARAM l) {
            commands.append({win::LOWORD(w), l});
            return 0;
        });
        MapMessage(Registered(), [this](win::WPARAM w, win::LPARAM) {
            posted.append(static_cast<int>(w));
            return 0;
        });
    }
    static win::UINT Registered() { return win::RegisterWindowMessage(QStringLiteral("SKIN_TEST_PING")); }

    QList<std::pair<int, win::LPARAM>> commands;
    QList<int> posted;
};

TEST_F(LayoutParser, CommandsAndMessagesGoThroughTheMessageMap)
{
    auto d = Build<MappedDialog>("<R><BUTTON id=\"77\" width=\"30\" height=\"20\"/></R>");
    d->show();
    QWidget* button = d->GetControl("77");
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(d->commands.size(), 1);
    EXPECT_EQ(d->commands[0].first, 77);
    EXPECT_EQ(d->commands[0].second, reinterpret_cast<win::LPARAM>(win::HwndFromWidget(button)));

    ASSERT_TRUE(win::PostMessage(d->GetSafeHwnd(), MappedDialog::Registered(), 5, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(d->posted, QList<int>{5});
}

TEST_F(LayoutParser, UnmappedOkAndCancelEndTheDialog)
{
    auto d = Build("<R><BUTTON id=\"1\" width=\"30\" height=\"20\"/></R>");
    d->show();
    QTest::mouseClick(d->GetControl("1"), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(d->result(), IDOK);
    EXPECT_FALSE(d->isVisible());
    d->show();
    win::SendMessage(d->GetSafeHwnd(), win::WM_COMMAND, win::MAKEWPARAM(IDCANCEL, win::BN_CLICKED), 0);
    EXPECT_EQ(d->result(), IDCANCEL);
}

// The window system cannot move or size this offscreen window, so the
// dialog does it itself: a drag on the caption moves it, one on the grip
// sizes it (no smaller than its minimum) and lays the children out again.
TEST_F(LayoutParser, MouseDragsMoveAndResize)
{
    auto d = Build("<R extended_dragging=\"true\" minwidth=\"250\" minheight=\"150\">"
                   "<STATIC name=\"s\" left=\"280\" top=\"180\" width=\"10\" height=\"10\"/>"
                   "<RESIZINGRULES><s><LEFT leftof=\"parent.right\" distance=\"20\"/>"
                   "<RIGHT leftof=\"parent.right\" distance=\"10\"/></s></RESIZINGRULES></R>");
    d->move(100, 100);
    d->show();
    const QPoint start = d->pos();
    QTest::mousePress(d.get(), Qt::LeftButton, {}, QPoint(150, 100));
    QTest::mouseMove(d.get(), QPoint(170, 130));
    QTest::mouseRelease(d.get(), Qt::LeftButton, {}, QPoint(170, 130));
    EXPECT_EQ(d->pos(), start + QPoint(20, 30));

    QTest::mousePress(d.get(), Qt::LeftButton, {}, QPoint(298, 198));
    QTest::mouseMove(d.get(), QPoint(338, 218));
    QTest::mouseRelease(d.get(), Qt::LeftButton, {}, QPoint(338, 218));
    EXPECT_EQ(d->size(), QSize(340, 220));
    EXPECT_EQ(d->GetControl("s")->geometry().right(), 340 - 10 - 1);

    QTest::mousePress(d.get(), Qt::LeftButton, {}, QPoint(338, 218));
    QTest::mouseMove(d.get(), QPoint(0, 0));
    QTest::mouseRelease(d.get(), Qt::LeftButton, {}, QPoint(0, 0));
    EXPECT_EQ(d->size(), QSize(250, 150));
}

// A layout with one fault per line group: each fault is reported exactly
// once, at its line, and everything else is still built.
TEST_F(LayoutParser, EveryFaultIsReportedOnceWithItsLine)
{
    auto d = Build(
        "<ROOT region=\"no_such_region\" bogus=\"1\">\n"                              // 1: 2 faults
        "<FONTS><f1 height=\"ten\" weight=\"FW_BOLDISH\"/></FONTS>\n"                // 2: 2 faults
        "<COLORS><c1>#zz</c1></COLORS>\n"                                              // 3: 1 fault
        "<STATIC name=\"s1\" left=\"x\" font=\"nofont\"/>\n"                         // 4: 2 faults
        "<BUTTON name=\"b1\" bitmap=\"missing\" style=\"WS_CHILD|WS_VISIBLEE\"/>\n"  // 5: 2 faults
        "<WIDGET/>\n"                                                                  // 6: 1 fault
        "<RESIZINGRULES><nosuch><LEFT/></nosuch></RESIZINGRULES>\n"                    // 7: 1 fault
        "<RESIZINGRULES><s1><MIDDLE/><LEFT sameas=\"s1.sideways\"/></s1></RESIZINGRULES>\n"  // 8: 2 faults
        "<STATIC name=\"fine\" left=\"3\"/>\n"                                        // 9: none
        "</ROOT>\n");
    QList<int> lines;
    for (const SkinWarning& w : d->LayoutWarnings())
        lines.append(w.line);
    EXPECT_EQ(lines, (QList<int>{1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 7, 8, 8}))
        << Messages(*d).join('\n').toStdString();
    for (const SkinWarning& w : d->LayoutWarnings())
        EXPECT_TRUE(w.source.endsWith("L.xml")) << w.source.toStdString();
    EXPECT_NE(d->GetControl("s1"), nullptr);
    EXPECT_NE(d->GetControl("b1"), nullptr);
    EXPECT_EQ(d->GetControl("fine")->x(), 3);
}

}  // namespace
}  // namespace skin::test
