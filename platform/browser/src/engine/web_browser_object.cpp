#include "web_browser_object.h"

#include "browser_events.h"
#include "browser_host.h"
#include "browser_page.h"
#include "browser_windows.h"
#include "dom_bridge.h"
#include "dom_objects.h"
#include "frame_browser.h"
#include "frame_reports.h"

#include "browser/com_runtime.h"

#include <QDebug>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>

namespace kb::engine {

using win::IDispatch;
using win::S_OK;

namespace {

constexpr std::size_t kMaxPendingFrameNavigations = 64;
constexpr int kAbortedNetError = -3;  // the engine's "navigation aborted"

// The engine names an empty window's document "about:blank" with or
// without a fragment ("about:blank#blocked" for window.open('')).
bool IsBlank(const QUrl& url)
{
    return url.isEmpty() || (url.scheme() == QLatin1String("about") && url.path() == QLatin1String("blank"));
}

LONG StatusForFailure(const QWebEngineLoadingInfo& info)
{
    switch (info.errorDomain()) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
        return info.errorCode();
    case QWebEngineLoadingInfo::DnsErrorDomain:
        return win::INET_E_RESOURCE_NOT_FOUND;
    case QWebEngineLoadingInfo::ConnectionErrorDomain:
        return win::INET_E_CANNOT_CONNECT;
    case QWebEngineLoadingInfo::CertificateErrorDomain:
        return win::INET_E_SECURITY_PROBLEM;
    default:
        return win::INET_E_DOWNLOAD_FAILURE;
    }
}

}  // namespace

CWebBrowser::CWebBrowser(CBrowserHost* host, CTabWindow* tab) : m_pHost(host), m_pTab(tab)
{
    m_nSerial = host->NextSerial();
    m_pPage = new CBrowserPage(host->profile(), tab->page());
    tab->page()->setPage(m_pPage);
    m_pPage->SetBrowser(this);
    tab->SetBrowser(this);
    tab->page()->SetBrowser(this);
    m_pBridge = std::make_unique<CDomBridge>(host, m_pPage);
    m_pEvents = win::CConnectionPoint::Create(win::DIID_DWebBrowserEvents2, this);
    host->AddBrowser(this);
}

CWebBrowser::~CWebBrowser()
{
    for (auto& [path, frame] : m_frames)
        frame->Detach();
    for (auto& [url, frame] : m_pendingFrameNavigations)
        frame->Detach();
    if (m_pEvents != nullptr) {
        m_pEvents->Disconnect();
        m_pEvents->Release();
    }
    if (CBrowserHost* host = CBrowserHost::Instance())
        host->RemoveBrowser(this);
}

CWebBrowser* CWebBrowser::Create(CBrowserHost* host, CTabWindow* tab)
{
    return new CWebBrowser(host, tab);
}

CWebBrowser* CWebBrowser::FromUnknown(win::IUnknown* browser)
{
    if (browser == nullptr)
        return nullptr;
    CWebBrowser* self = nullptr;
    if (win::FAILED(browser->QueryInterface(IID_CWebBrowserSelf, reinterpret_cast<void**>(&self))) || self == nullptr)
        return nullptr;
    self->Release();  // the caller's reference keeps it alive
    return self;
}

HRESULT CWebBrowser::QueryExtraInterface(REFIID riid, void** ppv)
{
    if (riid == IID_CWebBrowserSelf) {
        AddRef();
        *ppv = this;
        return S_OK;
    }
    return win::E_NOINTERFACE;
}

CFrameWindow* CWebBrowser::frame() const
{
    if (m_pTab.isNull())
        return nullptr;
    return qobject_cast<CFrameWindow*>(m_pTab->QWidget::window());
}

CWebBrowser* CWebBrowser::opener() const
{
    CWebBrowser* found = m_nOpenerSerial != 0 ? m_pHost->BrowserBySerial(m_nOpenerSerial) : nullptr;
    return found != nullptr && !found->closing() ? found : nullptr;
}

void CWebBrowser::SetOpener(CWebBrowser* opener)
{
    m_nOpenerSerial = opener != nullptr ? opener->serial() : 0;
}

void CWebBrowser::Deliver(std::function<void()> delivery)
{
    m_pHost->DeliverWhenNoDomCall(std::move(delivery));
}

// ---------------------------------------------------------------------------
// Add-ons and closing.

