// The main window's behaviour with a recording service, a recording proxy
// accessor and a page view the test completes by hand: group and tab
// states, the close questions, busy mode and the launch messages.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <map>
#include <optional>
#include <unistd.h>

#include "kelmui/resource_module.h"
#include "korva_config_setting.h"
#include "local_page_view.h"
#include "qvconsole_app.h"
#include "qvconsole_dlg.h"
#include "win/event.h"
#include "window_fakes.h"

namespace {

// Records navigations; the test says when a page has loaded.
class ManualPageView : public IPageView {
public:
    std::vector<std::string> urls;
    QWidget* CreateWidget(QWidget* parent) override { return new QWidget(parent); }
    void Navigate(const std::string& url) override
    {
        urls.push_back(url);
        m_pWindow->OnBeforeNavigate(url);
    }
    void Stop() override {}
    void Complete() { m_pWindow->OnDocumentComplete(urls.back()); }
};

constexpr const char* kPrefix = "res:///ui/";

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_state.isValid());
        ::setenv("KELM_STATE_ROOT", m_state.path().toUtf8().constData(), 1);
        auto view = std::make_unique<ManualPageView>();
        m_view = view.get();
        CQVConsoleDlg::Options options;
        options.resourcePath = kelmui::DefaultModulePath();
        options.pagePrefix = kPrefix;
        m_window = std::make_unique<CQVConsoleDlg>(options, m_services, m_accessor, std::move(view));
        m_window->SetAskFunction([this](CQVConsoleDlg&, const QString& layout) {
            m_questions.push_back(layout.toStdString());
            const int answer = m_answers.empty() ? skin::IDNO : m_answers.front();
            if (!m_answers.empty())
                m_answers.erase(m_answers.begin());
            return answer;
        });
        ASSERT_TRUE(m_window->Create());
    }

    // Navigates to PAGE (a page file) and lets it load.
    void Show(const std::string& page)
    {
        m_window->NavigatePage(page);
        m_view->Complete();
    }
    void Click(int id) { m_window->SendCommand(id); }
    std::string LastPageFile() const { return m_view->urls.back().substr(std::string(kPrefix).size()); }
    COptionsNavButton* Button(const char* name) { return m_window->FindNavButton(QString::fromLatin1(name)); }

    QTemporaryDir m_state;
    FakeServices m_services;
    MemoryAccessor m_accessor;
    ManualPageView* m_view = nullptr;
    std::unique_ptr<CQVConsoleDlg> m_window;
    std::vector<std::string> m_questions;
    std::vector<int> m_answers;
};

TEST_F(WindowTest, EveryPageOfTheTableIsBuiltWithItsButtons)
{
    ASSERT_EQ(m_window->Groups().size(), 6u);
    for (const PageTableRow& row : kPageTable) {
        if (row.tabId == nullptr) {
            EXPECT_NE(Button(row.navButton), nullptr) << row.navButton;
            continue;
        }
        CCfgPage* page = m_window->FindPage(row.pageFile);
        ASSERT_NE(page, nullptr) << row.pageFile;
        EXPECT_NE(page->GetDocument(), nullptr) << row.tabId;
        if (row.tabButton != nullptr) {
            ASSERT_EQ(page->GetTabButton(), Button(row.tabButton)) << row.pageFile;
            EXPECT_FALSE(page->GetTabButton()->IsVisible()) << row.pageFile;
        }
    }
    // The last page built that owns the results tab is the one it opens.
    EXPECT_EQ(Button("IDC_QVO_TAB_RESULTS_BTN")->GetOwner(), m_window->FindPage("scan_results_detected.html"));
    EXPECT_FALSE(m_window->GetDlgItem(IDAPPLY)->isEnabled());
}

