// The main window with the real page host: the pages of the UI module in
// the web engine (offscreen), the window as the browser's host controller.
// Page switching on the engine's document complete, documents bound to
// their pages, script calls to the window, a failed navigation that keeps
// the shown page, page errors kept quiet, and screenshots of the window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QThread>
#include <functional>

#include "browser_page_view.h"
#include "kelmui/resource_module.h"
#include "qvconsole_dlg.h"
#include "servicelink/html/help_window.h"
#include "servicelink/html/html.h"
#include "window_fakes.h"
#include "wait_until.h"

namespace {

// The web engine fixes its schemes when it starts, after static
// initialisation (the test program's main makes the application).
const bool g_schemeRegistered = (RegisterResScheme(), true);

// Where page URLs point (the UI resource path), not a real folder: the
// pages come from the module registered under it.
constexpr const char* kUiPath = "/kelm-console-test/ui";

class BrowserWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        (void)g_schemeRegistered;
        ASSERT_TRUE(m_state.isValid());
        ::setenv("KELM_STATE_ROOT", m_state.path().toUtf8().constData(), 1);
        ::setenv("KELM_UI_RESOURCES", kUiPath, 1);
        ASSERT_TRUE(RegisterUiPages(QString::fromLatin1(kUiPath), kelmui::DefaultModulePath()));
        auto view = std::make_unique<CBrowserPageView>();
        m_view = view.get();
        CQVConsoleDlg::Options options;
        options.resourcePath = kelmui::DefaultModulePath();
        m_window = std::make_unique<CQVConsoleDlg>(options, m_services, m_accessor, std::move(view));
        ASSERT_TRUE(m_window->Create());
        m_window->PlaceWindow();
        m_window->show();
        ASSERT_NE(m_view->GetBrowser(), nullptr);
    }
    void TearDown() override
    {
        m_window.reset();
        ::unsetenv("KELM_UI_RESOURCES");
    }

    // Navigates to PAGE and waits until the window shows it.
    bool Show(const std::string& page)
    {
        m_window->NavigatePage(page);
        return WaitUntil([&] {
            return m_window->GetCurrentPage() != nullptr && m_window->GetCurrentPage()->GetPageFile() == page &&
                   !m_view->GetBrowser()->GetBusy();
        });
    }
    // The text of the shown page's heading, read through its document.
    QString Heading() const
    {
        CHTMLConfigDocBase* document = m_window->GetCurrentDocument();
        if (document == nullptr)
            return {};
        const QList<CHTMLElement> headings = document->GetDocument().GetElementsByTagName(QStringLiteral("h1"));
        QString text;
        if (headings.size() != 1 || !headings.front().GetInnerHTML(text))
            return {};
        return text;
    }
    QString RunPageScript(const QString& source) const
    {
        return m_view->GetBrowser()->GetDocument().RunPageScript(source).value.toString();
    }

    QTemporaryDir m_state;
    FakeServices m_services;
    MemoryAccessor m_accessor;
    CBrowserPageView* m_view = nullptr;
    std::unique_ptr<CQVConsoleDlg> m_window;
};

TEST_F(BrowserWindowTest, PagesSwitchOnDocumentCompleteWithTheirDocumentsBound)
{
    EXPECT_EQ(m_view->GetBrowser()->GetSite()->GetHandler(), m_window.get());
    EXPECT_EQ(m_view->GetBrowser()->GetSite()->GetHostFlags(), 0x4000Du);
    EXPECT_TRUE(m_view->GetBrowser()->GetSilent());
    for (const char* page : {"realtime_summary.html", "scheduler_scan.html", "home.html"}) {
        ASSERT_TRUE(Show(page)) << page;
        CHTMLConfigDocBase* document = m_window->GetCurrentDocument();
        ASSERT_NE(document, nullptr) << page;
        EXPECT_EQ(m_window->GetShownDocumentModel(), document) << page;
        EXPECT_TRUE(document->IsShown()) << page;
        EXPECT_FALSE(Heading().isEmpty()) << page;
        // Only the shown page's document counts as shown.
        for (const auto& group : m_window->Groups()) {
            for (const auto& other : group->Pages()) {
                if (other.get() != m_window->GetCurrentPage() && other->GetDocument() != nullptr) {
                    EXPECT_FALSE(other->GetDocument()->IsShown()) << other->GetPageFile() << " while " << page;
                }
            }
        }
    }
}

