// The scan pages in the web engine (offscreen) inside the main window, with
// a recording service: the scan page's radio group and folder tree over
// "block_allow", start_scan from page script, and the scanning page's
// progress, found-items table, pause, stop and end of scan.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "browser_page_view.h"
#include "kelmui/resource_module.h"
#include "korva_config_setting.h"
#include "notification_records.h"
#include "pages/scan/html_config_doc_scan.h"
#include "pages/scan/html_config_doc_scan_scanning.h"
#include "pages/scan/scan_nag_dlg.h"
#include "pages/scan/screenshot_tour.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include "qvconsole_app.h"
#include "qvconsole_dlg.h"
#include "scan_fakes.h"
#include "servicelink/html/html.h"
#include "servicelink/msg_request.h"
#include "switches.h"
#include "../../wait_until.h"

namespace {

const bool g_schemeRegistered = (RegisterResScheme(), true);
constexpr const char* kUiPath = "/kelm-scan-test/ui";

void Pause(int ms) { WaitUntil([] { return false; }, ms); }

class ScanPagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        (void)g_schemeRegistered;
        ASSERT_TRUE(m_state.isValid());
        ::setenv("KELM_STATE_ROOT", m_state.path().toUtf8().constData(), 1);
        ::setenv("KELM_UI_RESOURCES", kUiPath, 1);
        ASSERT_TRUE(RegisterUiPages(QString::fromLatin1(kUiPath), kelmui::DefaultModulePath()));
        QDir root(m_state.path());
        for (const char* folder : {"disk/docs", "disk/music", "stick/photos"})
            ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
        m_disk = root.absoluteFilePath(QStringLiteral("disk")) + QLatin1Char('/');
        m_stick = root.absoluteFilePath(QStringLiteral("stick")) + QLatin1Char('/');
        CHTMLConfigDocScan::SetTreeContentsFunction([this] {
            CDirectoryTreeCtrl::Contents contents;
            contents.hardDrives.push_back({m_disk, {}});
            contents.removable.push_back({m_stick, {}});
            return contents;
        });
        auto messages = std::make_unique<MemoryMessages>();
        messages->texts = {{"SCN_SCANNER_FILE", "Scanning files"},
                           {"SCN_SCANNER_UPDATE", "Checking for updates..."},
                           {"QVQRNTN_NO_LONGER_TARGETED", "(no longer a known threat)"},
                           {"QV_UPDATER_RUNNING", "Updating"}};
        CQVConsoleApp::Instance().StringFactory().Initialize(std::move(messages));
        CQVConsoleApp::Instance().m_bScanStartedHere = 0;
        CQVConsoleApp::Instance().m_strCurrentScanType.clear();
        CQVConsoleApp::Instance().SetSwitches({});

