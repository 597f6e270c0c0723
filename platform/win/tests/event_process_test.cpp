// Events between real processes.
#include "win/event.h"

#include "child_process.h"
#include "temp_state_root.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace win {
namespace {

class WinEventProcessTest : public test::TempStateRoot {};

TEST_F(WinEventProcessTest, EventExistsWhileItsHolderLivesAndIsFreedWhenItIsKilled)
{
    test::ChildProcess holder({"hold-event", "qvconsoleappmutex", "1", "1"});
    ASSERT_EQ(holder.ReadLine(), "0");  // created new
    EXPECT_TRUE(Event::Exists("qvconsoleappmutex"));

    {
        Event second;
        EXPECT_EQ(Event::Create("qvconsoleappmutex", true, true, second), ERROR_ALREADY_EXISTS);
    }
    // Our own handle is gone; the holder still keeps the event.
    EXPECT_TRUE(Event::Exists("qvconsoleappmutex"));

    holder.Kill();  // SIGKILL: no clean-up code runs in the holder
    EXPECT_FALSE(Event::Exists("qvconsoleappmutex"));
    Event fresh;
    EXPECT_EQ(Event::Create("qvconsoleappmutex", true, true, fresh), ERROR_SUCCESS);
}

TEST_F(WinEventProcessTest, SecondProcessSeesTheFirstOnesEvent)
{
    Event mine;
    ASSERT_EQ(Event::Create("zbev__settings_changed", true, false, mine), ERROR_SUCCESS);
    test::ChildProcess second({"hold-event", "zbev__settings_changed", "1", "0"});
    EXPECT_EQ(second.ReadLine(), "183");
}

TEST_F(WinEventProcessTest, SetInOneProcessWakesAWaiterInAnother)
{
    Event event;
    ASSERT_EQ(Event::Create("Global\\QV_SPLASH_ACTIVE", true, false, event), ERROR_SUCCESS);
    test::ChildProcess waiter({"wait-event", "Global\\QV_SPLASH_ACTIVE", "10000"});
    ASSERT_EQ(waiter.ReadLine(), "ready");
    test::ChildProcess setter({"set-event", "Global\\QV_SPLASH_ACTIVE"});
    EXPECT_EQ(setter.ReadLine(), "0");
    EXPECT_EQ(waiter.ReadLine(), "0");  // WAIT_OBJECT_0
    EXPECT_EQ(waiter.Wait(), 0);
}

TEST_F(WinEventProcessTest, AutoResetSignalReachesExactlyOneWaitingProcess)
{
    Event event;
    ASSERT_EQ(Event::Create("auto_across", /*manualReset=*/false, /*initialState=*/false, event), ERROR_SUCCESS);
    test::ChildProcess first({"wait-event", "auto_across", "1500"});
    test::ChildProcess second({"wait-event", "auto_across", "1500"});
    ASSERT_EQ(first.ReadLine(), "ready");
    ASSERT_EQ(second.ReadLine(), "ready");
    ASSERT_EQ(event.Set(), ERROR_SUCCESS);
    std::vector<std::string> results = {first.ReadLine(), second.ReadLine()};
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (std::vector<std::string>{"0", "258"}));  // one WAIT_OBJECT_0, one WAIT_TIMEOUT
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

}  // namespace
}  // namespace win
