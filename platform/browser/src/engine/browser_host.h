// The browser process: one web profile, the browser windows and their
// browsers, the add-ons each browser gets, and the class object that lets an
// add-on create a new browser window (CLSID_InternetExplorer).
//
// All of it lives on the user-interface thread. A host is made once by the
// program (tests make one per test); destroying it closes every window.
#pragma once

#include "browser/com.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QWebEngineProfile;

namespace kb::engine {

class CFrameWindow;
class CWebBrowser;
class CDownloads;

struct BrowserHostOptions {
    bool loadAddOns = true;          // false: no add-on is loaded ("--no-add-ons")
    QString downloadFolder;          // empty: the user's download folder
    QString productVersion = QStringLiteral("7.0");
};

// Where a new browser goes.
enum class BrowserPlacement {
    NewWindow,           // a window of its own (shown by the caller)
    ForegroundTab,       // a new tab of a given window, made current
    BackgroundTab,       // a new tab of a given window, left behind
};

class CBrowserHost : public QObject {
    Q_OBJECT
public:
    explicit CBrowserHost(BrowserHostOptions options = {}, QObject* parent = nullptr);
    ~CBrowserHost() override;

    static CBrowserHost* Instance();  // the live host, or nullptr

    QWebEngineProfile* profile() const { return m_pProfile; }
    const BrowserHostOptions& options() const { return m_options; }

    // Opens a window with one tab showing URL (nothing when URL is empty);
    // the add-ons are sited first. Returns the tab's browser.
    CWebBrowser* OpenWindow(const QUrl& url, bool show = true);

    // Makes a browser (and its window or tab) with its add-ons sited, not
    // navigated. For tabs, FRAME is the window to add to (a new window when
    // nullptr). The window of a NewWindow browser is left hidden.
    CWebBrowser* CreateBrowser(BrowserPlacement placement, CFrameWindow* frame, const QRect& geometry = {});

    const std::vector<CWebBrowser*>& browsers() const { return m_browsers; }
    void AddFrame(CFrameWindow* frame);
    std::vector<CFrameWindow*> frames() const;

    // The page script helpers' names and the report prefix (secret per host).
    const QString& reportNonce() const { return m_reportNonce; }
    const QString& domHelperName() const { return m_domHelperName; }
    const QString& dialogNonce() const { return m_dialogNonce; }

    // Browser events run from the event loop, one after the other in the
    // order they were queued, never inside a signal of the web engine (a
    // document call made there could not be answered) and never inside an
    // add-on's document call (which waits in a nested event loop: queued
    // events wait for its end).
    void BeginDomCall() { ++m_nDomCallDepth; }
    void EndDomCall();
    bool InDomCall() const { return m_nDomCallDepth > 0; }
    void DeliverWhenNoDomCall(std::function<void()> delivery);

    // The few events that need an answer inside an engine signal (new
    // windows, frame navigations, form submissions) run in such a scope;
    // document calls made there fail at once with E_PENDING instead of
    // waiting for an answer that cannot come.
    class EngineCallbackScope {
    public:
        explicit EngineCallbackScope(CBrowserHost* host) : m_pHost(host) { ++m_pHost->m_nEngineCallbackDepth; }
        ~EngineCallbackScope() { --m_pHost->m_nEngineCallbackDepth; }
        EngineCallbackScope(const EngineCallbackScope&) = delete;
        EngineCallbackScope& operator=(const EngineCallbackScope&) = delete;

    private:
        CBrowserHost* m_pHost;
    };
    bool InEngineCallback() const { return m_nEngineCallbackDepth > 0; }

    // Browser bookkeeping (CWebBrowser calls these).
    void AddBrowser(CWebBrowser* browser);
    void RemoveBrowser(CWebBrowser* browser);
    bool IsLiveBrowser(const CWebBrowser* browser) const;
    CWebBrowser* BrowserBySerial(std::uint64_t serial) const;
    std::uint64_t NextSerial() { return ++m_nLastSerial; }
    void NotifyHandedBack(CWebBrowser* browser) { emit browserHandedBack(browser); }

    // The add-on objects a new browser gets: one of every registered
    // browser helper object class (none with loadAddOns off).
    std::vector<win::CLSID> AddOnClasses();

signals:
    void browserCreated(kb::engine::CWebBrowser* browser);
    // A browser made for a page's new-window request is about to be handed
    // to the page (its add-ons are sited already).
    void browserHandedBack(kb::engine::CWebBrowser* browser);
    void browserClosed(kb::engine::CWebBrowser* browser);
    // A cabinet download was extracted (ok) or not.
    void cabinetExtracted(const QString& cabinetPath, const QString& folder, bool ok);

private:
    void InstallPageScripts();
    void RegisterWindowClasses();
    void FlushDeferred();

    BrowserHostOptions m_options;
    QWebEngineProfile* m_pProfile = nullptr;
    std::unique_ptr<CDownloads> m_pDownloads;
    std::vector<CWebBrowser*> m_browsers;
    QString m_reportNonce;
    QString m_domHelperName;
    QString m_dialogNonce;
    int m_nDomCallDepth = 0;
    int m_nEngineCallbackDepth = 0;
    std::vector<std::function<void()>> m_deferred;
    bool m_bFlushScheduled = false;
    win::DWORD m_dwClassCookie = 0;
    bool m_bAddOnClassesRead = false;
    std::uint64_t m_nLastSerial = 0;
    std::vector<QPointer<CFrameWindow>> m_frames;
    std::vector<win::CLSID> m_addOnClasses;
};

}  // namespace kb::engine
