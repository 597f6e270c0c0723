// CHTMLConfigDocBase: the document object behind one page of the control
// panel. It fixes the order in which a page's settings are loaded and saved
// around the data exchange with the page's elements, receives the
// notifications meant for the shown page, runs the page's background loader
// on the thread pool and offers the element operations most pages use.
// Pages whose own document has not been written yet use this behaviour.
#pragma once

#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "servicelink/dictionary.h"
#include "servicelink/html/html_document_model.h"
#include "win/types.h"

class CMsgRequest;
class CConfigurationProxy;
struct ConfigChangeRecord;
struct ScannerProgressRecord;
class QWidget;
namespace win {
class CMessageTarget;
}

class CHTMLConfigDocBase : public CHTMLDocumentModel {
public:
    // Identifies one loader run; sends of a run that is no longer the
    // document's current one are refused.
    using LoaderToken = std::uint64_t;
    using ThreadFunction = std::function<void(CHTMLConfigDocBase& document, LoaderToken token)>;

    // OWNER receives "QV_NOTIFY_CURRENT_PAGE" from loaders (it is the main
    // window, or the dialog hosting the page); OWNER_WIDGET parents the
    // message box of a loader that cannot start.
    CHTMLConfigDocBase(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                       std::string tabId = {});
    ~CHTMLConfigDocBase() override;

    const std::string& GetTabId() const { return m_strTabId; }
    CConfigurationProxy* GetProxy() const { return m_pProxy; }

    // The data exchange: begin, the page's element exchanges, end.
    void DoDataExchange(CHTMLDataExchange* pDX) override;
    virtual void LoadSettings() {}
    virtual void SaveSettings() {}
    // To the page: load settings first.
    virtual void BeginExchange(bool fromPage);
    // From the page: save settings. A running loader keeps running: an
    // apply does not leave the page.
    virtual void EndExchange(bool fromPage);
    virtual void OnConfigChange(const ConfigChangeRecord& /*record*/) {}
    virtual void OnScannerState(int /*state*/) {}
    virtual void OnScannerProgress(const ScannerProgressRecord& /*record*/) {}
    virtual void OnScannerNotify(CMsgRequest& /*request*/) {}
    virtual void OnCurrentPageMessage(win::WPARAM /*kind*/, win::LPARAM /*data*/) {}
    virtual void SetQueryParameters(const CDictionary& query) { m_query = query; }
    virtual void OnPageAction() {}
    // Starts FN on the thread pool as this document's current loader; an
    // earlier loader's sends fail from now on. False when it did not start.
    virtual bool StartLoader(ThreadFunction fn);

    // Loader side. Sends ITEM of KIND to the page (through the owner window,
    // on its thread) and pauses 30 ms; false, without sending, when TOKEN is
    // not the current loader or the page is no longer loading: the loader
    // then stops.
    bool SendToPage(LoaderToken token, int kind, CDictionary& item);
    // Sleeps a second, sends kind 4 and ends the loading state.
    void EndLoading(LoaderToken token);

    // Shown: the window made this page current. Hiding ends a running
    // loader's right to send.
    void SetShown(bool shown);
    bool IsShown() const { return m_bShown; }
    bool m_bLoaded = false;
    const CDictionary& GetQuery() const { return m_query; }
    int& LoaderRowCount() { return m_nLoaderRows; }
    bool IsLoading() const { return m_loading.load() == 1; }

    // Element helpers.
    QStringList GetCheckedRows();
    bool SetElementText(const QString& id, const QString& text, bool withTitle = false);
    bool ShowHide(const QString& shownId, const QString& hiddenId);

    // How long a loader pauses after each send and before its last one
    // (30 ms and 1 s; tests shorten them).
    static void SetLoaderPauses(int afterSendMs, int beforeEndMs);

    // Refuses every further send and waits until no loader of this page
    // runs. A page whose loader calls its own virtual functions calls this
    // first thing in its most derived destructor, so no loader runs code of
    // a part of the page that is already gone. Safe to call twice.
    void StopLoaders();

private:
    QWidget* m_pOwnerWidget;
    win::CMessageTarget* m_pOwner;
    CConfigurationProxy* m_pProxy;
    std::string m_strTabId;
    bool m_bShown = false;
    CDictionary m_query;
    int m_nLoaderRows = 0;
    std::atomic<LoaderToken> m_currentLoader{0};
    std::atomic<int> m_loading{0};
    std::atomic<int> m_runningLoaders{0};
};

// The document of TAB_ID; null for a tab id nobody knows.
std::unique_ptr<CHTMLConfigDocBase> CreateConfigDoc(const std::string& tabId, QWidget* ownerWidget,
                                                    win::CMessageTarget* owner, CConfigurationProxy* proxy);
