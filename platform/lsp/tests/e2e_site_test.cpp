// End to end: curl through the shim with the real site filter (and the real
// exploit filter when it is built) against a local HTTP server. A listed host
// name or URL is refused when the request is sent, a listed address or /24
// network when the connection is made; everything else arrives byte for byte.
//
// These run only in the normal build: curl is not built with the address
// sanitizer, and an ASan-built shim cannot be preloaded into it.
#include "support/child_process.h"
#include "support/http_server.h"
#include "support/site_file_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

namespace lsp {
namespace {

using hostfilter::testing::SiteFileWriter;
using testing::ChildResult;
using testing::HttpServer;
using testing::ReadWholeFile;
using testing::RunChild;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitizerBuild = true;
#else
constexpr bool kSanitizerBuild = false;
#endif
#else
constexpr bool kSanitizerBuild = false;
#endif

constexpr uint16_t kCategory = 4;

class SiteEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kSanitizerBuild)
            GTEST_SKIP() << "curl cannot load the sanitizer build of the shim";
        char pattern[] = "/tmp/lsp-e2e-site-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_sites = m_root + "/sites.dat";
        m_list.AddCategory(kCategory, 3, "malware", "Malicious sites");
        m_list.AddText(hostfilter::testing::kHostName, 0, kCategory, "elsewhere.example");
        m_page = "<html><body><p>A page that nothing lists.</p></body></html>\n";
        m_server.Serve("/page.html", m_page, "text/html");
        m_server.Serve("/blocked/page.html", m_page, "text/html");
        std::mt19937 random(7);
        for (int i = 0; i < (1 << 20); ++i)
            m_binary.push_back(static_cast<char>(random()));
        m_server.Serve("/data.bin", m_binary, "application/octet-stream");
    }

    void TearDown() override
    {
        if (!m_root.empty())
            std::filesystem::remove_all(m_root);
    }

    // Fetches URL with curl under the shim into a file; returns curl's result.
    ChildResult Curl(const std::string& url, const std::string& output)
    {
        m_list.WriteTo(m_sites);
        std::map<std::string, std::string> env = {
            {"LD_PRELOAD", KELM_LSP_SHIM},
            {"KELM_STATE_ROOT", m_root},
            {"KELM_LSP_HOST_PLUGIN", KELM_HOSTFILTER},
            {"KELM_LSP_HAZARD_PLUGIN", KELM_HAZARDFILTER},
            {"KELM_LSP_SITE_DATABASE", m_sites},
            {"KELM_LSP_DETECTION_FILE", m_root + "/detections.dat"},
        };
        return RunChild({"curl", "-4", "--silent", "--show-error", "--max-time", "30", "--noproxy", "*", "-o",
                         output, url},
                        env, m_root);
    }

    std::string Url(const std::string& host, const std::string& path) const
    {
        return "http://" + host + ":" + std::to_string(m_server.Port()) + path;
    }

    std::string ShimLog() const { return ReadWholeFile(m_root + "/logs/kelmlsp.log"); }

    bool Requested(const std::string& path)
    {
        for (const std::string& line : m_server.RequestLines()) {
            if (line.find(" " + path + " ") != std::string::npos)
                return true;
        }
        return false;
    }

    std::string m_root;
    std::string m_sites;
    SiteFileWriter m_list;
    std::string m_page;
    std::string m_binary;
    HttpServer m_server;
};

TEST_F(SiteEndToEndTest, UnlistedSitesArriveByteForByte)
{
    ChildResult page = Curl(Url("localhost", "/page.html"), m_root + "/page.out");
    ASSERT_EQ(page.exitCode, 0) << page.err;
    EXPECT_EQ(ReadWholeFile(m_root + "/page.out"), m_page);
    ChildResult binary = Curl(Url("127.0.0.1", "/data.bin"), m_root + "/data.out");
    ASSERT_EQ(binary.exitCode, 0) << binary.err;
    EXPECT_TRUE(ReadWholeFile(m_root + "/data.out") == m_binary);
    EXPECT_EQ(ShimLog().find("black-listed"), std::string::npos) << ShimLog();
}

TEST_F(SiteEndToEndTest, ListedHostNameIsRefusedAtSend)
{
    m_list.AddText(hostfilter::testing::kHostName, 0, kCategory, "localhost");
    ChildResult result = Curl(Url("localhost", "/page.html"), m_root + "/out");
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(ReadWholeFile(m_root + "/out"), "");
    EXPECT_FALSE(Requested("/page.html"));
    EXPECT_NE(ShimLog().find("black-listed site, category \"Malicious sites\", action level 3"), std::string::npos)
        << ShimLog();
    EXPECT_NE(ShimLog().find("(host localhost:" + std::to_string(m_server.Port()) + "): refused"), std::string::npos)
        << ShimLog();
}

TEST_F(SiteEndToEndTest, ListedUrlIsRefusedAndTheRestOfTheSitePasses)
{
    m_list.AddText(hostfilter::testing::kUrl, 0, kCategory, "localhost/blocked/");
    ChildResult blocked = Curl(Url("localhost", "/blocked/page.html"), m_root + "/blocked.out");
    EXPECT_NE(blocked.exitCode, 0);
    EXPECT_FALSE(Requested("/blocked/page.html"));
    ChildResult open = Curl(Url("localhost", "/page.html"), m_root + "/open.out");
    ASSERT_EQ(open.exitCode, 0) << open.err;
    EXPECT_EQ(ReadWholeFile(m_root + "/open.out"), m_page);
}

TEST_F(SiteEndToEndTest, ListedAddressIsRefusedAtConnect)
{
    m_list.AddAddress(hostfilter::testing::kAddress, 0, kCategory, 0x7F000001);
    ChildResult result = Curl(Url("127.0.0.1", "/page.html"), m_root + "/out");
    EXPECT_EQ(result.exitCode, 7) << result.err;  // curl: could not connect
    EXPECT_EQ(m_server.Connections(), 0);
    EXPECT_NE(ShimLog().find("connection to 127.0.0.1:" + std::to_string(m_server.Port()) + ": refused"),
              std::string::npos)
        << ShimLog();
}

TEST_F(SiteEndToEndTest, ListedNetworkRefusesItsHosts)
{
    m_list.AddAddress(hostfilter::testing::kNetwork, 0, kCategory, 0x7F000000);
    ChildResult result = Curl(Url("127.0.0.1", "/page.html"), m_root + "/out");
    EXPECT_EQ(result.exitCode, 7) << result.err;
    EXPECT_EQ(m_server.Connections(), 0);
}

TEST_F(SiteEndToEndTest, ActionLevelBelowBlockIsOnlyReported)
{
    m_list.AddAddress(hostfilter::testing::kAddress, 2, kCategory, 0x7F000001);
    ChildResult result = Curl(Url("127.0.0.1", "/page.html"), m_root + "/out");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadWholeFile(m_root + "/out"), m_page);
    EXPECT_NE(ShimLog().find("action level 2, connection to 127.0.0.1:" + std::to_string(m_server.Port()) +
                             ": reported only"),
              std::string::npos)
        << ShimLog();
}

}  // namespace
}  // namespace lsp
