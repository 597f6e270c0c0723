// The beacon's hidden window: a browser that loads the tracking address once
// and reports whether the page arrived.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <QUrl>

class QWebEngineView;
class QWebEngineLoadingInfo;

namespace beacon {

class CBeaconDlg : public QDialog {
    Q_OBJECT
public:
    enum class Outcome { None, DocumentComplete, NavigateError, TimedOut };

    // TIMEOUT_MS bounds the whole load; 0 waits without limit.
    CBeaconDlg(const QUrl& address, int timeoutMs, QWidget* parent = nullptr);

    // Starts loading; the dialog stays hidden and never takes a task-bar slot.
    void Start();

    Outcome outcome() const { return m_outcome; }
    // The HTTP status or network error behind a failed load, for the log line.
    QString failureReason() const { return m_failureReason; }

signals:
    // Emitted once, with the first outcome; later load events are ignored.
    void finished(beacon::CBeaconDlg::Outcome outcome);

private:
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void Finish(Outcome outcome, const QString& reason = {});

    QUrl m_address;
    QWebEngineView* m_pBrowser;
    QTimer m_timeout;
    Outcome m_outcome = Outcome::None;
    QString m_failureReason;
};

}  // namespace beacon
