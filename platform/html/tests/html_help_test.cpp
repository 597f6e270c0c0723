// The help window: topic names, the context table the module ships, and the
// real help pages of the UI resource module in Qt WebEngine (offscreen).
#include "help_topics.h"
#include "servicelink/html/help_window.h"
#include "servicelink/html/res_scheme.h"

#include "kelmui/resource_module.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QWebEngineView>
#include <QWidget>

#include <functional>
#include <ostream>
#include <memory>

namespace {

// The engine fixes its schemes when it starts: before the test main makes
// the application.
const bool g_schemeRegistered = (RegisterResScheme(), true);

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct TopicCase {
    const char* topic;
    bool valid;
    const char* page;
    const char* anchor;
};

void PrintTo(const TopicCase& c, std::ostream* os)
{
    *os << '"' << c.topic << '"';
}

class HelpTopicTest : public ::testing::TestWithParam<TopicCase> {};

TEST_P(HelpTopicTest, PlainPageNamesOnly)
{
    const TopicCase& c = GetParam();
    const std::optional<HelpTopic> topic = ParseHelpTopic(QString::fromUtf8(c.topic));
    ASSERT_EQ(topic.has_value(), c.valid);
    if (topic) {
        EXPECT_EQ(topic->page, QString::fromUtf8(c.page));
        EXPECT_EQ(topic->anchor, QString::fromUtf8(c.anchor));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Topics, HelpTopicTest,
    ::testing::Values(TopicCase{"", true, "index.html", ""}, TopicCase{"scan", true, "scan.html", ""},
                      TopicCase{"scan.html", true, "scan.html", ""},
                      TopicCase{"realtime#quarantine", true, "realtime.html", "quarantine"},
                      TopicCase{"pop-up_list.html#a-1", true, "pop-up_list.html", "a-1"},
                      TopicCase{"../pages/home", false, "", ""}, TopicCase{"help/scan", false, "", ""},
                      TopicCase{"/etc/passwd", false, "", ""}, TopicCase{"scan.js", false, "", ""},
                      TopicCase{"scan.html.html", false, "", ""}, TopicCase{"#results", false, "", ""},
                      TopicCase{"scan#", false, "", ""}, TopicCase{"two words", false, "", ""},
                      TopicCase{"scan?x=1", false, "", ""}, TopicCase{"scan\n", false, "", ""}));

TEST(HelpContextsTest, ParsesLinesAndReportsTheRest)
{
    QStringList warnings;
    const QHash<int, HelpTopic> contexts = ParseHelpContexts(
        "# comment\n\n 2 = home\n12=scan#results\nnot a line\nx = home\n-3 = home\n5 = ../x\n5 =\n2 = tools\n",
        &warnings);
    ASSERT_EQ(contexts.size(), 2);
    EXPECT_EQ(contexts.value(2).page, QStringLiteral("tools.html")) << "the later line counts";
    EXPECT_EQ(contexts.value(12).PageWithAnchor(), QStringLiteral("scan.html#results"));
    EXPECT_EQ(warnings.size(), 6) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(warnings.value(0).startsWith(QStringLiteral("contexts.txt:5:")));
}

// Every context the module lists leads to a page it holds, to a section that
// page has; every group of the control panel has its page.
TEST(HelpContextsTest, ShippedTableLeadsToShippedSections)
{
    QString error;
    const auto module = kelmui::ResourceModule::Open(kelmui::DefaultModulePath(), &error);
    ASSERT_TRUE(module) << error.toStdString();
    const CDirResourceSource help(module->Root() + QStringLiteral("/help"));
    const std::optional<QByteArray> table = help.ReadPage(QStringLiteral("contexts.txt"));
    ASSERT_TRUE(table);
    QStringList warnings;
    const QHash<int, HelpTopic> contexts = ParseHelpContexts(*table, &warnings);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_GE(contexts.size(), 10);
    for (auto it = contexts.constBegin(); it != contexts.constEnd(); ++it) {
        SCOPED_TRACE(it.key());
        const std::optional<QByteArray> page = help.ReadPage(it->page);
        ASSERT_TRUE(page) << it->page.toStdString();
        if (!it->anchor.isEmpty()) {
            EXPECT_TRUE(page->contains(QStringLiteral("id=\"%1\"").arg(it->anchor).toUtf8()))
                << it->anchor.toStdString();
        }
    }
    for (const char* page : {"index", "home", "scan", "realtime", "popup", "scheduler", "tools", "siteguard"})
        EXPECT_TRUE(help.ReadPage(QString::fromLatin1(page) + QStringLiteral(".html"))) << page;
}

class HelpWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        CloseHelpWindow();
        QCoreApplication::processEvents();
    }
    static QWebEngineView* View() { return qobject_cast<QWebEngineView*>(HelpWindow()); }
    // Waits until the help window shows a page titled TITLE.
    static bool ShowsTitle(const QString& title)
    {
        return WaitUntil([&] { return View() != nullptr && View()->title() == title; });
    }
};

