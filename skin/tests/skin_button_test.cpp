// Which bitmap a skin button shows in each state, its drawing parameters,
// masks, and radio groups.
#include "skin/control_info.h"
#include "skin/skin_button.h"
#include "skin/window_style.h"

#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace skin {
namespace {

QPixmap Solid(QColor c, QSize size = QSize(40, 20))
{
    QPixmap p(size);
    p.fill(c);
    return p;
}

struct FaceCase {
    const char* name;
    CSkinButton::Kind kind;
    bool enabled;
    bool checked;
    bool down;
    bool hover;
    CSkinButton::Face face;
    QColor shown;  // colour of the bitmap shown; invalid = face colour
};

class ButtonFaceTest : public ::testing::TestWithParam<FaceCase> {};

const QColor kNormal(10, 0, 0), kDown(20, 0, 0), kOver(30, 0, 0), kDisabled(40, 0, 0),
    kDownDisabled(50, 0, 0), kFocus(60, 0, 0);

TEST_P(ButtonFaceTest, StateToBitmap)
{
    const FaceCase& c = GetParam();
    QWidget parent;
    CSkinButton button(&parent);
    button.SetButtonStyle(c.kind == CSkinButton::kCheckBox ? BS_AUTOCHECKBOX
                          : c.kind == CSkinButton::kRadio  ? BS_AUTORADIOBUTTON
                                                           : BS_PUSHBUTTON);
    button.SetSkin(Solid(kNormal), Solid(kDown), Solid(kOver), Solid(kDisabled), Solid(kDownDisabled),
                   Solid(kFocus), QPixmap());
    button.SetCheck(c.checked ? 1 : 0);
    button.setDown(c.down);
    if (c.hover) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&button, &enter);
    }
    button.setEnabled(c.enabled);
    EXPECT_EQ(button.CurrentFace(), c.face);
    ASSERT_NE(button.CurrentBitmap(), nullptr);
    EXPECT_EQ(button.CurrentBitmap()->toImage().pixelColor(0, 0), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonFaceTest,
    ::testing::Values(
        FaceCase{"Normal", CSkinButton::kPush, true, false, false, false, CSkinButton::Face::Normal, kNormal},
        FaceCase{"Hover", CSkinButton::kPush, true, false, false, true, CSkinButton::Face::Over, kOver},
        FaceCase{"Pressed", CSkinButton::kPush, true, false, true, true, CSkinButton::Face::Down, kDown},
        FaceCase{"Disabled", CSkinButton::kPush, false, false, false, false, CSkinButton::Face::Disabled, kDisabled},
        FaceCase{"PushIgnoresCheck", CSkinButton::kPush, true, true, false, false, CSkinButton::Face::Normal, kNormal},
        FaceCase{"CheckedBox", CSkinButton::kCheckBox, true, true, false, true, CSkinButton::Face::Down, kDown},
        FaceCase{"CheckedBoxDisabled", CSkinButton::kCheckBox, false, true, false, false,
                 CSkinButton::Face::DownDisabled, kDownDisabled},
        FaceCase{"UncheckedRadioDisabled", CSkinButton::kRadio, false, false, false, false,
                 CSkinButton::Face::Disabled, kDisabled}),
    [](const ::testing::TestParamInfo<FaceCase>& info) { return std::string(info.param.name); });

TEST(SkinButton, OnlyANormalBitmapLooksTheSameDisabledButEmbossesItsCaption)
{
    QWidget parent;
    CSkinButton button(&parent);
    button.resize(80, 24);
    button.setText(QStringLiteral("Go"));
    button.SetSkin(Solid(Qt::white, QSize(80, 24)), {}, {}, {}, {}, {}, {}, /*drawMode=*/0, 0, 0);
    const QImage enabled = button.grab().toImage();
    button.setEnabled(false);
    EXPECT_EQ(button.CurrentBitmap()->cacheKey(), button.Bitmap(CSkinButton::Face::Normal).cacheKey());
    const QImage disabled = button.grab().toImage();
    // Away from the caption both look alike; over it they differ.
    EXPECT_EQ(enabled.pixel(3, 3), disabled.pixel(3, 3));
    EXPECT_NE(enabled, disabled);
}