        auto view = std::make_unique<CBrowserPageView>();
        m_view = view.get();
        CQVConsoleDlg::Options options;
        options.resourcePath = kelmui::DefaultModulePath();
        m_window = std::make_unique<CQVConsoleDlg>(options, m_services, m_accessor, std::move(view));
        m_window->SetMessageFunction([](CQVConsoleDlg&, const QString&, const QString&) {});
        ASSERT_TRUE(m_window->Create());
        m_window->PlaceWindow();
        m_window->show();
    }
    void TearDown() override
    {
        m_window.reset();
        CHTMLConfigDocScan::SetTreeContentsFunction({});
        CQVConsoleApp::Instance().SetSwitches({});
        CQVConsoleApp::Instance().m_bScanStartedHere = 0;
        ::unsetenv("KELM_UI_RESOURCES");
    }

    bool Shown(const std::string& page) const
    {
        return m_window->GetCurrentPage() != nullptr && m_window->GetCurrentPage()->GetPageFile() == page &&
               !m_view->GetBrowser()->GetBusy();
    }
    bool Show(const std::string& page)
    {
        m_window->NavigatePage(page);
        return WaitUntil([&] { return Shown(page); });
    }
    QString Script(const QString& source) const
    {
        return m_view->GetBrowser()->GetDocument().RunPageScript(source).value.toString();
    }
    QString Text(const char* id) const
    {
        return Script(QStringLiteral("document.getElementById('%1').textContent").arg(QString::fromLatin1(id)));
    }
    CHTMLConfigDocScan* ScanPage() const { return dynamic_cast<CHTMLConfigDocScan*>(m_window->GetCurrentDocument()); }
    CHTMLConfigDocScanScanning* ScanningPage() const
    {
        return dynamic_cast<CHTMLConfigDocScanScanning*>(m_window->GetCurrentDocument());
    }
    void Screenshot(const char* name)
    {
        Pause(400);
        m_window->grab().save(QDir::current().absoluteFilePath(QString::fromLatin1(name)));
    }

    // The service reports a running scan of TYPE, initialized or not.
    void ScanRunning(const char* type, bool initialized)
    {
        CDictionary status;
        status["scan_status"] = "running";
        status["scan_type"] = type;
        status["scan_initialized"] = initialized ? "1" : "0";
        status["last_scan_item"] = "/home/user/file.txt";
        status["last_scan_scanner"] = "file";
        status["last_scan_total"] = "40";
        status["last_scan_percent"] = "70";
        status["last_scan_elements"] = "1234";
        m_services.answers["korva.scanner.query_status"] = [status](const NamedValues&) { return Rows({status}); };
    }
    // Shows the scanning page of a scan this program started.
    bool ShowScanningStartedHere(const char* type)
    {
        CQVConsoleApp::Instance().m_bScanStartedHere = 1;
        CQVConsoleApp::Instance().m_strCurrentScanType = type;
        return Show("scan_scanning.html");
    }
    void Threat(const char* code, const char* count, std::vector<std::pair<const char*, const char*>> extra = {})
    {
        CMsgRequest notification;
        notification["scan_event"] = "threat_element_found";
        notification["package_code"] = code;
        notification["found_item_count"] = count;
        for (const auto& [k, v] : extra)
            notification[k] = v;
        m_window->GetCurrentPage()->OnNotify(notification);
    }
    QStringList TableRows() const
    {
        return Script(QStringLiteral("scan_rows()")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_state;
    QString m_disk, m_stick;
    ScanServices m_services;
    ScanAccessor m_accessor;
    RecordedEndActions m_actions;
    CBrowserPageView* m_view = nullptr;
    std::unique_ptr<CQVConsoleDlg> m_window;
};

TEST_F(ScanPagesTest, TheScanPageShowsTheLastTypeAndTheTreeOverBlockAllowForCustom)
{
    m_accessor.texts[KCS_last_scan_type] = "custom";
    ASSERT_TRUE(Show("scan_select.html"));
    ASSERT_NE(ScanPage(), nullptr);
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('scanner4').checked")), QStringLiteral("true"));
    CDirectoryTreeCtrl* tree = ScanPage()->GetTree();
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return tree->isVisible(); }));
    QRect block;
    ASSERT_TRUE(ScanPage()->GetElementById(QStringLiteral("block_allow")).GetRect(block));
    EXPECT_EQ(tree->geometry(), block);
    EXPECT_TRUE(m_window->GetDlgItem(IDC_SCAN_NOW_BUTTON)->isVisible());
    Screenshot("scan_select_custom.png");

    // Choosing another type in the page hides the tree; custom shows it again.
    Script(QStringLiteral("document.getElementById('scanner1').click(), 1"));
    EXPECT_TRUE(WaitUntil([&] { return !tree->isVisible(); }));
    Script(QStringLiteral("document.getElementById('scanner4').click(), 1"));
    EXPECT_TRUE(WaitUntil([&] { return tree->isVisible(); }));
}

TEST_F(ScanPagesTest, TheSavedSelectionIsAppliedToTheTree)
{
    m_accessor.texts[KCS_last_scan_type] = "custom";
    m_accessor.texts[KCS_partial_folders] = m_disk.toStdString();
    m_accessor.texts[KCS_full_folders] = (m_disk + QStringLiteral("music/")).toStdString();
    m_accessor.texts[KCS_custom_scan_options] = "scan_cookies";
    ASSERT_TRUE(Show("scan_select.html"));
    CDirectoryTreeCtrl* tree = ScanPage()->GetTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->FullList(), m_disk + QStringLiteral("music/"));
    EXPECT_EQ(tree->PartialList(), m_disk);
    EXPECT_EQ(tree->OptionText(), QStringLiteral("scan_cookies"));
}

