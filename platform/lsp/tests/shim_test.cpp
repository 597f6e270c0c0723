// The shim preloaded into a test program, with a fake plug-in that shows
// what reached it: which calls are filtered, what a refusal does to the
// program, that replaced and disarmed bytes arrive, that other descriptors
// are left alone and that a replaced database is picked up.
#include "support/child_process.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace lsp {
namespace {

using testing::ChildResult;
using testing::LoopbackServer;
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

class ShimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lsp-shim-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_detections = m_root + "/detections.txt";
        std::ofstream(m_detections) << "v1\n";
        std::ofstream(m_root + "/sites.dat") << "";
        m_env = {
            {"LD_PRELOAD", KELM_LSP_SHIM},
            {"KELM_STATE_ROOT", m_root},
            {"KELM_LSP_HOST_PLUGIN", KELM_FAKE_PLUGIN},
            {"KELM_LSP_HAZARD_PLUGIN", ""},
            {"KELM_LSP_DETECTION_FILE", m_detections},
            {"KELM_LSP_SITE_DATABASE", m_root + "/sites.dat"},
            {"KELM_LSP_DATABASE_POLL_MS", "0"},
            {"FAKE_PLUGIN_LOG", m_root + "/fake.log"},
        };
    }

    void TearDown() override { std::filesystem::remove_all(m_root); }

    ChildResult Client(std::vector<std::string> args)
    {
        args.insert(args.begin(), KELM_TEST_CLIENT);
        return RunChild(args, m_env, m_root);
    }

    std::string Port() const { return std::to_string(m_server.Port()); }
    std::string PluginLog() const { return ReadWholeFile(m_root + "/fake.log"); }
    std::string ShimLog() const { return ReadWholeFile(m_root + "/logs/kelmlsp.log"); }

    std::string m_root;
    std::string m_detections;
    std::map<std::string, std::string> m_env;
    LoopbackServer m_server{[](const std::string& request) { return "reply:" + request; }};
};

struct FormCase {
    const char* send;
    const char* recv;
};

class ShimFormTest : public ShimTest, public ::testing::WithParamInterface<FormCase> {};

// Every send and receive form reaches the plug-in, with the socket's context
// and peer, and the bytes arrive unchanged when nothing matches.
TEST_P(ShimFormTest, EveryFormIsFilteredAndPassesUnchanged)
{
    const FormCase& c = GetParam();
    std::string message = std::string("hello-") + c.send + "-" + c.recv;
    ChildResult result = Client({"exchange", Port(), c.send, c.recv, message});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "reply reply:" + message + "\n");
    std::string log = PluginLog();
    EXPECT_TRUE(std::regex_search(log, std::regex("connect fd=\\d+ port=" + Port() + " ctx=1"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("send fd=\\d+ bytes=" + std::to_string(message.size() + 1) +
                                                  " buffers=\\d ctx=1")))
        << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("recv fd=\\d+ bytes=\\d+ peer=" + Port() + " ctx=1"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("close fd=\\d+"))) << log;
}

INSTANTIATE_TEST_SUITE_P(Forms, ShimFormTest,
                         ::testing::Values(FormCase{"send", "recv"}, FormCase{"sendto", "recvfrom"},
                                           FormCase{"sendmsg", "recvmsg"}, FormCase{"write", "read"},
                                           FormCase{"writev", "readv"}),
                         [](const ::testing::TestParamInfo<FormCase>& info) {
                             return std::string(info.param.send) + "_" + info.param.recv;
                         });

TEST_F(ShimTest, ReceivedBytesAreDisarmedInPlace)
{
    ChildResult result = Client({"exchange", Port(), "send", "recv", "some EVIL text"});
    EXPECT_EQ(result.out, "reply reply:some XXXX text\n");
}

TEST_F(ShimTest, RefusedReceiveFailsWithConnectionAborted)
{
    ChildResult result = Client({"exchange", Port(), "send", "read", "KILL"});
    EXPECT_EQ(result.out, "recv-error ECONNABORTED\n");
}

TEST_F(ShimTest, RefusedSendNeverLeaves)
{
    ChildResult result = Client({"exchange", Port(), "writev", "read", "BLOCK-SEND"});
    EXPECT_EQ(result.out, "send-error ECONNABORTED\n");
    for (const std::string& request : m_server.Requests())
        EXPECT_EQ(request.find("BLOCK-SEND"), std::string::npos);
}

TEST_F(ShimTest, ReplacedBytesAreSentInstead)
{
    ChildResult result = Client({"exchange", Port(), "sendmsg", "recv", "upper-me"});
    EXPECT_EQ(result.out, "reply reply:UPPER-ME\n");
}

TEST_F(ShimTest, RefusedConnectIsReportedAndFails)
{
    m_env["FAKE_BLOCK_PORT"] = Port();
    ChildResult result = Client({"connect", Port()});
    EXPECT_EQ(result.out, "connect-error ECONNABORTED\n");
    EXPECT_EQ(m_server.Connections(), 0);
    std::string log = ShimLog();
    EXPECT_NE(log.find("black-listed site, category \"Fake\", action level 3, connection to 127.0.0.1:" + Port()),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(": refused"), std::string::npos) << log;
}

