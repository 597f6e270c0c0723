#include "browser_host.h"

#include "browser_windows.h"
#include "dom_bridge.h"
#include "downloads.h"
#include "frame_reports.h"
#include "script_dialogs.h"
#include "web_browser_object.h"

#include "browser/addon_registry.h"
#include "browser/com_object.h"
#include "browser/com_runtime.h"
#include "browser/interception.h"
#include "browser/window_class.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <algorithm>

namespace kb::engine {
namespace {

CBrowserHost* g_pHost = nullptr;

QString NewSecret()
{
    quint64 words[2] = {QRandomGenerator::system()->generate64(), QRandomGenerator::system()->generate64()};
    return QString::number(words[0], 16) + QString::number(words[1], 16);
}

// CoCreateInstance(CLSID_InternetExplorer): a new browser in a hidden
// window of its own, its add-ons sited.
class CBrowserClassFactory final : public win::CComObjectImpl<win::IClassFactory> {
public:
    explicit CBrowserClassFactory(CBrowserHost* host) : m_pHost(host) {}

    win::HRESULT CreateInstance(win::IUnknown* outer, win::REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return win::E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr)
            return win::CLASS_E_NOAGGREGATION;
        if (m_pHost == nullptr || g_pHost != m_pHost)
            return win::E_UNEXPECTED;
        CWebBrowser* browser = m_pHost->CreateBrowser(BrowserPlacement::NewWindow, nullptr);
        if (browser == nullptr)
            return win::E_FAIL;
        return browser->QueryInterface(riid, ppv);
    }
    win::HRESULT LockServer(win::BOOL) override { return win::S_OK; }

private:
    CBrowserHost* m_pHost;
};

}  // namespace

CBrowserHost* CBrowserHost::Instance()
{
    return g_pHost;
}

CBrowserHost::CBrowserHost(BrowserHostOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options))
{
    g_pHost = this;
    SetBrowserProductVersion(m_options.productVersion);
    m_reportNonce = QStringLiteral("kelm-report-") + NewSecret() + QLatin1Char(':');
    m_domHelperName = QStringLiteral("__kelm_dom_") + NewSecret();
    m_dialogNonce = QStringLiteral("kelm-dialog-") + NewSecret() + QLatin1Char(':');
    // No disk state: the browser keeps nothing between runs.
    m_pProfile = new QWebEngineProfile(this);
    InstallPageScripts();
    m_pDownloads = std::make_unique<CDownloads>(m_pProfile, m_options.downloadFolder, nullptr);
    connect(m_pDownloads.get(), &CDownloads::cabinetExtracted, this, &CBrowserHost::cabinetExtracted);
    RegisterWindowClasses();
    auto* factory = new CBrowserClassFactory(this);
    win::CoRegisterClassObject(win::CLSID_InternetExplorer, factory, win::CLSCTX_LOCAL_SERVER, 0, &m_dwClassCookie);
    factory->Release();
}

CBrowserHost::~CBrowserHost()
{
    win::CoRevokeClassObject(m_dwClassCookie);
    // Every browser closes now (OnQuit, add-ons unsited), then every window
    // goes before the profile its pages use.
    std::vector<CWebBrowser*> open = m_browsers;
    for (CWebBrowser* browser : open) {
        if (IsLiveBrowser(browser) && !browser->closed())
            browser->CloseNow();
    }
    for (QPointer<CFrameWindow>& frame : m_frames)
        delete frame.data();
    m_frames.clear();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<CWebPageDialog*>(widget) != nullptr)
            delete widget;
    }
    m_deferred.clear();
    UnregisterWindowClass(QString::fromLatin1(kFrameWindowClass));
    if (g_pHost == this)
        g_pHost = nullptr;
    m_pDownloads.reset();
    delete m_pProfile;
    m_pProfile = nullptr;
}

void CBrowserHost::InstallPageScripts()
{
    QWebEngineScript reports;
    reports.setName(QStringLiteral("kelm-frame-reports"));
    reports.setWorldId(QWebEngineScript::ApplicationWorld);
    reports.setInjectionPoint(QWebEngineScript::DocumentCreation);
    reports.setRunsOnSubFrames(true);
    reports.setSourceCode(FrameReportScript(m_reportNonce));
    m_pProfile->scripts()->insert(reports);

    QWebEngineScript helper;
    helper.setName(QStringLiteral("kelm-dom-helper"));
    helper.setWorldId(QWebEngineScript::MainWorld);
    helper.setInjectionPoint(QWebEngineScript::DocumentCreation);
    helper.setRunsOnSubFrames(false);
    helper.setSourceCode(DomHelperScript(m_domHelperName, m_dialogNonce));
    m_pProfile->scripts()->insert(helper);
}

