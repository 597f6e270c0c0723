#include "pages/scan/html_config_doc_scan_scanning.h"

#include <QString>
#include <QTimer>
#include <cctype>

#include "kelmui/resource_module.h"
#include "korva_config_setting.h"
#include "notification_records.h"
#include "pages/scan/found_items.h"
#include "pages/scan/scan_end_actions.h"
#include "pages/scan/scan_nag_dlg.h"
#include "pages/scan/scan_start.h"
#include "qvconsole_app.h"
#include "qvconsole_dlg.h"
#include "servicelink/msg_request.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

const CStringFactory& Strings() { return CQVConsoleApp::Instance().GetStringFactory(); }

// A scanner the message table has no "SCN_SCANNER_<NAME>" text for is
// shown by its name.
std::string ScannerAreaFallback(const std::string& scanner)
{
    return scanner.empty() ? std::string() : "Scanning: " + scanner;
}

}  // namespace

CHTMLConfigDocScanScanning::CHTMLConfigDocScanScanning(CQVConsoleDlg* window, QWidget* ownerWidget,
                                                       win::CMessageTarget* owner, CConfigurationProxy* proxy)
    : CHTMLConfigDocBase(ownerWidget, owner, proxy, "tab_scanner_scanning"), m_pWindow(window)
{
    m_scriptMethods.Add(QStringLiteral("pause_scan"), this, &CHTMLConfigDocScanScanning::pause_scan);
    m_scriptMethods.Add(QStringLiteral("stop_scan"), this, &CHTMLConfigDocScanScanning::stop_scan);
}

void CHTMLConfigDocScanScanning::DoDataExchange(CHTMLDataExchange* pDX)
{
    BeginExchange(pDX->m_bSaveAndValidate);
    DDX_HTMLRadio(pDX, QStringLiteral("scanner_options"), m_strScanType);
    EndExchange(pDX->m_bSaveAndValidate);
}

void CHTMLConfigDocScanScanning::ClearCounters()
{
    m_nElements = 0;
    m_nThreatsFound = 0;
    m_packageCounts.RemoveAll();
    m_strCurrentScanner.clear();
}

void CHTMLConfigDocScanScanning::LoadSettings()
{
    m_bStopRequested = false;
    // A page that loads has an empty table: counts of an earlier load would
    // add to rows that are no longer there.
    ClearCounters();
    m_bEndPending = true;
    CurrentScanType current;
    if (m_pWindow != nullptr)
        current = FindCurrentScanType(*this, m_pWindow->GetServices(), /*enable=*/true);
    if (current.type.empty())
        current.type = "full";
    m_strScanType = Text(current.type);
    const std::string radio = ScanTypeRadioIndex(current.type);
    std::string mode = current.initialized ? "1" : "2";
    // A scan may end while this page is still loading; its end then reached
    // another page (the window remembers it) and the scanner is stopped.
    const bool endedBeforeLoad = m_pWindow != nullptr && m_pWindow->TakeMissedScanEnd() &&
                                 current.status.state == 0 && m_pWindow->IsBusy();
    if (current.status.state == 3 && m_pWindow != nullptr) {
        // Attached to a running scan: its progress so far.
        ShowProgress(current.status.item, current.status.scanner, current.status.elements);
        SetTotalProgress(current.status.totalProgress);
        SetElementProgress(current.status.elementProgress);
        mode = "1";
    }
    if (m_pWindow != nullptr && (current.status.state != 0 || endedBeforeLoad)) {
        // What the scan found so far: threat notifications sent before this
        // page had loaded reached no page.
        const CMsgResults found = m_pWindow->GetServices().Query("korva.quarantine.query_found_items");
        if (found.Succeeded()) {
            CMsgCursor row = found.GetCursor();
            for (std::size_t i = 0; i < row.GetRowCount(); ++i, row.NextRow()) {
                CDictionary values;
                if (row.GetRowData(values))
                    AddFoundItem(values);
            }
        }
    }
    CallJScript(QStringLiteral("enable_scan_control_buttons"), nullptr, {Text(mode)});
    CallJScript(QStringLiteral("set_scan_type"), nullptr, {Text(radio)});
    m_bRunning = true;
    ShowScanNag();
    if (endedBeforeLoad) {
        // Ended once the page has finished loading, as a late end event would.
        SetTotalProgress(100);
        QTimer::singleShot(0, m_pWindow, [this] { OnScannerState(kScannerComplete); });
    }
}

void CHTMLConfigDocScanScanning::ShowScanNag()
{
    if (m_pWindow == nullptr)
        return;
    IConfigAccessor& accessor = m_pWindow->GetAccessor();
    bool show = false;
    if (!accessor.ReadBool(KCS_show_scan_nag, show) || !show)
        return;
    // Cleared first: the reminder is shown once.
    accessor.WriteBool(KCS_show_scan_nag, false);
    CScanNagDlg::ShowNag(m_pWindow, kelmui::DefaultModulePath());
}

void CHTMLConfigDocScanScanning::OnScannerState(int state)
{
    switch (state) {
    case kScannerCheckingUpdates:
        SetElementText(QStringLiteral("scan_area"), Text(Strings().FormatParameterizedMessage("SCN_SCANNER_UPDATE")));
        break;
    case kScannerUpdatesChecked:
        SetElementText(QStringLiteral("scan_area"), Text(Strings().FormatParameterizedMessage("SCN_SCANNER_INIT")));
        break;
    case kScannerInitialized:
        CallJScript(QStringLiteral("enable_scan_control_buttons"), nullptr, {QStringLiteral("1")});
        break;
    case kScannerComplete:
    case kScannerException:
        m_bRunning = false;
        ScanEnded();
        break;
    default:
        break;
    }
}

