// The scan results pages in the web engine (offscreen) with their documents:
// rows land in the tables, ticked rows come back as package codes, a
// package's hidden lines are shown on request, texts stay texts, and the
// actions (confirmation, item action, reload, auto_extract, start_now, the
// optimization requests) run as the page's buttons ask. Saves a screenshot
// of a filled detected page (results_detected.png in the test folder).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <functional>

#include "configuration_proxy.h"
#include "confirmation_dlg.h"
#include "html_config_doc_scan_results.h"
#include "html_config_doc_scan_results_optimized.h"
#include "kelmui/resource_module.h"
#include "qvconsole_app.h"
#include "results_fakes.h"
#include "servicelink/html/html.h"
#include "skin/skin_dialog.h"
#include "win/ui/message_target.h"
#include "../../wait_until.h"

namespace {

const bool g_schemeRegistered = (RegisterResScheme(), true);

// The window a results page lives in: the page area's size, the browser's
// host controller, the owner that hands loader rows to the document, and
// the item action runner (which records its runs).
class ResultsWindow : public QWidget, public win::CMessageTarget, public CBrowserHostController,
                      public IResultsPageHost {
public:
    ResultsWindow() : win::CMessageTarget(this), CBrowserHostController(this)
    {
        resize(587, 413);
        m_pBrowser = new CBrowserControl(this);
        m_pBrowser->setGeometry(0, 0, 587, 413);
        TieBrowser(m_pBrowser, 0x4000D);
        m_pBrowser->SetSilent(true);
        MapMessage(CQVConsoleApp::s_nNotifyCurrentPage, [this](win::WPARAM kind, win::LPARAM data) -> win::LRESULT {
            if (m_pDocument != nullptr)
                m_pDocument->OnCurrentPageMessage(kind, data);
            if (kind == 4)
                ++loadsEnded;
            return 0;
        });
        GetSafeHwnd();
        show();
    }

    void Show(CResultsDocBase& document)
    {
        m_pDocument = &document;
        const QString modulePath = kelmui::DefaultModulePath();
        m_url = MakeResUrl(modulePath, QString::fromStdString(document.GetPageFile()));
        AddDocumentModel(m_url.toString(), &document);
        document.SetShown(true);
        m_pBrowser->Navigate(m_url);
    }
    bool WaitForLoads(int count) { return WaitUntil([&] { return loadsEnded >= count; }, 60000); }

    bool RunItemAction(const std::vector<std::string>& items, const std::string& action) override
    {
        runs.emplace_back(action, items);
        if (onRun)
            onRun();
        return true;
    }
    void ReloadPage(const std::string& pageFile) override
    {
        reloads.push_back(pageFile);
        m_pBrowser->Navigate(m_url);
    }

    // Runs SCRIPT in the page and answers its value as text.
    QString Eval(const QString& script)
    {
        const CHtmlCallResult result = m_pDocument->GetDocument().RunPageScript(script);
        return result.ok() ? result.value.toString() : QStringLiteral("<failed: %1>").arg(result.message);
    }
    // Saves the page area as NAME in the test folder.
    void Screenshot(const char* name)
    {
        WaitUntil([] { return false; }, 300);  // let the engine paint
        const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(name));
        EXPECT_TRUE(grab().save(path)) << path.toStdString();
    }
    int Count(const char* selector)
    {
        return Eval(QStringLiteral("document.querySelectorAll('%1').length").arg(QLatin1String(selector))).toInt();
    }

    CBrowserControl* m_pBrowser;
    CResultsDocBase* m_pDocument = nullptr;
    QUrl m_url;
    int loadsEnded = 0;
    std::vector<std::pair<std::string, std::vector<std::string>>> runs;
    std::vector<std::string> reloads;
    std::function<void()> onRun;
};

class ResultsPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        (void)g_schemeRegistered;
        const QString modulePath = kelmui::DefaultModulePath();
        m_module = kelmui::ResourceModule::Open(modulePath);
        ASSERT_NE(m_module, nullptr);
        RegisterResourceModule(modulePath,
                               std::make_shared<CDirResourceSource>(m_module->Root() + QStringLiteral("/pages")));
        // A short pause after each row, as the real one gives the page time
        // to breathe between calls.
        CHTMLConfigDocBase::SetLoaderPauses(5, 0);
        // The machine is shared: a page that is slow to answer is not a fault here.
        m_defaultTimeout = CHTMLDocument::DefaultCallTimeout();
        CHTMLDocument::SetDefaultCallTimeout(30000);
        CConfirmationDlg::SetModalHook([this](int kind, QWidget*) {
            questions.push_back(kind);
            return answer;
        });
    }
    void TearDown() override
    {
        CConfirmationDlg::SetModalHook({});
        CHTMLConfigDocBase::SetLoaderPauses(30, 1000);
        CHTMLDocument::SetDefaultCallTimeout(m_defaultTimeout);
    }
    void Detected(const std::vector<ItemSpec>& items)
    {
        m_service.Answer("korva.quarantine.v2_query_detected_items", ItemRecords(items));
    }
    // Ticks exactly the rows of CODES (none for an empty list).
    void Tick(CResultsDocBase& document, const QStringList& codes)
    {
        for (const CHTMLElement& input : document.GetDocument().GetElementsByTagName(QStringLiteral("input"))) {
            QString key;
            input.GetAttribute(QStringLiteral("qv_custom_attrib"), key);
            ASSERT_TRUE(input.SetCheck(codes.contains(key)));
        }
    }

    std::shared_ptr<const kelmui::ResourceModule> m_module;
    FakeResultsService m_service;
    ResultsWindow m_window;
    std::vector<int> questions;
    int answer = skin::IDOK;
    int m_defaultTimeout = 0;
};

TEST_F(ResultsPageTest, RowsLandInTheTableAndTickedRowsComeBackAsPackageCodes)
{
    std::vector<ItemSpec> items = Package("pkg-small", 3, "Toolbar Helper");
    for (ItemSpec& item : Package("pkg-big", 30, "Sample Adware"))
        items.push_back(item);
    Detected(items);
    m_service.lastScanTime = 1765400000;
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));

    EXPECT_EQ(m_window.Count("#detected_table tr.package-head"), 2);
    EXPECT_EQ(m_window.Count("#detected_table tr.item"), 3 + 21);
    EXPECT_EQ(m_window.Eval("document.querySelector('#detected_table tr.summary a').textContent"),
              QStringLiteral("Show 9 more items"));
    EXPECT_EQ(m_window.Eval("document.getElementById('item_count').textContent"), QStringLiteral("33"));
    EXPECT_TRUE(m_window.Eval("document.getElementById('scan_asof').textContent").startsWith("Last scan: 20"));
    EXPECT_EQ(m_window.Eval("getComputedStyle(document.getElementById('results')).visibility"),
              QStringLiteral("visible"));
    EXPECT_EQ(m_window.Eval("getComputedStyle(document.getElementById('results_loading')).visibility"),
              QStringLiteral("hidden"));
    EXPECT_EQ(document.LoaderRowCount(), 3 + 21 + 1);

    // The detected page ticks every package; the keys are package codes.
    EXPECT_EQ(document.GetCheckedRows(), (QStringList{"pkg-small", "pkg-big"}));
    Tick(document, {"pkg-big"});
    EXPECT_EQ(document.GetCheckedRows(), (QStringList{"pkg-big"}));

    // Expanding shows the 9 hidden lines and drops the summary row.
    document.expand_row(QStringLiteral("pkg-big"));
    EXPECT_EQ(m_window.Count("#detected_table tr.item"), 3 + 30);
    EXPECT_EQ(m_window.Count("#detected_table tr.summary"), 0);
    EXPECT_EQ(m_window.Eval("document.querySelectorAll('#detected_table tbody')[1].lastChild.textContent"),
              QStringLiteral("filepkg-big-file-29"));

    // A screenshot with one package open.
    m_window.Eval("document.querySelector('#detected_table tbody .name').click()");
    m_window.Screenshot("results_detected.png");
}

TEST_F(ResultsPageTest, ServiceTextsStayText)
{
    std::vector<ItemSpec> items = Package("pkg-<i>x</i>", 1, "<img src=x onerror=\"document.title='owned'\">Evil");
    items.front().itemName = "<b>bold</b>.exe";
    Detected(items);
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    EXPECT_EQ(m_window.Count("#detected_table img"), 0);
    EXPECT_EQ(m_window.Count("#detected_table b"), 0);
    EXPECT_EQ(m_window.Eval("document.querySelector('#detected_table .package-name').textContent"),
              QString::fromStdString(items.front().packageName));
    EXPECT_NE(m_window.Eval("document.title"), QStringLiteral("owned"));
    EXPECT_EQ(document.GetCheckedRows(), (QStringList{"pkg-<i>x</i>"}));
}

TEST_F(ResultsPageTest, PackagesWithoutANameShowTheNoLongerTargetedText)
{
    Detected(Package("pkg-gone", 1, ""));
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    EXPECT_FALSE(m_window.Eval("document.querySelector('#detected_table .package-name').textContent").isEmpty());
}

TEST_F(ResultsPageTest, AnEmptyListShowsTheEmptyState)
{
    Detected({});
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    EXPECT_EQ(m_window.Eval("getComputedStyle(document.getElementById('empty_state')).display"),
              QStringLiteral("block"));
    EXPECT_EQ(m_window.Eval("document.getElementById('item_count').textContent"), QStringLiteral("0"));
    m_window.Screenshot("results_detected_empty.png");
}

