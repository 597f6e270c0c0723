// The button factory hook: a derived dialog makes its own CSkinButton
// subclass for chosen layout elements, and the layout sets it up exactly as
// it sets up a plain skin button.
#include "skin_fixture.h"

#include "skin/control_info.h"
#include "skin/skin_button.h"
#include "skin/window_style.h"

#include "win/ui/messaging.h"

#include <QTest>

namespace skin::test {
namespace {

// A button of the derived dialog's own class that counts its clicks.
class CountingButton : public CSkinButton {
public:
    using CSkinButton::CSkinButton;
    void OnButtonClick() override { ++clicks; }
    int clicks = 0;
};

// Makes a CountingButton for the controls IDC_NAV_*, leaves IDC_PLAIN to
// the base by answering null, and hands IDC_STRAY a button without a parent.
// (A layout names a control by its id attribute, as the suite's layouts do.)
class FactoryDialog : public CSkinDialog {
public:
    FactoryDialog(QWidget* parent, const QString& path, const QString& t, const QString& l, bool modal, int language)
        : CSkinDialog(parent, path, t, l, modal, language)
    {
        MapMessage(win::WM_COMMAND, [this](win::WPARAM w, win::LPARAM) {
            commands.append(win::LOWORD(w));
            return 0;
        });
    }

    QStringList asked;
    QList<int> commands;

protected:
    void InitSkinControlIDs() override
    {
        m_mapSkinControlIDs.Set(QStringLiteral("IDC_NAV_HOME"), 1002);
        m_mapSkinControlIDs.Set(QStringLiteral("IDC_NAV_CHECK"), 1003);
        m_mapSkinControlIDs.Set(QStringLiteral("IDC_PLAIN"), 1004);
        m_mapSkinControlIDs.Set(QStringLiteral("IDC_STRAY"), 1005);
        m_mapSkinControlIDs.Set(QStringLiteral("IDC_OTHER"), 1006);
    }
    CSkinButton* CreateSkinButton(const CLayoutElement& element) override
    {
        const QString name = element.GetAttribute(QStringLiteral("id"));
        asked.append(element.tag + QLatin1Char(':') + name);
        if (name.startsWith(QLatin1String("IDC_NAV_")))
            return new CountingButton(this);
        if (name == QLatin1String("IDC_STRAY"))
            return new CountingButton(nullptr);
        if (name == QLatin1String("IDC_PLAIN"))
            return nullptr;
        return CSkinDialog::CreateSkinButton(element);
    }
};

using ButtonFactory = SkinFolder;

TEST_F(ButtonFactory, DerivedDialogMakesItsOwnButtonsAndTheLayoutSetsThemUp)
{
    WriteBitmap(QStringLiteral("face.png"), QSize(40, 20), Qt::blue);
    WriteBitmap(QStringLiteral("down.png"), QSize(40, 20), Qt::red);
    auto d = Build<FactoryDialog>(
        "<R><BUTTON id=\"IDC_NAV_HOME\" left=\"10\" top=\"20\" bitmap=\"face\" down_bitmap=\"down\" "
        "tooltip=\"Home\" text=\"Home\"/>"
        "<CHECKBOX id=\"IDC_NAV_CHECK\" left=\"10\" top=\"50\" width=\"40\" height=\"20\"/>"
        "<BUTTON id=\"IDC_PLAIN\" width=\"30\" height=\"20\"/>"
        "<BUTTON id=\"IDC_STRAY\" left=\"60\" width=\"30\" height=\"20\"/>"
        "<BUTTON id=\"IDC_OTHER\" width=\"30\" height=\"20\"/></R>");
    EXPECT_TRUE(d->LayoutWarnings().isEmpty()) << Messages(*d).join('\n').toStdString();
    EXPECT_EQ(d->asked, (QStringList{"BUTTON:IDC_NAV_HOME", "CHECKBOX:IDC_NAV_CHECK", "BUTTON:IDC_PLAIN",
                                     "BUTTON:IDC_STRAY", "BUTTON:IDC_OTHER"}));

    auto* home = dynamic_cast<CountingButton*>(d->GetControl("IDC_NAV_HOME"));
    ASSERT_NE(home, nullptr) << "the dialog's own class";
    EXPECT_EQ(home->parentWidget(), d.get());
    EXPECT_EQ(home->geometry(), QRect(10, 20, 40, 20)) << "size from the bitmap, as for plain buttons";
    EXPECT_EQ(home->text(), QStringLiteral("Home"));
    EXPECT_FALSE(home->Bitmap(CSkinButton::Face::Down).isNull());
    EXPECT_EQ(d->RegisteredToolTip(home), QStringLiteral("Home"));
    EXPECT_EQ(ControlId(home), 1002);
    EXPECT_EQ(d->GetDlgItem(1002), home);

    auto* check = dynamic_cast<CountingButton*>(d->GetControl("IDC_NAV_CHECK"));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->GetKind(), CSkinButton::kCheckBox) << "CHECKBOX style applied to the subclass";

    QWidget* plain = d->GetControl("IDC_PLAIN");
    ASSERT_NE(plain, nullptr) << "null from the hook gets the plain button";
    EXPECT_EQ(dynamic_cast<CountingButton*>(plain), nullptr);
    EXPECT_NE(qobject_cast<CSkinButton*>(plain), nullptr);
    EXPECT_EQ(dynamic_cast<CountingButton*>(d->GetControl("IDC_OTHER")), nullptr);

    QWidget* stray = d->GetControl("IDC_STRAY");
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(stray->parentWidget(), d.get()) << "the dialog adopts a button made without parent";

    d->show();
    QTest::mouseClick(home, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(stray, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(home->clicks, 1);
    EXPECT_EQ(d->commands, (QList<int>{1002, 1005})) << "clicks still reach the dialog as WM_COMMAND";
}

}  // namespace
}  // namespace skin::test