void CBrowserHost::RegisterWindowClasses()
{
    RegisterWindowClass(QString::fromLatin1(kFrameWindowClass), [this](const CREATESTRUCT& create) -> QWidget* {
        auto* frame = new CFrameWindow(this);
        if (create.cx > 0 && create.cy > 0)
            frame->setGeometry(create.x, create.y, create.cx, create.cy);
        AddFrame(frame);
        return frame;
    });
    RegisterDialogClasses(m_pProfile);
}

void CBrowserHost::AddFrame(CFrameWindow* frame)
{
    m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(), [](const auto& f) { return f.isNull(); }),
                   m_frames.end());
    m_frames.emplace_back(frame);
}

std::vector<CFrameWindow*> CBrowserHost::frames() const
{
    std::vector<CFrameWindow*> result;
    for (const QPointer<CFrameWindow>& frame : m_frames) {
        if (!frame.isNull())
            result.push_back(frame.data());
    }
    return result;
}

CWebBrowser* CBrowserHost::OpenWindow(const QUrl& url, bool show)
{
    CWebBrowser* browser = CreateBrowser(BrowserPlacement::NewWindow, nullptr);
    if (browser == nullptr)
        return nullptr;
    if (show && browser->frame() != nullptr)
        browser->frame()->show();
    if (url.isValid() && !url.isEmpty())
        browser->LoadLater(url);
    return browser;
}

CWebBrowser* CBrowserHost::CreateBrowser(BrowserPlacement placement, CFrameWindow* frame, const QRect& geometry)
{
    if (placement == BrowserPlacement::NewWindow || frame == nullptr) {
        std::wstring className = QString::fromLatin1(kFrameWindowClass).toStdWString();
        HWND hwnd = kb::CreateWindowExW(0, className.c_str(), L"", WS_OVERLAPPEDWINDOW, geometry.x(), geometry.y(),
                                        geometry.width(), geometry.height(), nullptr, nullptr, nullptr, nullptr);
        frame = qobject_cast<CFrameWindow*>(win::WidgetFromHwnd(hwnd));
        if (frame == nullptr)
            return nullptr;  // refused (an interception, or no such class)
    }
    auto* tab = new CTabWindow;
    CWebBrowser* browser = CWebBrowser::Create(this, tab);
    frame->AddTab(tab, placement != BrowserPlacement::BackgroundTab);
    browser->SiteAddOns();
    emit browserCreated(browser);
    return browser;
}

std::vector<win::CLSID> CBrowserHost::AddOnClasses()
{
    if (!m_options.loadAddOns)
        return {};
    if (!m_bAddOnClassesRead) {
        m_addOnClasses = win::EnumerateBrowserHelperObjects();
        m_bAddOnClassesRead = true;
    }
    return m_addOnClasses;
}

void CBrowserHost::AddBrowser(CWebBrowser* browser)
{
    m_browsers.push_back(browser);
}

void CBrowserHost::RemoveBrowser(CWebBrowser* browser)
{
    m_browsers.erase(std::remove(m_browsers.begin(), m_browsers.end(), browser), m_browsers.end());
}

bool CBrowserHost::IsLiveBrowser(const CWebBrowser* browser) const
{
    return std::find(m_browsers.begin(), m_browsers.end(), browser) != m_browsers.end();
}

CWebBrowser* CBrowserHost::BrowserBySerial(std::uint64_t serial) const
{
    for (CWebBrowser* browser : m_browsers) {
        if (browser->serial() == serial)
            return browser;
    }
    return nullptr;
}

void CBrowserHost::EndDomCall()
{
    if (m_nDomCallDepth > 0)
        --m_nDomCallDepth;
    if (m_nDomCallDepth == 0 && !m_deferred.empty() && !m_bFlushScheduled) {
        m_bFlushScheduled = true;
        QTimer::singleShot(0, this, &CBrowserHost::FlushDeferred);
    }
}

void CBrowserHost::DeliverWhenNoDomCall(std::function<void()> delivery)
{
    m_deferred.push_back(std::move(delivery));
    if (m_nDomCallDepth == 0 && !m_bFlushScheduled) {
        m_bFlushScheduled = true;
        QTimer::singleShot(0, this, &CBrowserHost::FlushDeferred);
    }
}

void CBrowserHost::FlushDeferred()
{
    m_bFlushScheduled = false;
    while (!m_deferred.empty()) {
        if (m_nDomCallDepth > 0)
            return;  // EndDomCall schedules the rest
        std::function<void()> next = std::move(m_deferred.front());
        m_deferred.erase(m_deferred.begin());
        next();
    }
}

}  // namespace kb::engine
