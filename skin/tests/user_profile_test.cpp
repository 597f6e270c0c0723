// The window-size profile in the registry stand-in: values written and read
// back, window placement kept and restored, and no key at all.
#include "skin/user_profile.h"

#include "win/registry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace skin {
namespace {

class UserProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        setenv("KELM_STATE_ROOT", root_.path().toLocal8Bit().constData(), 1);
        CKelmApplication::SetUserProfileLocation(QStringLiteral("KLMS\\Tavrel"), QStringLiteral("BlackList"));
    }
    void TearDown() override { CKelmApplication::SetUserProfileLocation(QString(), QString()); }

    QTemporaryDir root_;
};

TEST_F(UserProfileTest, ValuesRoundTripUnderTheApplicationKey)
{
    CUserProfile profile(QStringLiteral("BlackList"));
    EXPECT_EQ(profile.GetSectionKey(QStringLiteral("BlackList")),
              std::string("Software\\KLMS\\Tavrel\\BlackList\\BlackList"));
    EXPECT_EQ(profile.GetInt(QStringLiteral("count"), 7), 7);
    ASSERT_TRUE(profile.WriteInt(QStringLiteral("count"), -3));
    EXPECT_EQ(profile.GetInt(QStringLiteral("count"), 7), -3);
    ASSERT_TRUE(profile.WriteString(QStringLiteral("who"), QStringLiteral("me")));
    EXPECT_EQ(profile.GetString(QStringLiteral("who"), QString()), QStringLiteral("me"));
    EXPECT_EQ(profile.GetString(QStringLiteral("who"), QStringLiteral("x"), QStringLiteral("Other")),
              QStringLiteral("x"));

    // Really in the registry, where another program would look.
    win::RegKey key;
    ASSERT_EQ(win::RegKey::Open(win::Hive::CurrentUser, "Software\\KLMS\\Tavrel\\BlackList\\BlackList", key),
              win::ERROR_SUCCESS);
    win::DWORD count = 0;
    EXPECT_EQ(key.QueryDword("count", count), win::ERROR_SUCCESS);
    EXPECT_EQ(static_cast<int>(count), -3);

    QMap<QString, QString> values;
    ASSERT_TRUE(profile.GetValues(values));
    EXPECT_EQ(values.value(QStringLiteral("count")), QStringLiteral("-3"));
    EXPECT_EQ(values.value(QStringLiteral("who")), QStringLiteral("me"));
}

TEST_F(UserProfileTest, WindowRectTextAndMaximizeNames)
{
    CUserProfile profile(QStringLiteral("PopupViewer"));
    ASSERT_TRUE(profile.WriteWindowRect({10, 20, 310, 220}));
    EXPECT_EQ(profile.GetString(QStringLiteral("WindowRect"), QString()), QStringLiteral("10,20,310,220"));
    CRect back;
    ASSERT_TRUE(profile.GetWindowRect(back));
    EXPECT_EQ(back, (CRect{10, 20, 310, 220}));

    ASSERT_TRUE(profile.WriteMaximized(true, QStringLiteral("Main")));
    EXPECT_EQ(profile.GetInt(QStringLiteral("Main_Maximize"), 0), 1);
    EXPECT_TRUE(profile.IsMaximized(QStringLiteral("Main")));
    EXPECT_FALSE(profile.IsMaximized());

    profile.WriteString(QStringLiteral("Bad"), QStringLiteral("1,2,three,4"));
    EXPECT_FALSE(profile.GetWindowRect(back, QStringLiteral("Bad")));
    profile.WriteString(QStringLiteral("Short"), QStringLiteral("1,2,3"));
    EXPECT_FALSE(profile.GetWindowRect(back, QStringLiteral("Short")));
}

