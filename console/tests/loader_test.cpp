// The page loader's send rule: only the document's current loader may send,
// and only while its page is loading; leaving or reloading the page stops
// the earlier loader, an apply does not.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <mutex>
#include <vector>

#include "html_config_doc_base.h"
#include "qvconsole_app.h"
#include "win/ui/message_target.h"

namespace {

// The owner window: records the rows sent to the page, on its own thread.
class RecordingOwner : public QWidget, public win::CMessageTarget {
public:
    RecordingOwner() : win::CMessageTarget(this)
    {
        MapMessage(CQVConsoleApp::s_nNotifyCurrentPage, [this](win::WPARAM kind, win::LPARAM data) -> win::LRESULT {
            EXPECT_EQ(QThread::currentThread(), thread());
            const auto* item = reinterpret_cast<const CDictionary*>(data);
            received.emplace_back(static_cast<int>(kind), item->GetValue("loader").ToString() + ":" +
                                                              item->GetValue("n").ToString());
            if (onRow)
                onRow();
            return 0;
        });
    }
    std::vector<std::pair<int, std::string>> received;
    std::function<void()> onRow;
};

struct LoaderRun {
    std::atomic<bool> done{false};
    std::atomic<int> sent{0};
    std::atomic<bool> refused{false};
};

CHTMLConfigDocBase::ThreadFunction Rows(const char* name, int count, LoaderRun& run)
{
    return [name, count, &run](CHTMLConfigDocBase& document, CHTMLConfigDocBase::LoaderToken token) {
        for (int i = 0; i < count; ++i) {
            CDictionary item;
            item["loader"] = name;
            item["n"] = std::to_string(i);
            if (!document.SendToPage(token, 0, item)) {
                run.refused = true;
                break;
            }
            ++run.sent;
        }
        if (!run.refused)
            document.EndLoading(token);
        run.done = true;
    };
}

void ServeUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CHTMLConfigDocBase::SetLoaderPauses(/*afterSendMs=*/1, /*beforeEndMs=*/1);
        m_owner.GetSafeHwnd();
        m_document.SetShown(true);
    }
    void TearDown() override { CHTMLConfigDocBase::SetLoaderPauses(30, 1000); }
    std::vector<std::string> RowsOf(const std::string& loader) const
    {
        std::vector<std::string> rows;
        for (const auto& [kind, text] : m_owner.received)
            if (kind == 0 && text.rfind(loader + ":", 0) == 0)
                rows.push_back(text);
        return rows;
    }

    RecordingOwner m_owner;
    CHTMLConfigDocBase m_document{&m_owner, &m_owner, nullptr, "tab_quarantine"};
};

TEST_F(LoaderTest, AFullRunSendsEveryRowThenTheEndAndStopsLoading)
{
    LoaderRun run;
    ASSERT_TRUE(m_document.StartLoader(Rows("a", 5, run)));
    EXPECT_TRUE(m_document.IsLoading());
    ServeUntil([&] { return run.done.load(); });
    ASSERT_TRUE(run.done);
    EXPECT_EQ(RowsOf("a").size(), 5u);
    ASSERT_FALSE(m_owner.received.empty());
    EXPECT_EQ(m_owner.received.back().first, 4);  // the end of loading
    EXPECT_FALSE(m_document.IsLoading());
}

TEST_F(LoaderTest, LeavingThePageStopsTheLoaderBeforeItsNextRow)
{
    LoaderRun run;
    m_owner.onRow = [this] {
        if (m_owner.received.size() == 3)
            m_document.SetShown(false);
    };
    ASSERT_TRUE(m_document.StartLoader(Rows("a", 100, run)));
    ServeUntil([&] { return run.done.load(); });
    ASSERT_TRUE(run.done);
    EXPECT_TRUE(run.refused);
    EXPECT_EQ(RowsOf("a").size(), 3u);
}

TEST_F(LoaderTest, ReloadingStartsANewLoaderAndTheEarlierOneStops)
{
    LoaderRun first, second;
    m_owner.onRow = [&] {
        if (m_owner.received.size() == 2)
            m_document.StartLoader(Rows("b", 4, second));
    };
    ASSERT_TRUE(m_document.StartLoader(Rows("a", 100, first)));
    ServeUntil([&] { return first.done.load() && second.done.load(); });
    ASSERT_TRUE(first.done && second.done);
    EXPECT_TRUE(first.refused);
    EXPECT_EQ(RowsOf("a").size(), 2u);
    EXPECT_EQ(RowsOf("b").size(), 4u);
    // No row of the earlier loader after the first of the new one.
    bool seenB = false;
    for (const auto& [kind, text] : m_owner.received) {
        seenB = seenB || text.rfind("b:", 0) == 0;
        if (seenB) {
            EXPECT_NE(text.rfind("a:", 0), 0u) << text;
        }
    }
}

TEST_F(LoaderTest, ApplyingDoesNotStopTheLoader)
{
    LoaderRun run;
    m_owner.onRow = [this] {
        if (m_owner.received.size() == 2) {
            CHTMLDataExchange fromPage(&m_document, /*saveAndValidate=*/true);
            m_document.DoDataExchange(&fromPage);
        }
    };
    ASSERT_TRUE(m_document.StartLoader(Rows("a", 6, run)));
    ServeUntil([&] { return run.done.load(); });
    ASSERT_TRUE(run.done);
    EXPECT_FALSE(run.refused);
    EXPECT_EQ(RowsOf("a").size(), 6u);
}

TEST(ConfigDocFactory, KnowsEveryTabIdAndNothingElse)
{
    for (const char* tab : {"tab_home", "tab_scanner_scanning", "tab_scan_results_detected", "tab_quarantine",
                            "tab_popup_allowblock", "tab_scheduler_version", "tab_tools_summary",
                            "tab_siteguard_summary", "tab_siteguard_allowblock"}) {
        auto document = CreateConfigDoc(tab, nullptr, nullptr, nullptr);
        ASSERT_NE(document, nullptr) << tab;
        EXPECT_EQ(document->GetTabId(), tab);
    }
    EXPECT_EQ(CreateConfigDoc("tab_unknown", nullptr, nullptr, nullptr), nullptr);
}

}  // namespace