TEST_F(ScanPagesTest, ACustomScanWithNothingTickedStartsFromPageScript)
{
    m_accessor.texts[KCS_last_scan_type] = "custom";
    ASSERT_TRUE(Show("scan_select.html"));
    CDirectoryTreeCtrl* tree = ScanPage()->GetTree();
    ASSERT_NE(tree, nullptr);
    tree->ToggleItem(tree->HardDrivesItem());
    tree->ToggleItem(tree->OptionsItem());
    Script(QStringLiteral("window.external.start_scan(), 1"));
    ScanRunning("3", false);
    ASSERT_TRUE(WaitUntil([&] { return !m_services.posted.empty(); }));
    ASSERT_EQ(m_services.posted[0].first, "korva.scanner.start");
    EXPECT_EQ(m_services.posted[0].second,
              (NamedValues{{"scan_type", "custom"}, {"directories", "none"}, {"partial_directories", ""},
                           {"scanners", "quarantine"}, {"enable_virus_scan", "0"}}));
    // The choice is stored at once, not through the proxy's apply.
    EXPECT_EQ(m_accessor.texts[KCS_partial_folders], "");
    EXPECT_EQ(m_accessor.texts[KCS_full_folders], "none");
    EXPECT_EQ(m_accessor.texts[KCS_custom_scan_options], "NO OPTIONS");
    EXPECT_TRUE(m_window->IsBusy());
    EXPECT_EQ(CQVConsoleApp::Instance().m_bScanStartedHere, 1);
    EXPECT_TRUE(WaitUntil([&] { return Shown("scan_scanning.html"); }));
}

TEST_F(ScanPagesTest, TheScanNowButtonStartsTheChosenQuickScan)
{
    m_accessor.texts[KCS_last_scan_type] = "quick";
    ASSERT_TRUE(Show("scan_select.html"));
    m_window->SendCommand(IDC_SCAN_NOW_BUTTON);
    ASSERT_EQ(m_services.posted.size(), 1u);
    EXPECT_EQ(m_services.posted[0].second,
              (NamedValues{{"scan_type", "quick"}, {"scanners", "cookie,quarantine,process,distunit,driver,uninstall,service"}}));
}

TEST_F(ScanPagesTest, TheScanPageMovesOnToARunningScan)
{
    ScanRunning("2", true);
    ASSERT_TRUE(Show("scan_select.html") || Shown("scan_scanning.html"));
    EXPECT_TRUE(WaitUntil([&] { return Shown("scan_scanning.html"); }));
    EXPECT_TRUE(m_window->IsBusy());
}

