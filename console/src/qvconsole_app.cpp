#include "qvconsole_app.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "config_accessor.h"
#include "module_message_table.h"
#include "console_services.h"
#include "kelmui/resource_module.h"
#include "browser_page_view.h"
#include "pages/scan/screenshot_tour.h"
#include "qvconsole_dlg.h"
#include "service_client.h"
#include "startup_checks.h"
#include "switches.h"
#include "servicelink/korva_constants.h"
#include "servicelink/korva_utilities.h"
#include "win/components.h"
#include "win/event.h"
#include "win/ui/messaging.h"
#include "win/ui/window_handle.h"
#include "win/ui/window_ops.h"

const win::UINT CQVConsoleApp::s_nLaunchExtraction = win::RegisterWindowMessageW(L"QV_LAUNCH_EXTRACTION");
const win::UINT CQVConsoleApp::s_nLaunchScan = win::RegisterWindowMessageW(L"QV_LAUNCH_SCAN");
const win::UINT CQVConsoleApp::s_nLaunchToResults = win::RegisterWindowMessageW(L"QV_LAUNCH_TO_RESULTS");
const win::UINT CQVConsoleApp::s_nLaunchToSG = win::RegisterWindowMessageW(L"QV_LAUNCH_TO_SG");
const win::UINT CQVConsoleApp::s_nNotifyCurrentPage = win::RegisterWindowMessageW(L"QV_NOTIFY_CURRENT_PAGE");
const win::UINT CQVConsoleApp::s_nPackageProcessingComplete =
    win::RegisterWindowMessageW(L"QV_PACKAGE_PROCESSING_COMPLETE");
const win::UINT CQVConsoleApp::s_nMessageExtraction =
    win::RegisterWindowMessageW(L"CItemActionDialog::g_dwMessageExtraction");
const win::UINT CQVConsoleApp::s_nMessageConfigChange =
    win::RegisterWindowMessageW(L"CQVConsoleApp::s_nMessageConfigChange");
const win::UINT CQVConsoleApp::s_nMessageScannerProgressUpdate =
    win::RegisterWindowMessageW(L"CQVConsoleApp::s_nMessageScannerProgressUpdate");
const win::UINT CQVConsoleApp::s_nMessageScannerItemUpdate =
    win::RegisterWindowMessageW(L"CQVConsoleApp::s_nMessageScannerItemUpdate");
const win::UINT CQVConsoleApp::s_nMessageScannerStateUpdate =
    win::RegisterWindowMessageW(L"CQVConsoleApp::s_nMessageScannerStateUpdate");
const win::UINT CQVConsoleApp::s_nMessageQuarantineItemNotifyUpdate =
    win::RegisterWindowMessageW(L"CQVConsoleApp::s_nMessageQuarantineItemNotifyUpdate");
const win::UINT CQVConsoleApp::s_nMessageQuarantinePackageNotifyUpdate =
    win::RegisterWindowMessageW(L"CQVConsoleApp::s_nMessageQuarantinePackageNotifyUpdate");

