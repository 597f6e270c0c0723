// The document factory: which document class serves which tab id.
#include <array>
#include <string_view>

#include "html_config_doc_base.h"
#include "pages/results/results_doc_factory.h"
#include "pages/scan/html_config_doc_scan.h"
#include "pages/scan/html_config_doc_scan_scanning.h"
#include "qvconsole_dlg.h"

namespace {

// Every tab id of the window's page table, and the two site guard tabs the
// table holds no rows for. Each has the base behaviour until its page's own
// document exists.
constexpr std::array<std::string_view, 19> kKnownTabIds = {
    "tab_home", "tab_scanner", "tab_scanner_scanning", "tab_scan_results_optimized",
    "tab_scan_results_allowed", "tab_scan_results_removed", "tab_scan_results_detected", "tab_summary",
    "tab_active_enforcers", "tab_settings", "tab_quarantine", "tab_popup_summary", "tab_popup_allowblock",
    "tab_scheduler_summary", "tab_scheduler_update", "tab_scheduler_version", "tab_tools_summary",
    "tab_siteguard_summary", "tab_siteguard_allowblock"};

}  // namespace

std::unique_ptr<CHTMLConfigDocBase> CreateConfigDoc(const std::string& tabId, QWidget* ownerWidget,
                                                    win::CMessageTarget* owner, CConfigurationProxy* proxy)
{
    // The pages' own documents reach the window they belong to.
    auto* window = dynamic_cast<CQVConsoleDlg*>(ownerWidget);
    if (tabId == "tab_scanner")
        return std::make_unique<CHTMLConfigDocScan>(window, ownerWidget, owner, proxy);
    if (tabId == "tab_scanner_scanning")
        return std::make_unique<CHTMLConfigDocScanScanning>(window, ownerWidget, owner, proxy);
    if (std::unique_ptr<CHTMLConfigDocBase> results = CreateResultsDoc(tabId, ownerWidget, owner, proxy))
        return results;
    for (std::string_view known : kKnownTabIds) {
        if (known == tabId)
            return std::make_unique<CHTMLConfigDocBase>(ownerWidget, owner, proxy, tabId);
    }
    return nullptr;
}
