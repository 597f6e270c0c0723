#include "host_filter.h"

#include "fake_host.h"
#include "support/site_file_writer.h"

#include "kit/clock.h"
#include "kit/debug_output.h"
#include "kit/trace_log.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <thread>

namespace hostfilter {
namespace {

using testing::BlockReport;
using testing::FakeHost;
using testing::SiteFileWriter;

constexpr uint16_t kMalware = 1;
constexpr uint16_t kAds = 2;

sockaddr_in Address(const char* dotted, uint16_t port = 80)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, dotted, &address.sin_addr);
    return address;
}

SiteFileWriter StandardList()
{
    SiteFileWriter writer;
    writer.AddCategory(kMalware, 3, "mal", "Malware");
    writer.AddCategory(kAds, 2, "ads", "Advertising");
    writer.AddAddress(testing::kAddress, 0, kMalware, 0x0A000001);        // 10.0.0.1, level 3 from the category
    writer.AddAddress(testing::kAddress, 2, kMalware, 0x0A000002);        // 10.0.0.2, level 2
    writer.AddAddress(testing::kNetwork, 0, kMalware, 0xC0A80500);        // 192.168.5.0/24
    writer.AddText(testing::kHostName, 0, kMalware, "bad.example.com");
    writer.AddText(testing::kDomain, 0, kMalware, "evil.org");
    writer.AddText(testing::kUrl, 3, kAds, "example.net/ads/");
    writer.AddText(testing::kHostName, 0, kMalware, "expired.example", /*expiryDay=*/1);
    return writer;
}

// A site filter with a fresh state root, a site database and a fake host.
class HostFilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/hostfilter-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        setenv("KELM_STATE_ROOT", m_root.c_str(), 1);
        m_database = m_root + "/sites.dat";
        StandardList().WriteTo(m_database);
        m_host = std::make_unique<FakeHost>(m_database);
        m_filter.SetResolver([this](const std::string& name) -> std::optional<uint32_t> {
            auto it = m_names.find(name);
            if (it == m_names.end())
                return std::nullopt;
            return it->second;
        });
    }

    void TearDown() override
    {
        m_filter.TermPlugin();
        m_host.reset();
        std::filesystem::remove_all(m_root);
    }

    void Start()
    {
        FilterPluginInfo info{};
        ASSERT_EQ(m_filter.GetPluginInfo(&info), 0);
        m_filter.InitPlugin();
        m_filter.InitPlugin2(m_host->Context());
    }

    int32_t Connect(KelmSocket socket, const char* dotted)
    {
        sockaddr_in address = Address(dotted);
        return m_filter.Connect(socket, &address);
    }

    int32_t Send(KelmSocket socket, std::string text)
    {
        FilterBuffer buffer{static_cast<uint32_t>(text.size()), text.data()};
        return m_filter.Send(socket, &buffer, 1, buffer.len);
    }

    static std::string Get(const std::string& host, const std::string& path = "/")
    {
        return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\n\r\n";
    }

    std::string m_root;
    std::string m_database;
    std::map<std::string, uint32_t> m_names;
    std::unique_ptr<FakeHost> m_host;
    HostFilter m_filter;
};

TEST_F(HostFilterTest, PluginInfoNamesTheSiteFilter)
{
    FilterPluginInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(m_filter.GetPluginInfo(&info), 0);
    EXPECT_EQ(info.reserved, 0x55555555u);  // not written
    EXPECT_STREQ(info.name, "KelmHostFilter");
    EXPECT_EQ(std::strlen(info.name), 14u);
    EXPECT_EQ(std::strlen(info.vendor) + 1, 38u);
    EXPECT_EQ(info.version, 0x0207037Cu);
    EXPECT_EQ(info.build, 2356u);
    EXPECT_EQ(m_filter.GetPluginInfo(nullptr), 87);
}

struct VerdictCase {
    const char* name;
    bool isConnect;
    std::string target;  // a dotted address, or the request to send
    int32_t verdict;
    uint32_t level;      // of the report, when one is made
};