namespace {

constexpr int kStillStartingWaitMs = 3000;

char* Duplicate(const char* text)
{
    const std::size_t n = std::strlen(text);
    char* copy = new char[n + 1];
    std::memcpy(copy, text, n + 1);
    return copy;
}

win::HWND MainHwnd(void* context)
{
    auto* app = static_cast<CQVConsoleApp*>(context);
    if (app == nullptr || app->GetMainWindow() == nullptr)
        return nullptr;
    return app->GetMainWindow()->GetSafeHwnd();
}

// The callbacks run on the bus thread: they copy the record and post it.
void OnConfigChange(const ConfigChangeRecord& record, void* context)
{
    const win::HWND hwnd = MainHwnd(context);
    if (hwnd == nullptr)
        return;
    auto* copy = new ConfigChangeRecord(record);
    copy->text = Duplicate(record.text);
    if (!win::PostMessage(hwnd, CQVConsoleApp::s_nMessageConfigChange, reinterpret_cast<win::WPARAM>(copy), 0)) {
        delete[] copy->text;  // never delivered: nobody else will free it
        delete copy;
    }
}

void OnScannerState(int state, void* context)
{
    const win::HWND hwnd = MainHwnd(context);
    if (hwnd != nullptr)
        win::PostMessage(hwnd, CQVConsoleApp::s_nMessageScannerStateUpdate, static_cast<win::WPARAM>(state), 0);
}

void OnScannerProgress(const ScannerProgressRecord& record, void* context)
{
    const win::HWND hwnd = MainHwnd(context);
    if (hwnd == nullptr)
        return;
    auto* copy = new ScannerProgressRecord(record);
    copy->scan_item = Duplicate(record.scan_item);
    copy->scan_scanner = Duplicate(record.scan_scanner);
    if (!win::PostMessage(hwnd, CQVConsoleApp::s_nMessageScannerProgressUpdate, reinterpret_cast<win::WPARAM>(copy),
                          0)) {
        delete[] copy->scan_item;
        delete[] copy->scan_scanner;
        delete copy;
    }
}

template <typename Record>
void Ignore(const Record&, void*)
{
}

void Log(const char* text)
{
    std::fprintf(stderr, "qvconsole: %s\n", text);
    std::fflush(stderr);
}

}  // namespace

CQVConsoleApp& CQVConsoleApp::Instance()
{
    static CQVConsoleApp app;
    return app;
}

std::string CQVConsoleApp::FindHelpFilePath()
{
    std::string path;
    if (win::GetComponentPath("{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}", path) == win::INSTALLSTATE_LOCAL)
        return path;
    return CKorvaUtilities::GetUIResourceDllPath() + "/help/index.html";
}

unsigned CQVConsoleApp::ServiceWaitMs()
{
    const char* text = std::getenv("KELM_SERVICE_WAIT_MS");
    if (text == nullptr || *text == '\0')
        return 10000;
    return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
}

std::string CQVConsoleApp::GetPageUrl(const std::string& page) const
{
    if (!m_strHtml.empty())
        return m_strHtml + page;
    return "res://" + CKorvaUtilities::GetUIResourceDllPath() + "/" + page;
}

std::string CQVConsoleApp::GetDialogPageUrl(const std::string& page) const
{
    if (!m_strHtmlDialogs.empty())
        return m_strHtmlDialogs + page;
    return "res://" + CKorvaUtilities::GetUIResourceDllPath() + "/" + page;
}

// Another instance exists. True when this process is to end (always).
bool CQVConsoleApp::HandOff(bool windowFound)
{
    const bool extraction = m_switches.GetValue("action").ToString() == "launch_extraction";
    const bool scan = m_switches.GetValue("scan").ToString() == "now";
    const bool results = m_switches.GetValue("action").ToString() == "launch_results";
    const bool siteList = m_switches.GetValue("action").ToString() == "sgmanagesites";
    win::HWND hwnd = win::FindWindowByCaption(QString::fromLatin1(kMainWindowCaption));
    if (windowFound) {
        if (extraction)
            win::PostMessage(hwnd, s_nLaunchExtraction, 0, 0);
        if (scan)
            win::PostMessage(hwnd, s_nLaunchScan, 0, 0);
        if (results)
            win::PostMessage(hwnd, s_nLaunchToResults, 0, 0);
        if (siteList)
            win::PostMessage(hwnd, s_nLaunchToSG, 0, 0);
        win::SetForegroundWindow(hwnd);
        Log("handed over to the running instance");
        return true;
    }
    // The other instance is still starting.
    if (extraction) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kStillStartingWaitMs));
        hwnd = win::FindWindowByCaption(QString::fromLatin1(kMainWindowCaption));
        win::PostMessage(hwnd, s_nLaunchExtraction, 0, 0);
        if (scan)
            win::PostMessage(hwnd, s_nLaunchScan, 0, 0);
        if (results)
            win::PostMessage(hwnd, s_nLaunchToResults, 0, 0);
        Log("handed over to the starting instance");
    }
    return true;
}

