#include "hosted_page.h"

#include "element_script.h"
#include "external_bridge.h"
#include "html_log.h"
#include "servicelink/html/browser_control.h"
#include "servicelink/html/custom_control_site.h"
#include "servicelink/html/res_scheme.h"

#include <QTimer>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

CHostedPage::CHostedPage(CBrowserControl* control)
    : QWebEnginePage(HostedPagesProfile(), control), m_pControl(control), m_pChannel(new QWebChannel(this))
{
    m_pBridge = new CExternalBridge(this, control);
    m_pChannel->registerObject(QStringLiteral("kelmExternal"), m_pBridge);
    setWebChannel(m_pChannel, QWebEngineScript::MainWorld);

    QWebEngineScript bootstrap;
    bootstrap.setName(QStringLiteral("kelm-external"));
    bootstrap.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bootstrap.setWorldId(QWebEngineScript::MainWorld);
    bootstrap.setRunsOnSubFrames(false);
    bootstrap.setSourceCode(ExternalBootstrapScript());
    scripts().insert(bootstrap);
}

void CHostedPage::DetachControl()
{
    m_pControl = nullptr;
    m_pBridge->DetachControl();
}

bool CHostedPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    CCustomControlSite* site = m_pControl != nullptr ? m_pControl->GetSite() : nullptr;
    if (!isMainFrame || site == nullptr || m_pControl->m_showingErrorDocument)
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);

    const QUrl translated = site->TranslateUrl(url);
    if (translated.isValid() && translated != url) {
        // Open the host's URL instead; deciding inside this call must not
        // start another navigation.
        QTimer::singleShot(0, m_pControl, [control = m_pControl, translated] { control->Navigate(translated); });
        return false;
    }
    if (m_pControl->m_approvedUrl.isValid() && url == m_pControl->m_approvedUrl) {
        // The restart of a navigation held for the unload below: decided already.
        m_pControl->m_approvedUrl.clear();
        return true;
    }
    bool cancel = false;
    site->BeforeNavigate(url, cancel);
    if (cancel)
        return false;
    if (site->HasPageToUnload()) {
        // The page being left is told first, and it may want to read its
        // elements; it can answer only after this call has returned. Hold the
        // navigation, tell the page, then restart the navigation.
        m_pControl->HoldNavigationForUnload(url);
        return false;
    }
    return true;
}

QWebEnginePage* CHostedPage::createWindow(WebWindowType /*type*/)
{
    // Hosted pages open no windows of their own.
    qCDebug(lcHtml) << "refused a new window from" << url();
    return nullptr;
}

bool CHostedPage::AskSite(int kind, const QString& text, bool& accepted)
{
    CCustomControlSite* site = m_pControl != nullptr ? m_pControl->GetSite() : nullptr;
    if (site == nullptr)
        return false;
    site->EnableModeless(false);
    const bool handled = site->ShowMessage(static_cast<PageMessageKind>(kind), text, accepted);
    site->EnableModeless(true);
    return handled;
}

void CHostedPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    bool accepted = true;
    if (AskSite(static_cast<int>(PageMessageKind::Alert), msg, accepted))
        return;
    if ((m_pControl == nullptr || m_pControl->GetSilent())) {
        qCDebug(lcHtmlPage) << "silent browser dropped an alert:" << msg;
        return;
    }
    QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool CHostedPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    bool accepted = false;
    if (AskSite(static_cast<int>(PageMessageKind::Confirm), msg, accepted))
        return accepted;
    if ((m_pControl == nullptr || m_pControl->GetSilent())) {
        qCDebug(lcHtmlPage) << "silent browser refused a confirmation:" << msg;
        return false;
    }
    return QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool CHostedPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                                   QString* result)
{
    bool accepted = false;
    if (AskSite(static_cast<int>(PageMessageKind::Prompt), msg, accepted))
        return false;
    if ((m_pControl == nullptr || m_pControl->GetSilent())) {
        qCDebug(lcHtmlPage) << "silent browser refused a prompt:" << msg;
        return false;
    }
    return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

void CHostedPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                           int lineNumber, const QString& sourceID)
{
    if (level == ErrorMessageLevel) {
        qCWarning(lcHtmlPage).noquote() << sourceID << lineNumber << message;
        if (m_pControl != nullptr)
            emit m_pControl->scriptError(message);
    } else
        qCDebug(lcHtmlPage).noquote() << sourceID << lineNumber << message;
}