class HostFilterVerdictTest : public HostFilterTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(HostFilterVerdictTest, ListedSitesAreRefused)
{
    m_names["resolves-listed.test"] = 0x0A000001;
    Start();
    const VerdictCase& c = GetParam();
    int32_t verdict = c.isConnect ? Connect(7, c.target.c_str()) : Send(7, c.target);
    EXPECT_EQ(verdict, c.verdict);
    SocketContext* context = m_host->Socket(7);
    if (c.verdict == KELM_FILTER_BLOCKED) {
        ASSERT_EQ(m_host->reports.size(), 1u);
        const BlockReport& report = m_host->reports[0];
        EXPECT_EQ(report.size, sizeof(FilterBlockRecord));
        EXPECT_EQ(report.kind, 1u);
        EXPECT_EQ(report.actionLevel, c.level);
        EXPECT_EQ(report.connectionReference, &context->connectionReference);
        EXPECT_EQ(context->stateFlags & KELM_SOCKET_BLOCK_MASK, KELM_SOCKET_BLOCKED_BY_SITE_LIST);
    } else {
        EXPECT_EQ(context->stateFlags & KELM_SOCKET_BLOCK_MASK, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sites, HostFilterVerdictTest,
    ::testing::Values(
        VerdictCase{"ListedAddress", true, "10.0.0.1", KELM_FILTER_BLOCKED, 3},
        VerdictCase{"LevelTwoAddressIsOnlyReported", true, "10.0.0.2", KELM_FILTER_PASS, 2},
        VerdictCase{"OtherHostOfListedNetwork", true, "192.168.5.200", KELM_FILTER_BLOCKED, 3},
        VerdictCase{"UnlistedAddress", true, "10.0.0.3", KELM_FILTER_PASS, 0},
        VerdictCase{"ListedHostName", false, "GET / HTTP/1.1\r\nHost: bad.example.com\r\n\r\n", KELM_FILTER_BLOCKED, 3},
        VerdictCase{"CapitalisedHostHeader", false, "GET / HTTP/1.1\r\nHost: BAD.Example.COM\r\n\r\n",
                    KELM_FILTER_BLOCKED, 3},
        VerdictCase{"ListedDomain", false, "GET /x HTTP/1.1\r\nHost: www.evil.org:8080\r\n\r\n", KELM_FILTER_BLOCKED, 3},
        VerdictCase{"ListedUrl", false, "GET /ads/banner.gif HTTP/1.1\r\nHost: cdn.example.net\r\n\r\n",
                    KELM_FILTER_BLOCKED, 3},
        VerdictCase{"UnlistedPath", false, "GET /news HTTP/1.1\r\nHost: cdn.example.net\r\n\r\n", KELM_FILTER_PASS, 0},
        VerdictCase{"NameResolvingToListedAddress", false, "GET / HTTP/1.1\r\nHost: resolves-listed.test\r\n\r\n",
                    KELM_FILTER_BLOCKED, 3},
        VerdictCase{"ExpiredEntry", false, "GET / HTTP/1.1\r\nHost: expired.example\r\n\r\n", KELM_FILTER_PASS, 0},
        VerdictCase{"HeadersEndInALaterSend", false, "GET / HTTP/1.1\r\nHost: bad.example.com\r\n", KELM_FILTER_PASS, 0},
        VerdictCase{"NotARequest", false, "POST / HTTP/1.1\r\nHost: bad.example.com\r\n\r\n", KELM_FILTER_PASS, 0}),
    [](const ::testing::TestParamInfo<VerdictCase>& info) { return std::string(info.param.name); });

TEST_F(HostFilterTest, ReportCarriesTheCategoryName)
{
    Start();
    ASSERT_EQ(Connect(3, "10.0.0.1"), KELM_FILTER_BLOCKED);
    ASSERT_EQ(m_host->reports.size(), 1u);
    EXPECT_EQ(m_host->reports[0].categoryName, u"Malware");
    EXPECT_EQ(m_host->reports[0].flagIn, 1);
}

TEST_F(HostFilterTest, HostDecidesOnTheBlockFlag)
{
    Start();
    m_host->blockDecision = 0;  // the host lets an action-3 site pass
    EXPECT_EQ(Connect(3, "10.0.0.1"), KELM_FILTER_PASS);
    m_host->blockDecision = 1;  // and blocks an action-2 site
    EXPECT_EQ(Connect(4, "10.0.0.2"), KELM_FILTER_BLOCKED);
    ASSERT_EQ(m_host->reports.size(), 2u);
    EXPECT_EQ(m_host->reports[1].flagIn, 0);
}

TEST_F(HostFilterTest, ConnectRecordsAddressAndConnectedState)
{
    Start();
    sockaddr_in remote = Address("10.9.9.9", 8080);
    ASSERT_EQ(m_filter.Connect(5, &remote), KELM_FILTER_PASS);
    SocketContext* context = m_host->Socket(5);
    EXPECT_EQ(context->stateFlags, KELM_SOCKET_CONNECTED);
    EXPECT_EQ(context->remoteAddress.sin_addr.s_addr, remote.sin_addr.s_addr);
    EXPECT_EQ(context->remoteAddress.sin_port, remote.sin_port);
    EXPECT_EQ(m_host->checkConnects, 1);
}

TEST_F(HostFilterTest, HostVerdictBlocksWithItsOwnKind)
{
    Start();
    SocketContext* context = m_host->Socket(6);
    // A block recorded earlier as an exploit: the new block replaces the kind.
    context->stateFlags = KELM_SOCKET_CONNECTED | KELM_SOCKET_BLOCKED_AS_EXPLOIT;
    m_host->checkVerdict = 1;
    EXPECT_EQ(Send(6, Get("fine.example")), KELM_FILTER_BLOCKED);
    EXPECT_EQ(context->stateFlags, KELM_SOCKET_CONNECTED | KELM_SOCKET_BLOCKED_BY_HOST);
    EXPECT_TRUE(m_host->reports.empty());

    sockaddr_in local = Address("127.0.0.1", 0);
    EXPECT_EQ(m_filter.Bind(8, &local), KELM_FILTER_BLOCKED);
    FilterBuffer none{0, nullptr};
    EXPECT_EQ(m_filter.Recv(9, &none, 1, 0, nullptr), KELM_FILTER_BLOCKED);
}

TEST_F(HostFilterTest, BlockedSocketIsRefusedAtOnce)
{
    Start();
    SocketContext* context = m_host->Socket(11);
    context->blocked = 1;
    EXPECT_EQ(Send(11, Get("fine.example")), KELM_FILTER_BLOCKED);
    EXPECT_EQ(context->stateFlags, KELM_SOCKET_CONNECTED);
    std::string data = "HTTP/1.1 200 OK\r\n\r\n";
    FilterBuffer buffer{static_cast<uint32_t>(data.size()), data.data()};
    EXPECT_EQ(m_filter.Recv(11, &buffer, 1, buffer.len, nullptr), KELM_FILTER_BLOCKED);
    EXPECT_EQ(context->sendCalls, 0u);
    EXPECT_EQ(context->receiveCalls, 0u);
}

TEST_F(HostFilterTest, SendAndReceiveKeepCountersAndFirstBytes)
{
    Start();
    std::string request = Get("Www.Fine.example", "/index.html");
    ASSERT_EQ(Send(12, request), KELM_FILTER_PASS);
    ASSERT_EQ(Send(12, std::string(2000, 'b')), KELM_FILTER_PASS);
    SocketContext* context = m_host->Socket(12);
    EXPECT_EQ(context->sendCalls, 2u);
    EXPECT_EQ(context->bytesSent, request.size() + 2000);
    ASSERT_EQ(context->firstSentLength, request.size());
    EXPECT_EQ(std::memcmp(context->firstSent, request.data(), request.size()), 0);
    std::u16string host;
    for (const uint16_t* c = context->hostName; *c != 0; ++c)
        host.push_back(static_cast<char16_t>(*c));
    EXPECT_EQ(host, u"Www.Fine.example");

    std::string part1(700, 'x');
    std::string part2(700, 'y');
    FilterBuffer buffers[2] = {{700, part1.data()}, {700, part2.data()}};
    ASSERT_EQ(m_filter.Recv(12, buffers, 2, 1400, nullptr), KELM_FILTER_PASS);
    ASSERT_EQ(m_filter.Recv(12, buffers, 1, 100, nullptr), KELM_FILTER_PASS);
    EXPECT_EQ(context->receiveCalls, 2u);
    EXPECT_EQ(context->bytesReceived, 1500u);
    ASSERT_EQ(context->firstReceivedLength, 1024u);
    EXPECT_EQ(context->firstReceived[699], 'x');
    EXPECT_EQ(context->firstReceived[700], 'y');
}

TEST_F(HostFilterTest, CloseNotifiesAndReleases)
{
    Start();
    SocketContext* context = m_host->Socket(13);
    context->stateFlags = KELM_SOCKET_CONNECTED;
    context->closeWord = 5;
    EXPECT_EQ(m_filter.CloseSocket(13), 0);
    EXPECT_EQ(context->stateFlags, KELM_SOCKET_CLOSED_WITH_WORD);
    ASSERT_EQ(m_host->closes.size(), 1u);
    EXPECT_EQ(m_host->closes[0], &context->connectionReference);
    ASSERT_EQ(m_host->releases.size(), 1u);
    EXPECT_EQ(m_host->releases[0], 0x1000u + 13);
}

TEST_F(HostFilterTest, WithoutAcceptedContextEverythingPasses)
{
    m_host->Context()->siteDatabasePath[0] = '\0';
    Start();
    EXPECT_EQ(Connect(1, "10.0.0.1"), KELM_FILTER_PASS);
    EXPECT_EQ(Send(1, Get("bad.example.com")), KELM_FILTER_PASS);
    EXPECT_EQ(m_host->checkConnects, 0);
    EXPECT_TRUE(m_host->reports.empty());
}

TEST_F(HostFilterTest, ContextWithoutACallbackIsRejected)
{
    m_host->Context()->SettingsChanged = nullptr;
    Start();
    EXPECT_EQ(Connect(1, "10.0.0.1"), KELM_FILTER_PASS);
    // The database is still loaded from the path of the rejected context's
    // predecessor: there is none, so nothing is listed.
    EXPECT_EQ(m_filter.List(), nullptr);
}

TEST_F(HostFilterTest, NoSocketContextPasses)
{
    Start();
    m_host->Forget(21);
    EXPECT_EQ(Connect(21, "10.0.0.1"), KELM_FILTER_PASS);
    EXPECT_EQ(Send(21, Get("bad.example.com")), KELM_FILTER_PASS);
    EXPECT_TRUE(m_host->reports.empty());
}

TEST_F(HostFilterTest, SiteFilterWordOffDisablesTheList)
{
    m_host->Context()->siteFilterSetting = 0;
    Start();
    EXPECT_EQ(Connect(1, "10.0.0.1"), KELM_FILTER_PASS);
    EXPECT_EQ(Send(1, Get("bad.example.com")), KELM_FILTER_PASS);
    EXPECT_TRUE(m_host->reports.empty());
}

TEST_F(HostFilterTest, SettingsChangedWhenTheWordsMove)
{
    Start();
    m_host->flipSettingOnCheck = true;
    // The check turns site filtering off: the host is told, and the connect
    // passes without a lookup.
    EXPECT_EQ(Connect(1, "10.0.0.1"), KELM_FILTER_PASS);
    ASSERT_EQ(m_host->settingsChanges.size(), 1u);
    EXPECT_EQ(m_host->settingsChanges[0].size, 12u);
    EXPECT_EQ(m_host->settingsChanges[0].siteFilterSetting, 1u);
}

TEST_F(HostFilterTest, NewerDatabaseTimeReloads)
{
    Start();
    EXPECT_EQ(Connect(1, "10.0.0.5"), KELM_FILTER_PASS);
    SiteFileWriter updated = StandardList();
    updated.AddAddress(testing::kAddress, 3, kMalware, 0x0A000005);
    updated.WriteTo(m_database);
    // Same database time: the old list stays.
    EXPECT_EQ(Connect(2, "10.0.0.5"), KELM_FILTER_PASS);
    m_host->databaseTime = nfkit::TickCount() + 1;
    // The check callback of this connect reloads before the lookup.
    EXPECT_EQ(Connect(3, "10.0.0.5"), KELM_FILTER_BLOCKED);
}

TEST_F(HostFilterTest, FailedReloadKeepsTheOldList)
{
    Start();
    SiteFileWriter::WriteBytes(m_database, {1, 2, 3});
    m_host->databaseTime = nfkit::TickCount() + 1;
    EXPECT_EQ(Connect(1, "10.0.0.1"), KELM_FILTER_BLOCKED);
    EXPECT_NE(m_filter.List(), nullptr);
}

TEST_F(HostFilterTest, SecondDatabaseIsMergedIn)
{
    SiteFileWriter second;
    second.AddCategory(9, 3, "sb2", "Second list");
    second.AddText(testing::kHostName, 0, 9, "only-in-second.example");
    second.WriteTo(m_root + "/sb2.dat");
    Start();
    EXPECT_EQ(Send(1, Get("only-in-second.example")), KELM_FILTER_BLOCKED);
    ASSERT_EQ(m_host->reports.size(), 1u);
    EXPECT_EQ(m_host->reports[0].categoryName, u"Second list");
    EXPECT_EQ(Send(2, Get("bad.example.com")), KELM_FILTER_BLOCKED);
}

TEST_F(HostFilterTest, LookupsAreTraced)
{
    std::vector<std::string> lines;
    nfkit::DebugOutputHandler previous =
        nfkit::SetDebugOutputHandler([&](std::string_view text) { lines.emplace_back(text); });
    GMCTraceLog trace(4, "T");
    m_filter.SetTrace(&trace);
    Start();
    Connect(1, "10.0.0.1");
    nfkit::SetDebugOutputHandler(previous);
    auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("KelmHostFilter::InitPlugin2()"));
    EXPECT_TRUE(has("KelmHostFilter::InitPlugin2() - read 7 sites from"));
    EXPECT_TRUE(has("KelmHostFilter::LSPP_Connect()"));
    EXPECT_TRUE(has("KelmHostFilter::InBlackList(10.0.0.1)"));
    EXPECT_TRUE(has("KelmHostFilter::InBlackList() TRUE"));
}

// The host's trace object stays the host's: TermPlugin destroys only the one
// the plug-in made itself (a sanitizer build catches the wrong delete).
TEST_F(HostFilterTest, HostTraceOutlivesThePlugin)
{
    auto hostTrace = std::make_unique<GMCTraceLog>(2, "Host");
    m_filter.InitPlugin();  // makes its own: no trace was set yet
    ASSERT_NE(m_filter.Trace(), nullptr);
    m_filter.SetTrace(hostTrace.get());
    m_filter.TermPlugin();
    hostTrace->PrintTraceLog(1, "still usable\n");
    EXPECT_EQ(m_filter.Trace(), hostTrace.get());
}

TEST_F(HostFilterTest, LookupsRunWhileTheListIsReplaced)
{
    Start();
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            KelmSocket socket = 100 + static_cast<KelmSocket>(t) * 2;
            m_host->Socket(socket);
            m_host->Socket(socket + 1);
            while (!stop) {
                if (Connect(socket, "192.168.5.9") != KELM_FILTER_BLOCKED)
                    ++wrong;
                if (Send(socket + 1, Get("fine.example")) != KELM_FILTER_PASS)
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        SiteFileWriter updated = StandardList();
        updated.AddAddress(testing::kAddress, 3, kMalware, 0x0B000000u + static_cast<uint32_t>(i));
        updated.WriteTo(m_database);
        m_host->databaseTime = nfkit::TickCount() + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ToUtf16, ConvertsAndBounds)
{
    uint16_t out[8];
    EXPECT_EQ(ToUtf16("h\xC3\xA9llo", out, 8), 5u);
    EXPECT_EQ(out[1], 0xE9);
    EXPECT_EQ(ToUtf16("abcdefghij", out, 8), 7u);
    EXPECT_EQ(out[7], 0);
    EXPECT_EQ(ToUtf16("\xF0\x9F\x98\x80", out, 8), 2u);  // a surrogate pair
    EXPECT_EQ(out[0], 0xD83D);
    EXPECT_EQ(ToUtf16("\xC3", out, 8), 1u);  // cut sequence
    EXPECT_EQ(out[0], 0xFFFD);
}

}  // namespace
}  // namespace hostfilter
