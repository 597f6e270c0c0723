#include "html_config_doc_base.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <array>
#include <string_view>

#include "qvconsole_app.h"
#include "win/ui/message_target.h"
#include "win/ui/messaging.h"

namespace {

std::atomic<int> g_pauseAfterSendMs{30};
std::atomic<int> g_pauseBeforeEndMs{1000};
std::atomic<CHTMLConfigDocBase::LoaderToken> g_nextLoader{0};

}  // namespace

CHTMLConfigDocBase::CHTMLConfigDocBase(QWidget* ownerWidget, win::CMessageTarget* owner, CConfigurationProxy* proxy,
                                       std::string tabId)
    : m_pOwnerWidget(ownerWidget), m_pOwner(owner), m_pProxy(proxy), m_strTabId(std::move(tabId))
{
}

CHTMLConfigDocBase::~CHTMLConfigDocBase()
{
    StopLoaders();
}

void CHTMLConfigDocBase::StopLoaders()
{
    // Refuse every further send, then let running loaders finish. A loader
    // may be waiting in a send to this thread, so events are served while
    // waiting.
    m_currentLoader.store(0);
    m_loading.store(0);
    while (m_runningLoaders.load() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

void CHTMLConfigDocBase::SetLoaderPauses(int afterSendMs, int beforeEndMs)
{
    g_pauseAfterSendMs.store(afterSendMs);
    g_pauseBeforeEndMs.store(beforeEndMs);
}

void CHTMLConfigDocBase::DoDataExchange(CHTMLDataExchange* pDX)
{
    BeginExchange(pDX->m_bSaveAndValidate);
    EndExchange(pDX->m_bSaveAndValidate);
}

void CHTMLConfigDocBase::BeginExchange(bool fromPage)
{
    if (!fromPage)
        LoadSettings();
}

void CHTMLConfigDocBase::EndExchange(bool fromPage)
{
    if (fromPage)
        SaveSettings();
}

void CHTMLConfigDocBase::SetShown(bool shown)
{
    m_bShown = shown;
    if (!shown) {
        // The page was left: its loader's next send fails and it stops.
        m_currentLoader.store(0);
        m_loading.store(0);
    }
}

bool CHTMLConfigDocBase::StartLoader(ThreadFunction fn)
{
    m_nLoaderRows = 0;
    const LoaderToken token = ++g_nextLoader;
    m_currentLoader.store(token);
    m_loading.store(1);
    ++m_runningLoaders;
    QRunnable* run = QRunnable::create([this, fn = std::move(fn), token] {
        fn(*this, token);
        --m_runningLoaders;
    });
    if (!QThreadPool::globalInstance()->tryStart(run)) {
        delete run;
        --m_runningLoaders;
        m_currentLoader.store(0);
        m_loading.store(0);
        QMessageBox::critical(m_pOwnerWidget, QStringLiteral("ERROR!"), QStringLiteral("Unable to start loading thread!"));
        return false;
    }
    return true;
}

bool CHTMLConfigDocBase::SendToPage(LoaderToken token, int kind, CDictionary& item)
{
    if (token == 0 || m_currentLoader.load() != token || m_loading.load() != 1 || m_pOwner == nullptr)
        return false;
    win::SendMessage(m_pOwner->GetSafeHwnd(), CQVConsoleApp::s_nNotifyCurrentPage, static_cast<win::WPARAM>(kind),
                     reinterpret_cast<win::LPARAM>(&item));
    QThread::msleep(static_cast<unsigned long>(g_pauseAfterSendMs.load()));
    return true;
}

void CHTMLConfigDocBase::EndLoading(LoaderToken token)
{
    QThread::msleep(static_cast<unsigned long>(g_pauseBeforeEndMs.load()));
    CDictionary empty;
    SendToPage(token, 4, empty);
    if (m_currentLoader.load() == token) {
        int loading = 1;
        m_loading.compare_exchange_strong(loading, 0);
    }
}

QStringList CHTMLConfigDocBase::GetCheckedRows()
{
    QStringList keys;
    for (const CHTMLElement& input : GetDocument().GetElementsByTagName(QStringLiteral("input"))) {
        bool checked = false;
        if (!input.GetCheck(checked) || !checked)
            continue;
        QString key;
        input.GetAttribute(QStringLiteral("qv_custom_attrib"), key);  // absent: an empty key
        keys.append(key);
    }
    return keys;
}

bool CHTMLConfigDocBase::SetElementText(const QString& id, const QString& text, bool withTitle)
{
    QString className;
    if (GetElementClass(id, className) && className.size() >= 5 && className.contains(QLatin1String("temp_"))) {
        QString permanent;
        if (GetElementAttribute(id, QStringLiteral("perm_class"), permanent) && !permanent.isEmpty())
            SetElementClass(id, permanent);
    }
    return withTitle ? SetElementInnerTextAndTitle(id, text) : SetElementInnerText(id, text);
}

bool CHTMLConfigDocBase::ShowHide(const QString& shownId, const QString& hiddenId)
{
    bool ok = true;
    const CHTMLElement shown = GetElementById(shownId);
    ok = !shown.IsNull() && shown.SetStyle(QStringLiteral("visibility"), QStringLiteral("visible")) && ok;
    const CHTMLElement hidden = GetElementById(hiddenId);
    ok = !hidden.IsNull() && hidden.SetStyle(QStringLiteral("visibility"), QStringLiteral("hidden")) && ok;
    return ok;
}
