#include "servicelink/html/browser_control.h"

#include "hosted_page.h"
#include "html_log.h"
#include "servicelink/html/custom_control_site.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace {

// Runs WORK from the event loop once the engine's current work is over. A
// synchronous call into the page waits in a loop that skips user input; the
// engine may still hold input it was given (the release of the click that
// asked for a context menu), and the page answers only once that input is
// through. A timer (not a posted call) lets the event loop deliver it first.
template <typename Work>
void RunAfterEngineWork(QObject* context, Work work)
{
    QTimer::singleShot(1, context, std::move(work));
}

// Net error of a navigation that was stopped or refused rather than failed.
constexpr int kNavigationAborted = -3;

const QString kDialogStyleScript = QStringLiteral("kelm-dialog-style");

}  // namespace

CBrowserControl::CBrowserControl(QWidget* parent)
    : QWebEngineView(parent)
{
    m_pPage = new CHostedPage(this);
    // Failed navigations keep the shown document; see ShowErrorDocument.
    m_pPage->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    setPage(m_pPage);
    m_site = CCustomOccManager::For(parent)->CreateSite(this);
    connect(m_pPage, &QWebEnginePage::loadingChanged, this, &CBrowserControl::OnLoadingChanged);
    connect(m_pPage, &QWebEnginePage::urlChanged, this, &CBrowserControl::OnUrlChanged);
    connect(m_pPage, &QWebEnginePage::selectionChanged, this, [this] {
        if (m_site)
            m_site->UpdateUI();
    });
    WatchFocusProxy();
}

CBrowserControl::~CBrowserControl()
{
    // The view's own destructor still needs the page, so the page outlives
    // this body; from here on nothing of it reaches this control or its site.
    disconnect(m_pPage, nullptr, this, nullptr);
    m_pPage->DetachControl();
    if (m_pWatchedProxy)
        m_pWatchedProxy->removeEventFilter(this);
    if (m_pWatchedWindow)
        m_pWatchedWindow->removeEventFilter(this);
    m_site.reset();
}

void CBrowserControl::Navigate(const QUrl& url)
{
    m_pPage->load(url);
}

void CBrowserControl::Stop()
{
    m_pPage->triggerAction(QWebEnginePage::Stop);
}

void CBrowserControl::Refresh()
{
    m_pPage->triggerAction(QWebEnginePage::Reload);
}

QUrl CBrowserControl::GetLocationURL() const
{
    return m_pPage->url();
}

QString CBrowserControl::GetLocationName() const
{
    return m_pPage->title();
}

CHTMLDocument CBrowserControl::GetDocument() const
{
    return CHTMLDocument(m_pPage);
}

void CBrowserControl::ApplyHostFlags(unsigned flags)
{
    m_pPage->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, (flags & HostFlags::NoScrollBars) == 0);

    QWebEngineScriptCollection& scripts = m_pPage->scripts();
    for (const QWebEngineScript& old : scripts.find(kDialogStyleScript))
        scripts.remove(old);
    if ((flags & HostFlags::Dialog) != 0) {
        // A dialog's text is not selectable; what the user types still is.
        QWebEngineScript style;
        style.setName(kDialogStyleScript);
        style.setInjectionPoint(QWebEngineScript::DocumentReady);
        style.setWorldId(QWebEngineScript::ApplicationWorld);
        style.setRunsOnSubFrames(false);
        style.setSourceCode(QStringLiteral(
            "(function () { var s = document.createElement('style');"
            " s.textContent = 'html { -webkit-user-select: none; user-select: none; }"
            " input, textarea, [contenteditable] { -webkit-user-select: text; user-select: text; }';"
            " (document.head || document.documentElement).appendChild(s); })();"));
        scripts.insert(style);
    }
}

void CBrowserControl::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_busy = true;
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        m_busy = false;
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        m_busy = false;
        if (m_showingErrorDocument) {
            m_showingErrorDocument = false;
            return;
        }
        if (m_site)
            m_site->DocumentComplete(info.url());
        emit documentComplete(info.url());
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus: {
        m_busy = false;
        if (m_showingErrorDocument) {
            m_showingErrorDocument = false;
            return;
        }
        if (info.errorCode() == kNavigationAborted)
            return;
        bool cancel = false;
        if (m_site)
            m_site->NavigateError(info.url(), info.errorCode(), info.errorString(), cancel);
        emit navigateError(info.url(), info.errorCode());
        if (!cancel)
            ShowErrorDocument(info.url(), info.errorString());
        return;
    }
    }
}