void CWebBrowser::SiteAddOns()
{
    for (const win::CLSID& clsid : m_pHost->AddOnClasses()) {
        if (closing())
            return;
        CComPtr<win::IObjectWithSite> addOn;
        HRESULT hr = win::CoCreateInstance(clsid, nullptr, win::CLSCTX_INPROC_SERVER, win::IID_IObjectWithSite,
                                           reinterpret_cast<void**>(&addOn));
        if (win::FAILED(hr) || !addOn) {
            qWarning("kelmbrowse: add-on %s not created (0x%08x)", win::GuidToString(clsid).c_str(),
                     static_cast<unsigned>(hr));
            continue;
        }
        m_addOns.push_back(addOn);
        // An add-on that refuses its site stays until the browser closes,
        // as it would on Windows; it just hears nothing.
        addOn->SetSite(static_cast<win::IWebBrowser2*>(this));
    }
}

void CWebBrowser::Close()
{
    if (m_bClosing || m_bClosed)
        return;
    m_bClosing = true;
    CComPtr<CWebBrowser> self(this);
    QTimer::singleShot(0, m_pHost, [self] {
        // Not inside an add-on's document call: its caller would find the
        // browser gone under its feet.
        self->m_pHost->DeliverWhenNoDomCall([self] { self->TearDown(); });
    });
}

void CWebBrowser::CloseNow()
{
    m_bClosing = true;
    TearDown();
}

void CWebBrowser::TearDown()
{
    if (m_bClosed)
        return;
    CComPtr<CWebBrowser> self(this);
    m_bClosing = true;
    FireOnQuit(m_pEvents);
    std::vector<CComPtr<win::IObjectWithSite>> addOns = std::move(m_addOns);
    m_addOns.clear();
    for (auto& addOn : addOns)
        addOn->SetSite(nullptr);
    addOns.clear();
    m_bClosed = true;
    m_pEvents->Disconnect();
    for (auto& [path, frame] : m_frames)
        frame->Detach();
    m_frames.clear();
    for (auto& [url, frame] : m_pendingFrameNavigations)
        frame->Detach();
    m_pendingFrameNavigations.clear();
    m_pPage->SetBrowser(nullptr);
    m_pPage->triggerAction(QWebEnginePage::Stop);
    if (!m_pTab.isNull()) {
        m_pTab->SetBrowser(nullptr);
        m_pTab->page()->SetBrowser(nullptr);
        if (CFrameWindow* f = frame())
            f->RemoveTab(m_pTab);
        else
            m_pTab->deleteLater();
    }
    m_pHost->RemoveBrowser(this);
    emit m_pHost->browserClosed(this);
    // The tab's reference.
    Release();
}

// ---------------------------------------------------------------------------
// Page signals.

bool CWebBrowser::OnNavigationRequest(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame)
{
    if (closing())
        return false;
    if (type == QWebEnginePage::NavigationTypeRedirect)
        return true;  // the navigation that redirects was decided already
    CComPtr<CWebBrowser> self(this);
    QString address = url.toString();
    if (!isMainFrame) {
        // A frame navigation cannot be started again from outside (nothing
        // names the frame yet), so it is decided here, inside the engine.
        CBrowserHost::EngineCallbackScope scope(m_pHost);
        CComPtr<CFrameBrowser> pending;
        pending.Attach(new CFrameBrowser(this));
        bool cancel = FireBeforeNavigate2(m_pEvents, static_cast<win::IWebBrowser2*>(pending.get()), address, 0, {});
        if (cancel || closing()) {
            pending->Detach();
            return false;
        }
        if (m_pendingFrameNavigations.size() >= kMaxPendingFrameNavigations) {
            m_pendingFrameNavigations.front().second->Detach();
            m_pendingFrameNavigations.pop_front();
        }
        m_pendingFrameNavigations.emplace_back(address, pending);
        return true;
    }
    bool startedByBrowser = type == QWebEnginePage::NavigationTypeTyped ||
                            type == QWebEnginePage::NavigationTypeBackForward ||
                            type == QWebEnginePage::NavigationTypeReload;
    if (m_bApprovedNext && startedByBrowser) {
        m_bApprovedNext = false;
        m_bBlankPending = false;  // from here on the engine's own signals count
        m_bLoading = true;
        return true;
    }
    if (type == QWebEnginePage::NavigationTypeFormSubmitted) {
        // Started again, a form would lose what it sends: decided here.
        CBrowserHost::EngineCallbackScope scope(m_pHost);
        ++m_nDecidingNavigation;
        bool cancel = FireBeforeNavigate2(m_pEvents, dispatch(), address, 0, {});
        --m_nDecidingNavigation;
        bool superseded = std::exchange(m_bSuperseded, false);
        MaybeAutoShow();
        if (cancel || superseded || closing())
            return false;
        m_bBlankPending = false;
        m_bLoading = true;
        return true;
    }
    // Everything else is decided from the event loop, where listeners can
    // look at the page, and then started again by the browser.
    Post([self, url, type] { self->DecideAndGo(url, 0, type); });
    return false;
}