TEST_F(ShimTest, OtherDescriptorsAreLeftAlone)
{
    ChildResult result = Client({"others", Port()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("socketpair unchanged"), std::string::npos) << result.out;
    std::smatch fds;
    ASSERT_TRUE(std::regex_search(result.out, fds, std::regex("fds ([0-9 ]+)")));
    std::string log = PluginLog();
    std::istringstream list(fds[1].str());
    int fd = 0;
    while (list >> fd)
        EXPECT_EQ(log.find("fd=" + std::to_string(fd) + " "), std::string::npos) << "fd " << fd << "\n" << log;
}

TEST_F(ShimTest, ClosedSocketNumberIsForgotten)
{
    std::string file = m_root + "/plain.txt";
    std::ofstream(file) << "EVIL in a file";
    ChildResult result = Client({"reuse", Port(), file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::smatch number;
    ASSERT_TRUE(std::regex_search(result.out, number, std::regex("fd (\\d+)")));
    EXPECT_NE(result.out.find("file-fd " + number[1].str()), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("file EVIL in a file"), std::string::npos) << result.out;
    std::string log = PluginLog();
    std::size_t closed = log.find("close fd=" + number[1].str());
    ASSERT_NE(closed, std::string::npos) << log;
    EXPECT_EQ(log.find("fd=" + number[1].str() + " ", closed), std::string::npos) << log;
}

TEST_F(ShimTest, ThreadsKeepTheirOwnSockets)
{
    ChildResult result = Client({"threads", Port(), "16"});
    EXPECT_EQ(result.out, "threads ok\n") << result.err;
}

TEST_F(ShimTest, ReplacedDatabaseIsReloaded)
{
    ChildResult result = Client({"replace", Port(), m_detections, "v2"});
    EXPECT_EQ(result.out, "reply reply:first\nreply reply:second\n");
    std::string log = PluginLog();
    std::size_t first = log.find("database v1");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find("database v2", first), std::string::npos) << log;
}

TEST_F(ShimTest, ConfigurationFileIsRead)
{
    m_env.erase("KELM_LSP_HOST_PLUGIN");
    m_env.erase("KELM_LSP_SITE_DATABASE");
    std::filesystem::create_directories(m_root + "/config");
    std::ofstream(m_root + "/config/kelmlsp.conf") << "# test configuration\n"
                                                    << "host_plugin = " << KELM_FAKE_PLUGIN << "\n"
                                                    << "site_database = sites/list.dat   # relative to this file\n"
                                                    << "exploit_filter = 0\n"
                                                    << "site_filter = 5\n"
                                                    << "no_such_key = 1\n";
    ChildResult result = Client({"exchange", Port(), "send", "recv", "EVIL"});
    EXPECT_EQ(result.out, "reply reply:XXXX\n");
    EXPECT_NE(PluginLog().find("InitPlugin2 site=" + m_root + "/config/sites/list.dat exploit=0 sitefilter=5"),
              std::string::npos)
        << PluginLog();
    EXPECT_NE(ShimLog().find("line 6 ignored: no_such_key = 1"), std::string::npos) << ShimLog();
    EXPECT_NE(result.err.find("site database " + m_root + "/config/sites/list.dat is missing"), std::string::npos)
        << result.err;
}

TEST_F(ShimTest, MissingPluginLetsTrafficPassWithOneMessage)
{
    m_env["KELM_LSP_HOST_PLUGIN"] = m_root + "/missing.so";
    ChildResult result = Client({"threads", Port(), "4"});
    // Nothing disarms the replies now.
    EXPECT_NE(result.out.find("mismatch"), std::string::npos) << result.out;
    ChildResult plain = Client({"exchange", Port(), "send", "recv", "EVIL"});
    EXPECT_EQ(plain.out, "reply reply:EVIL\n");
    std::regex message("libkelmlsp: no filter plug-in could be loaded \\(site filter: [^\\n]*missing\\.so");
    EXPECT_TRUE(std::regex_search(plain.err, message)) << plain.err;
    EXPECT_EQ(std::count(plain.err.begin(), plain.err.end(), '\n'), 1) << plain.err;
}

TEST_F(ShimTest, OneMissingPluginLeavesTheOther)
{
    m_env["KELM_LSP_HAZARD_PLUGIN"] = m_root + "/missing.so";
    ChildResult result = Client({"exchange", Port(), "send", "recv", "EVIL"});
    EXPECT_EQ(result.out, "reply reply:XXXX\n");
    EXPECT_NE(result.err.find("libkelmlsp: plug-in not loaded (exploit filter:"), std::string::npos) << result.err;
}

// A program that never opens an IPv4 TCP socket never starts the shim: no
// plug-in is loaded and nothing is said, even when the plug-ins are missing.
TEST_F(ShimTest, ProgramsWithoutSocketsAreUntouched)
{
    // An ASan-built shim cannot be preloaded into a program built without
    // ASan; the sanitizer build leaves this case to the normal build.
    if (kSanitizerBuild)
        GTEST_SKIP() << "needs an uninstrumented program";
    m_env["KELM_LSP_HOST_PLUGIN"] = m_root + "/missing.so";
    ChildResult result = RunChild({"/bin/sh", "-c", "echo hello | cat"}, m_env, m_root);
    EXPECT_EQ(result.out, "hello\n");
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(std::filesystem::exists(m_root + "/fake.log"));
}

}  // namespace
}  // namespace lsp
