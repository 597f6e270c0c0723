#include "html_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <memory>

namespace {

// The scheme must be known before the web engine starts, which the test
// program's main does after static initialisation.
const bool g_schemeRegistered = (RegisterResScheme(), true);

}  // namespace

void RegisterTestPages()
{
    RegisterResourceModule(kTestModulePath, std::make_shared<CDirResourceSource>(QStringLiteral(":/html_test_pages")));
}

QUrl TestPageUrl(const QString& page)
{
    return MakeResUrl(kTestModulePath, page);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

CTestHostWindow::CTestHostWindow()
    : CBrowserHostController(this)
{
    (void)g_schemeRegistered;
    RegisterTestPages();
    resize(755, 565);
    m_pBrowser = new CBrowserControl(this);
    m_pBrowser->setGeometry(0, 0, 755, 565);
    TieBrowser(m_pBrowser, HostFlags::Dialog | HostFlags::NoBorder3D | HostFlags::NoScrollBars | HostFlags::Theme);
    m_pBrowser->SetSilent(true);
    AddHandler(this);
    m_scriptMethods.Add("window_none", [this] { m_windowCalls.append("window_none"); });
    m_scriptMethods.AddText("window_text", [this](const QString& t) { m_windowCalls.append("window_text:" + t); });
    m_scriptMethods.AddInt("window_int", [this](int n) { m_windowCalls.append(QString("window_int:%1").arg(n)); });
    m_scriptMethods.AddIntInt("window_two", [this](int a, int b) {
        m_windowCalls.append(QString("window_two:%1,%2").arg(a).arg(b));
    });
    show();
}

bool CTestHostWindow::Load(const QUrl& url)
{
    const int completed = m_documentsCompleted;
    const int errors = m_navigateErrors;
    m_pBrowser->Navigate(url);
    return WaitUntil([&] { return m_documentsCompleted > completed || m_navigateErrors > errors; }) &&
           m_documentsCompleted > completed;
}

void CTestHostWindow::OnBeforeNavigate(CBrowserControl* pBrowser, const QUrl& url, bool& bCancel)
{
    m_events.append("before:" + url.fileName());
    if (!m_cancelNavigationTo.isEmpty() && PageKeyFromUrl(url) == m_cancelNavigationTo)
        bCancel = true;
    CBrowserHostController::OnBeforeNavigate(pBrowser, url, bCancel);
}

void CTestHostWindow::OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url)
{
    m_events.append("complete:" + url.fileName());
    CBrowserHostController::OnDocumentComplete(pBrowser, url);
    ++m_documentsCompleted;
}

void CTestHostWindow::OnNavigateError(CBrowserControl* pBrowser, const QUrl& url, int errorCode,
                                      const QString& errorText, bool& bCancel)
{
    m_events.append("error:" + url.fileName());
    CBrowserHostController::OnNavigateError(pBrowser, url, errorCode, errorText, bCancel);
    bCancel = m_cancelNavigateErrors;
    ++m_navigateErrors;
}

bool CTestHostWindow::OnShowHelp(CBrowserControl* /*pBrowser*/)
{
    ++m_helpRequests;
    return true;
}

bool CTestHostWindow::OnTranslateAccelerator(CBrowserControl* /*pBrowser*/, QKeyEvent* event)
{
    return m_swallowKeys && event->key() == Qt::Key_F5;
}
