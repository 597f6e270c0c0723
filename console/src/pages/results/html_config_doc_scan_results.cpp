#include "html_config_doc_scan_results.h"

#include <cstdio>

#include "confirmation_dlg.h"
#include "configuration_proxy.h"
#include "korva_config_setting.h"
#include "qvconsole_app.h"
#include "results_rows.h"
#include "skin/skin_dialog.h"

namespace {

constexpr CResultsItemDoc::Page kDetectedPage{"tab_scan_results_detected", "detected_table",
                                              "scan_results_detected.html",
                                              "korva.quarantine.v2_query_detected_items"};
constexpr CResultsItemDoc::Page kAllowedPage{"tab_scan_results_allowed", "allowed_table", "scan_results_allowed.html",
                                             "korva.quarantine.v2_query_allowed_items"};
constexpr CResultsItemDoc::Page kRemovedPage{"tab_scan_results_removed", "removed_table", "scan_results_removed.html",
                                             "korva.quarantine.v2_query_removed_items"};

QString Text(const CDictionary& row, std::string_view name)
{
    return QString::fromStdString(row[name].ToString());
}

// The name a package without one is shown under.
QString NoLongerTargeted()
{
    const std::string text =
        CQVConsoleApp::Instance().GetStringFactory().FormatParameterizedMessage("QVQRNTN_NO_LONGER_TARGETED");
    return text.empty() ? QStringLiteral("(no longer a known threat)") : QString::fromStdString(text);
}

}  // namespace

// ---------------------------------------------------------------------------
// The shared item page.

CResultsItemDoc::CResultsItemDoc(const Page& page, QWidget* ownerWidget, win::CMessageTarget* owner,
                                 CConfigurationProxy* proxy, IResultsService* service)
    : CResultsDocBase(ownerWidget, owner, proxy, page.tabId, page.tableId, page.pageFile, service),
      m_strQuery(page.query)
{
    m_scriptMethods.Add(QStringLiteral("expand_row"), this, &CResultsItemDoc::expand_row);
}

void CResultsItemDoc::RunLoader(LoaderToken token)
{
    if (!BeforeRows(token))
        return;

    // Records come grouped by package. Lines are numbered per package; the
    // first 21 are shown, and a package with more gets a summary row
    // (built from its last row) once the next package starts or the records
    // end.
    int total = 0;
    int index = 0;
    std::string package;
    CDictionary previous;
    auto sendSummary = [&]() -> bool {
        if (index <= results::kShownLinesPerPackage - 1)
            return true;
        CDictionary summary = previous;
        summary["top"] = "3";
        summary["type"] = index - (results::kShownLinesPerPackage - 1);
        return SendToPage(token, 0, summary);
    };

    const CMsgResults answer = Service().Query(m_strQuery);
    if (answer.Succeeded()) {
        CMsgCursor cursor = answer.GetCursor();
        for (bool more = !cursor.IsEOF(); more; more = cursor.NextRow()) {
            CDictionary row = results::RowFromRecord(cursor);
            const std::string& code = row["package_code"].ToString();
            if (total > 0 && code != package) {
                if (!sendSummary())
                    return;
                index = 0;
            }
            package = code;
            for (CDictionary& line : results::LinesOfRow(row)) {
                if (index <= results::kShownLinesPerPackage - 1) {
                    line["top"] = index == 0 ? "1" : "0";
                    if (!SendToPage(token, 0, line))
                        return;
                }
                previous = std::move(line);
                ++index;
                ++total;
            }
        }
        if (!sendSummary())
            return;
    }

    CDictionary end;
    end["ifc"] = ReportedCount(total);
    end["ifc_final"] = 1;
    if (!SendToPage(token, 1, end))
        return;
    if (!AfterCount(token, total))
        return;
    EndLoading(token);
}

void CResultsItemDoc::OnCurrentPageMessage(win::WPARAM kind, win::LPARAM data)
{
    if (!OnOwnerThread("a loader row"))
        return;
    const auto* item = reinterpret_cast<const CDictionary*>(data);
    const CDictionary empty;
    const CDictionary& values = item != nullptr ? *item : empty;
    switch (static_cast<int>(kind)) {
    case 0:
        AddRow(values);
        ++LoaderRowCount();
        break;
    case 1:
        CallPage("num2image", {Text(values, "ifc"), QStringLiteral("r")});
        if (values["ifc_final"].ToInteger() == 1)
            ShowHide(QStringLiteral("results"), QStringLiteral("results_loading"));
        break;
    case 4:
        ShowHide(QStringLiteral("results"), QStringLiteral("results_loading"));
        OnPageAction();
        break;
    default:
        OnPageKind(static_cast<int>(kind), values);
        break;
    }
}