TEST_F(WindowTest, SwitchingGroupsHidesTheOldTabsAndMovesTheActiveButtons)
{
    Click(IDC_QVO_REALTIME_BTN);
    EXPECT_EQ(LastPageFile(), "realtime_summary.html");
    m_view->Complete();
    EXPECT_EQ(m_window->GetCurrentPage(), m_window->FindPage("realtime_summary.html"));
    EXPECT_TRUE(Button("IDC_QVO_REALTIME_BTN")->IsActive());
    EXPECT_TRUE(Button("IDC_QVO_TAB_SUMMARY_BTN")->IsActive());
    EXPECT_TRUE(Button("IDC_QVO_TAB_QUARANTINE_BTN")->IsVisible());
    EXPECT_FALSE(Button("IDC_QVO_TAB_QUARANTINE_BTN")->IsActive());

    // Another tab of the same group: the tabs stay, the active one moves.
    Show("realtime_quarantine.html");
    EXPECT_TRUE(Button("IDC_QVO_TAB_QUARANTINE_BTN")->IsActive());
    EXPECT_FALSE(Button("IDC_QVO_TAB_SUMMARY_BTN")->IsActive());
    EXPECT_FALSE(m_window->FindPage("realtime_summary.html")->GetDocument()->IsShown());
    EXPECT_TRUE(m_window->FindPage("realtime_quarantine.html")->GetDocument()->IsShown());

    Click(IDC_QVO_HOME_BTN);
    m_view->Complete();
    EXPECT_EQ(m_window->GetCurrentPage(), m_window->FindPage("home.html"));
    EXPECT_FALSE(Button("IDC_QVO_REALTIME_BTN")->IsActive());
    EXPECT_TRUE(Button("IDC_QVO_HOME_BTN")->IsActive());
    for (const char* tab : {"IDC_QVO_TAB_SUMMARY_BTN", "IDC_QVO_TAB_ACTIVEENFORCERS_BTN", "IDC_QVO_TAB_SETTINGS_BTN",
                            "IDC_QVO_TAB_QUARANTINE_BTN"}) {
        EXPECT_FALSE(Button(tab)->IsVisible()) << tab;
        EXPECT_FALSE(Button(tab)->IsActive()) << tab;
    }
    EXPECT_FALSE(m_window->FindPage("realtime_quarantine.html")->GetDocument()->IsShown());

    // Going back to the group opens its start page (index 0).
    Click(IDC_QVO_REALTIME_BTN);
    EXPECT_EQ(LastPageFile(), "realtime_summary.html");
}

TEST_F(WindowTest, ScanGroupOpensTheLastTabOrTheDetectedResults)
{
    Show("scan_results_allowed.html");
    Show("home.html");
    Click(IDC_QVO_SCAN_BTN);
    EXPECT_EQ(LastPageFile(), "scan_results_allowed.html");  // start index -1: the last selected
    Show("home.html");
    m_services.detected = 2;
    Click(IDC_QVO_SCAN_BTN);
    EXPECT_EQ(LastPageFile(), "scan_results_detected.html");
}

TEST_F(WindowTest, ScanNowReplacesOkOnTheScanSelectionPageOnly)
{
    Show("scan_select.html");
    EXPECT_FALSE(m_window->GetDlgItem(IDC_SCAN_NOW_BUTTON)->isHidden());
    EXPECT_TRUE(m_window->GetDlgItem(skin::IDOK)->isHidden());
    Show("tools.html");
    EXPECT_TRUE(m_window->GetDlgItem(IDC_SCAN_NOW_BUTTON)->isHidden());
    EXPECT_FALSE(m_window->GetDlgItem(skin::IDOK)->isHidden());
}

TEST_F(WindowTest, QueryReachesTheDocumentAndUnknownPagesChangeNothing)
{
    Show("scan_results_detected.html?action=start_now&x=1");
    CCfgPage* page = m_window->GetCurrentPage();
    ASSERT_EQ(page, m_window->FindPage("scan_results_detected.html"));
    EXPECT_EQ(page->GetDocument()->GetQuery().GetValue("action").ToString(), "start_now");
    EXPECT_EQ(page->GetDocument()->GetQuery().GetValue("x").ToString(), "1");
    Show("nosuchpage.html");
    EXPECT_EQ(m_window->GetCurrentPage(), nullptr);  // cleared by the navigation; nothing new
    EXPECT_TRUE(Button("IDC_QVO_SCAN_BTN")->IsActive());
}

struct CloseCase {
    const char* name;
    bool scanRunning;
    int disableConfirmation;
    bool applyEnabled;
    std::vector<int> answers;
    std::vector<std::string> questions;
    bool closed;
    bool scanStopped;
    bool settingsWritten;
};

class CloseTest : public WindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, AsksWhatTheStateNeeds)
{
    const CloseCase& c = GetParam();
    m_services.scanRunning = c.scanRunning;
    m_services.external["options_disable_scan_confirmation"] = c.disableConfirmation;
    m_window->GetProxy().SetText(KCS_home_page, "changed");
    if (c.applyEnabled)
        m_window->global_settings_changed();
    m_answers = c.answers;
    m_window->show();
    Click(IDC_QVO_CLOSE_BTN);
    EXPECT_EQ(m_questions, c.questions);
    EXPECT_EQ(m_window->isVisible(), !c.closed);
    EXPECT_EQ(m_services.WasSent("korva.scanner.stop"), c.scanStopped);
    EXPECT_EQ(!m_accessor.writes.empty(), c.settingsWritten);
}