void CBrowserControl::OnUrlChanged(const QUrl& url)
{
    if (!m_showingErrorDocument && m_site)
        m_site->NavigateComplete(url);
}

void CBrowserControl::ShowErrorDocument(const QUrl& url, const QString& errorText)
{
    // Plain text only: the URL and the engine's error text are not ours.
    const QString html = QStringLiteral(
                             "<!DOCTYPE html><html><head><meta charset='utf-8'><title>%1</title></head>"
                             "<body style='font-family: sans-serif; margin: 2em'>"
                             "<h3>This page cannot be shown</h3><p>%1</p><p>%2</p></body></html>")
                             .arg(url.toDisplayString().toHtmlEscaped(), errorText.toHtmlEscaped());
    m_showingErrorDocument = true;
    m_pPage->setHtml(html, QUrl(QStringLiteral("about:blank")));
}

void CBrowserControl::WatchFocusProxy()
{
    QWidget* proxy = focusProxy();
    if (proxy == m_pWatchedProxy)
        return;
    if (m_pWatchedProxy)
        m_pWatchedProxy->removeEventFilter(this);
    m_pWatchedProxy = proxy;
    if (proxy != nullptr)
        proxy->installEventFilter(this);
}

bool CBrowserControl::event(QEvent* event)
{
    // The engine makes the widget that takes keys and drops (the focus
    // proxy) as a child; watch it as soon as it is there.
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)
        WatchFocusProxy();
    if (event->type() == QEvent::ActivationChange && window() == this && m_site)
        m_site->FrameWindowActivate(isActiveWindow());
    // The view takes drops itself (Qt hands drag events to the nearest widget
    // that accepts drops); the host decides whether it may.
    if ((event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop) &&
        !(m_site && m_site->AcceptsDrops())) {
        event->ignore();
        return true;
    }
    return QWebEngineView::event(event);
}

bool CBrowserControl::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_site)
        return QWebEngineView::eventFilter(watched, event);
    if (watched == m_pWatchedWindow) {
        if (event->type() == QEvent::ActivationChange)
            m_site->FrameWindowActivate(m_pWatchedWindow->isActiveWindow());
        return QWebEngineView::eventFilter(watched, event);
    }
    if (watched != m_pWatchedProxy)
        return QWebEngineView::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_site->TranslateAccelerator(key))
            return true;
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && m_site->ShowHelp())
            return true;
        break;
    }
    case QEvent::FocusIn:
        m_site->ShowUI(true);
        break;
    case QEvent::FocusOut:
        m_site->ShowUI(false);
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (!m_site->AcceptsDrops()) {
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QWebEngineView::eventFilter(watched, event);
}

void CBrowserControl::contextMenuEvent(QContextMenuEvent* event)
{
    // The engine asks while it is still handling the mouse, when the page
    // cannot answer the host's questions about the element under it; decide
    // once that is over.
    event->accept();
    RunAfterEngineWork(this, [this, pos = event->pos()] { ShowContextMenuAt(pos); });
}

void CBrowserControl::ShowContextMenuAt(const QPoint& pos)
{
    if (!m_site || m_site->ShowContextMenu(pos))
        return;
    QMenu* menu = createStandardContextMenu();
    if (menu == nullptr)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mapToGlobal(pos));
}

void CBrowserControl::HoldNavigationForUnload(const QUrl& url)
{
    RunAfterEngineWork(this, [this, url] { UnloadAndNavigate(url); });
}

void CBrowserControl::UnloadAndNavigate(const QUrl& url)
{
    if (m_site)
        m_site->UnloadPage();
    m_approvedUrl = url;
    m_pPage->load(url);
}

void CBrowserControl::resizeEvent(QResizeEvent* event)
{
    QWebEngineView::resizeEvent(event);
    if (m_site)
        m_site->ResizeBorder(rect());
}

void CBrowserControl::showEvent(QShowEvent* event)
{
    QWebEngineView::showEvent(event);
    QWidget* top = window();
    if (top != m_pWatchedWindow && top != this) {
        if (m_pWatchedWindow)
            m_pWatchedWindow->removeEventFilter(this);
        m_pWatchedWindow = top;
        m_pWatchedWindow->installEventFilter(this);
    }
    WatchFocusProxy();
    if (m_site)
        m_site->DocWindowActivate(true);
}

void CBrowserControl::hideEvent(QHideEvent* event)
{
    QWebEngineView::hideEvent(event);
    if (m_site)
        m_site->DocWindowActivate(false);
}