void CWebBrowser::DecideAndGo(const QUrl& url, LONG flags, QWebEnginePage::NavigationType type)
{
    if (closing())
        return;
    CComPtr<CWebBrowser> self(this);
    bool outerSuperseded = m_bSuperseded;
    m_bSuperseded = false;
    ++m_nDecidingNavigation;
    bool cancel = FireBeforeNavigate2(m_pEvents, dispatch(), url.toString(), flags, {});
    --m_nDecidingNavigation;
    bool superseded = m_bSuperseded;
    m_bSuperseded = outerSuperseded;
    MaybeAutoShow();
    if (cancel || superseded || closing())
        return;
    m_bApprovedNext = true;
    if (type == QWebEnginePage::NavigationTypeReload) {
        m_pPage->triggerAction(QWebEnginePage::Reload);
        return;
    }
    if (type == QWebEnginePage::NavigationTypeBackForward) {
        // The history entry nearest to the current one with that address.
        QWebEngineHistory* history = m_pPage->history();
        QList<QWebEngineHistoryItem> items = history->items();
        int current = history->currentItemIndex();
        int best = -1;
        for (int i = 0; i < items.size(); ++i) {
            if (i != current && items[i].url() == url && (best < 0 || std::abs(i - current) < std::abs(best - current)))
                best = i;
        }
        if (best >= 0) {
            history->goToItem(items[best]);
            return;
        }
    }
    m_pPage->load(url);
}

void CWebBrowser::Post(std::function<void()> work)
{
    m_pHost->DeliverWhenNoDomCall(std::move(work));
}

void CWebBrowser::OnFrameReport(const FrameReport& report)
{
    if (closing() || report.path.empty())
        return;  // the top's events come with the end of its load
    CComPtr<CWebBrowser> self(this);
    CComPtr<CFrameBrowser> frameObject;
    if (report.kind == FrameReport::Kind::Created) {
        auto match = std::find_if(m_pendingFrameNavigations.begin(), m_pendingFrameNavigations.end(),
                                  [&](const auto& entry) { return entry.first == report.url; });
        if (match != m_pendingFrameNavigations.end()) {
            frameObject = match->second;
            m_pendingFrameNavigations.erase(match);
        } else {
            frameObject.Attach(new CFrameBrowser(this));
        }
        frameObject->SetPath(report.path);
        frameObject->SetReported(report.url, /*loaded=*/false);
        auto existing = m_frames.find(report.path);
        if (existing != m_frames.end() && existing->second != frameObject)
            existing->second->Detach();
        m_frames[report.path] = frameObject;
        QString url = report.url;
        Deliver([self, frameObject, url] {
            if (!self->closed())
                FireNavigateComplete2(self->m_pEvents, static_cast<win::IWebBrowser2*>(frameObject.get()), url);
        });
        return;
    }
    auto existing = m_frames.find(report.path);
    if (existing != m_frames.end()) {
        frameObject = existing->second;
    } else {
        frameObject.Attach(new CFrameBrowser(this, report.path));
        m_frames[report.path] = frameObject;
    }
    frameObject->SetReported(report.url, /*loaded=*/true);
    QString url = report.url;
    Deliver([self, frameObject, url] {
        if (!self->closed())
            FireDocumentComplete(self->m_pEvents, static_cast<win::IWebBrowser2*>(frameObject.get()), url);
    });
}