void CResultsItemDoc::AddRow(const CDictionary& row)
{
    const QString table = QString::fromStdString(GetTableId());
    const QString type = Text(row, "type");
    QString shortType = results::ShortType(type);
    QString fullType = results::FullType(type);
    const QString top = Text(row, "top");
    if (top == QLatin1String("3")) {
        // The loader counts the package's lines beyond the 20th; the page
        // is told how many lines its summary row hides (21 stay visible).
        const int hidden = row["type"].ToInteger() - 1;
        if (hidden <= 0)
            return;
        shortType = fullType = QString::number(hidden);
    }
    QString name = Text(row, "package_name");
    if (name.isEmpty())
        name = NoLongerTargeted();
    CallPage("add_item_to_table_results", {table, name, shortType, Text(row, "class"), Text(row, "path"),
                                           Text(row, "severity"), Text(row, "info"), top,
                                           Text(row, "package_code"), fullType});
}

void CResultsItemDoc::expand_row(const QString& packageCode)
{
    WaitCursor wait;
    const QString table = QString::fromStdString(GetTableId());
    CallPage("remove_extra_elements_column", {table, packageCode});
    const std::string wanted = packageCode.toStdString();
    const CMsgResults answer = Service().Query(m_strQuery);
    if (!answer.Succeeded())
        return;
    int index = 0;
    CMsgCursor cursor = answer.GetCursor();
    for (bool more = !cursor.IsEOF(); more; more = cursor.NextRow()) {
        if (cursor["package_code"].ToString() != wanted)
            continue;
        for (const CDictionary& line : results::LinesOfRow(results::RowFromRecord(cursor))) {
            if (index > results::kShownLinesPerPackage - 1) {
                const QString type = Text(line, "type");
                CallPage("append_to_package", {table, Text(line, "package_name"), results::ShortType(type),
                                               Text(line, "class"), Text(line, "path"), Text(line, "severity"),
                                               Text(line, "info"), packageCode, results::FullType(type)});
            }
            ++index;
        }
    }
}

void CResultsItemDoc::RunPackageAction(const char* action, int confirmKind)
{
    const std::vector<std::string> packages = TickedKeys();
    if (packages.empty())
        return;
    if (confirmKind >= 0) {
        if (OwnerWidget() == nullptr)
            return;
        CConfirmationDlg confirmation(confirmKind, OwnerWidget(), nullptr, nullptr, nullptr);
        if (confirmation.DoModal() != skin::IDOK)
            return;
    }
    IResultsPageHost* host = PageHost();
    if (host == nullptr) {
        std::fprintf(stderr, "qvconsole: %s: no window to run \"%s\"\n", GetPageFile().c_str(), action);
        return;
    }
    host->RunItemAction(packages, action);
    host->ReloadPage(GetPageFile());
}

// ---------------------------------------------------------------------------
// Detected.

CHTMLConfigDocScanResults::CHTMLConfigDocScanResults(QWidget* ownerWidget, win::CMessageTarget* owner,
                                                     CConfigurationProxy* proxy, IResultsService* service)
    : CResultsItemDoc(kDetectedPage, ownerWidget, owner, proxy, service)
{
    m_scriptMethods.Add(QStringLiteral("allow_selected_items"), this,
                        &CHTMLConfigDocScanResults::allow_selected_items);
    m_scriptMethods.Add(QStringLiteral("remove_selected_items"), this,
                        &CHTMLConfigDocScanResults::remove_selected_items);
}

void CHTMLConfigDocScanResults::SetSwitches(const CDictionary& switches)
{
    m_switches = switches;
    m_bOwnSwitches = true;
}

bool CHTMLConfigDocScanResults::HasSwitch(const char* name) const
{
    const CDictionary& switches = m_bOwnSwitches ? m_switches : CQVConsoleApp::Instance().GetSwitches();
    return switches.HasValue(name);
}

