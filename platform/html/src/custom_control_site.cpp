#include "servicelink/html/custom_control_site.h"

#include "html_log.h"
#include "servicelink/html/browser_control.h"
#include "servicelink/html/browser_host_controller.h"
#include "servicelink/html/script_dispatch.h"

#include <QHash>
#include <QWidget>

CCustomControlSite::CCustomControlSite(CBrowserControl* control)
    : m_pControl(control)
{
}

CCustomControlSite::~CCustomControlSite() = default;

CCustomControlSite* CCustomControlSite::GetControlSiteOf(QWidget* control)
{
    auto* browser = qobject_cast<CBrowserControl*>(control);
    return browser != nullptr ? browser->GetSite() : nullptr;
}

void CCustomControlSite::SetHandler(CBrowserHostController* handler)
{
    m_handler = CTargetRef<CBrowserHostController>(handler);
    if (handler != nullptr)
        handler->BrowserTied(m_pControl);
    m_pControl->ApplyHostFlags(GetHostInfo());
}

CBrowserHostController* CCustomControlSite::GetHandler() const
{
    return m_handler.get();
}

void CCustomControlSite::SetHostFlags(unsigned flags)
{
    m_hostFlags = flags;
    m_pControl->ApplyHostFlags(GetHostInfo());
}

bool CCustomControlSite::ShowHelp()
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr && handler->OnShowHelp(m_pControl);
}

bool CCustomControlSite::ShowMessage(PageMessageKind kind, const QString& text, bool& accepted)
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr && handler->OnShowMessage(m_pControl, kind, text, accepted);
}

bool CCustomControlSite::ShowContextMenu(const QPoint& pos)
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr && handler->OnShowContextMenu(m_pControl, pos);
}

unsigned CCustomControlSite::GetHostInfo()
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr ? handler->OnGetHostInfo(m_pControl, m_hostFlags) : m_hostFlags;
}

void CCustomControlSite::ShowUI(bool shown)
{
    if (CBrowserHostController* handler = m_handler.get()) {
        if (shown)
            handler->OnShowUI(m_pControl);
        else
            handler->OnHideUI(m_pControl);
    }
}

void CCustomControlSite::UpdateUI()
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnUpdateUI(m_pControl);
}

void CCustomControlSite::EnableModeless(bool enable)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnEnableModeless(m_pControl, enable);
}

void CCustomControlSite::DocWindowActivate(bool active)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnDocWindowActivate(m_pControl, active);
}

void CCustomControlSite::FrameWindowActivate(bool active)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnFrameWindowActivate(m_pControl, active);
}

void CCustomControlSite::ResizeBorder(const QRect& rect)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnResizeBorder(m_pControl, rect);
}

bool CCustomControlSite::TranslateAccelerator(QKeyEvent* event)
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr && handler->OnTranslateAccelerator(m_pControl, event);
}

QString CCustomControlSite::GetOptionKeyPath()
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr ? handler->OnGetOptionKeyPath(m_pControl) : QString();
}

bool CCustomControlSite::AcceptsDrops()
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr && handler->OnGetDropTarget(m_pControl);
}

CScriptDispatch* CCustomControlSite::GetExternal()
{
    if (m_pExternal != nullptr)
        return m_pExternal;
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr ? handler->OnGetExternal(m_pControl) : nullptr;
}

QUrl CCustomControlSite::TranslateUrl(const QUrl& url)
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr ? handler->OnTranslateUrl(m_pControl, url) : url;
}

void CCustomControlSite::BeforeNavigate(const QUrl& url, bool& cancel)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnBeforeNavigate(m_pControl, url, cancel);
}

void CCustomControlSite::NavigateComplete(const QUrl& url)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnNavigateComplete(m_pControl, url);
}

void CCustomControlSite::DocumentComplete(const QUrl& url)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnDocumentComplete(m_pControl, url);
}

void CCustomControlSite::NavigateError(const QUrl& url, int errorCode, const QString& errorText, bool& cancel)
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->OnNavigateError(m_pControl, url, errorCode, errorText, cancel);
}

bool CCustomControlSite::HasPageToUnload()
{
    CBrowserHostController* handler = m_handler.get();
    return handler != nullptr && handler->HasLeavingPage();
}

void CCustomControlSite::UnloadPage()
{
    if (CBrowserHostController* handler = m_handler.get())
        handler->UnloadLeavingPage();
}

ScriptCallStatus CCustomControlSite::InvokeExternal(const QUrl& caller, const QString& method, const QVariantList& args)
{
    CScriptDispatch* dispatch = GetExternal();
    if (dispatch == nullptr) {
        qCWarning(lcHtml) << "page call" << method << "from" << caller << "refused: the browser offers no external object";
        return ScriptCallStatus::NoDispatch;
    }
    CBrowserHostController* handler = m_handler.get();
    CScriptCommandTarget* page = handler != nullptr ? handler->ModelForCaller(m_pControl, caller) : nullptr;
    return dispatch->Invoke(caller, method, args, page);
}

// Control-site managers ------------------------------------------------------

namespace {

QHash<const QWidget*, std::shared_ptr<CCustomOccManager>>& InstalledManagers()
{
    static QHash<const QWidget*, std::shared_ptr<CCustomOccManager>> managers;
    return managers;
}

std::shared_ptr<CCustomOccManager>& DefaultManager()
{
    static std::shared_ptr<CCustomOccManager> manager = std::make_shared<CCustomOccManager>();
    return manager;
}

}  // namespace

CCustomOccManager::~CCustomOccManager() = default;

std::unique_ptr<CCustomControlSite> CCustomOccManager::CreateSite(CBrowserControl* control)
{
    return std::make_unique<CCustomControlSite>(control);
}

void CCustomOccManager::Install(QWidget* host, std::shared_ptr<CCustomOccManager> manager)
{
    if (host == nullptr)
        return;
    auto& managers = InstalledManagers();
    if (!manager) {
        managers.remove(host);
        return;
    }
    if (!managers.contains(host))
        QObject::connect(host, &QObject::destroyed, [host] { InstalledManagers().remove(host); });
    managers.insert(host, std::move(manager));
}

void CCustomOccManager::InstallDefault(std::shared_ptr<CCustomOccManager> manager)
{
    DefaultManager() = manager ? std::move(manager) : std::make_shared<CCustomOccManager>();
}

std::shared_ptr<CCustomOccManager> CCustomOccManager::For(QWidget* widget)
{
    const auto& managers = InstalledManagers();
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        const auto found = managers.constFind(w);
        if (found != managers.constEnd())
            return *found;
    }
    return DefaultManager();
}
