// The skinned message box's answers, its don't-show-again box and its help
// key, with the suite's own message-box layouts.
#include "module_fixture.h"

#include "skin/skin_button.h"
#include "skin/skin_message_box.h"

#include <QTest>
#include <QTimer>

namespace skin::test {
namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { SilenceFaults(); }

    std::unique_ptr<CSkinMessageBox> Make(const char* layout, CSkinMessageBox::HelpCallback help = {})
    {
        auto box = std::make_unique<CSkinMessageBox>(nullptr, ModulePath(), QStringLiteral("BLANK_DIALOG"),
                                                     QString::fromLatin1(layout), std::move(help), 42);
        box->Create();
        box->show();
        return box;
    }
};

struct Answer {
    const char* layout;
    int control;
    int result;
};

TEST_F(MessageBoxTest, EachButtonEndsWithItsId)
{
    const Answer answers[] = {
        {"MESSAGEBOX_INFORMATION_LAYOUT", IDOK, IDOK},
        {"MESSAGEBOX_INFORMATION_LAYOUT", IDC_ALERT_TITLE_CLOSE_BUTTON, IDCANCEL},
        {"MESSAGEBOX_INFORMATION_YES_NO_LAYOUT", IDYES, IDYES},
        {"MESSAGEBOX_INFORMATION_YES_NO_LAYOUT", IDNO, IDNO},
        // A layout without the don't-show-again box still answers.
        {"dialog_mini_scan_cancel_layout", IDYES, IDYES},
        {"dialog_mini_scan_cancel_layout", IDNO, IDNO},
        {"dialog_mini_scan_cancel_layout", IDC_ALERT_TITLE_CLOSE_BUTTON, IDCANCEL},
        {"dialog_extra_mini_duplicate", IDOK, IDOK},
    };
    for (const Answer& a : answers) {
        auto box = Make(a.layout);
        ASSERT_TRUE(box->LayoutWarnings().isEmpty()) << Warnings(*box).toStdString();
        QWidget* button = box->GetDlgItem(a.control);
        ASSERT_NE(button, nullptr) << a.layout << " " << a.control;
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        EXPECT_EQ(box->result(), a.result) << a.layout << " " << a.control;
        EXPECT_FALSE(box->isVisible());
    }
}

TEST_F(MessageBoxTest, EscapeAnswersCancel)
{
    auto box = Make("MESSAGEBOX_INFORMATION_YES_NO_LAYOUT");
    QTest::keyClick(box.get(), Qt::Key_Escape);
    EXPECT_EQ(box->result(), IDCANCEL);
}

TEST_F(MessageBoxTest, DoModalReturnsTheAnswer)
{
    CSkinMessageBox box(nullptr, ModulePath(), QStringLiteral("BLANK_DIALOG"),
                        QStringLiteral("dialog_mini_save_settings_layout"));
    QTimer::singleShot(0, &box, [&box] {
        QWidget* no = box.GetDlgItem(IDNO);
        ASSERT_NE(no, nullptr);
        QTest::mouseClick(no, Qt::LeftButton, {}, no->rect().center());
    });
    EXPECT_EQ(box.DoModal(), IDNO);
}

TEST_F(MessageBoxTest, DontShowAgainFollowsTheBoxAndItsLabel)
{
    CSkinMessageBox box(nullptr, ModulePath(), QStringLiteral("BLANK_DIALOG"),
                        QStringLiteral("MESSAGEBOX_INFORMATION_YES_NO_LAYOUT"));
    box.m_bDontShowAgain = true;
    box.Create();
    box.show();
    auto* check = qobject_cast<CSkinButton*>(box.GetDlgItem(IDC_DONT_SHOW_AGAIN));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->GetCheck(), 1);  // shows the flag the caller set

    QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
    EXPECT_FALSE(box.m_bDontShowAgain);
    EXPECT_EQ(check->GetCheck(), 0);

    QWidget* label = box.GetDlgItem(IDC_DONT_SHOW_THIS_TEXT);
    ASSERT_NE(label, nullptr);
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    EXPECT_TRUE(box.m_bDontShowAgain);
    EXPECT_EQ(check->GetCheck(), 1);
    EXPECT_TRUE(box.isVisible());  // neither ends the box

    QTest::mouseClick(box.GetDlgItem(IDYES), Qt::LeftButton);
    EXPECT_EQ(box.result(), IDYES);
    EXPECT_TRUE(box.m_bDontShowAgain);
}

TEST_F(MessageBoxTest, HelpKeyCallsTheCallbackWithItsValue)
{
    std::uint32_t seen = 0;
    auto box = Make("MESSAGEBOX_INFORMATION_LAYOUT", [&seen](std::uint32_t v) {
        seen = v;
        return 1;
    });
    QTest::keyClick(box.get(), Qt::Key_F1);
    EXPECT_EQ(seen, 42u);
    EXPECT_TRUE(box->isVisible());
}

}  // namespace
}  // namespace skin::test