void CWebBrowser::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (closing())
        return;
    if (m_bBlankPending && IsBlank(info.url()))
        return;  // reported by ReportBlankNavigation
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        if (info.isErrorPage())
            return;
        m_bLoading = true;
        // Frame navigations of the document being left will not report.
        for (auto& [url, frameObject] : m_pendingFrameNavigations)
            frameObject->Detach();
        m_pendingFrameNavigations.clear();
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        m_bLoading = false;
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        if (info.isErrorPage())
            return;
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400)
            FinishTopLoad(info.url(), /*failed=*/true, info.errorCode());
        else
            FinishTopLoad(info.url(), /*failed=*/false, 0);
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorCode() == kAbortedNetError && info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            m_bLoading = false;  // stopped or replaced, not an error
            break;
        }
        FinishTopLoad(info.url(), /*failed=*/true, StatusForFailure(info));
        break;
    }
    if (CFrameWindow* f = frame())
        f->Refresh(m_pTab);
}

void CWebBrowser::FinishTopLoad(const QUrl& url, bool failed, LONG status)
{
    m_bLoading = false;
    CComPtr<CWebBrowser> self(this);
    QString address = url.toString();
    Deliver([self, address, failed, status] {
        if (self->closed())
            return;
        if (failed) {
            bool cancel = FireNavigateError(self->m_pEvents, self->dispatch(), address, {}, status);
            if (cancel && !self->closed())
                self->m_pBridge->RunDetached(QStringLiteral("document.open();document.close();"));
        }
        if (self->closed())
            return;
        FireNavigateComplete2(self->m_pEvents, self->dispatch(), address);
        if (self->closed())
            return;
        FireDocumentComplete(self->m_pEvents, self->dispatch(), address);
    });
}

void CWebBrowser::OnTitleChanged(const QString& title)
{
    if (closing())
        return;
    CComPtr<CWebBrowser> self(this);
    Deliver([self, title] {
        if (!self->closed())
            FireTitleChange(self->m_pEvents, title);
    });
    if (CFrameWindow* f = frame())
        f->Refresh(m_pTab);
}

void CWebBrowser::OnNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    if (closing())
        return;
    CComPtr<CWebBrowser> self(this);
    LONG flags = 0;
    BrowserPlacement placement = BrowserPlacement::NewWindow;
    switch (request.destination()) {
    case QWebEngineNewWindowRequest::InNewTab:
        placement = BrowserPlacement::ForegroundTab;
        flags = win::NWMF_SUGGESTTAB;
        break;
    case QWebEngineNewWindowRequest::InNewBackgroundTab:
        placement = BrowserPlacement::BackgroundTab;
        flags = win::NWMF_FORCETAB | win::NWMF_INACTIVETAB;
        break;
    case QWebEngineNewWindowRequest::InNewWindow:
        flags = win::NWMF_FORCEWINDOW;
        break;
    case QWebEngineNewWindowRequest::InNewDialog:
        flags = win::NWMF_SUGGESTWINDOW;
        break;
    }
    if (request.isUserInitiated())
        flags |= win::NWMF_USERINITED | win::NWMF_FIRST;
    QUrl requested = request.requestedUrl();
    bool blank = IsBlank(requested);
    CWebBrowser* target = DecideNewWindow(flags, blank ? QStringLiteral("about:blank") : requested.toString(), placement,
                                          request.requestedGeometry());
    if (target == nullptr || closing())
        return;
    CComPtr<CWebBrowser> keep(target);
    target->SetOpener(this);
    m_pHost->NotifyHandedBack(target);
    if (target->closing())
        return;
    // The engine may load the empty document inside openIn already.
    if (blank)
        target->ReportBlankNavigation();
    target->ExpectFirstNavigationAsNewWindow();
    request.openIn(target->page());
}

CWebBrowser* CWebBrowser::DecideNewWindow(LONG flags, const QString& url, BrowserPlacement placement,
                                          const QRect& geometry)
{
    CComPtr<CWebBrowser> self(this);
    BSTR location = nullptr;
    get_LocationURL(&location);
    QString context = win::QStringFromBstr(location);
    win::SysFreeString(location);

    // Asked inside the engine: the page that wants the window waits.
    CBrowserHost::EngineCallbackScope scope(m_pHost);
    CComPtr<IDispatch> supplied;
    bool cancel = FireNewWindow3(m_pEvents, supplied, flags, context, url);
    if (!cancel && !supplied)
        cancel = FireNewWindow2(m_pEvents, supplied);
    if (cancel || closing())
        return nullptr;
    CWebBrowser* target = nullptr;
    if (supplied) {
        target = FromUnknown(supplied);
        if (target == nullptr)
            qWarning("kelmbrowse: the new window supplied by a listener is not a browser of this process");
        else if (target->closing() || !target->page()->url().isEmpty())
            target = nullptr;  // closed, or already showing something: make our own
    }
    if (target == nullptr) {
        CFrameWindow* own = placement == BrowserPlacement::NewWindow ? nullptr : frame();
        target = m_pHost->CreateBrowser(placement, own, geometry);
    }
    return target;
}

