#include "browser_page.h"

#include "browser_host.h"
#include "frame_reports.h"
#include "script_dialogs.h"
#include "web_browser_object.h"

#include "browser_windows.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kb::engine {
namespace {

constexpr int kMaxDialogRequest = 16384;

HWND OwnerOf(CWebBrowser* browser)
{
    if (browser == nullptr || browser->frame() == nullptr)
        return nullptr;
    return browser->frame()->GetSafeHwnd();
}

}  // namespace

CBrowserPage::CBrowserPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent)
{
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (m_pBrowser != nullptr)
            m_pBrowser->OnLoadingChanged(info);
    });
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        if (m_pBrowser != nullptr)
            m_pBrowser->OnNewWindowRequested(request);
    });
    connect(this, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (m_pBrowser != nullptr)
            m_pBrowser->OnTitleChanged(title);
    });
}

bool CBrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (m_pBrowser == nullptr)
        return false;
    return m_pBrowser->OnNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage* CBrowserPage::createWindow(WebWindowType)
{
    // New windows are made in OnNewWindowRequested, after the new-window
    // events; answering nothing here sends the request there.
    return nullptr;
}

void CBrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                            const QString&)
{
    if (m_pBrowser == nullptr)
        return;
    CBrowserHost* host = m_pBrowser->host();
    if (message.startsWith(host->reportNonce())) {
        if (std::optional<FrameReport> report = ParseFrameReport(message, host->reportNonce()))
            m_pBrowser->OnFrameReport(*report);
        return;
    }
    if (message.startsWith(host->dialogNonce()))
        OnDialogRequest(message.mid(host->dialogNonce().size()));
}

void CBrowserPage::OnDialogRequest(const QString& payload)
{
    // Sent by the page's own world: anything the page likes.
    if (payload.size() > kMaxDialogRequest)
        return;
    QJsonDocument document = QJsonDocument::fromJson(payload.toUtf8());
    if (!document.isObject())
        return;
    QString address = document.object().value(QStringLiteral("u")).toString();
    QUrl target = this->url().resolved(QUrl(address));
    QString scheme = target.scheme();
    if (!target.isValid() || !(scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                               scheme == QLatin1String("about") || scheme == QLatin1String("file") ||
                               scheme == QLatin1String("data")))
        return;
    OpenWebPageDialog(OwnerOf(m_pBrowser), target);
}

void CBrowserPage::javaScriptAlert(const QUrl&, const QString& message)
{
    RunMessageBox(OwnerOf(m_pBrowser), CMessageBoxWindow::Kind::Alert, message, {}, nullptr);
}

bool CBrowserPage::javaScriptConfirm(const QUrl&, const QString& message)
{
    return RunMessageBox(OwnerOf(m_pBrowser), CMessageBoxWindow::Kind::Confirm, message, {}, nullptr);
}

bool CBrowserPage::javaScriptPrompt(const QUrl&, const QString& message, const QString& defaultValue,
                                    QString* result)
{
    return RunMessageBox(OwnerOf(m_pBrowser), CMessageBoxWindow::Kind::Prompt, message, defaultValue, result);
}

}  // namespace kb::engine
