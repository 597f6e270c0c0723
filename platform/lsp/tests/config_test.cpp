#include "lsp_config.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace lsp {
namespace {

TEST(ParseConfigText, ReadsKeysCommentsAndPaths)
{
    LspConfig config;
    ParseConfigText("# a comment\n"
                    "  hazard_plugin = /opt/kelm/libkelmhazardfilter.so  \n"
                    "host_plugin=plugins/libkelmhostfilter.so # relative\n"
                    "detection_file = det.dat\r\n"
                    "site_database = /var/db/sites.dat\n"
                    "\n"
                    "exploit_filter = 0\n"
                    "site_filter = 0x10\n"
                    "trace_level = 4\n"
                    "database_poll_ms = 250\n",
                    "/etc/kelm", config);
    EXPECT_EQ(config.hazardPlugin, "/opt/kelm/libkelmhazardfilter.so");
    EXPECT_EQ(config.hostPlugin, "/etc/kelm/plugins/libkelmhostfilter.so");
    EXPECT_EQ(config.detectionFile, "/etc/kelm/det.dat");
    EXPECT_EQ(config.siteDatabase, "/var/db/sites.dat");
    EXPECT_EQ(config.exploitFilter, 0u);
    EXPECT_EQ(config.siteFilter, 16u);
    EXPECT_EQ(config.traceLevel, 4u);
    EXPECT_EQ(config.databasePollMs, 250u);
    EXPECT_TRUE(config.problems.empty());
}

TEST(ParseConfigText, ReportsLinesItCannotUse)
{
    LspConfig config;
    ParseConfigText("trace_level = four\n"
                    "exploit_filter = -1\n"
                    "site_filter = 99999999999\n"
                    "unknown = 1\n"
                    "no equals sign\n"
                    "trace_level = 3\n",
                    "", config);
    ASSERT_EQ(config.problems.size(), 5u);
    EXPECT_EQ(config.problems[0], "line 1 ignored: trace_level = four");
    EXPECT_EQ(config.problems[4], "line 5 ignored: no equals sign");
    EXPECT_EQ(config.traceLevel, 3u);      // the good line still counts
    EXPECT_EQ(config.exploitFilter, 1u);   // bad values leave the default
    EXPECT_EQ(config.siteFilter, 1u);
}

// LoadConfig reads the file in the state root's config folder, and the
// environment wins over it.
class LoadConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lsp-config-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        setenv("KELM_STATE_ROOT", m_root.c_str(), 1);
        for (const char* name : kVariables)
            unsetenv(name);
    }
    void TearDown() override
    {
        for (const char* name : kVariables)
            unsetenv(name);
        unsetenv("KELM_STATE_ROOT");
        std::filesystem::remove_all(m_root);
    }

    static constexpr const char* kVariables[] = {
        "KELM_LSP_CONFIG", "KELM_LSP_HAZARD_PLUGIN", "KELM_LSP_HOST_PLUGIN", "KELM_LSP_DETECTION_FILE",
        "KELM_LSP_SITE_DATABASE", "KELM_LSP_EXPLOIT_FILTER", "KELM_LSP_SITE_FILTER", "KELM_LSP_TRACE_LEVEL",
        "KELM_LSP_DATABASE_POLL_MS", "KELM_LSP_LOG_FILE"};
    std::string m_root;
};

TEST_F(LoadConfigTest, DefaultsLiveUnderTheStateRoot)
{
    LspConfig config = LoadConfig();
    EXPECT_EQ(config.configFile, "");
    EXPECT_EQ(config.detectionFile, m_root + "/config/detections.dat");
    EXPECT_EQ(config.siteDatabase, m_root + "/config/sites.dat");
    EXPECT_EQ(config.logFile, m_root + "/logs/kelmlsp.log");
    EXPECT_EQ(config.exploitFilter, 1u);
    EXPECT_EQ(config.siteFilter, 1u);
    EXPECT_EQ(config.traceLevel, 0u);
    EXPECT_EQ(DefaultConfigPath(), m_root + "/config/kelmlsp.conf");
}

TEST_F(LoadConfigTest, EnvironmentOverridesTheFile)
{
    std::filesystem::create_directories(m_root + "/config");
    std::ofstream(m_root + "/config/kelmlsp.conf") << "site_database = from-file.dat\ntrace_level = 2\nsite_filter = 0\n";
    setenv("KELM_LSP_TRACE_LEVEL", "4", 1);
    setenv("KELM_LSP_HAZARD_PLUGIN", "", 1);
    setenv("KELM_LSP_EXPLOIT_FILTER", "nonsense", 1);
    LspConfig config = LoadConfig();
    EXPECT_EQ(config.configFile, m_root + "/config/kelmlsp.conf");
    EXPECT_EQ(config.siteDatabase, m_root + "/config/from-file.dat");
    EXPECT_EQ(config.siteFilter, 0u);
    EXPECT_EQ(config.traceLevel, 4u);
    EXPECT_EQ(config.hazardPlugin, "");  // an empty value turns the plug-in off
    EXPECT_EQ(config.exploitFilter, 1u);
    ASSERT_EQ(config.problems.size(), 1u);
    EXPECT_EQ(config.problems[0], "KELM_LSP_EXPLOIT_FILTER ignored: nonsense");
}

TEST_F(LoadConfigTest, ConfigFileCanBeNamed)
{
    std::string path = m_root + "/elsewhere.conf";
    std::ofstream(path) << "detection_file = d.dat\n";
    setenv("KELM_LSP_CONFIG", path.c_str(), 1);
    LspConfig config = LoadConfig();
    EXPECT_EQ(config.configFile, path);
    EXPECT_EQ(config.detectionFile, m_root + "/d.dat");
}

}  // namespace
}  // namespace lsp
