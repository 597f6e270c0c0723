// The scan results documents without a page: the rows their loaders hand
// to the window for a stand-in service's records (package grouping, the
// summary row, registry and contained lines, the detected page's extra
// kinds), and the row building itself.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <memory>

#include "configuration_proxy.h"
#include "html_config_doc_scan_results.h"
#include "html_config_doc_scan_results_optimized.h"
#include "qvconsole_app.h"
#include "results_doc_factory.h"
#include "results_fakes.h"
#include "results_rows.h"
#include "win/ui/message_target.h"

namespace {

// ---------------------------------------------------------------------------
// Row building.

struct RegistryCase {
    const char* name;
    const char* data;
    std::vector<std::string> lines;
};

void PrintTo(const RegistryCase& c, std::ostream* os) { *os << c.name; }

class RegistryLinesTest : public ::testing::TestWithParam<RegistryCase> {};

TEST_P(RegistryLinesTest, BuildsTheLinesOfTheKey)
{
    EXPECT_EQ(results::RegistryLines(GetParam().data, "the path"), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Data, RegistryLinesTest,
    ::testing::Values(
        RegistryCase{"OneUnnamedValue", R"(<ROOT><KEY name="HKCU\Software\Ads"><VALUE name="">run.exe</VALUE></KEY></ROOT>)",
                     {R"(HKCU\Software\Ads)", R"(HKCU\Software\Ads\ @=run.exe)"}},
        RegistryCase{"OneNamedValueAnyCase", R"(<ROOT><KEY name="K"><value name="Start">1</value></KEY></ROOT>)",
                     {"K", R"(K\ "Start" = "1")"}},
        RegistryCase{"ValuesAndNestedKeys",
                     R"(<ROOT><KEY name="K"><VALUE name="a">x</VALUE><KEY name="Sub"><VALUE name="">y</VALUE>)"
                     R"(<KEY name="Deeper"><VALUE name="b">z</VALUE></KEY></KEY><OTHER name="skip"/>)"
                     R"(<KEY name="">no name</KEY><VALUE name="c">w</VALUE></KEY></ROOT>)",
                     {"K", R"(K\ "a" = "x")", R"(K\Sub)", R"(K\Sub\ @=y)", R"(K\Sub\Deeper)",
                      R"(K\Sub\Deeper\ "b" = "z")", R"(K\ "c" = "w")"}},
        RegistryCase{"KeyWithoutChildren", R"(<ROOT><KEY name="Lonely"/></ROOT>)", {"Lonely"}},
        RegistryCase{"EscapedText", R"(<ROOT><KEY name="K&amp;Co"><VALUE name="q">&lt;b&gt;</VALUE></KEY></ROOT>)",
                     {"K&Co", R"(K&Co\ "q" = "<b>")"}},
        RegistryCase{"Unparsable", "<ROOT><KEY name=\"K\">", {"the path"}},
        RegistryCase{"NotXml", "HKCU\\Run", {"the path"}},
        RegistryCase{"Empty", "", {"the path"}},
        RegistryCase{"NoKey", "<ROOT/>", {"the path"}},
        RegistryCase{"UnnamedKeyWithTwoValues",
                     R"(<ROOT><KEY name=""><VALUE name="a">1</VALUE><VALUE name="b">2</VALUE></KEY></ROOT>)",
                     {"the path"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryLines, RefusesDataNestedBeyondAnyRegistry)
{
    std::string deep = "<ROOT><KEY name=\"K\">";
    for (int i = 0; i < 5000; ++i)
        deep += "<KEY name=\"n\">";
    for (int i = 0; i < 5000; ++i)
        deep += "</KEY>";
    deep += "</KEY></ROOT>";
    EXPECT_EQ(results::RegistryLines(deep, "p"), std::vector<std::string>{"p"});
}

TEST(ContainedPath, ShowsTheInnerFileThenItsContainer)
{
    const struct {
        const char* path;
        const char* shown;
    } cases[] = {
        {"/dl/setup.zip|>inner.cab|>bad.dll", "bad.dll (/dl/setup.zip)"},
        {"/dl/setup.zip|>bad.dll", "bad.dll (/dl/setup.zip)"},
        {"/dl/plain.exe", "/dl/plain.exe"},  // no separator: the path whole
        {"|>", " ()"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(results::ContainedDisplayPath(c.path), c.shown) << c.path;
}

TEST(TypeColumn, FirstOfSeveralTypesThenAllOfThem)
{
    EXPECT_EQ(results::ShortType(QStringLiteral("adware,spyware")), QStringLiteral("adware..."));
    EXPECT_EQ(results::FullType(QStringLiteral("adware,spyware")), QStringLiteral("adware, spyware"));
    EXPECT_EQ(results::ShortType(QStringLiteral("trojan")), QStringLiteral("trojan"));
    EXPECT_EQ(results::FullType(QStringLiteral("trojan")), QStringLiteral("trojan"));
}

TEST(Severity, NumbersAndWords)
{
    EXPECT_EQ(results::SeverityValue(CStringValue("3")), 3);
    EXPECT_EQ(results::SeverityValue(CStringValue("critical")), 4);
    EXPECT_EQ(results::SeverityValue(CStringValue("nonsense")), 0);
}

// ---------------------------------------------------------------------------
// Loaders.

// The window: keeps a copy of everything the loader sends, on its thread.
class RecordingOwner : public QWidget, public win::CMessageTarget {
public:
    RecordingOwner() : win::CMessageTarget(this)
    {
        MapMessage(CQVConsoleApp::s_nNotifyCurrentPage, [this](win::WPARAM kind, win::LPARAM data) -> win::LRESULT {
            received.emplace_back(static_cast<int>(kind), *reinterpret_cast<const CDictionary*>(data));
            return 0;
        });
    }
    std::vector<std::pair<int, CDictionary>> received;

    std::vector<CDictionary> Rows() const
    {
        std::vector<CDictionary> rows;
        for (const auto& [kind, item] : received)
            if (kind == 0)
                rows.push_back(item);
        return rows;
    }
    std::vector<int> Kinds() const
    {
        std::vector<int> kinds;
        for (const auto& entry : received)
            kinds.push_back(entry.first);
        return kinds;
    }
    const CDictionary* Last(int kind) const
    {
        for (auto it = received.rbegin(); it != received.rend(); ++it)
            if (it->first == kind)
                return &it->second;
        return nullptr;
    }
};

class ResultsLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CHTMLConfigDocBase::SetLoaderPauses(0, 0);
        m_owner.GetSafeHwnd();
        m_service.Answer("korva.quarantine.v2_query_detected_items", ItemRecords({}));
    }
    void TearDown() override { CHTMLConfigDocBase::SetLoaderPauses(30, 1000); }

    // Runs DOCUMENT's loader to its end (kind 4) or until it stops.
    void Load(CResultsDocBase& document)
    {
        document.SetShown(true);
        document.LoadSettings();
        QElapsedTimer timer;
        timer.start();
        while (document.IsLoading() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_FALSE(document.IsLoading());
    }
    void LoadDetected(const std::vector<ItemSpec>& items, CConfigurationProxy* proxy = nullptr)
    {
        m_service.Answer("korva.quarantine.v2_query_detected_items", ItemRecords(items));
        CHTMLConfigDocScanResults document(&m_owner, &m_owner, proxy, &m_service);
        Load(document);
    }

    RecordingOwner m_owner;
    FakeResultsService m_service;
};

struct GroupingCase {
    const char* name;
    std::vector<std::pair<std::string, int>> packages;  // code, item count
    int rows;                                            // item rows sent
    std::vector<std::pair<std::string, int>> summaries;  // code, type
};

void PrintTo(const GroupingCase& c, std::ostream* os) { *os << c.name; }

class GroupingTest : public ResultsLoaderTest, public ::testing::WithParamInterface<GroupingCase> {};

TEST_P(GroupingTest, ShowsAtMost21LinesAPackageThenItsSummary)
{
    std::vector<ItemSpec> items;
    int total = 0;
    for (const auto& [code, count] : GetParam().packages) {
        for (ItemSpec& item : Package(code, count))
            items.push_back(item);
        total += count;
    }
    LoadDetected(items);

    int rows = 0;
    std::vector<std::pair<std::string, int>> summaries;
    std::string package;
    int index = 0;
    for (const CDictionary& row : m_owner.Rows()) {
        const std::string code = row["package_code"].ToString();
        if (row["top"].ToString() == "3") {
            EXPECT_EQ(code, package) << "a summary follows its own package's rows";
            summaries.emplace_back(code, row["type"].ToInteger());
            continue;
        }
        if (code != package)
            index = 0;
        package = code;
        EXPECT_EQ(row["top"].ToString(), index == 0 ? "1" : "0") << code << " line " << index;
        ++index;
        ++rows;
    }
    EXPECT_EQ(rows, GetParam().rows);
    EXPECT_EQ(summaries, GetParam().summaries);
    const CDictionary* end = m_owner.Last(1);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ((*end)["ifc"].ToInteger(), total);
    EXPECT_EQ((*end)["ifc_final"].ToInteger(), 1);
    EXPECT_EQ(m_owner.Kinds().back(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, GroupingTest,
    ::testing::Values(GroupingCase{"TwentyOne", {{"pkg-a", 21}}, 21, {{"pkg-a", 1}}},
                      GroupingCase{"Thirty", {{"pkg-a", 30}}, 21, {{"pkg-a", 10}}},
                      GroupingCase{"Twenty", {{"pkg-a", 20}}, 20, {}},
                      GroupingCase{"SummaryBeforeTheNextPackage",
                                   {{"pkg-a", 25}, {"pkg-b", 3}, {"pkg-c", 22}},
                                   21 + 3 + 21,
                                   {{"pkg-a", 5}, {"pkg-c", 2}}},
                      GroupingCase{"None", {}, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResultsLoaderTest, RowsCarryTheRecordsFields)
{
    ItemSpec item;
    item.package = "pkg-a";
    item.itemName = "adware.dll";
    item.packageName = "Sample";
    item.packageType = "adware,spyware";
    item.severity = 3;
    LoadDetected({item});
    ASSERT_EQ(m_owner.Rows().size(), 1u);
    const CDictionary row = m_owner.Rows().front();
    EXPECT_EQ(row["path"].ToString(), "adware.dll");  // the item's name
    EXPECT_EQ(row["package_code"].ToString(), "pkg-a");
    EXPECT_EQ(row["package_name"].ToString(), "Sample");
    EXPECT_EQ(row["type"].ToString(), "adware,spyware");
    EXPECT_EQ(row["severity"].ToString(), "3");
    EXPECT_EQ(row["definition_id"].ToString(), "7");
    EXPECT_EQ(row["class"].ToString(), "file");
    EXPECT_EQ(row["top"].ToString(), "1");
    EXPECT_FALSE(row.HasValue("info"));
}

TEST_F(ResultsLoaderTest, RegistryLinesAndContainedFilesBecomeRows)
{
    ItemSpec registry;
    registry.package = "pkg-r";
    registry.itemClass = "registry";
    registry.itemName = R"(HKCU\Software\Ads)";
    registry.itemData = R"(<ROOT><KEY name="HKCU\Software\Ads"><VALUE name="">run.exe</VALUE></KEY></ROOT>)";
    ItemSpec contained;
    contained.package = "pkg-r";
    contained.itemClass = "contained";
    contained.itemName = "/dl/a.zip|>b.cab|>c.dll";
    ItemSpec plain = contained;
    plain.itemName = "/dl/whole.exe";
    LoadDetected({registry, contained, plain});

    std::vector<std::string> paths;
    for (const CDictionary& row : m_owner.Rows())
        paths.push_back(row["path"].ToString() + "|" + row["top"].ToString());
    EXPECT_EQ(paths, (std::vector<std::string>{R"(HKCU\Software\Ads|1)", R"(HKCU\Software\Ads\ @=run.exe|0)",
                                               "c.dll (/dl/a.zip)|0", "/dl/whole.exe|0"}));
    // Each line counts as an item.
    EXPECT_EQ((*m_owner.Last(1))["ifc"].ToInteger(), 4);
}

TEST_F(ResultsLoaderTest, RegistryLinesCountTowardsThe21)
{
    ItemSpec registry;
    registry.package = "pkg-r";
    registry.itemClass = "registry";
    registry.itemName = "K";
    registry.itemData = "<ROOT><KEY name=\"K\">";
    for (int i = 0; i < 24; ++i)
        registry.itemData += "<VALUE name=\"v" + std::to_string(i) + "\">x</VALUE>";
    registry.itemData += "</KEY></ROOT>";
    LoadDetected({registry});  // 25 lines
    const auto rows = m_owner.Rows();
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(rows.back()["top"].ToString(), "3");
    EXPECT_EQ(rows.back()["type"].ToInteger(), 5);
}

TEST_F(ResultsLoaderTest, WithoutTheRightToAllowTheButtonGoesBeforeAnyRow)
{
    AllowAccessor accessor(/*canAllow=*/false);
    CConfigurationProxy proxy(accessor);
    LoadDetected(Package("pkg-a", 2), &proxy);
    const std::vector<int> kinds = m_owner.Kinds();
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.front(), 2);
    EXPECT_EQ(m_owner.received.front().second["ifc"].ToString(), "0");
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 2), 1);
    EXPECT_EQ(m_owner.Rows().size(), 2u);
}

TEST_F(ResultsLoaderTest, WithTheRightToAllowNothingIsHidden)
{
    AllowAccessor accessor(/*canAllow=*/true);
    CConfigurationProxy proxy(accessor);
    LoadDetected(Package("pkg-a", 2), &proxy);
    const std::vector<int> kinds = m_owner.Kinds();
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 2), 0);
}

TEST_F(ResultsLoaderTest, ScanTimeOnlyWithATimeAndAtLeastOneItem)
{
    const struct {
        std::int64_t time;
        bool readable;
        int items;
        bool expected;
    } cases[] = {{1765400000, true, 1, true}, {1765400000, true, 0, false}, {0, true, 3, false},
                 {1765400000, false, 3, false}};
    for (const auto& c : cases) {
        m_owner.received.clear();
        m_service.lastScanTime = c.time;
        m_service.timeReadable = c.readable;
        LoadDetected(Package("pkg-a", c.items));
        const CDictionary* asof = m_owner.Last(3);
        EXPECT_EQ(asof != nullptr, c.expected) << c.time << " " << c.items;
        if (asof != nullptr) {
            EXPECT_EQ((*asof)["ssao"].ToInteger64(), c.time);
            // After the count, before the end of loading.
            const std::vector<int> kinds = m_owner.Kinds();
            EXPECT_EQ(kinds[kinds.size() - 2], 3);
            EXPECT_EQ(kinds[kinds.size() - 3], 1);
        }
    }
}

TEST_F(ResultsLoaderTest, AFailedQueryStillEndsWithAnEmptyCount)
{
    m_service.Fail("korva.quarantine.v2_query_detected_items");
    CHTMLConfigDocScanResults document(&m_owner, &m_owner, nullptr, &m_service);
    Load(document);
    EXPECT_TRUE(m_owner.Rows().empty());
    ASSERT_NE(m_owner.Last(1), nullptr);
    EXPECT_EQ((*m_owner.Last(1))["ifc"].ToInteger(), 0);
    EXPECT_EQ(m_owner.Kinds().back(), 4);
}

TEST_F(ResultsLoaderTest, EachItemPageAsksItsOwnQuery)
{
    const struct {
        const char* tab;
        const char* query;
    } pages[] = {{"tab_scan_results_detected", "korva.quarantine.v2_query_detected_items"},
                 {"tab_scan_results_allowed", "korva.quarantine.v2_query_allowed_items"},
                 {"tab_scan_results_removed", "korva.quarantine.v2_query_removed_items"},
                 {"tab_scan_results_optimized", "korva.quarantine.query_optimize_items"}};
    for (const auto& page : pages) {
        m_service.requests.clear();
        std::unique_ptr<CHTMLConfigDocBase> document = CreateResultsDoc(page.tab, &m_owner, &m_owner, nullptr);
        ASSERT_NE(document, nullptr) << page.tab;
        EXPECT_EQ(document->GetTabId(), page.tab);
        auto* results = dynamic_cast<CResultsDocBase*>(document.get());
        ASSERT_NE(results, nullptr);
        results->SetService(&m_service);
        Load(*results);
        const auto requests = m_service.Requests();
        ASSERT_FALSE(requests.empty()) << page.tab;
        EXPECT_EQ(requests.front().first, page.query);
    }
    EXPECT_EQ(CreateResultsDoc("tab_home", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateResultsDoc("tab_scanner", nullptr, nullptr, nullptr), nullptr);
}

TEST_F(ResultsLoaderTest, RemovedPageCountsWhatTheServiceCountsUnlessThatIsZero)
{
    for (const auto& [counted, expected] : std::vector<std::pair<int, int>>{{12, 12}, {0, 3}}) {
        m_owner.received.clear();
        m_service.Answer("korva.quarantine.v2_query_removed_items", ItemRecords(Package("pkg-a", 3)));
        CMsgRowSet counts("counts");
        CDictionary row;
        row["items_removed"] = counted;
        counts.AddRow(row);
        m_service.Answer("korva.quarantine.v2_query_item_counts", counts);
        CHTMLConfigDocScanResultsRemoved document(&m_owner, &m_owner, nullptr, &m_service);
        Load(document);
        ASSERT_NE(m_owner.Last(1), nullptr);
        EXPECT_EQ((*m_owner.Last(1))["ifc"].ToInteger(), expected);
    }
}

TEST_F(ResultsLoaderTest, OptimizationRowsThenTheirCount)
{
    CMsgRowSet rows("optimize_items");
    for (int i = 1; i <= 3; ++i) {
        CDictionary row;
        row["id"] = i;
        row["key"] = "HKCU\\Key" + std::to_string(i);
        row["type"] = "startup";
        row["data"] = "d";
        rows.AddRow(row);
    }
    m_service.Answer("korva.quarantine.query_optimize_items", rows);
    CHTMLConfigDocScanResultsOptimized document(&m_owner, &m_owner, nullptr, &m_service);
    Load(document);
    const auto sent = m_owner.Rows();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1]["id"].ToString(), "2");
    EXPECT_EQ(sent[1]["key"].ToString(), "HKCU\\Key2");
    EXPECT_EQ(sent[1]["type"].ToString(), "startup");
    EXPECT_EQ(sent[1]["data"].ToString(), "d");
    EXPECT_EQ((*m_owner.Last(1))["ifc"].ToInteger(), 3);
    EXPECT_EQ(m_owner.Kinds().back(), 4);
}

TEST_F(ResultsLoaderTest, LeavingThePageStopsTheLoaderWithoutItsEnd)
{
    m_service.Answer("korva.quarantine.v2_query_detected_items", ItemRecords(Package("pkg-a", 200)));
    CHTMLConfigDocBase::SetLoaderPauses(2, 0);
    CHTMLConfigDocScanResults document(&m_owner, &m_owner, nullptr, &m_service);
    document.SetShown(true);
    document.LoadSettings();
    QElapsedTimer timer;
    timer.start();
    while (m_owner.received.size() < 3 && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    document.SetShown(false);
    QThread::msleep(50);
    QCoreApplication::processEvents();
    const std::size_t seen = m_owner.received.size();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_owner.received.size(), seen);
    EXPECT_EQ(m_owner.Last(1), nullptr);
    EXPECT_EQ(m_owner.Last(4), nullptr);
}

// A page can be destroyed at any moment of its loader (the window closes
// while rows arrive): the loader must never run code of a page part that is
// already gone.
TEST_F(ResultsLoaderTest, DestroyingThePageWhileItsLoaderRunsIsSafe)
{
    m_service.Answer("korva.quarantine.v2_query_detected_items", ItemRecords(Package("pkg-a", 40)));
    m_service.Answer("korva.quarantine.query_optimize_items", CMsgRowSet("rows"));
    for (int round = 0; round < 40; ++round) {
        std::unique_ptr<CResultsDocBase> document;
        if (round % 2 == 0)
            document = std::make_unique<CHTMLConfigDocScanResults>(&m_owner, &m_owner, nullptr, &m_service);
        else
            document = std::make_unique<CHTMLConfigDocScanResultsOptimized>(&m_owner, &m_owner, nullptr, &m_service);
        document->SetShown(true);
        document->LoadSettings();
        if (round % 4 < 2)
            QCoreApplication::processEvents();
        document.reset();
    }
    // Whatever the loaders sent before their page went is all there is.
    const std::size_t seen = m_owner.received.size();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_owner.received.size(), seen);
}

}  // namespace