bool CHTMLConfigDocScanResults::BeforeRows(LoaderToken token)
{
    bool canAllow = true;
    if (GetProxy() != nullptr && GetProxy()->GetBool(KCS_user_can_allow, canAllow) && !canAllow) {
        CDictionary end;
        end["ifc"] = 0;
        return SendToPage(token, 2, end);
    }
    return true;
}

bool CHTMLConfigDocScanResults::AfterCount(LoaderToken token, int total)
{
    std::int64_t lastScan = 0;
    if (!Service().ReadTime(KCS_last_scan_time, lastScan))
        lastScan = 0;
    if (lastScan == 0 || total == 0)
        return true;
    CDictionary end;
    end["ssao"] = lastScan;
    return SendToPage(token, 3, end);
}

void CHTMLConfigDocScanResults::OnPageKind(int kind, const CDictionary& data)
{
    if (kind == 2)
        CallPage("hide_allow_button", {});
    else if (kind == 3)
        CallPage("SetScanAsof", {QString::fromStdString(data["ssao"].ToString())});
}

void CHTMLConfigDocScanResults::SetQueryParameters(const CDictionary& query)
{
    CResultsItemDoc::SetQueryParameters(query);
    // "start_now" removes the ticked rows, which exist only once the loader
    // has filled the page: it waits for the end of loading. It belongs to
    // the navigation that carried it; a later visit without it does not
    // inherit it.
    m_bStartNowPending = query["action"].ToString() == "start_now";
}

void CHTMLConfigDocScanResults::OnPageAction()
{
    if (m_bStartNowPending) {
        m_bStartNowPending = false;
        remove_selected_items();
        return;
    }
    // The auto_extract switch removes once: should rows stay ticked after the
    // removal (items the service could not remove), the reloaded page must
    // not start another run, and another, for ever.
    if (m_bAutoExtractDone || !HasSwitch("auto_extract"))
        return;
    const std::vector<std::string> packages = TickedKeys();
    if (packages.empty())
        return;
    IResultsPageHost* host = PageHost();
    if (host == nullptr)
        return;
    m_bAutoExtractDone = true;
    host->RunItemAction(packages, "remove");
    host->ReloadPage(GetPageFile());
}

void CHTMLConfigDocScanResults::allow_selected_items()
{
    RunPackageAction("allow", CConfirmationDlg::kAllow);
}

void CHTMLConfigDocScanResults::remove_selected_items()
{
    RunPackageAction("remove", -1);
}

// ---------------------------------------------------------------------------
// Allowed.

CHTMLConfigDocScanResultsAllowed::CHTMLConfigDocScanResultsAllowed(QWidget* ownerWidget, win::CMessageTarget* owner,
                                                                   CConfigurationProxy* proxy,
                                                                   IResultsService* service)
    : CResultsItemDoc(kAllowedPage, ownerWidget, owner, proxy, service)
{
    m_scriptMethods.Add(QStringLiteral("undo"), this, &CHTMLConfigDocScanResultsAllowed::undo);
    m_scriptMethods.Add(QStringLiteral("remove"), this, &CHTMLConfigDocScanResultsAllowed::remove);
}

void CHTMLConfigDocScanResultsAllowed::undo()
{
    RunPackageAction("move_to_detected", CConfirmationDlg::kMoveToDetected);
}

void CHTMLConfigDocScanResultsAllowed::remove()
{
    RunPackageAction("remove", -1);
}

// ---------------------------------------------------------------------------
// Removed.

CHTMLConfigDocScanResultsRemoved::CHTMLConfigDocScanResultsRemoved(QWidget* ownerWidget, win::CMessageTarget* owner,
                                                                   CConfigurationProxy* proxy,
                                                                   IResultsService* service)
    : CResultsItemDoc(kRemovedPage, ownerWidget, owner, proxy, service)
{
    m_scriptMethods.Add(QStringLiteral("restore"), this, &CHTMLConfigDocScanResultsRemoved::restore);
}

void CHTMLConfigDocScanResultsRemoved::restore()
{
    RunPackageAction("restore", CConfirmationDlg::kRestore);
}

int CHTMLConfigDocScanResultsRemoved::ReportedCount(int total)
{
    const CMsgResults counts = Service().Query("korva.quarantine.v2_query_item_counts");
    if (counts.Succeeded()) {
        const int removed = counts.GetCursor()["items_removed"].ToInteger();
        if (removed != 0)
            return removed;
    }
    return total;
}
