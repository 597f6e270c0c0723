// The page of a browser control: reports navigation decisions and page
// message boxes to the control's site, and carries the web channel of
// window.external.
#pragma once

#include <QWebEnginePage>

class CBrowserControl;
class CExternalBridge;
class QWebChannel;

class CHostedPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit CHostedPage(CBrowserControl* control);

    // The control is being destroyed: answer as an unhosted page from now on.
    void DetachControl();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;

private:
    // True when the site answered; false when the browser should show it.
    bool AskSite(int kind, const QString& text, bool& accepted);

    CBrowserControl* m_pControl;
    QWebChannel* m_pChannel;
    CExternalBridge* m_pBridge;
};