const std::string kScanQ = "dialog_mini_scan_cancel_layout";
const std::string kSaveQ = "dialog_mini_save_settings_layout";

INSTANTIATE_TEST_SUITE_P(
    Window, CloseTest,
    ::testing::Values(
        CloseCase{"Idle", false, 0, false, {}, {}, true, false, false},
        CloseCase{"ScanRunningAnswerNo", true, 0, false, {skin::IDNO}, {kScanQ}, false, false, false},
        CloseCase{"ScanRunningAnswerYes", true, 0, false, {skin::IDYES}, {kScanQ}, true, true, false},
        CloseCase{"ScanConfirmationOff", true, 1, false, {}, {}, true, true, false},
        CloseCase{"UnappliedAnswerNoDiscards", false, 0, true, {skin::IDNO}, {kSaveQ}, true, false, false},
        CloseCase{"UnappliedAnswerYesWrites", false, 0, true, {skin::IDYES}, {kSaveQ}, true, false, true},
        CloseCase{"BothQuestions", true, 0, true, {skin::IDYES, skin::IDYES}, {kScanQ, kSaveQ}, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ApplyWritesTheProxyAndDisablesApply)
{
    m_window->GetProxy().SetText(KCS_home_page, "changed");
    m_window->global_settings_changed();
    ASSERT_TRUE(m_window->GetDlgItem(IDAPPLY)->isEnabled());
    Click(IDAPPLY);
    ASSERT_EQ(m_accessor.writes.size(), 1u);
    EXPECT_EQ(m_accessor.writes[0].second, "changed");
    EXPECT_TRUE(m_services.WasSent("korva.sensor.registry.trigger_key_change"));
    EXPECT_FALSE(m_window->GetDlgItem(IDAPPLY)->isEnabled());
}

TEST_F(WindowTest, UpdateScriptCallsAskTheServiceWithTheirComponents)
{
    m_window->global_check_for_updates();
    m_window->global_update_product();
    m_window->global_update_definitions();
    ASSERT_EQ(m_services.sent.size(), 3u);
    const std::string pid = std::to_string(::getpid());
    const char* components[] = {nullptr, "/qvupdates=qvbin /qvnoprompt", "/qvupdates=qvtrg,sg,exp,av"};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& [name, values] = m_services.sent[i];
        EXPECT_EQ(name, "korva.client.check_for_updates");
        std::map<std::string, std::string> named(values.begin(), values.end());
        EXPECT_EQ(named["ctx.id"], pid);
        EXPECT_FALSE(named["process.desktop"].empty());
        EXPECT_EQ(named.count("spec_components"), components[i] != nullptr ? 1u : 0u);
        if (components[i] != nullptr) {
            EXPECT_EQ(named["spec_components"], components[i]);
        }
    }
}

TEST_F(WindowTest, BusyModeDisablesNavigationAndHoldsTheQuarantineEvent)
{
    Show("realtime_summary.html");
    m_window->EnterBusyMode();
    m_window->EnterBusyMode();  // a second enter keeps one handle
    EXPECT_TRUE(m_services.WasSent("korva.client.ui.show_alert"));
    EXPECT_FALSE(Button("IDC_QVO_HOME_BTN")->IsEnabled());
    EXPECT_FALSE(Button("IDC_QVO_TAB_SETTINGS_BTN")->IsEnabled());
    win::HANDLE held = win::OpenEvent(win::EVENT_ALL_ACCESS, win::FALSE, "Global\\QUARANTINE_RUNNING");
    ASSERT_NE(held, nullptr);
    win::CloseHandle(held);

    m_window->LeaveBusyMode();
    EXPECT_TRUE(Button("IDC_QVO_HOME_BTN")->IsEnabled());
    EXPECT_TRUE(Button("IDC_QVO_TAB_SCANNER_BTN")->IsEnabled());
    EXPECT_TRUE(Button("IDC_QVO_TAB_RESULTS_BTN")->IsEnabled());
    EXPECT_EQ(win::OpenEvent(win::EVENT_ALL_ACCESS, win::FALSE, "Global\\QUARANTINE_RUNNING"), nullptr);
}

struct LaunchCase {
    const char* name;
    const win::UINT* message;
    bool busy;
    bool scanRunning;
    const char* page;  // null: no navigation
};

class LaunchTest : public WindowTest, public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(LaunchTest, NavigatesOnlyWhenTheScanningPageMayBeLeft)
{
    const LaunchCase& c = GetParam();
    m_services.scanRunning = c.scanRunning;
    if (c.busy)
        m_window->EnterBusyMode();
    const std::size_t before = m_view->urls.size();
    win::LRESULT result = 0;
    m_window->OnMessage(*c.message, 0, 0, result);
    if (c.page == nullptr) {
        EXPECT_EQ(m_view->urls.size(), before);
    } else {
        ASSERT_GT(m_view->urls.size(), before);
        EXPECT_EQ(LastPageFile(), c.page);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Window, LaunchTest,
    ::testing::Values(
        LaunchCase{"ToSG", &CQVConsoleApp::s_nLaunchToSG, false, false, "pop-up_block-allow.html"},
        LaunchCase{"ToSGBusy", &CQVConsoleApp::s_nLaunchToSG, true, true, nullptr},
        LaunchCase{"ToResults", &CQVConsoleApp::s_nLaunchToResults, false, false, "scan_results_detected.html"},
        LaunchCase{"ToResultsBusy", &CQVConsoleApp::s_nLaunchToResults, true, true, nullptr},
        LaunchCase{"ExtractionBusy", &CQVConsoleApp::s_nLaunchExtraction, true, true, nullptr},
        LaunchCase{"ScanAttaches", &CQVConsoleApp::s_nLaunchScan, false, true, "scan_scanning.html"},
        LaunchCase{"ScanBusy", &CQVConsoleApp::s_nLaunchScan, true, true, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, LaunchScanAttachingEntersBusyMode)
{
    m_services.scanRunning = true;
    win::LRESULT result = 0;
    m_window->OnMessage(CQVConsoleApp::s_nLaunchScan, 0, 0, result);
    EXPECT_TRUE(m_window->IsBusy());
    EXPECT_TRUE(m_services.WasSent("korva.scanner.update_scanner_priority"));
}

TEST_F(WindowTest, PlacementRestoresTheSizeAndCentres)
{
    m_window->resize(600, 400);
    m_window->PlaceWindow();
    EXPECT_EQ(m_window->size(), QSize(755, 565));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(m_window->pos(), QPoint(screen.x() + (screen.width() - 755) / 2, screen.y() + (screen.height() - 565) / 2));
    m_window->move(5, 7);
    m_window->PlaceWindow();  // the right size stays where it is
    EXPECT_EQ(m_window->pos(), QPoint(5, 7));
}

// The real window with the local page view: a screenshot with a group shown.
TEST(WindowScreenshot, RealtimeGroup)
{
    QTemporaryDir state;
    ::setenv("KELM_STATE_ROOT", state.path().toUtf8().constData(), 1);
    FakeServices services;
    MemoryAccessor accessor;
    CQVConsoleDlg::Options options;
    options.resourcePath = kelmui::DefaultModulePath();
    options.pagePrefix = kPrefix;
    CQVConsoleDlg window(options, services, accessor, std::make_unique<CLocalPageView>(options.resourcePath));
    ASSERT_TRUE(window.Create());
    EXPECT_TRUE(window.LayoutWarnings().isEmpty());
    window.show();
    for (const char* page : {"realtime_summary.html", "scheduler_scan.html"}) {
        window.NavigatePage(page);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        ASSERT_NE(window.GetCurrentPage(), nullptr) << page;
        EXPECT_EQ(window.GetCurrentPage()->GetPageFile(), page);
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("window_%1.png").arg(QString::fromLatin1(page)));
        EXPECT_TRUE(window.grab().save(path));
    }
}

}  // namespace

namespace {

// Every page the window can show is in the module, with a title.
TEST(WindowPages, EveryTablePageIsInTheModule)
{
    QString error;
    const auto module = kelmui::ResourceModule::Open(kelmui::DefaultModulePath(), &error);
    ASSERT_NE(module, nullptr) << error.toStdString();
    std::vector<std::string> files = {"homeinf.html"};
    for (const PageTableRow& row : kPageTable)
        if (row.pageFile != nullptr)
            files.emplace_back(row.pageFile);
    for (const std::string& file : files) {
        const std::optional<QByteArray> html = module->Read(kelmui::ResourceType::Page, QString::fromStdString(file));
        ASSERT_TRUE(html.has_value()) << file;
        EXPECT_TRUE(html->contains("<title>")) << file;
    }
}

}  // namespace