TEST(SkinButton, DrawingParametersAndKeptValues)
{
    QWidget parent;
    CSkinButton button(&parent);
    const QCursor hand(Qt::PointingHandCursor);
    button.SetSkin({}, {}, {}, {}, {}, {}, {}, /*drawMode=*/5, /*border=*/1, /*margin=*/3, &hand);
    EXPECT_EQ(button.DrawMode(), 2);  // clamped: tiling
    EXPECT_TRUE(button.Border());
    EXPECT_EQ(button.Margin(), 3);
    ASSERT_TRUE(button.Cursor());
    button.SetSkin({}, {}, {}, {}, {}, {}, {}, -1, -1, -1, CSkinButton::KeepCursor());
    EXPECT_EQ(button.DrawMode(), 2);
    EXPECT_TRUE(button.Border());
    EXPECT_EQ(button.Margin(), 3);
    EXPECT_TRUE(button.Cursor());
    button.SetSkin({}, {}, {}, {}, {}, {}, {}, -1, -1, -1, nullptr);
    EXPECT_FALSE(button.Cursor());
    EXPECT_EQ(button.SetTextColor(RGB(1, 2, 3)) != RGB(1, 2, 3), true);
    EXPECT_EQ(button.SetTextColor(0), RGB(1, 2, 3));
}

TEST(SkinButton, MaskShapesAndSizesTheButton)
{
    QWidget parent;
    CSkinButton button(&parent);
    button.resize(100, 100);
    QImage mask(20, 10, QImage::Format_RGB32);
    mask.fill(Qt::black);
    mask.setPixel(0, 0, qRgb(255, 255, 255));
    button.SetSkin(Solid(Qt::red, QSize(20, 10)), {}, {}, {}, {}, {}, QPixmap::fromImage(mask), /*drawMode=*/0);
    EXPECT_EQ(button.size(), QSize(20, 10));
    EXPECT_FALSE(button.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(button.mask().contains(QPoint(1, 0)));

    // A transparent colour in the normal bitmap cuts the shape the same way.
    QImage normal(16, 8, QImage::Format_RGB32);
    normal.fill(Qt::blue);
    normal.setPixel(15, 7, qRgb(255, 0, 255));
    button.SetSkin(QPixmap::fromImage(normal), {}, {}, {}, {}, {}, {}, 0);
    button.SetTransparentColor(RGB(255, 0, 255));
    EXPECT_EQ(button.size(), QSize(16, 8));
    EXPECT_FALSE(button.mask().contains(QPoint(15, 7)));
    EXPECT_TRUE(button.mask().contains(QPoint(0, 0)));
}

CSkinButton* Radio(QWidget* parent, bool groupStart)
{
    auto* b = new CSkinButton(parent);
    const std::uint32_t style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | (groupStart ? WS_GROUP : 0);
    b->SetButtonStyle(style);
    SetControlStyle(b, style);
    b->resize(20, 20);
    return b;
}

TEST(SkinButton, CheckingARadioUnchecksItsGroupOnly)
{
    QWidget parent;
    CSkinButton* a = Radio(&parent, true);
    CSkinButton* b = Radio(&parent, false);
    CSkinButton* c = Radio(&parent, true);  // a new group
    CSkinButton* d = Radio(&parent, false);
    a->SetCheck(1);
    c->SetCheck(1);
    b->SetCheck(1);
    EXPECT_EQ(a->GetCheck(), 0);
    EXPECT_EQ(b->GetCheck(), 1);
    EXPECT_EQ(c->GetCheck(), 1);
    // A click checks the radio button (and never unchecks it).
    QTest::mouseClick(d, Qt::LeftButton);
    EXPECT_EQ(d->GetCheck(), 1);
    EXPECT_EQ(c->GetCheck(), 0);
    QTest::mouseClick(d, Qt::LeftButton);
    EXPECT_EQ(d->GetCheck(), 1);
    EXPECT_EQ(b->GetCheck(), 1);
}

TEST(SkinButton, CheckBoxTogglesOnClickAndSpaceAndReportsClicks)
{
    QWidget parent;
    CSkinButton box(&parent);
    box.SetButtonStyle(BS_AUTOCHECKBOX);
    box.resize(20, 20);
    int clicks = 0;
    QObject::connect(&box, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(box.GetCheck(), 1);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_EQ(box.GetCheck(), 0);
    EXPECT_EQ(clicks, 2);
    // A press that is released off the button is no click.
    QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(box.GetCheck(), 0);
    EXPECT_EQ(clicks, 2);
}

}  // namespace
}  // namespace skin
