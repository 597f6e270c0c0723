// CBrowserPage: the web engine page of one tab. It hands the engine's
// decisions and signals to its CWebBrowser: navigation requests (which the
// browser answers after BeforeNavigate2), new-window requests, the frame
// reports and dialog requests that arrive as console messages, and the
// page's script dialogs (alert, confirm, prompt), which are windows made
// through CreateWindowExW and so pass the window-creation interception.
#pragma once

#include <QWebEnginePage>

namespace kb::engine {

class CWebBrowser;

class CBrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    CBrowserPage(QWebEngineProfile* profile, QObject* parent);

    // The browser is set once it exists and cleared when it closes.
    void SetBrowser(CWebBrowser* browser) { m_pBrowser = browser; }
    CWebBrowser* browser() const { return m_pBrowser; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceId) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& message, const QString& defaultValue,
                          QString* result) override;

private:
    void OnDialogRequest(const QString& payload);

    CWebBrowser* m_pBrowser = nullptr;
};

}  // namespace kb::engine