TEST_F(ResultsPageTest, WithoutTheRightToAllowTheAllowButtonIsHidden)
{
    Detected(Package("pkg-a", 2));
    AllowAccessor accessor(/*canAllow=*/false);
    CConfigurationProxy proxy(accessor);
    CHTMLConfigDocScanResults document(&m_window, &m_window, &proxy, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    EXPECT_EQ(m_window.Eval("getComputedStyle(document.getElementById('allow_button')).display"),
              QStringLiteral("none"));
    EXPECT_EQ(m_window.Count("#detected_table tr.package-head"), 1);
}

TEST_F(ResultsPageTest, AllowAsksFirstAndActsOnlyOnTickedRowsAndYes)
{
    Detected(Package("pkg-a", 2));
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));

    Tick(document, {});
    document.allow_selected_items();
    EXPECT_TRUE(questions.empty()) << "nothing ticked: no question";
    EXPECT_TRUE(m_window.runs.empty());

    Tick(document, {"pkg-a"});
    answer = skin::IDCANCEL;
    document.allow_selected_items();
    EXPECT_EQ(questions, std::vector<int>{CConfirmationDlg::kAllow});
    EXPECT_TRUE(m_window.runs.empty());

    answer = skin::IDOK;
    document.allow_selected_items();
    ASSERT_EQ(m_window.runs.size(), 1u);
    EXPECT_EQ(m_window.runs[0].first, "allow");
    EXPECT_EQ(m_window.runs[0].second, std::vector<std::string>{"pkg-a"});
    EXPECT_EQ(m_window.reloads, std::vector<std::string>{"scan_results_detected.html"});
}

TEST_F(ResultsPageTest, TheButtonsCallTheirMethods)
{
    Detected(Package("pkg-a", 1));
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    m_window.Eval("document.getElementById('remove_button').click()");
    ASSERT_TRUE(WaitUntil([&] { return !m_window.runs.empty(); }, 5000));
    EXPECT_TRUE(questions.empty()) << "remove asks nothing";
    EXPECT_EQ(m_window.runs[0].first, "remove");
    EXPECT_EQ(m_window.runs[0].second, std::vector<std::string>{"pkg-a"});
}

struct PageActionCase {
    const char* name;
    const char* page;
    const char* method;
    int question;  // -1: none
    const char* action;
};

void PrintTo(const PageActionCase& c, std::ostream* os) { *os << c.name; }

class ItemPageActionTest : public ResultsPageTest, public ::testing::WithParamInterface<PageActionCase> {};

