#include "beacon_dialog.h"

#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace beacon {

CBeaconDlg::CBeaconDlg(const QUrl& address, int timeoutMs, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint)
    , m_address(address)
    , m_pBrowser(new QWebEngineView(this))
{
    // A 1x1 window at 0,0 that is never shown: the page loads without it.
    setGeometry(0, 0, 1, 1);
    setAttribute(Qt::WA_DontShowOnScreen);
    m_pBrowser->setGeometry(0, 0, 1, 1);
    connect(m_pBrowser->page(), &QWebEnginePage::loadingChanged, this, &CBeaconDlg::OnLoadingChanged);

    m_timeout.setSingleShot(true);
    if (timeoutMs > 0)
        m_timeout.setInterval(timeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] { Finish(Outcome::TimedOut, QStringLiteral("timed out")); });
}

void CBeaconDlg::Start()
{
    if (m_timeout.interval() > 0)
        m_timeout.start();
    m_pBrowser->load(m_address);
}

void CBeaconDlg::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        Finish(Outcome::NavigateError, info.errorString().isEmpty()
                                           ? QStringLiteral("error %1").arg(info.errorCode())
                                           : info.errorString());
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        // A page that arrives with an HTTP error status still "loads"; for the
        // tracking server it is a failure, as a browser's navigate-error event
        // would say.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400)
            Finish(Outcome::NavigateError, QStringLiteral("HTTP status %1").arg(info.errorCode()));
        else
            Finish(Outcome::DocumentComplete);
        return;
    }
}

void CBeaconDlg::Finish(Outcome outcome, const QString& reason)
{
    if (m_outcome != Outcome::None)
        return;
    m_outcome = outcome;
    m_failureReason = reason;
    m_timeout.stop();
    emit finished(outcome);
}

}  // namespace beacon