void CWebBrowser::ExpectFirstNavigationAsNewWindow()
{
    m_bAutoShowPending = true;
}

void CWebBrowser::MaybeAutoShow()
{
    if (!m_bAutoShowPending)
        return;
    m_bAutoShowPending = false;
    CFrameWindow* f = frame();
    // An explicit show or hide (put_Visible, ShowWindow, SetWindowPos) by
    // anyone before this point wins.
    if (f != nullptr && !f->testAttribute(Qt::WA_WState_ExplicitShowHide))
        f->show();
}

void CWebBrowser::ReportBlankNavigation()
{
    // The engine shows such a window its empty document without asking for
    // a navigation; its own load signals for it are replaced by the events
    // of a navigation to about:blank, once the page that opened the window
    // runs again (it waits while the window is being made).
    m_bBlankPending = true;
    CComPtr<CWebBrowser> self(this);
    Post([self] {
        if (self->closing())
            return;
        const QString blank = QStringLiteral("about:blank");
        ++self->m_nDecidingNavigation;
        bool cancel = FireBeforeNavigate2(self->m_pEvents, self->dispatch(), blank, 0, {});
        --self->m_nDecidingNavigation;
        self->MaybeAutoShow();
        if (cancel || self->closing())
            return;
        FireNavigateComplete2(self->m_pEvents, self->dispatch(), blank);
        if (!self->closed())
            FireDocumentComplete(self->m_pEvents, self->dispatch(), blank);
    });
}

void CWebBrowser::LoadLater(const QUrl& url, LONG flags)
{
    CComPtr<CWebBrowser> self(this);
    Post([self, url, flags] { self->DecideAndGo(url, flags, QWebEnginePage::NavigationTypeTyped); });
}

win::IDispatch* CWebBrowser::FrameDispatch(const std::vector<int>& path)
{
    if (closed())
        return nullptr;
    if (path.empty())
        return dispatch();
    auto it = m_frames.find(path);
    if (it == m_frames.end()) {
        CComPtr<CFrameBrowser> created;
        created.Attach(new CFrameBrowser(this, path));
        it = m_frames.emplace(path, created).first;
    }
    return static_cast<win::IWebBrowser2*>(it->second.get());
}

// ---------------------------------------------------------------------------
// IWebBrowser2.

HRESULT CWebBrowser::GoBack()
{
    if (closing() || !m_pPage->history()->canGoBack())
        return win::E_FAIL;
    QUrl url = m_pPage->history()->backItem().url();
    CComPtr<CWebBrowser> self(this);
    Post([self, url] { self->DecideAndGo(url, 0, QWebEnginePage::NavigationTypeBackForward); });
    return S_OK;
}

HRESULT CWebBrowser::GoForward()
{
    if (closing() || !m_pPage->history()->canGoForward())
        return win::E_FAIL;
    QUrl url = m_pPage->history()->forwardItem().url();
    CComPtr<CWebBrowser> self(this);
    Post([self, url] { self->DecideAndGo(url, 0, QWebEnginePage::NavigationTypeBackForward); });
    return S_OK;
}

HRESULT CWebBrowser::Refresh()
{
    if (closing() || m_pPage->url().isEmpty())
        return win::E_FAIL;
    QUrl url = m_pPage->url();
    CComPtr<CWebBrowser> self(this);
    Post([self, url] { self->DecideAndGo(url, 0, QWebEnginePage::NavigationTypeReload); });
    return S_OK;
}

