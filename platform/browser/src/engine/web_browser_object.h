// CWebBrowser: the browser object of one tab (IWebBrowser2), its events
// (a connection point for DWebBrowserEvents2), its properties and add-ons,
// and the translation of the web engine's page signals into events.
//
// Lifetime: the tab holds one reference; add-ons and other holders add
// theirs. Closing (Quit, closing the tab or window) tears the browser down
// once control is back in the event loop: OnQuit, SetSite(nullptr) and
// release of every add-on, all listeners dropped, the tab deleted. After
// that the object answers E_FAIL (or empty values) until its last
// reference goes.
#pragma once

#include "browser_host.h"
#include "browser_windows.h"

#include "no_dispatch.h"

#include "browser/com_object.h"
#include "browser/connection_points.h"
#include "browser/web_browser.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

#include <QRect>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;

namespace kb::engine {

class CBrowserHost;
class CBrowserPage;
class CDomBridge;
class CFrameBrowser;
class CFrameWindow;
class CTabWindow;
struct FrameReport;

using win::BSTR;
using win::CComPtr;
using win::HRESULT;
using win::LONG;
using win::REFGUID;
using win::REFIID;
using win::SHANDLE_PTR;
using win::VARIANT;
using win::VARIANT_BOOL;

// Answered only by the engine's own browser objects, with the CWebBrowser
// itself (no reference added): how the engine recognises its browsers.
inline constexpr win::IID IID_CWebBrowserSelf = win::MakeGuid("7E3A1C52-0B4D-4F6E-9A21-5C8D3E7F1A04");

class CWebBrowser final
    : public CNoDispatch<win::IWebBrowser2, win::IConnectionPointContainer, win::IServiceProvider> {
public:
    // A browser for TAB (which takes the first reference).
    static CWebBrowser* Create(CBrowserHost* host, CTabWindow* tab);
    // The engine's browser behind BROWSER, or nullptr when it is not one of ours.
    static CWebBrowser* FromUnknown(win::IUnknown* browser);

    // IWebBrowser
    HRESULT GoBack() override;
    HRESULT GoForward() override;
    HRESULT Refresh() override;
    HRESULT Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers) override;
    HRESULT Stop() override;
    HRESULT get_Document(win::IDispatch** document) override;
    HRESULT get_TopLevelContainer(VARIANT_BOOL* top) override;
    HRESULT get_LocationName(BSTR* name) override;
    HRESULT get_LocationURL(BSTR* url) override;
    HRESULT get_Busy(VARIANT_BOOL* busy) override;
    // IWebBrowserApp
    HRESULT Quit() override;
    HRESULT PutProperty(BSTR name, VARIANT value) override;
    HRESULT GetProperty(BSTR name, VARIANT* value) override;
    HRESULT get_HWND(SHANDLE_PTR* hwnd) override;
    HRESULT get_Visible(VARIANT_BOOL* visible) override;
    HRESULT put_Visible(VARIANT_BOOL visible) override;
    // IWebBrowser2
    HRESULT get_ReadyState(LONG* state) override;
    HRESULT get_Resizable(VARIANT_BOOL* resizable) override;
    HRESULT put_Resizable(VARIANT_BOOL resizable) override;
    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(win::IEnumConnectionPoints** points) override;
    HRESULT FindConnectionPoint(REFIID riid, win::IConnectionPoint** point) override;
    // IServiceProvider: SID_SWebBrowserApp gives the browser itself.
    HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override;

    // ----- engine side -----
    win::IDispatch* dispatch() { return static_cast<win::IWebBrowser2*>(this); }
    CBrowserHost* host() const { return m_pHost; }
    CTabWindow* tab() const { return m_pTab; }
    CFrameWindow* frame() const;
    CBrowserPage* page() const { return m_pPage; }
    CDomBridge* bridge() const { return m_pBridge.get(); }
    bool closed() const { return m_bClosed; }
    bool closing() const { return m_bClosing || m_bClosed; }
    win::CConnectionPoint* events() const { return m_pEvents; }

