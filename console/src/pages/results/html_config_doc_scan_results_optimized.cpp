#include "html_config_doc_scan_results_optimized.h"

CHTMLConfigDocScanResultsOptimized::CHTMLConfigDocScanResultsOptimized(QWidget* ownerWidget,
                                                                       win::CMessageTarget* owner,
                                                                       CConfigurationProxy* proxy,
                                                                       IResultsService* service)
    : CResultsDocBase(ownerWidget, owner, proxy, "tab_scan_results_optimized", "optimized_table",
                      "scan_results_optimized.html", service)
{
    m_scriptMethods.Add(QStringLiteral("restore"), this, &CHTMLConfigDocScanResultsOptimized::restore);
    m_scriptMethods.Add(QStringLiteral("remove"), this, &CHTMLConfigDocScanResultsOptimized::remove);
}

void CHTMLConfigDocScanResultsOptimized::RunLoader(LoaderToken token)
{
    int count = 0;
    const CMsgResults answer = Service().Query("korva.quarantine.query_optimize_items");
    if (answer.Succeeded()) {
        CMsgCursor cursor = answer.GetCursor();
        for (bool more = !cursor.IsEOF(); more; more = cursor.NextRow()) {
            CDictionary row;
            row["id"] = cursor["id"].ToString();
            row["key"] = cursor["key"].ToString();
            row["type"] = cursor["type"].ToString();
            row["data"] = cursor["data"].ToString();
            if (!SendToPage(token, 0, row))
                return;
            ++count;
        }
    }
    CDictionary end;
    end["ifc"] = count;
    end["ifc_final"] = 1;
    if (SendToPage(token, 1, end))
        EndLoading(token);
}

void CHTMLConfigDocScanResultsOptimized::OnCurrentPageMessage(win::WPARAM kind, win::LPARAM data)
{
    if (!OnOwnerThread("a loader row"))
        return;
    const auto* item = reinterpret_cast<const CDictionary*>(data);
    const CDictionary empty;
    const CDictionary& values = item != nullptr ? *item : empty;
    auto text = [&values](const char* name) { return QString::fromStdString(values[name].ToString()); };
    switch (static_cast<int>(kind)) {
    case 0:
        CallPage("add_item_to_table_optimized",
                 {QString::fromStdString(GetTableId()), text("id"), text("type"), text("key"), text("key")});
        ++LoaderRowCount();
        break;
    case 1:
        CallPage("num2image", {text("ifc"), QStringLiteral("r")});
        if (values["ifc_final"].ToInteger() == 1)
            ShowHide(QStringLiteral("results"), QStringLiteral("results_loading"));
        break;
    case 4:
        ShowHide(QStringLiteral("results"), QStringLiteral("results_loading"));
        break;
    default:
        break;
    }
}

void CHTMLConfigDocScanResultsOptimized::SendPerTickedRow(const char* request)
{
    const std::vector<std::string> ids = TickedKeys();
    if (ids.empty() || OwnerWidget() == nullptr)
        return;
    // Results are not examined: the reloaded page shows what the service
    // holds now.
    for (const std::string& id : ids)
        Service().Query(request, {{"id", id}});
    ReloadOwnPage();
}

void CHTMLConfigDocScanResultsOptimized::restore()
{
    SendPerTickedRow("korva.quarantine.restore_optimize_item");
}

void CHTMLConfigDocScanResultsOptimized::remove()
{
    SendPerTickedRow("korva.quarantine.remove_optimize_item");
}