HRESULT CWebBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT*, VARIANT*)
{
    if (closing())
        return win::E_FAIL;
    QString address = win::QStringFromBstr(url).trimmed();
    QUrl target(address);
    if (address.isEmpty() || !target.isValid() || target.isRelative())
        target = QUrl::fromUserInput(address);
    if (!target.isValid() || target.isEmpty())
        return win::E_INVALIDARG;
    LONG navFlags = flags != nullptr ? win::VariantToLong(*flags, 0) : 0;
    QString frameName = targetFrameName != nullptr ? win::VariantToQString(*targetFrameName) : QString();
    if ((navFlags & (win::navOpenInNewWindow | win::navOpenInNewTab | win::navOpenInBackgroundTab)) != 0 ||
        frameName.compare(QLatin1String("_blank"), Qt::CaseInsensitive) == 0)
        return OpenNewWindowFromNavigate(target, navFlags);
    if (frameName.isEmpty() || frameName == QLatin1String("_self") || frameName == QLatin1String("_top") ||
        frameName == QLatin1String("_parent")) {
        if (m_nDecidingNavigation > 0)
            m_bSuperseded = true;
        LoadLater(target, navFlags);
        return S_OK;
    }
    bool found = false;
    HRESULT hr = NavigateFrameByName(frameName, target, found);
    if (win::FAILED(hr))
        return hr;
    return found ? S_OK : OpenNewWindowFromNavigate(target, navFlags);
}

HRESULT CWebBrowser::NavigateFrameByName(const QString& name, const QUrl& url, bool& found)
{
    found = false;
    HRESULT hr = S_OK;
    auto path = m_pBridge->Call(QStringLiteral("frameByName"), {QJsonArray{}, name}, &hr);
    if (!path)
        return hr == win::E_FAIL ? S_OK : hr;  // a page without the helper has no named frames
    if (path->isNull())
        return S_OK;
    auto done = m_pBridge->Call(QStringLiteral("navigateFrame"), {*path, url.toString()}, &hr);
    if (!done)
        return hr;
    found = true;
    return S_OK;
}

HRESULT CWebBrowser::OpenNewWindowFromNavigate(const QUrl& url, LONG flags)
{
    LONG nwmf = win::NWMF_USERREQUESTED;
    BrowserPlacement placement = BrowserPlacement::NewWindow;
    if ((flags & win::navOpenInBackgroundTab) != 0) {
        nwmf |= win::NWMF_FORCETAB | win::NWMF_INACTIVETAB;
        placement = BrowserPlacement::BackgroundTab;
    } else if ((flags & win::navOpenInNewTab) != 0) {
        nwmf |= win::NWMF_FORCETAB;
        placement = BrowserPlacement::ForegroundTab;
    } else {
        nwmf |= win::NWMF_FORCEWINDOW;
    }
    CWebBrowser* target = DecideNewWindow(nwmf, url.toString(), placement, {});
    if (target == nullptr)
        return S_OK;  // refused by a listener: Navigate itself did its job
    target->ExpectFirstNavigationAsNewWindow();
    target->LoadLater(url, flags);
    return S_OK;
}

HRESULT CWebBrowser::Stop()
{
    if (closing())
        return win::E_FAIL;
    if (m_nDecidingNavigation > 0)
        m_bSuperseded = true;
    // In the browser's queue: a Navigate after it still runs after it.
    CComPtr<CWebBrowser> self(this);
    Post([self] {
        if (!self->closing())
            self->m_pPage->triggerAction(QWebEnginePage::Stop);
    });
    return S_OK;
}

HRESULT CWebBrowser::get_Document(IDispatch** document)
{
    if (document == nullptr)
        return win::E_POINTER;
    *document = nullptr;
    if (closing())
        return win::E_FAIL;
    *document = NewHtmlDocument(this, {});
    return S_OK;
}

HRESULT CWebBrowser::get_TopLevelContainer(VARIANT_BOOL* top)
{
    if (top == nullptr)
        return win::E_POINTER;
    *top = win::VARIANT_TRUE;
    return S_OK;
}

HRESULT CWebBrowser::get_LocationName(BSTR* name)
{
    if (name == nullptr)
        return win::E_POINTER;
    *name = nullptr;
    if (closed())
        return win::E_FAIL;
    QString title = m_pPage->title();
    *name = win::SysAllocQString(title.isEmpty() ? m_pPage->url().toString() : title);
    return S_OK;
}

HRESULT CWebBrowser::get_LocationURL(BSTR* url)
{
    if (url == nullptr)
        return win::E_POINTER;
    *url = nullptr;
    if (closed())
        return win::E_FAIL;
    *url = win::SysAllocQString(m_pPage->url().toString());
    return S_OK;
}