TEST_F(ScanPagesTest, ScanningShowsProgressAndOneRowPerPackage)
{
    CDictionary info;
    info["package_name"] = "Demo <b>Tracker</b>";
    info["type"] = "adware,tracker";
    info["severity"] = "3";
    m_services.answers["korva.targets.query_package_info"] = [&](const NamedValues& values) {
        return ValueOf(values, "package_code") == "demo.tracker" ? Rows({info}) : CMsgResults(1004, "unknown");
    };
    ASSERT_TRUE(ShowScanningStartedHere("quick"));
    CHTMLConfigDocScanScanning* page = ScanningPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('scanner1').checked")), QStringLiteral("true"));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('stop_button').disabled")), QStringLiteral("true"));

    // State and progress reach the page through the window's messages.
    win::LRESULT result = 0;
    m_window->OnMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, kScannerInitialized, 0, result);
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('stop_button').disabled")), QStringLiteral("false"));
    auto* progress = new ScannerProgressRecord{nullptr, nullptr, 35, 80, 4321};
    // Texts from the service are data: mark-up and format characters show as they are.
    const std::string item = "/home/u/<i>%s%n</i>.txt";
    progress->scan_item = new char[item.size() + 1];
    std::copy(item.c_str(), item.c_str() + item.size() + 1, const_cast<char*>(progress->scan_item));
    progress->scan_scanner = new char[5]{'f', 'i', 'l', 'e', '\0'};
    m_window->OnMessage(CQVConsoleApp::s_nMessageScannerProgressUpdate, reinterpret_cast<win::WPARAM>(progress), 0,
                        result);
    EXPECT_EQ(Text("scan_area"), QStringLiteral("Scanning files"));
    EXPECT_EQ(Text("scan_element"), QString::fromStdString(item));
    EXPECT_EQ(Text("elements_scanned"), QStringLiteral("4321"));
    EXPECT_EQ(Text("total_scan_progress"), QStringLiteral("35%"));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('bar_TotalProgress').style.width")), QStringLiteral("35%"));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('bar_ElementProgress').style.width")),
              QStringLiteral("80%"));

    Threat("demo.tracker", "0");  // 0 counts as 1
    Threat("demo.tracker", "2");  // the same package: its row's count grows
    Threat("virus:Eicar.Test", "1");
    Threat("virtual:77", "1", {{"virus_type", "worm"}});
    Threat("gone.package", "4", {{"virus_type", "trojan"}});
    const QStringList rows = TableRows();
    ASSERT_EQ(rows.size(), 4) << rows.join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(rows[0], QStringLiteral("demo.tracker|Demo <b>Tracker</b>|adware...|adware, tracker|3|3"));
    EXPECT_EQ(rows[1], QStringLiteral("virus:Eicar.Test|Eicar.Test|Adware|Adware|4|1"));
    EXPECT_EQ(rows[2], QStringLiteral("virtual:77|Threat ID:77|Worm|Worm|2|1"));
    EXPECT_EQ(rows[3], QStringLiteral("gone.package|(no longer a known threat)|Trojan|Trojan|2|4"));
    EXPECT_EQ(page->GetThreatsFound(), 9u);
    EXPECT_EQ(Text("threat_count"), QStringLiteral("9 threats"));
    Screenshot("scan_scanning_rows.png");
}

// Page and service calls run nested event loops, in which the next threat
// notification can arrive: here one for the same package arrives while the
// first one's package description is asked for. The row and the total must
// both count the two.
TEST_F(ScanPagesTest, AThreatArrivingWhileAnotherIsAddedCountsInTheRowAndTheTotal)
{
    bool nested = false;
    m_services.answers["korva.targets.query_package_info"] = [&](const NamedValues&) {
        if (!nested) {
            nested = true;
            Threat("demo.nested", "2");
        }
        return CMsgResults(1004, "unknown");
    };
    ASSERT_TRUE(ShowScanningStartedHere("quick"));
    CHTMLConfigDocScanScanning* page = ScanningPage();
    ASSERT_NE(page, nullptr);
    Threat("demo.nested", "3");
    ASSERT_TRUE(nested);
    const QStringList rows = TableRows();
    ASSERT_EQ(rows.size(), 1) << rows.join(QLatin1Char('/')).toStdString();
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral("|5"))) << rows[0].toStdString();
    EXPECT_EQ(page->GetThreatsFound(), 5u);
    EXPECT_EQ(Text("threat_count"), QStringLiteral("5 threats"));
}

TEST_F(ScanPagesTest, PauseTwiceSendsPauseThenResume)
{
    ASSERT_TRUE(ShowScanningStartedHere("full"));
    Script(QStringLiteral("window.external.pause_scan(), 1"));
    ASSERT_TRUE(WaitUntil([&] { return m_services.queries.size() >= 2; }));
    Script(QStringLiteral("window.external.pause_scan(), 1"));
    ASSERT_TRUE(WaitUntil([&] { return m_services.queries.size() >= 3; }));
    std::vector<std::string> control;
    for (const std::string& name : m_services.QueryNames())
        if (name.rfind("korva.scanner.", 0) == 0 && name != "korva.scanner.query_status")
            control.push_back(name);
    EXPECT_EQ(control, (std::vector<std::string>{"korva.scanner.pause", "korva.scanner.resume"}));
    EXPECT_TRUE(ScanningPage()->IsRunning());
}