void CHTMLConfigDocScanScanning::OnScannerProgress(const ScannerProgressRecord& record)
{
    ShowProgress(record.scan_item != nullptr ? record.scan_item : "",
                 record.scan_scanner != nullptr ? record.scan_scanner : "",
                 record.scan_elements > 0 ? static_cast<std::uint64_t>(record.scan_elements) : 0);
    SetTotalProgress(record.scan_total);
    SetElementProgress(record.scan_percent);
}

void CHTMLConfigDocScanScanning::ShowProgress(const std::string& item, const std::string& scanner,
                                              std::uint64_t elements)
{
    m_nElements = elements;
    if (scanner != m_strCurrentScanner) {
        m_strCurrentScanner = scanner;
        std::string key = "SCN_SCANNER_";
        for (const char c : scanner)
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::string area = Strings().FormatParameterizedMessage(key);
        if (area.empty())
            area = ScannerAreaFallback(scanner);
        SetElementText(QStringLiteral("scan_area"), Text(area));
    }
    // The item is a path or a message key; a path shows as it is.
    std::string element = Strings().GetLocalizedMessage(item);
    if (element.empty())
        element = item;
    SetElementText(QStringLiteral("scan_element"), Text(element), /*withTitle=*/true);
    SetElementText(QStringLiteral("elements_scanned"), QString::number(m_nElements));
}

void CHTMLConfigDocScanScanning::SetTotalProgress(int value)
{
    CallJScript(QStringLiteral("UpdateProgress"), nullptr, {QStringLiteral("TotalProgress"), QString::number(value)});
    SetElementText(QStringLiteral("total_scan_progress"), QString::number(value) + QLatin1Char('%'));
}

void CHTMLConfigDocScanScanning::SetElementProgress(int value)
{
    CallJScript(QStringLiteral("UpdateProgress"), nullptr, {QStringLiteral("ElementProgress"), QString::number(value)});
}

void CHTMLConfigDocScanScanning::OnScannerNotify(CMsgRequest& request)
{
    if (request.GetValue("scan_event").ToString() == "threat_element_found")
        AddFoundItem(request);
}

void CHTMLConfigDocScanScanning::AddFoundItem(const CValueAccessor& values)
{
    if (m_bStopRequested)
        return;
    const std::string code = values.GetValue("package_code").ToString();
    const unsigned count = FoundItemCount(values);
    // Counted before any page or service call: those run nested event loops,
    // in which the next threat notification may arrive and count too.
    const bool known = m_packageCounts.HasValue(code);
    const unsigned rowCount = (known ? static_cast<unsigned>(m_packageCounts.GetValue(code).ToUInteger64()) : 0u) + count;
    m_packageCounts[code] = rowCount;
    m_nThreatsFound += count;
    if (!known) {
        CDictionary description;
        if (m_pWindow != nullptr)
            description = DescribePackage(code, m_pWindow->GetServices());
        std::string noLonger = Strings().FormatParameterizedMessage("QVQRNTN_NO_LONGER_TARGETED");
        if (noLonger.empty())
            noLonger = code;
        const FoundItemRow row = BuildFoundItemRow(values, description, noLonger);
        CallJScript(QStringLiteral("add_item_to_table_ss"), nullptr,
                    {Text(code), Text(row.name), Text(row.shortType), Text(row.severity), Text(row.fullType)});
    }
    // The counts as they are now, which include any counted meanwhile.
    CallJScript(QStringLiteral("increase_row_count"), nullptr,
                {Text(code), QString::number(m_packageCounts.GetValue(code).ToUInteger64())});
    CallJScript(QStringLiteral("num2image"), nullptr, {QString::number(m_nThreatsFound), QStringLiteral("r")});
}

void CHTMLConfigDocScanScanning::pause_scan()
{
    m_bRunning = !m_bRunning;
    if (m_pWindow == nullptr)
        return;
    m_pWindow->GetServices().Query(m_bRunning ? "korva.scanner.resume" : "korva.scanner.pause");
}

void CHTMLConfigDocScanScanning::stop_scan()
{
    CallJScript(QStringLiteral("enable_scan_control_buttons"), nullptr, {QStringLiteral("0")});
    m_bStopRequested = true;
    if (m_pWindow != nullptr)
        m_pWindow->GetServices().Post("korva.scanner.stop", {{"delay", "1"}});
}

void CHTMLConfigDocScanScanning::ScanEnded()
{
    if (!m_bEndPending)
        return;
    m_bEndPending = false;
    g_bLastScanStopped.store(m_bStopRequested);
    StartPrevalenceReport(m_nThreatsFound);
    PlayScanEndSound();
    if (m_pWindow != nullptr) {
        if (m_nThreatsFound != 0) {
            m_pWindow->NavigatePage("scan_results_detected.html");
        } else {
            if (CQVConsoleApp::Instance().GetSwitches().HasValue("auto_reboot"))
                ScanEndActions().restart(kRestartFlags);
            m_pWindow->NavigatePage("scan_select.html");
        }
        m_pWindow->LeaveBusyMode();
    }
    ClearCounters();
}