HRESULT CWebBrowser::get_Busy(VARIANT_BOOL* busy)
{
    if (busy == nullptr)
        return win::E_POINTER;
    *busy = m_bLoading ? win::VARIANT_TRUE : win::VARIANT_FALSE;
    return S_OK;
}

HRESULT CWebBrowser::Quit()
{
    if (closing())
        return win::E_FAIL;
    Close();
    return S_OK;
}

HRESULT CWebBrowser::PutProperty(BSTR name, VARIANT value)
{
    if (closed())
        return win::E_FAIL;
    m_properties[win::QStringFromBstr(name)] = win::CComVariant(value);
    return S_OK;
}

HRESULT CWebBrowser::GetProperty(BSTR name, VARIANT* value)
{
    if (value == nullptr)
        return win::E_POINTER;
    win::VariantInit(value);
    if (closed())
        return win::E_FAIL;
    auto it = m_properties.find(win::QStringFromBstr(name));
    if (it == m_properties.end())
        return S_OK;
    return it->second.CopyTo(value);
}

HRESULT CWebBrowser::get_HWND(SHANDLE_PTR* hwnd)
{
    if (hwnd == nullptr)
        return win::E_POINTER;
    *hwnd = 0;
    CFrameWindow* f = closed() ? nullptr : frame();
    if (f == nullptr)
        return win::E_FAIL;
    *hwnd = reinterpret_cast<SHANDLE_PTR>(f->GetSafeHwnd());
    return S_OK;
}

HRESULT CWebBrowser::get_Visible(VARIANT_BOOL* visible)
{
    if (visible == nullptr)
        return win::E_POINTER;
    CFrameWindow* f = closed() ? nullptr : frame();
    *visible = f != nullptr && f->isVisible() ? win::VARIANT_TRUE : win::VARIANT_FALSE;
    return f != nullptr ? S_OK : win::E_FAIL;
}

HRESULT CWebBrowser::put_Visible(VARIANT_BOOL visible)
{
    CFrameWindow* f = closing() ? nullptr : frame();
    if (f == nullptr)
        return win::E_FAIL;
    if (visible != win::VARIANT_FALSE) {
        f->show();
        f->raise();
    } else {
        f->hide();
    }
    return S_OK;
}

HRESULT CWebBrowser::get_ReadyState(LONG* state)
{
    if (state == nullptr)
        return win::E_POINTER;
    *state = m_bLoading ? win::READYSTATE_LOADING : win::READYSTATE_COMPLETE;
    return S_OK;
}

HRESULT CWebBrowser::get_Resizable(VARIANT_BOOL* resizable)
{
    if (resizable == nullptr)
        return win::E_POINTER;
    *resizable = m_bResizable ? win::VARIANT_TRUE : win::VARIANT_FALSE;
    return S_OK;
}

HRESULT CWebBrowser::put_Resizable(VARIANT_BOOL resizable)
{
    CFrameWindow* f = closing() ? nullptr : frame();
    if (f == nullptr)
        return win::E_FAIL;
    m_bResizable = resizable != win::VARIANT_FALSE;
    if (m_bResizable) {
        f->setMinimumSize(0, 0);
        f->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        f->setFixedSize(f->size());
    }
    return S_OK;
}

HRESULT CWebBrowser::EnumConnectionPoints(win::IEnumConnectionPoints** points)
{
    if (points == nullptr)
        return win::E_POINTER;
    std::vector<CComPtr<win::IConnectionPoint>> list{CComPtr<win::IConnectionPoint>(m_pEvents)};
    *points = win::CreateConnectionPointEnumerator(std::move(list));
    return S_OK;
}

HRESULT CWebBrowser::FindConnectionPoint(REFIID riid, win::IConnectionPoint** point)
{
    if (point == nullptr)
        return win::E_POINTER;
    *point = nullptr;
    if (riid != win::DIID_DWebBrowserEvents2)
        return win::CONNECT_E_NOCONNECTION;
    m_pEvents->AddRef();
    *point = m_pEvents;
    return S_OK;
}

HRESULT CWebBrowser::QueryService(REFGUID service, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return win::E_POINTER;
    *ppv = nullptr;
    if (service == win::SID_SWebBrowserApp || service == win::IID_IWebBrowser2 || service == win::IID_IWebBrowser)
        return QueryInterface(riid, ppv);
    return win::E_NOINTERFACE;
}

}  // namespace kb::engine