TEST_F(HelpWindowTest, OneWindowReusedAndBroughtToFront)
{
    QWidget owner;
    owner.setGeometry(300, 200, 400, 300);
    owner.show();

    ASSERT_EQ(HelpWindow(), nullptr);
    ASSERT_TRUE(ShowHelp(&owner, QStringLiteral("scan")));
    QWebEngineView* first = View();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isWindow());
    EXPECT_TRUE(first->isVisible());
    EXPECT_LT((first->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 10)
        << "a new window opens over its owner";
    ASSERT_TRUE(ShowsTitle(QStringLiteral("Help: Scan")));
    EXPECT_TRUE(first->url().path().endsWith(QStringLiteral("/help/scan.html")));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Help: Scan"));

    first->showMinimized();
    ASSERT_TRUE(ShowHelp(nullptr, QStringLiteral("home.html")));
    EXPECT_EQ(View(), first) << "one help window per process";
    EXPECT_FALSE(first->isMinimized());
    EXPECT_TRUE(ShowsTitle(QStringLiteral("Help: Home")));

    ASSERT_TRUE(ShowHelp(nullptr, QStringLiteral("tools"), HelpWindowState::Maximized));
    EXPECT_TRUE(first->isMaximized());
    EXPECT_TRUE(ShowsTitle(QStringLiteral("Help: Tools")));
}

TEST_F(HelpWindowTest, ContextNumbersLeadToSections)
{
    ASSERT_TRUE(ShowHelpContext(nullptr, 7));
    ASSERT_TRUE(ShowsTitle(QStringLiteral("Help: Real-time protection and quarantine")));
    EXPECT_TRUE(View()->url().path().endsWith(QStringLiteral("/help/realtime.html")));
    EXPECT_EQ(View()->url().fragment(), QStringLiteral("quarantine"));

    ASSERT_TRUE(ShowHelpContext(nullptr, 99999));
    EXPECT_TRUE(ShowsTitle(QStringLiteral("Help: Contents"))) << "an unknown number shows the contents";
}

TEST_F(HelpWindowTest, RefusedTopicsLeaveTheWindowAlone)
{
    for (const char* topic : {"no-such-topic", "../pages/home", "scan.js", "contexts.txt"}) {
        SCOPED_TRACE(topic);
        EXPECT_FALSE(ShowHelp(nullptr, QString::fromLatin1(topic)));
        EXPECT_EQ(HelpWindow(), nullptr) << "no window for a refused topic";
    }
    ASSERT_TRUE(ShowHelp(nullptr, QStringLiteral("siteguard")));
    ASSERT_TRUE(ShowsTitle(QStringLiteral("Help: Site guard")));
    const QUrl shown = View()->url();
    EXPECT_FALSE(ShowHelp(nullptr, QStringLiteral("missing")));
    EXPECT_EQ(View()->url(), shown);
}

TEST_F(HelpWindowTest, FollowsHelpLinksOnly)
{
    ASSERT_TRUE(ShowHelp(nullptr, QString()));
    ASSERT_TRUE(ShowsTitle(QStringLiteral("Help: Contents")));

    // A link inside the help folder is followed...
    View()->page()->runJavaScript(QStringLiteral("location.href = 'popup.html#viewer';"));
    ASSERT_TRUE(ShowsTitle(QStringLiteral("Help: Pop-up protection")));
    const QUrl inside = View()->url();

    // ...one that leaves it is not.
    View()->page()->runJavaScript(QStringLiteral("location.href = 'https://example.invalid/';"));
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(View()->url(), inside);
    EXPECT_EQ(View()->title(), QStringLiteral("Help: Pop-up protection"));
}

TEST_F(HelpWindowTest, ClosedWindowIsMadeAgain)
{
    ASSERT_TRUE(ShowHelp(nullptr, QStringLiteral("scheduler")));
    ASSERT_TRUE(ShowsTitle(QStringLiteral("Help: Scheduler")));
    View()->close();  // the user closes it: it is destroyed
    ASSERT_TRUE(WaitUntil([] { return HelpWindow() == nullptr; }));
    ASSERT_TRUE(ShowHelp(nullptr, QStringLiteral("scheduler#updates")));
    EXPECT_TRUE(ShowsTitle(QStringLiteral("Help: Scheduler")));
}

}  // namespace