TEST_F(ScanPagesTest, AfterStopThreatsAddNoRowsAndTheEndComesOnce)
{
    ASSERT_TRUE(ShowScanningStartedHere("full"));
    m_window->EnterBusyMode();
    Threat("p.one", "1");
    Script(QStringLiteral("window.external.stop_scan(), 1"));
    ASSERT_TRUE(WaitUntil([&] { return !m_services.posted.empty(); }));
    EXPECT_EQ(m_services.posted.back(), (std::pair<std::string, NamedValues>{"korva.scanner.stop", {{"delay", "1"}}}));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('pause_button').disabled")), QStringLiteral("true"));
    Threat("p.two", "1");
    EXPECT_EQ(TableRows().size(), 1);

    win::LRESULT result = 0;
    m_window->OnMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, kScannerComplete, 0, result);
    EXPECT_TRUE(g_bLastScanStopped.load());
    EXPECT_FALSE(m_window->IsBusy());
    EXPECT_EQ(m_actions.Signals(), 1u);
    // A second end-of-scan event before the next page shows repeats nothing.
    m_window->EnterBusyMode();
    m_window->OnMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, kScannerException, 0, result);
    EXPECT_EQ(m_actions.Signals(), 1u);
    EXPECT_TRUE(m_window->IsBusy());
    m_window->LeaveBusyMode();
    EXPECT_TRUE(WaitUntil([&] { return Shown("scan_results_detected.html"); }));
    // The results page's loader ends before the window goes.
    EXPECT_TRUE(WaitUntil([&] { return !m_window->GetCurrentDocument()->IsLoading(); }));
}

TEST_F(ScanPagesTest, NothingFoundGoesBackToTheScanPageAndAutoRebootRestarts)
{
    CQVConsoleApp::Instance().SetSwitches(ParseSwitches({"/auto_reboot"}));
    ASSERT_TRUE(ShowScanningStartedHere("quick"));
    m_window->EnterBusyMode();
    win::LRESULT result = 0;
    m_window->OnMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, kScannerComplete, 0, result);
    EXPECT_FALSE(g_bLastScanStopped.load());
    EXPECT_EQ(m_actions.restarts, std::vector<unsigned>{kRestartFlags});
    EXPECT_FALSE(m_window->IsBusy());
    EXPECT_TRUE(WaitUntil([&] { return Shown("scan_select.html"); }));
}

TEST_F(ScanPagesTest, AReloadDuringAnInitializedScanRefillsTheTable)
{
    ScanRunning("3", true);
    CDictionary first, second;
    first["package_code"] = "virus:One";
    first["found_item_count"] = "2";
    second["package_code"] = "virus:Two";
    second["found_item_count"] = "1";
    m_services.answers["korva.quarantine.query_found_items"] = [&](const NamedValues&) {
        return Rows({first, second});
    };
    m_window->AttachToScan();
    ASSERT_TRUE(WaitUntil([&] { return Shown("scan_scanning.html"); }));
    EXPECT_EQ(TableRows().size(), 2);
    Threat("virus:Three", "1");
    EXPECT_EQ(TableRows().size(), 3);

    m_window->ReloadPage("scan_scanning.html");
    ASSERT_TRUE(WaitUntil([&] { return Shown("scan_scanning.html") && TableRows().size() == 2; }));
    EXPECT_EQ(TableRows(), (QStringList{QStringLiteral("virus:One|One|Adware|Adware|4|2"),
                                   QStringLiteral("virus:Two|Two|Adware|Adware|4|1")}));
    EXPECT_EQ(ScanningPage()->GetThreatsFound(), 3u);
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('bar_TotalProgress').style.width")), QStringLiteral("40%"));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('bar_ElementProgress').style.width")),
              QStringLiteral("70%"));
    EXPECT_EQ(Text("elements_scanned"), QStringLiteral("1234"));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('scanner4').checked")), QStringLiteral("true"));
    EXPECT_EQ(Script(QStringLiteral("document.getElementById('stop_button').disabled")), QStringLiteral("false"));
}

