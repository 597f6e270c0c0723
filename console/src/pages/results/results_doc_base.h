// CResultsDocBase: what the four scan results documents share beyond
// CHTMLConfigDocBase: their table id and page file, the service they ask,
// the window that runs their actions, and the rule that rows reach the page
// only on the owner window's thread.
#pragma once

#include <QStringList>
#include <string>
#include <vector>

#include "html_config_doc_base.h"
#include "results_page_host.h"
#include "results_service.h"

class CResultsDocBase : public CHTMLConfigDocBase {
public:
    CResultsDocBase(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy, std::string tabId,
                    std::string tableId, std::string pageFile, IResultsService* service);

    const std::string& GetTableId() const { return m_strTableId; }
    const std::string& GetPageFile() const { return m_strPageFile; }

    // The service asked (default: the bus).
    void SetService(IResultsService* service) { m_pService = service; }
    IResultsService& Service() const { return *m_pService; }

    // The window that runs item actions and reloads pages: the one set here,
    // else the owner when it provides IResultsPageHost; null when neither.
    void SetPageHost(IResultsPageHost* host) { m_pHost = host; }
    IResultsPageHost* PageHost() const;

    // Loading a page starts its loader.
    void LoadSettings() override;
    // The loader of this page (runs on a pool thread).
    virtual void RunLoader(LoaderToken token) = 0;

protected:
    QWidget* OwnerWidget() const { return m_pOwnerWidget; }
    // False (and a note on standard error) when called off the owner
    // window's thread: page calls belong to that thread.
    bool OnOwnerThread(const char* what) const;
    // Calls page function FUNCTION with text arguments; false when it failed.
    bool CallPage(const char* function, const QStringList& args);
    // The ticked rows' keys, without empty ones (a check box that carries
    // no key names nothing to act on).
    std::vector<std::string> TickedKeys();
    // Reloads this page's file through the page host.
    void ReloadOwnPage();
    // Shows the wait cursor while alive (on the thread that owns the GUI).
    class WaitCursor {
    public:
        WaitCursor();
        ~WaitCursor();
        WaitCursor(const WaitCursor&) = delete;
        WaitCursor& operator=(const WaitCursor&) = delete;

    private:
        bool m_bShown = false;
    };

private:
    QWidget* m_pOwnerWidget;
    win::CMessageTarget* m_pOwner;
    std::string m_strTableId;
    std::string m_strPageFile;
    IResultsService* m_pService;
    IResultsPageHost* m_pHost = nullptr;
};
