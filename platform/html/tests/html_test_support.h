// Helpers of the page host's browser tests: the test pages as a res://
// module, waiting for the browser, and a host window that records what its
// controller hears.
#pragma once

#include "servicelink/html/html.h"

#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <ostream>

// Readable texts in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os)
{
    *os << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}

// The module path the test pages are served under (a blank in it on purpose).
inline const QString kTestModulePath = QStringLiteral("/kelm-test/ui module.rcc");

// Registers the compiled-in test pages under kTestModulePath.
void RegisterTestPages();
QUrl TestPageUrl(const QString& page);

// Runs the event loop until DONE answers true or TIMEOUTMS pass.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000);

// A top-level window with one browser, tied to its own controller.
class CTestHostWindow : public QWidget, public CBrowserHostController {
public:
    CTestHostWindow();

    // Navigates and waits for the document-complete (or error) of URL.
    bool Load(const QUrl& url);
    bool LoadPage(const QString& page) { return Load(TestPageUrl(page)); }

    CBrowserControl* m_pBrowser;
    QStringList m_events;         // what the controller heard, in order
    QStringList m_windowCalls;    // script-callable methods of the window that ran
    int m_documentsCompleted = 0;
    int m_navigateErrors = 0;
    bool m_cancelNavigateErrors = true;
    QString m_cancelNavigationTo;  // a page key whose navigation is cancelled
    bool m_swallowKeys = false;
    int m_helpRequests = 0;

    void OnBeforeNavigate(CBrowserControl* pBrowser, const QUrl& url, bool& bCancel) override;
    void OnDocumentComplete(CBrowserControl* pBrowser, const QUrl& url) override;
    void OnNavigateError(CBrowserControl* pBrowser, const QUrl& url, int errorCode, const QString& errorText,
                         bool& bCancel) override;
    bool OnShowHelp(CBrowserControl* pBrowser) override;
    bool OnTranslateAccelerator(CBrowserControl* pBrowser, QKeyEvent* event) override;
};