bool CQVConsoleApp::ConnectAndSubscribe()
{
    CServiceClient& client = CServiceClient::Instance();
    if (!client.Connect(ServiceWaitMs()))
        return false;
    return client.RegisterConfigCallback(OnConfigChange, this) &&
           client.RegisterQuarantineItemCallback(Ignore<QuarantineItemRecord>, this) &&
           client.RegisterQuarantinePackageCallback(Ignore<QuarantinePackageRecord>, this) &&
           client.RegisterHistoryCallback(Ignore<HistoryRecord>, this) &&
           client.RegisterScannerStateCallback(OnScannerState, this) &&
           client.RegisterScannerProgressCallback(OnScannerProgress, this);
}

int CQVConsoleApp::Run(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    int status = 0;
    [&] {
        // 1, 2: protective steps.
        if (ParentProcessRefused())
            return;
        CleanSecurityZones();
        // 3: switches.
        std::vector<std::string> tokens(argv + 1, argv + argc);
        m_switches = ParseSwitches(tokens);
        // 4: a running instance's window.
        const win::HWND found = win::FindWindowByCaption(QString::fromLatin1(kMainWindowCaption));
        const bool windowFound = found != nullptr && win::IsWindow(found);
        // 6, 7: the instance marker and the hand-off.
        m_hInstanceEvent = win::CreateEvent(nullptr, win::TRUE, win::TRUE, "qvconsoleappmutex");
        const bool otherInstance = m_hInstanceEvent != nullptr && win::GetLastError() == win::ERROR_ALREADY_EXISTS;
        if (otherInstance && HandOff(windowFound))
            return;
        // 8.
        m_strHtml = m_switches.GetValue("html").ToString();
        m_strHtmlDialogs = m_switches.GetValue("html_dialogs").ToString();
        // 10.
        m_strHelpPath = FindHelpFilePath();
        // 11: the service.
        if (!ConnectAndSubscribe()) {
            Log(win::GetLastError() == 10005 ? "the service is not running" : "cannot connect to the service");
            status = 1;
            return;
        }
        // 12 to 15.
        CKorvaConfig external(NKorvaConstants::CONFIG_SECTION_TAVRELEXTERNAL, NKorvaConstants::CONFIG_SOURCE_SYSTEM);
        CStringValue infection;
        m_bInfectionSkin = external.GetValue("use_infection_skin", infection) == 0 && infection.ToString() == "1";
        m_strRegistryKey = "KLMS\\Tavrel";
        m_pOptions = std::make_unique<CKorvaConfig>(NKorvaConstants::CONFIG_SECTION_TAVRELOPTIONS, nullptr);
        if (!m_strings.Initialize(CKorvaUtilities::GetUIResourceDllPath(), "MESSAGES"))
            LoadModuleMessages(m_strings, kelmui::DefaultModulePath());
        // 16, 17: the window, run until it closes.
        CBusConsoleServices services;
        CServiceConfigAccessor accessor;
        const QString module = kelmui::DefaultModulePath();
        // Page URLs name the UI resource path; their pages come from the
        // module.
        if (!RegisterUiPages(QString::fromStdString(CKorvaUtilities::GetUIResourceDllPath()), module))
            Log("the UI resource module cannot be opened: pages will not load");
        CQVConsoleDlg::Options options;
        options.resourcePath = module;
        options.infectionSkin = m_bInfectionSkin != 0;
        options.pagePrefix = m_strHtml;
        CQVConsoleDlg window(options, services, accessor, std::make_unique<CBrowserPageView>());
        m_pMainWnd = &window;
        window.Start();
        // Headless pictures of the pages, or of a scan started above.
        std::unique_ptr<CScreenshotTour> tour;
        if (m_switches.HasValue("screenshots")) {
            tour = std::make_unique<CScreenshotTour>(
                window, QString::fromStdString(m_switches.GetValue("screenshots").ToString()),
                m_switches.HasValue("scan"), m_switches.HasValue("auto_extract"));
            tour->Start();
        }
        status = qapp.exec();
        tour.reset();
        m_pMainWnd = nullptr;
        m_pOptions.reset();
    }();
    Exit();
    return status;
}

void CQVConsoleApp::Exit()
{
    CServiceClient::Instance().Disconnect();
}