TEST_F(ScanPagesTest, AScanNotYetRunningWhenItsPageLoadsIsNotEnded)
{
    // The service has not reported the scan as running yet and no end came:
    // the page waits for the scan's events.
    CDictionary input;
    input["scan_type"] = "full";
    ASSERT_TRUE(m_window->LaunchScan(input));
    ASSERT_TRUE(WaitUntil([&] { return Shown("scan_scanning.html"); }));
    Pause(300);
    EXPECT_TRUE(Shown("scan_scanning.html"));
    EXPECT_TRUE(m_window->IsBusy());
    EXPECT_EQ(m_actions.Signals(), 0u);
}

TEST_F(ScanPagesTest, TheScanReminderShowsOnce)
{
    m_accessor.bools[KCS_show_scan_nag] = true;
    ASSERT_TRUE(ShowScanningStartedHere("quick"));
    EXPECT_FALSE(m_accessor.bools[KCS_show_scan_nag]);
    CScanNagDlg* nag = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = dynamic_cast<CScanNagDlg*>(widget); dialog != nullptr && dialog->isVisible())
            nag = dialog;
    ASSERT_NE(nag, nullptr);
    Pause(300);
    nag->grab().save(QDir::current().absoluteFilePath(QStringLiteral("scan_nag.png")));
    // Its close button closes it, and it goes away by itself.
    QPointer<CScanNagDlg> watch(nag);
    nag->SendCommand(CScanNagDlg::IDC_CLOSE_BUTTON);
    EXPECT_TRUE(WaitUntil([&] { return watch.isNull(); }));
    m_window->ReloadPage("scan_scanning.html");
    ASSERT_TRUE(WaitUntil([&] { return Shown("scan_scanning.html"); }));
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(dynamic_cast<CScanNagDlg*>(widget), nullptr);
}

TEST_F(ScanPagesTest, TheScreenshotTourSavesEveryPage)
{
    QTemporaryDir shots;
    ASSERT_TRUE(shots.isValid());
    int status = -1;
    CScreenshotTour tour(*m_window, shots.path(), /*followScan=*/false, /*autoExtract=*/false,
                         [&status](int result) { status = result; });
    tour.Start();
    ASSERT_TRUE(WaitUntil([&] { return status != -1; }, 240000));
    EXPECT_EQ(status, 0) << tour.Failures().join(QLatin1Char(' ')).toStdString();
    std::size_t pages = 0;
    for (const auto& group : m_window->Groups()) {
        for (const auto& page : group->Pages()) {
            ++pages;
            const QString name = QFileInfo(QString::fromStdString(page->GetPageFile())).completeBaseName();
            const QImage image(QDir(shots.path()).absoluteFilePath(name + QStringLiteral(".png")));
            EXPECT_EQ(image.size(), QSize(755, 565)) << name.toStdString();
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(tour.Saved().size()), pages);
}

TEST_F(ScanPagesTest, AScanThatEndedWhileThePageLoadedStillEnds)
{
    // The scan was started here and is over before its page has loaded: the
    // threats it found are read from the service and the end still comes.
    CDictionary found;
    found["package_code"] = "virus:Early";
    found["found_item_count"] = "2";
    m_services.answers["korva.quarantine.query_found_items"] = [&](const NamedValues&) { return Rows({found}); };
    CDictionary input;
    input["scan_type"] = "quick";
    ASSERT_TRUE(m_window->LaunchScan(input));
    ASSERT_TRUE(m_window->IsBusy());
    win::LRESULT result = 0;
    m_window->OnMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, kScannerComplete, 0, result);
    ASSERT_TRUE(WaitUntil([&] { return Shown("scan_results_detected.html"); }));
    EXPECT_FALSE(m_window->IsBusy());
    EXPECT_EQ(m_actions.Signals(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return !m_window->GetCurrentDocument()->IsLoading(); }));
}

}  // namespace
