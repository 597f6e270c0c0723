// The documents of the scan results tabs.
#pragma once

#include <memory>
#include <string>

class CHTMLConfigDocBase;
class CConfigurationProxy;
class QWidget;
namespace win {
class CMessageTarget;
}

// The results document of TABID ("tab_scan_results_detected", "..._allowed",
// "..._removed", "..._optimized"); null for any other tab id.
std::unique_ptr<CHTMLConfigDocBase> CreateResultsDoc(const std::string& tabId, QWidget* ownerWidget,
                                                     win::CMessageTarget* owner, CConfigurationProxy* proxy);
