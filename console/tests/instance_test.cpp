// qvconsole as real processes on a private bus with the real korvad:
// start-up, the second-instance hand-off, and routing to the window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "bus_testing.h"
#include "servicelink/msg_request.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Instances : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus_testing::EnsureApplication();
        std::string error;
        ASSERT_TRUE(m_bus.Start(&error)) << error;
        ::setenv("KELM_STATE_ROOT", m_state.Path().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("KELM_SERVICE_WAIT_MS");
    }
    void TearDown() override
    {
        m_first.Stop();
        m_korvad.Stop();
    }

    std::string Log(const std::string& name) const { return m_state.Path() + "/" + name + ".log"; }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Waits until the log at PATH holds LINE.
    static bool WaitForLine(const std::string& path, const std::string& line, std::chrono::milliseconds limit = 10s)
    {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            if (Read(path).find(line) != std::string::npos)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    bool StartService() { return bus_testing::StartKorvad(m_korvad, KORVAD_PATH, m_state.Path()); }
    bool StartFirst(const std::vector<std::string>& args = {})
    {
        return m_first.Start(QVCONSOLE_PATH, args, Log("first"));
    }
    // Runs a second instance to its end; its exit status, or -1.
    int RunSecond(const std::vector<std::string>& args, std::chrono::milliseconds limit = 15s)
    {
        bus_testing::ChildProcess second;
        if (!second.Start(QVCONSOLE_PATH, args, Log("second")))
            return -1;
        int status = 0;
        if (!second.WaitExit(static_cast<int>(limit.count()), &status))
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bus_testing::TempDir m_state;
    bus_testing::PrivateBus m_bus;
    bus_testing::ChildProcess m_korvad;
    bus_testing::ChildProcess m_first;
};

TEST_F(Instances, SecondStartWithScanNowHandsOverAndExits)
{
    ASSERT_TRUE(StartService());
    ASSERT_TRUE(StartFirst());
    ASSERT_TRUE(WaitForLine(Log("first"), "qvconsole: window_ready")) << Read(Log("first"));
    EXPECT_EQ(RunSecond({"/scan:now"}), 0);
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: QV_LAUNCH_SCAN")) << Read(Log("first"));
    const std::string second = Read(Log("second"));
    EXPECT_NE(second.find("handed over to the running instance"), std::string::npos) << second;
    EXPECT_EQ(second.find("window_ready"), std::string::npos) << second;
}

TEST_F(Instances, SecondStartWithOtherScanTypeOnlyBringsToFront)
{
    ASSERT_TRUE(StartService());
    ASSERT_TRUE(StartFirst());
    ASSERT_TRUE(WaitForLine(Log("first"), "qvconsole: window_ready"));
    EXPECT_EQ(RunSecond({"-scan=quick", "/action:launch_results"}), 0);
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: QV_LAUNCH_TO_RESULTS"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Read(Log("first")).find("QV_LAUNCH_SCAN"), std::string::npos);
}

TEST_F(Instances, SecondStartWhileTheFirstIsStartingWaitsThenPosts)
{
    // The first instance waits for a service that is not there yet: its
    // instance marker exists, its window does not.
    ::setenv("KELM_SERVICE_WAIT_MS", "15000", 1);
    ASSERT_TRUE(StartFirst());
    std::this_thread::sleep_for(500ms);
    bus_testing::ChildProcess second;
    ASSERT_TRUE(second.Start(QVCONSOLE_PATH, {"/action:launch_extraction"}, Log("second")));
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(StartService());
    ASSERT_TRUE(WaitForLine(Log("first"), "qvconsole: window_ready")) << Read(Log("first"));
    int status = 0;
    ASSERT_TRUE(second.WaitExit(10000, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: QV_LAUNCH_EXTRACTION")) << Read(Log("first"));
    EXPECT_NE(Read(Log("second")).find("handed over to the starting instance"), std::string::npos);
}

TEST_F(Instances, WithoutTheServiceThereIsNoWindowAndTheProgramEnds)
{
    ::setenv("KELM_SERVICE_WAIT_MS", "400", 1);
    const auto start = Clock::now();
    bus_testing::ChildProcess lone;
    ASSERT_TRUE(lone.Start(QVCONSOLE_PATH, {}, Log("lone")));
    int status = 0;
    ASSERT_TRUE(lone.WaitExit(10000, &status));
    EXPECT_LT(Clock::now() - start, 8s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    const std::string log = Read(Log("lone"));
    EXPECT_EQ(log.find("window_ready"), std::string::npos) << log;
    EXPECT_NE(log.find("the service is not running"), std::string::npos) << log;
}

TEST_F(Instances, ChangeByAnotherClientIsPostedToTheWindow)
{
    ASSERT_TRUE(StartService());
    ASSERT_TRUE(StartFirst());
    ASSERT_TRUE(WaitForLine(Log("first"), "qvconsole: window_ready"));
    CMsgRequest set(0);
    set["path"] = "korva.applications.tavrel.system.options";
    set["name"] = "enable_alarm";
    set["value"] = "0";
    set["cfg.source"] = "system";
    ASSERT_TRUE(set.Execute("korva.config.set_value").Succeeded());
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: config_change setting=63 type=1 text= integer=0 bool=0"))
        << Read(Log("first"));
    // Scanner notifications reach the window both as state records and
    // through its own binding.
    CMsgRequest scanner(0);
    scanner["notification"] = "korva.scanner.client_notify";
    scanner["scan_event"] = "complete";
    ASSERT_TRUE(scanner.Execute("korva.service.send_notification").Succeeded());
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: scanner_state 4"));
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: scanner_notify complete"));
    CMsgRequest failed(0);
    failed["notification"] = "korva.scanner.client_notify";
    failed["status"] = "failed_to_launch";
    failed["message"] = " %s%n%1";
    ASSERT_TRUE(failed.Execute("korva.service.send_notification").Succeeded());
    // The message table's text, then the service's failure text as data.
    EXPECT_TRUE(WaitForLine(Log("first"), "qvconsole: message_box The scanner could not be started.\n %s%n%1"))
        << Read(Log("first"));
}

}  // namespace
