#include "pages/scan/screenshot_tour.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "pages/scan/html_config_doc_scan_scanning.h"
#include "qvconsole_dlg.h"
#include "servicelink/html/browser_control.h"

namespace {

constexpr int kPollMs = 100;
// Time for the page to paint after it has loaded.
constexpr int kSettleMs = 700;
// The scanning page moves on when the scan ends: a shorter pause.
constexpr int kScanningSettleMs = 250;
// How often a page that changes while it is watched is pictured again.
constexpr int kRegrabMs = 400;

void Log(const QString& text)
{
    std::fprintf(stderr, "qvconsole: screenshots: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

CScreenshotTour::CScreenshotTour(CQVConsoleDlg& window, QString folder, bool followScan, bool autoExtract,
                                 std::function<void(int)> onDone)
    : QObject(&window), m_window(window), m_folder(std::move(folder)), m_bFollowScan(followScan),
      m_bAutoExtract(autoExtract),
      m_onDone(std::move(onDone))
{
    if (!m_onDone)
        m_onDone = [](int status) { QCoreApplication::exit(status); };
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
}

void CScreenshotTour::Start()
{
    if (!QDir().mkpath(m_folder)) {
        m_failures.append(QStringLiteral("cannot create ") + m_folder);
        Finish();
        return;
    }
    for (const auto& group : m_window.Groups())
        if (group)
            for (const auto& page : group->Pages())
                m_pages.append(QString::fromStdString(page->GetPageFile()));
    m_scanTimer.start();
    m_grabTimer.start();
    Enter(m_bFollowScan ? Step::WaitScanning : Step::NextPage);
    m_timer.start();
}

void CScreenshotTour::Enter(Step step)
{
    m_step = step;
    m_stepTimer.restart();
}

bool CScreenshotTour::PageReady(const QString& pageFile) const
{
    const CCfgPage* page = m_window.GetCurrentPage();
    if (page == nullptr || QString::fromStdString(page->GetPageFile()) != pageFile)
        return false;
    const CBrowserControl* browser = m_window.GetBrowser();
    if (browser != nullptr && browser->GetBusy())
        return false;
    // Pages with loaders are ready once their rows are in.
    return page->GetDocument() == nullptr || !page->GetDocument()->IsLoading();
}

void CScreenshotTour::Save(const QString& name)
{
    const QString path = QDir(m_folder).absoluteFilePath(name + QStringLiteral(".png"));
    if (m_window.grab().save(path)) {
        if (m_saved.contains(path))
            return;  // a newer picture of the same page
        m_saved.append(path);
        Log(QStringLiteral("saved ") + path);
    } else {
        m_failures.append(QStringLiteral("cannot save ") + path);
        Log(QStringLiteral("cannot save ") + path);
    }
}

void CScreenshotTour::Poll()
{
    switch (m_step) {
    case Step::NextPage:
        if (++m_nPage >= m_pages.size()) {
            Finish();
            return;
        }
        m_pending = m_pages[m_nPage];
        m_window.NavigatePage(m_pending.toStdString());
        Enter(Step::WaitPage);
        return;
    case Step::WaitPage:
        if (PageReady(m_pending)) {
            m_afterSettle = Step::NextPage;
            Enter(Step::Settle);
        } else if (m_stepTimer.elapsed() > kPageTimeoutMs) {
            m_failures.append(m_pending + QStringLiteral(" did not load"));
            Log(m_pending + QStringLiteral(" did not load"));
            Enter(Step::NextPage);
        }
        return;
    case Step::Settle:
        if (m_stepTimer.elapsed() < (m_afterSettle == Step::WaitResults ? kScanningSettleMs : kSettleMs))
            return;
        Save(QFileInfo(m_pending).completeBaseName());
        Enter(m_afterSettle);
        if (m_afterSettle == Step::Done)
            Finish();
        return;
    case Step::WaitScanning:
    case Step::WaitProgress:
    case Step::WaitResults:
        break;
    case Step::Done:
        return;
    }
    // Following a scan.
    if (m_scanTimer.elapsed() > kScanTimeoutMs) {
        m_failures.append(QStringLiteral("the scan did not end in time"));
        Finish();
        return;
    }
    const CCfgPage* page = m_window.GetCurrentPage();
    const QString shown = page != nullptr ? QString::fromStdString(page->GetPageFile()) : QString();
    if (m_step == Step::WaitScanning) {
        if (PageReady(QStringLiteral("scan_scanning.html"))) {
            Enter(Step::WaitProgress);
        } else if (shown == QLatin1String("scan_results_detected.html") || shown == QLatin1String("scan_select.html")) {
            // The scan was over before its page could be pictured.
            m_failures.append(QStringLiteral("the scan ended before its page was shown"));
            Enter(Step::WaitResults);
        }
        return;
    }
    if (m_step == Step::WaitProgress) {
        const auto* scanning = page != nullptr ? dynamic_cast<const CHTMLConfigDocScanScanning*>(page->GetDocument())
                                               : nullptr;
        if (scanning != nullptr) {
            // Pictures while progress moves; the last one before the scan
            // ends is kept, with what it had found by then.
            if ((scanning->GetElementsExamined() > 0 || scanning->GetThreatsFound() > 0) &&
                (!m_bScanningSaved || m_grabTimer.elapsed() > kRegrabMs)) {
                Save(QStringLiteral("scan_scanning"));
                m_bScanningSaved = true;
                m_grabTimer.restart();
            }
        } else if (page != nullptr) {
            if (!m_bScanningSaved)
                m_failures.append(QStringLiteral("no progress was shown before the scan ended"));
            Enter(Step::WaitResults);
        }
        return;
    }
    // WaitResults: the detected results, pictured while their rows arrive
    // (an automatic removal may follow at once) and once loading has ended.
    const CBrowserControl* browser = m_window.GetBrowser();
    const bool busy = browser != nullptr && browser->GetBusy();
    const bool detected = shown == QLatin1String("scan_results_detected.html");
    const bool loading = detected && page->GetDocument() != nullptr && page->GetDocument()->IsLoading();
    if (m_bDetectedSaved && !m_bFirstLoadOver && (!detected || busy || !loading))
        m_bFirstLoadOver = true;
    if (detected && !busy && loading && !m_bFirstLoadOver && m_grabTimer.elapsed() > kRegrabMs) {
        Save(QStringLiteral("scan_results_detected"));
        m_bDetectedSaved = true;
        m_grabTimer.restart();
        return;
    }
    if (PageReady(QStringLiteral("scan_results_detected.html"))) {
        m_pending = m_bDetectedSaved && m_bAutoExtract ? QStringLiteral("scan_results_detected_after_removal.html")
                                                       : QStringLiteral("scan_results_detected.html");
        m_afterSettle = Step::Done;
        Enter(Step::Settle);
    } else if (shown == QLatin1String("scan_select.html") && !m_window.IsBusy()) {
        Log(QStringLiteral("the scan found nothing"));
        m_pending = shown;
        m_afterSettle = Step::Done;
        Enter(Step::Settle);
    }
}

void CScreenshotTour::Finish()
{
    m_timer.stop();
    m_step = Step::Done;
    for (const QString& failure : m_failures)
        Log(QStringLiteral("failed: ") + failure);
    Log(QStringLiteral("%1 saved, %2 failed").arg(m_saved.size()).arg(m_failures.size()));
    m_onDone(m_failures.isEmpty() ? 0 : 1);
}
