#include "results_doc_factory.h"

#include "html_config_doc_scan_results.h"
#include "html_config_doc_scan_results_optimized.h"

std::unique_ptr<CHTMLConfigDocBase> CreateResultsDoc(const std::string& tabId, QWidget* ownerWidget,
                                                     win::CMessageTarget* owner, CConfigurationProxy* proxy)
{
    if (tabId == "tab_scan_results_detected")
        return std::make_unique<CHTMLConfigDocScanResults>(ownerWidget, owner, proxy);
    if (tabId == "tab_scan_results_allowed")
        return std::make_unique<CHTMLConfigDocScanResultsAllowed>(ownerWidget, owner, proxy);
    if (tabId == "tab_scan_results_removed")
        return std::make_unique<CHTMLConfigDocScanResultsRemoved>(ownerWidget, owner, proxy);
    if (tabId == "tab_scan_results_optimized")
        return std::make_unique<CHTMLConfigDocScanResultsOptimized>(ownerWidget, owner, proxy);
    return nullptr;
}