TEST_P(ItemPageActionTest, RunsItsActionOnTheTickedPackages)
{
    const PageActionCase& c = GetParam();
    const std::string page = c.page;
    std::unique_ptr<CResultsItemDoc> document;
    if (page == "allowed") {
        m_service.Answer("korva.quarantine.v2_query_allowed_items", ItemRecords(Package("pkg-a", 2)));
        document = std::make_unique<CHTMLConfigDocScanResultsAllowed>(&m_window, &m_window, nullptr, &m_service);
    } else {
        m_service.Answer("korva.quarantine.v2_query_removed_items", ItemRecords(Package("pkg-a", 2)));
        document = std::make_unique<CHTMLConfigDocScanResultsRemoved>(&m_window, &m_window, nullptr, &m_service);
    }
    m_window.Show(*document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    EXPECT_EQ(document->GetCheckedRows(), QStringList{}) << "these pages tick nothing by themselves";
    Tick(*document, {"pkg-a"});
    m_window.Eval(QStringLiteral("window.external.%1()").arg(QLatin1String(c.method)));
    ASSERT_TRUE(WaitUntil([&] { return !m_window.runs.empty(); }, 5000));
    EXPECT_EQ(questions, c.question < 0 ? std::vector<int>{} : std::vector<int>{c.question});
    EXPECT_EQ(m_window.runs[0].first, c.action);
    EXPECT_EQ(m_window.runs[0].second, std::vector<std::string>{"pkg-a"});
    EXPECT_EQ(m_window.reloads, std::vector<std::string>{document->GetPageFile()});
    ASSERT_TRUE(m_window.WaitForLoads(2)) << "the reloaded page loads again";
    m_window.RemoveDocumentModel(document.get());
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ItemPageActionTest,
    ::testing::Values(PageActionCase{"AllowedUndo", "allowed", "undo", CConfirmationDlg::kMoveToDetected,
                                     "move_to_detected"},
                      PageActionCase{"AllowedRemove", "allowed", "remove", -1, "remove"},
                      PageActionCase{"RemovedRestore", "removed", "restore", CConfirmationDlg::kRestore, "restore"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResultsPageTest, AutoExtractRemovesTheTickedRowsOnceAfterTheyLoaded)
{
    const struct {
        const char* name;
        bool removalSucceeds;
    } cases[] = {{"removed", true}, {"removal failed", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_window.runs.clear();
        m_window.reloads.clear();
        m_window.loadsEnded = 0;
        Detected(Package("pkg-a", 2));
        m_window.onRun = [&] {
            if (c.removalSucceeds)
                Detected({});
        };
        CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
        CDictionary switches;
        switches["auto_extract"] = 1;
        document.SetSwitches(switches);
        m_window.Show(document);
        ASSERT_TRUE(m_window.WaitForLoads(2)) << "the page reloads after the removal";
        WaitUntil([] { return false; }, 300);
        ASSERT_EQ(m_window.runs.size(), 1u);
        EXPECT_EQ(m_window.runs[0].first, "remove");
        EXPECT_EQ(m_window.runs[0].second, std::vector<std::string>{"pkg-a"});
        EXPECT_EQ(m_window.reloads.size(), 1u);
        EXPECT_EQ(m_window.Count("#detected_table tr.package-head"), c.removalSucceeds ? 0 : 1);
        m_window.onRun = {};
        m_window.RemoveDocumentModel(&document);
    }
}

TEST_F(ResultsPageTest, WithoutTheSwitchLoadingStartsNothing)
{
    Detected(Package("pkg-a", 2));
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    document.SetSwitches({});
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    WaitUntil([] { return false; }, 200);
    EXPECT_TRUE(m_window.runs.empty());
}

TEST_F(ResultsPageTest, StartNowRemovesOnceTheRowsHaveLoaded)
{
    Detected(Package("pkg-a", 2));
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    document.SetSwitches({});
    CDictionary query;
    query["action"] = "start_now";
    document.SetQueryParameters(query);  // the window gives it before the page loads
    EXPECT_TRUE(m_window.runs.empty());
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(2));
    WaitUntil([] { return false; }, 200);
    ASSERT_EQ(m_window.runs.size(), 1u) << "once, not again on the reloaded page";
    EXPECT_EQ(m_window.runs[0].second, std::vector<std::string>{"pkg-a"});
}

TEST_F(ResultsPageTest, AStartNowWhosePageWasLeftDoesNotActOnALaterVisit)
{
    Detected(Package("pkg-a", 2));
    CHTMLConfigDocScanResults document(&m_window, &m_window, nullptr, &m_service);
    document.SetSwitches({});
    CDictionary query;
    query["action"] = "start_now";
    document.SetQueryParameters(query);
    document.SetQueryParameters({});  // the user went elsewhere and came back
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    WaitUntil([] { return false; }, 200);
    EXPECT_TRUE(m_window.runs.empty());
}

TEST_F(ResultsPageTest, OptimizationsSendOneRequestPerTickedRowThenReload)
{
    CMsgRowSet rows("optimize_items");
    for (int i = 1; i <= 3; ++i) {
        CDictionary row;
        row["id"] = i;
        row["key"] = "HKCU\\Software\\Tune" + std::to_string(i);
        row["type"] = "startup";
        rows.AddRow(row);
    }
    m_service.Answer("korva.quarantine.query_optimize_items", rows);
    CHTMLConfigDocScanResultsOptimized document(&m_window, &m_window, nullptr, &m_service);
    m_window.Show(document);
    ASSERT_TRUE(m_window.WaitForLoads(1));
    EXPECT_EQ(m_window.Count("#optimized_table tr.optimization"), 3);
    m_window.Screenshot("results_optimized.png");
    EXPECT_EQ(document.GetCheckedRows(), QStringList{});

    document.remove();  // nothing ticked
    Tick(document, {"1", "3"});
    document.remove();
    std::vector<std::pair<std::string, NamedValues>> sent;
    for (const auto& request : m_service.Requests())
        if (request.first != "korva.quarantine.query_optimize_items")
            sent.push_back(request);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (std::pair<std::string, NamedValues>{"korva.quarantine.remove_optimize_item", {{"id", "1"}}}));
    EXPECT_EQ(sent[1], (std::pair<std::string, NamedValues>{"korva.quarantine.remove_optimize_item", {{"id", "3"}}}));
    EXPECT_EQ(m_window.reloads, std::vector<std::string>{"scan_results_optimized.html"});
    ASSERT_TRUE(m_window.WaitForLoads(2));
    Tick(document, {"2"});
    document.restore();
    EXPECT_EQ(m_service.Requests().back().first, "korva.quarantine.restore_optimize_item");
}

}  // namespace
