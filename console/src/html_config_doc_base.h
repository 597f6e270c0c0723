// CHTMLConfigDocBase: the document object behind one page of the control
// panel. The window creates one per page from its tab id (CreateConfigDoc),
// tells it when its page is shown or hidden, hands it the query of the URL
// it was shown with, and forwards notifications and application messages to
// the shown one. Pages whose own document has not been written yet use this
// base behaviour.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "servicelink/dictionary.h"
#include "win/types.h"

class CMsgRequest;
class CConfigurationProxy;

class CHTMLConfigDocBase {
public:
    CHTMLConfigDocBase(std::string tabId, CConfigurationProxy* proxy) : m_strTabId(std::move(tabId)), m_pProxy(proxy) {}
    virtual ~CHTMLConfigDocBase() = default;

    const std::string& GetTabId() const { return m_strTabId; }
    CConfigurationProxy* GetProxy() const { return m_pProxy; }

    // Shown: the window made this page current; cleared when another page
    // takes its place.
    virtual void SetShown(bool shown) { m_bShown = shown; }
    bool IsShown() const { return m_bShown; }

    // The named values of the query the page was shown with.
    virtual void SetQuery(const CDictionary& query) { m_query = query; }
    const CDictionary& GetQuery() const { return m_query; }

    // Reads the page's elements into the document before an apply.
    virtual void UpdateFromPage() {}

    // A window-path notification (the scanner's) while this page is shown.
    virtual void OnNotify(CMsgRequest& /*request*/) {}
    // "QV_NOTIFY_CURRENT_PAGE".
    virtual void OnCurrentPageMessage(win::WPARAM /*wParam*/, win::LPARAM /*lParam*/) {}

private:
    std::string m_strTabId;
    CConfigurationProxy* m_pProxy;
    bool m_bShown = false;
    CDictionary m_query;
};

// The document of TAB_ID; null for a tab id nobody knows.
std::unique_ptr<CHTMLConfigDocBase> CreateConfigDoc(const std::string& tabId, CConfigurationProxy* proxy);