TEST_F(UserProfileTest, PreserveAndRestoreAWindow)
{
    CUserProfile profile(QStringLiteral("Windows"));
    QWidget window;
    window.setGeometry(40, 50, 200, 100);
    window.show();
    ASSERT_TRUE(profile.PreserveWindowSize(&window));
    CRect stored;
    ASSERT_TRUE(profile.GetWindowRect(stored));
    EXPECT_EQ(stored, CRect::FromQRect(window.frameGeometry()));
    EXPECT_FALSE(profile.IsMaximized());

    QWidget other;
    other.resize(120, 90);
    other.show();
    ASSERT_TRUE(profile.RestoreWindowSize(&other, QString(), QString(), /*keepSize=*/true));
    EXPECT_EQ(other.frameGeometry().topLeft(), QPoint(stored.left, stored.top));
    EXPECT_EQ(other.size(), QSize(120, 90));

    // A place beyond the screen comes back flush with its bottom-right.
    CRect screen;
    CUserProfile::GetScreenRect(screen);
    profile.WriteWindowRect({screen.right + 500, 10, screen.right + 700, 110});
    ASSERT_TRUE(profile.RestoreWindowSize(&other));
    EXPECT_EQ(CRect::FromQRect(other.frameGeometry()),
              (CRect{screen.right - 200, screen.bottom - 100, screen.right, screen.bottom}));
}

TEST_F(UserProfileTest, MinimizedWindowLeavesTheStoredValuesAlone)
{
    CUserProfile profile(QStringLiteral("Windows"));
    ASSERT_TRUE(profile.WriteWindowRect({1, 2, 3, 4}));
    ASSERT_TRUE(profile.WriteMaximized(true));
    QWidget window;
    window.showMinimized();
    if (!window.isMinimized())
        GTEST_SKIP() << "this platform does not minimize windows";
    EXPECT_FALSE(profile.PreserveWindowSize(&window));
    CRect stored;
    ASSERT_TRUE(profile.GetWindowRect(stored));
    EXPECT_EQ(stored, (CRect{1, 2, 3, 4}));
    EXPECT_TRUE(profile.IsMaximized());
}

TEST_F(UserProfileTest, NothingStored)
{
    CUserProfile profile(QStringLiteral("Empty"));
    QWidget window;
    window.resize(100, 80);
    EXPECT_FALSE(profile.RestoreWindowSize(&window, QString(), QString(), true, /*fail=*/true));
    EXPECT_TRUE(profile.RestoreWindowSize(&window, QString(), QString(), true, /*fail=*/false));
    CREATESTRUCT params;
    EXPECT_FALSE(profile.RestoreWindowSize(params));

    profile.WriteWindowRect({5, 6, 105, 86});
    profile.WriteMaximized(true);
    params = CREATESTRUCT{};
    ASSERT_TRUE(profile.RestoreWindowSize(params));
    EXPECT_EQ(params.x, 5);
    EXPECT_EQ(params.cx, 100);
    EXPECT_NE(params.style & 0x01000000u, 0u);  // WS_MAXIMIZE
}

TEST_F(UserProfileTest, WithoutARegistryKeyReadsGiveDefaultsAndWritesFail)
{
    CKelmApplication::SetUserProfileLocation(QString(), QString());
    CUserProfile profile(QStringLiteral("Any"));
    EXPECT_FALSE(profile.GetSectionKey(QStringLiteral("Any")));
    EXPECT_FALSE(profile.WriteInt(QStringLiteral("n"), 1));
    EXPECT_FALSE(profile.WriteString(QStringLiteral("s"), QStringLiteral("x")));
    EXPECT_FALSE(profile.WriteWindowRect({0, 0, 1, 1}));
    EXPECT_EQ(profile.GetInt(QStringLiteral("n"), 9), 9);
    EXPECT_EQ(profile.GetString(QStringLiteral("s"), QStringLiteral("d")), QStringLiteral("d"));
    QWidget window;
    window.show();
    EXPECT_FALSE(profile.PreserveWindowSize(&window));
}

}  // namespace
}  // namespace skin
