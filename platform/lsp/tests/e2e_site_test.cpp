// End to end: curl through the shim against a local HTTP server, with the
// sample site list kelmdb builds (netfilter/tools/kelmdb/samples/sites.txt
// merged with sb2.txt). A listed host name or URL is refused when the request
// is sent, a listed address or /24 network when the connection is made.
#include "support/e2e_fixture.h"

namespace lsp {
namespace {

using testing::ChildResult;
using testing::CurlThroughShim;
using testing::HttpServer;

class SiteEndToEndTest : public CurlThroughShim {
protected:
    void SetUp() override
    {
        CurlThroughShim::SetUp();
        m_server.Serve("/page.html", kPage, "text/html");
        m_server.Serve("/blocked/page.html", kPage, "text/html");
    }

    std::string Url(const std::string& host, const std::string& path, const HttpServer& server) const
    {
        return "http://" + host + ":" + std::to_string(server.Port()) + path;
    }
    std::string Url(const std::string& host, const std::string& path) const { return Url(host, path, m_server); }

    bool Requested(HttpServer& server, const std::string& path)
    {
        for (const std::string& line : server.RequestLines()) {
            if (line.find(" " + path + " ") != std::string::npos)
                return true;
        }
        return false;
    }

    static constexpr const char* kPage = "<html><body><p>A page of a listed site.</p></body></html>\n";
    HttpServer m_server;
};

struct ListedNameCase {
    const char* name;
    const char* host;  // as written in the URL
    const char* path;
};

class ListedNameTest : public SiteEndToEndTest, public ::testing::WithParamInterface<ListedNameCase> {};

// The request never reaches the server, curl fails, and the shim logs the report.
TEST_P(ListedNameTest, RefusedWhenTheRequestIsSent)
{
    const ListedNameCase& c = GetParam();
    ChildResult result = Curl(Url(c.host, c.path), Output("out"), Resolve(c.host, m_server.Port()));
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(Read("out"), "");
    EXPECT_FALSE(Requested(m_server, c.path));
    EXPECT_NE(ShimLog().find("black-listed site, category \"Malicious sites\", action level 3"), std::string::npos)
        << ShimLog();
    EXPECT_NE(ShimLog().find(": refused"), std::string::npos) << ShimLog();
}

INSTANTIATE_TEST_SUITE_P(Names, ListedNameTest,
                         ::testing::Values(ListedNameCase{"HostName", "blocked.test", "/page.html"},
                                           ListedNameCase{"CapitalisedHostName", "BLOCKED.Test", "/page.html"},
                                           ListedNameCase{"HostInListedDomain", "www.blocked-domain.test", "/page.html"},
                                           ListedNameCase{"Url", "kelm-listed.test", "/blocked/page.html"},
                                           ListedNameCase{"HostOfTheSecondList", "second-list.test", "/page.html"}),
                         [](const ::testing::TestParamInfo<ListedNameCase>& info) { return info.param.name; });

TEST_F(SiteEndToEndTest, UnlistedPageOfAListedUrlsSitePasses)
{
    ChildResult result = Curl(Url("kelm-listed.test", "/page.html"), Output("out"),
                              Resolve("kelm-listed.test", m_server.Port()));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Read("out"), kPage);
}

TEST_F(SiteEndToEndTest, LowerActionLevelIsOnlyReported)
{
    ChildResult result = Curl(Url("warn.test", "/page.html"), Output("out"), Resolve("warn.test", m_server.Port()));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Read("out"), kPage);
    EXPECT_NE(ShimLog().find("category \"Advertising and tracking\", action level 2"), std::string::npos) << ShimLog();
    EXPECT_NE(ShimLog().find(": reported only"), std::string::npos) << ShimLog();
}

struct ListedAddressCase {
    const char* name;
    uint32_t serverAddress;
    const char* dotted;
};

class ListedAddressTest : public SiteEndToEndTest, public ::testing::WithParamInterface<ListedAddressCase> {};

// A server listens on the listed address: reachable without the shim, refused
// at connect with it.
TEST_P(ListedAddressTest, RefusedAtConnect)
{
    const ListedAddressCase& c = GetParam();
    HttpServer server(c.serverAddress);
    server.Serve("/page.html", kPage, "text/html");
    std::string url = Url(c.dotted, "/page.html", server);
    ChildResult control = Curl(url, Output("control"), {}, /*underShim=*/false);
    ASSERT_EQ(control.exitCode, 0) << control.err;
    ASSERT_EQ(server.Connections(), 1);

    ChildResult result = Curl(url, Output("out"));
    EXPECT_EQ(result.exitCode, 7) << result.err;  // curl: could not connect
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_NE(ShimLog().find(std::string("connection to ") + c.dotted + ":" + std::to_string(server.Port()) +
                             ": refused"),
              std::string::npos)
        << ShimLog();
}

INSTANTIATE_TEST_SUITE_P(Addresses, ListedAddressTest,
                         ::testing::Values(ListedAddressCase{"Address", 0x7F000002, "127.0.0.2"},
                                           ListedAddressCase{"HostOfListedNetwork", 0x7F000301, "127.0.3.1"}),
                         [](const ::testing::TestParamInfo<ListedAddressCase>& info) { return info.param.name; });

TEST_F(SiteEndToEndTest, LookupsAreTracedAtTheConfiguredLevel)
{
    m_env["KELM_LSP_TRACE_LEVEL"] = "4";
    Curl(Url("blocked.test", "/page.html"), Output("out"), Resolve("blocked.test", m_server.Port()));
    std::string trace = testing::ReadWholeFile(m_root + "/logs/VRXTRACE.LOG");
    EXPECT_NE(trace.find("KelmHostFilter::InBlackList(blocked.test:" + std::to_string(m_server.Port()) + "/page.html)"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("KelmHostFilter::InBlackList() TRUE"), std::string::npos) << trace;
}

}  // namespace
}  // namespace lsp
