// The windows the browser makes for a page's own dialogs:
//
//   CMessageBoxWindow  "#32770" with "Button" children: alert, confirm and
//                      prompt ("Message from webpage"); runs modally.
//   CWebPageDialog     "Internet Explorer_TridentDlgFrame": a web page
//                      dialog (showModalDialog / showModelessDialog), a
//                      small window showing the dialog's page, captioned
//                      "<page title> -- Web Page Dialog". It is modeless:
//                      the page's script does not wait for it.
//
// Both are made through CreateWindowExW, so an interception can refuse
// them: then alert shows nothing, confirm answers false, prompt answers
// null and the dialog page is not shown. A message box answers WM_COMMAND
// with IDOK (1) or IDCANCEL (2) like its buttons, and WM_CLOSE like cancel.
#pragma once

#include "browser/window_api.h"
#include "browser/window_subclass.h"

#include <QDialog>
#include <QString>
#include <QUrl>

class QLineEdit;
class QWebEngineProfile;
class QWebEngineView;

namespace kb::engine {

inline constexpr UINT IDOK = 1;
inline constexpr UINT IDCANCEL = 2;

class CMessageBoxWindow : public QDialog, public CSubclassableWindow {
    Q_OBJECT
public:
    enum class Kind { Alert, Confirm, Prompt };
    explicit CMessageBoxWindow(QWidget* owner);
    ~CMessageBoxWindow() override;

    void Setup(Kind kind, const QString& message, const QString& defaultValue);
    QString promptText() const;

    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class CWebPageDialog : public QWidget, public CSubclassableWindow {
    Q_OBJECT
public:
    CWebPageDialog(QWidget* owner, QWebEngineProfile* profile);
    ~CWebPageDialog() override;

    void Load(const QUrl& url);

private:
    QWebEngineView* m_pView;
};

// Registers "#32770" and "Internet Explorer_TridentDlgFrame" with
// CreateWindowExW (the factories take the owner from the parent handle).
void RegisterDialogClasses(QWebEngineProfile* profile);

// Shows a page's message box over OWNER_HWND's window. Answers whether the
// user accepted (OK) and, for a prompt, the text. False when the window was
// refused.
bool RunMessageBox(HWND ownerHwnd, CMessageBoxWindow::Kind kind, const QString& message,
                   const QString& defaultValue, QString* text);
// Opens a web page dialog for URL over OWNER_HWND's window; false when refused.
bool OpenWebPageDialog(HWND ownerHwnd, const QUrl& url);

}  // namespace kb::engine