TEST_F(BrowserWindowTest, PageScriptReachesTheWindowsScriptMethods)
{
    ASSERT_TRUE(Show("home.html"));
    ASSERT_FALSE(m_window->GetDlgItem(IDAPPLY)->isEnabled());
    RunPageScript(QStringLiteral("window.external.global_settings_changed(), 1"));
    EXPECT_TRUE(WaitUntil([&] { return m_window->GetDlgItem(IDAPPLY)->isEnabled(); }));
    RunPageScript(QStringLiteral("window.external.global_check_for_updates(), 1"));
    RunPageScript(QStringLiteral("window.external.global_update_product(), 1"));
    RunPageScript(QStringLiteral("window.external.global_update_definitions(), 1"));
    EXPECT_TRUE(WaitUntil([&] { return m_services.sent.size() >= 3; }));
    ASSERT_EQ(m_services.sent.size(), 3u);
    for (const auto& [name, values] : m_services.sent)
        EXPECT_EQ(name, "korva.client.check_for_updates");
    EXPECT_EQ(m_window->GetDispatch().RefusedCalls(), 0);
}

TEST_F(BrowserWindowTest, AFailedNavigationKeepsTheShownPageCurrent)
{
    ASSERT_TRUE(Show("realtime_summary.html"));
    const QString heading = Heading();
    CCfgPage* const shown = m_window->GetCurrentPage();
    int errors = 0;
    QObject::connect(m_view->GetBrowser(), &CBrowserControl::navigateError, m_window.get(),
                     [&](const QUrl&, int) { ++errors; });
    m_window->NavigatePage("no_such_page.html");
    ASSERT_TRUE(WaitUntil([&] { return errors == 1; }));
    // Cancelled: no error document, the page stays and stays the window's.
    EXPECT_TRUE(m_view->GetBrowser()->GetLocationURL().toString().endsWith(QLatin1String("/realtime_summary.html")));
    EXPECT_EQ(m_window->GetCurrentPage(), shown);
    EXPECT_EQ(RunPageScript(QStringLiteral("document.getElementsByTagName('h1')[0].innerHTML")), heading);
    // Asking for the shown page again is not a navigation to the failed one.
    EXPECT_TRUE(m_window->ShownUrl().ends_with("/realtime_summary.html")) << m_window->ShownUrl();
}

TEST_F(BrowserWindowTest, PageScriptErrorsStayQuiet)
{
    ASSERT_TRUE(Show("home.html"));
    QStringList errors;
    QObject::connect(m_view->GetBrowser(), &CBrowserControl::scriptError, m_window.get(),
                     [&](const QString& error) { errors.append(error); });
    RunPageScript(QStringLiteral("(setTimeout(function () { throw new Error('page fault'); }, 0), 1)"));
    RunPageScript(QStringLiteral("(setTimeout(function () { document.title = 'after'; }, 50), 1)"));
    ASSERT_TRUE(WaitUntil([&] { return RunPageScript(QStringLiteral("document.title")) == QLatin1String("after"); }));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(RunPageScript(QStringLiteral("typeof window.onerror")), QLatin1String("function"));
}

TEST_F(BrowserWindowTest, Screenshots)
{
    for (const char* page : {"home.html", "realtime_summary.html", "scan_select.html"}) {
        ASSERT_TRUE(Show(page)) << page;
        // Let the page paint before the picture is taken.
        WaitUntil([] { return false; }, 400);
        const QString path =
            QDir::current().absoluteFilePath(QStringLiteral("browser_window_%1.png").arg(QString::fromLatin1(page)));
        EXPECT_TRUE(m_window->grab().save(path)) << path.toStdString();
    }
}

// The help buttons and F1 open the help pages in their own maximized
// window: the help button the contents, the page's help button the shown
// page's topic.
TEST_F(BrowserWindowTest, HelpButtonsOpenTheHelpPages)
{
    ASSERT_TRUE(Show("scan_select.html"));
    const int context = m_window->CurrentHelpContext();
    EXPECT_GE(context, 0);
    m_window->ShowHelpContext(24);
    auto* help = qobject_cast<QWebEngineView*>(HelpWindow());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return help->url().path().endsWith(QStringLiteral("/help/index.html")); }))
        << help->url().toString().toStdString();
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isMaximized());
    // The shown page's own topic: another page of the help folder.
    EXPECT_TRUE(m_view->GetBrowser()->GetSite()->GetHandler()->OnShowHelp(m_view->GetBrowser()));
    EXPECT_TRUE(WaitUntil([&] {
        const QString path = help->url().path();
        return path.contains(QStringLiteral("/help/")) && !path.endsWith(QStringLiteral("/help/index.html"));
    })) << help->url().toString().toStdString();
    CloseHelpWindow();
}

}  // namespace
