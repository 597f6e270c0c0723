#include "main_window.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "notification_records.h"
#include "qvconsole_app.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_request.h"
#include "win/event.h"
#include "win/ui/messaging.h"
#include "win/ui/window_messages.h"
#include "win/ui/window_ops.h"

namespace {

void SignalNamedEvent(const char* name, bool create)
{
    win::HANDLE event = create ? win::CreateEvent(nullptr, win::TRUE, win::FALSE, name)
                               : win::OpenEvent(win::EVENT_ALL_ACCESS, win::FALSE, name);
    if (event == nullptr)
        return;  // an absent splash event is ignored
    win::SetEvent(event);
    win::CloseHandle(event);
}

}  // namespace

CMainWindow::CMainWindow() : win::CMessageTarget(this)
{
    setWindowTitle(QString::fromLatin1(CQVConsoleApp::kMainWindowCaption));
    resize(755, 565);

    auto launch = [this](const char* name, const char* page) {
        return [this, name, page](win::WPARAM, win::LPARAM) -> win::LRESULT {
            Report(name);
            Navigate(page);
            win::SetForegroundWindow(GetSafeHwnd());
            return 0;
        };
    };
    // The launch messages come from second instances, other processes.
    for (const win::UINT message : {CQVConsoleApp::s_nLaunchExtraction, CQVConsoleApp::s_nLaunchScan,
                                    CQVConsoleApp::s_nLaunchToResults, CQVConsoleApp::s_nLaunchToSG})
        win::ChangeWindowMessageFilter(message, win::MSGFLT_ADD);
    MapMessage(CQVConsoleApp::s_nLaunchExtraction,
               launch("QV_LAUNCH_EXTRACTION", "scan_results_detected.html?action=start_now"));
    MapMessage(CQVConsoleApp::s_nLaunchScan, launch("QV_LAUNCH_SCAN", "scanning.html"));
    MapMessage(CQVConsoleApp::s_nLaunchToResults, launch("QV_LAUNCH_TO_RESULTS", "scan_results_detected.html"));
    MapMessage(CQVConsoleApp::s_nLaunchToSG, launch("QV_LAUNCH_TO_SG", "pop-up_block-allow.html"));

    // Posted heap copies belong to this window once received; they are freed
    // after forwarding whether or not a page is shown.
    MapMessage(CQVConsoleApp::s_nMessageConfigChange, [](win::WPARAM wParam, win::LPARAM) -> win::LRESULT {
        auto* record = reinterpret_cast<ConfigChangeRecord*>(wParam);
        if (record == nullptr)
            return 0;
        Report("config_change setting=" + std::to_string(record->setting) + " type=" + std::to_string(record->type) +
               " text=" + record->text + " integer=" + std::to_string(record->integer) +
               " bool=" + std::to_string(record->boolean ? 1 : 0) + " time=" + std::to_string(record->time));
        delete[] record->text;
        delete record;
        return 0;
    });
    MapMessage(CQVConsoleApp::s_nMessageScannerStateUpdate, [](win::WPARAM wParam, win::LPARAM) -> win::LRESULT {
        Report("scanner_state " + std::to_string(wParam));
        return 0;
    });
    MapMessage(CQVConsoleApp::s_nMessageScannerProgressUpdate, [](win::WPARAM wParam, win::LPARAM) -> win::LRESULT {
        auto* record = reinterpret_cast<ScannerProgressRecord*>(wParam);
        if (record == nullptr)
            return 0;
        Report("scanner_progress item=" + std::string(record->scan_item) +
               " percent=" + std::to_string(record->scan_percent));
        delete[] record->scan_item;
        delete[] record->scan_scanner;
        delete record;
        return 0;
    });

    CMsgDispatcher::Instance().BindWindow("korva.scanner.client_notify", this,
                                          [this](CMsgRequest& request) { OnScannerNotify(request); });
}

CMainWindow::~CMainWindow() { CMsgDispatcher::Instance().UnbindWindow(this); }

void CMainWindow::Report(const std::string& line)
{
    std::fprintf(stderr, "qvconsole: %s\n", line.c_str());
    std::fflush(stderr);
}

void CMainWindow::Navigate(const std::string& page)
{
    m_page = page;
    Report("page " + CQVConsoleApp::Instance().GetPageUrl(page));
}

void CMainWindow::OnScannerNotify(CMsgRequest& request)
{
    if (request.GetValue("status").ToString() == "failed_to_launch") {
        // The service's message is appended as text, never used as a format.
        const std::string text = CQVConsoleApp::Instance().GetStringFactory().FormatParameterizedMessage(
                                     "QVO_UNABLE_TO_START_SCANNER") +
                                 request.GetValue("message").ToString();
        Report("message_box " + text);
        Navigate("home.html");
        return;
    }
    request["xyz.abc.notification.type"] = "scanner";
    Report("scanner_notify " + request.GetValue("scan_event").ToString());
}

void CMainWindow::Start()
{
    const CDictionary& switches = CQVConsoleApp::Instance().GetSwitches();
    const CMsgResults status = CMsgRequest(0).Execute("korva.scanner.query_status");
    const std::string action = switches.GetValue("action").ToString();
    if (status.GetCursor()["scan_status"].ToString() == "running") {
        Navigate("scanning.html");
    } else if (switches.HasValue("scan")) {
        const std::string type = switches.GetValue("scan").ToString();
        CQVConsoleApp::Instance().m_strCurrentScanType = type == "now" ? "full" : type;
        Report("start_scan " + CQVConsoleApp::Instance().m_strCurrentScanType);
        Navigate("scanning.html");
    } else if (action == "launch_extraction") {
        Navigate("scan_results_detected.html?action=start_now");
    } else if (action == "launch_results") {
        Navigate("scan_results_detected.html");
    } else if (action == "sgmanagesites") {
        Navigate("pop-up_block-allow.html");
    } else {
        Navigate("home.html");
    }
    SignalNamedEvent("zbev__settings_changed", /*create=*/true);
    show();
    SignalNamedEvent("Global\\QV_SPLASH_ACTIVE", /*create=*/false);
    GetSafeHwnd();
    // Reported once the event loop runs, when other processes can reach the
    // window.
    QTimer::singleShot(0, this, [] { Report("window_ready"); });
}
