// The headless screenshot tour (switch `screenshots=<folder>`): the window
// visits every page of its page tree, waits until each has loaded (and its
// loader has ended), and saves "<folder>/<page>.png" of the whole window.
// With a scan started from the command line it follows the scan instead: it
// saves the scanning page while progress moves (the last picture before the
// scan ends stays), and the detected results page while its rows arrive;
// with `auto_extract` also once the removal is over
// ("scan_results_detected_after_removal.png"). Then the program ends:
// status 0 when every picture was saved, 1 otherwise.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class CQVConsoleDlg;

class CScreenshotTour : public QObject {
public:
    // ON_DONE gets the status; the default ends the event loop with it.
    CScreenshotTour(CQVConsoleDlg& window, QString folder, bool followScan, bool autoExtract = false,
                    std::function<void(int status)> onDone = {});

    void Start();
    const QStringList& Saved() const { return m_saved; }
    const QStringList& Failures() const { return m_failures; }

    // How long one page may take to load, and the whole scan to end.
    static constexpr int kPageTimeoutMs = 30000;
    static constexpr int kScanTimeoutMs = 600000;

private:
    enum class Step { NextPage, WaitPage, Settle, WaitScanning, WaitProgress, WaitResults, Done };
    void Poll();
    bool PageReady(const QString& pageFile) const;
    void Save(const QString& name);
    void Finish();
    void Enter(Step step);

    CQVConsoleDlg& m_window;
    QString m_folder;
    bool m_bFollowScan;
    bool m_bAutoExtract;
    bool m_bScanningSaved = false;
    bool m_bDetectedSaved = false;
    bool m_bFirstLoadOver = false;
    QElapsedTimer m_grabTimer;
    std::function<void(int)> m_onDone;
    QStringList m_pages;
    int m_nPage = -1;
    QString m_pending;  // the page being waited for or settled
    Step m_step = Step::NextPage;
    Step m_afterSettle = Step::NextPage;
    QElapsedTimer m_stepTimer;
    QElapsedTimer m_scanTimer;
    QTimer m_timer;
    QStringList m_saved;
    QStringList m_failures;
};
