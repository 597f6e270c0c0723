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

void Log(const QString& text)
{
    std::fprintf(stderr, "qvconsole: screenshots: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

CScreenshotTour::CScreenshotTour(CQVConsoleDlg& window, QString folder, bool followScan,
                                 std::function<void(int)> onDone)
    : QObject(&window), m_window(window), m_folder(std::move(folder)), m_bFollowScan(followScan),
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
        if (m_stepTimer.elapsed() < kSettleMs)
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
        if (PageReady(QStringLiteral("scan_scanning.html")))
            Enter(Step::WaitProgress);
        return;
    }
    if (m_step == Step::WaitProgress) {
        const auto* scanning = page != nullptr ? dynamic_cast<const CHTMLConfigDocScanScanning*>(page->GetDocument())
                                               : nullptr;
        if (scanning != nullptr && (scanning->GetElementsExamined() > 0 || scanning->GetThreatsFound() > 0)) {
            m_pending = QStringLiteral("scan_scanning.html");
            m_afterSettle = Step::WaitResults;
            Enter(Step::Settle);
        } else if (page != nullptr && shown != QLatin1String("scan_scanning.html")) {
            // The scan ended before any progress was seen.
            m_failures.append(QStringLiteral("no progress was shown before the scan ended"));
            Enter(Step::WaitResults);
        }
        return;
    }
    // WaitResults.
    if (PageReady(QStringLiteral("scan_results_detected.html"))) {
        m_pending = QStringLiteral("scan_results_detected.html");
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