    // Creates and sites one object of every add-on class (before anything
    // is loaded in the browser).
    void SiteAddOns();
    std::size_t addOnCount() const { return m_addOns.size(); }

    // The browser whose page opened this one (nullptr when none or closed).
    CWebBrowser* opener() const;
    void SetOpener(CWebBrowser* opener);

    // This browser was just handed to a page (or to Navigate) as a new
    // window: its first navigation shows its window unless somebody showed
    // or hid it explicitly before.
    void ExpectFirstNavigationAsNewWindow();
    // Navigates to URL from the event loop: BeforeNavigate2 (with FLAGS)
    // first, then the load unless a listener cancelled or replaced it.
    void LoadLater(const QUrl& url, LONG flags = 0);
    // A new window got no address (window.open()): report the blank
    // navigation it stands for.
    void ReportBlankNavigation();

    // Schedules the teardown (Quit, closing the tab or its window).
    void Close();
    // Tears down at once (the host's destruction).
    void CloseNow();
    std::uint64_t serial() const { return m_nSerial; }

    // The frame object at PATH (created on first use); the top for an empty path.
    win::IDispatch* FrameDispatch(const std::vector<int>& path);

    // Page signals.
    bool OnNavigationRequest(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame);
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void OnFrameReport(const FrameReport& report);
    void OnNewWindowRequested(QWebEngineNewWindowRequest& request);
    void OnTitleChanged(const QString& title);

protected:
    HRESULT QueryExtraInterface(REFIID riid, void** ppv) override;

private:
    CWebBrowser(CBrowserHost* host, CTabWindow* tab);
    ~CWebBrowser() override;

    // The new-window events; nullptr when refused, else the browser to use.
    CWebBrowser* DecideNewWindow(LONG flags, const QString& url, BrowserPlacement placement, const QRect& geometry);
    void TearDown();
    void FinishTopLoad(const QUrl& url, bool failed, LONG status);
    void Deliver(std::function<void()> delivery);
    void MaybeAutoShow();
    // BeforeNavigate2 of a top navigation, then (unless cancelled or
    // replaced) the navigation itself, started the way TYPE says.
    void DecideAndGo(const QUrl& url, LONG flags, QWebEnginePage::NavigationType type);
    void Post(std::function<void()> work);
    HRESULT NavigateFrameByName(const QString& name, const QUrl& url, bool& found);
    HRESULT OpenNewWindowFromNavigate(const QUrl& url, LONG flags);

    CBrowserHost* m_pHost;
    QPointer<CTabWindow> m_pTab;
    CBrowserPage* m_pPage = nullptr;
    std::unique_ptr<CDomBridge> m_pBridge;
    win::CConnectionPoint* m_pEvents = nullptr;  // owned (one reference)
    std::map<QString, win::CComVariant> m_properties;
    std::vector<CComPtr<win::IObjectWithSite>> m_addOns;
    std::uint64_t m_nSerial = 0;        // unique in the process, never reused
    std::uint64_t m_nOpenerSerial = 0;  // the opener's serial: looked up, never a kept pointer

    bool m_bClosing = false;
    bool m_bClosed = false;

    int m_nDecidingNavigation = 0;  // BeforeNavigate2 of the top running
    bool m_bSuperseded = false;     // Navigate/Stop during it: the decided navigation is dropped
    bool m_bApprovedNext = false;  // the next navigation the browser starts itself was decided already
    bool m_bResizable = true;
    bool m_bAutoShowPending = false;
    bool m_bLoading = false;
    bool m_bBlankPending = false;

    std::map<std::vector<int>, CComPtr<CFrameBrowser>> m_frames;
    std::deque<std::pair<QString, CComPtr<CFrameBrowser>>> m_pendingFrameNavigations;
};

}  // namespace kb::engine
