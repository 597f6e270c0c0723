// The hosted browser control: a Qt WebEngine view whose host behaviour comes
// from its control site (custom_control_site.h).
//
// The control loads pages in the hosted-pages profile (res_scheme.h), so
// res:// URLs work in it. It never shows an error page: a failed navigation
// leaves the shown document in place and reports NavigateError, and only a
// host that does not cancel it gets a short error document of ours. It opens
// no new windows (window.open and target="_blank" do nothing). A silent
// control shows no message boxes of page script that its host did not answer.
#pragma once

#include "servicelink/html/html_document.h"

#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

#include <memory>

class QWebEngineLoadingInfo;
class CCustomControlSite;
class CHostedPage;

class CBrowserControl : public QWebEngineView {
    Q_OBJECT
public:
    // The control's site comes from the control-site manager of PARENT's
    // window tree (CCustomOccManager::For).
    explicit CBrowserControl(QWidget* parent = nullptr);
    ~CBrowserControl() override;

    CCustomControlSite* GetSite() const { return m_site.get(); }

    void Navigate(const QUrl& url);
    void Stop();
    void Refresh();
    QUrl GetLocationURL() const;
    QString GetLocationName() const;
    bool GetBusy() const { return m_busy; }
    void SetSilent(bool silent) { m_silent = silent; }
    bool GetSilent() const { return m_silent; }

    // The shown document (a handle without key check).
    CHTMLDocument GetDocument() const;

    // Applies the site's host flags to the browser's settings.
    void ApplyHostFlags(unsigned flags);

signals:
    // For users without a controller; the site hears of each event first.
    void documentComplete(const QUrl& url);
    void navigateError(const QUrl& url, int errorCode);
    // An error of page script that reached the browser's console (errors a
    // page silences never do).
    void scriptError(const QString& message);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class CHostedPage;
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void OnUrlChanged(const QUrl& url);
    void WatchFocusProxy();
    void ShowErrorDocument(const QUrl& url, const QString& errorText);
    void HoldNavigationForUnload(const QUrl& url);
    void UnloadAndNavigate(const QUrl& url);
    void ShowContextMenuAt(const QPoint& pos);

    CHostedPage* m_pPage = nullptr;
    std::unique_ptr<CCustomControlSite> m_site;
    QPointer<QWidget> m_pWatchedProxy;
    QPointer<QWidget> m_pWatchedWindow;
    bool m_silent = false;
    bool m_busy = false;
    bool m_showingErrorDocument = false;
    QUrl m_approvedUrl;  // a held navigation being restarted
};
