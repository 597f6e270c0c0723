#include "win/event.h"

#include "temp_state_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace win {
namespace {

using Clock = std::chrono::steady_clock;

class WinEventTest : public test::TempStateRoot {};

TEST_F(WinEventTest, SecondCreateAnswersAlreadyExistsAndTheLastCloseEndsIt)
{
    Event first;
    EXPECT_EQ(Event::Open("qvconsoleappmutex", first), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(first.IsOpen());
    ASSERT_EQ(Event::Create("qvconsoleappmutex", /*manualReset=*/true, /*initialState=*/true, first), ERROR_SUCCESS);
    EXPECT_TRUE(Event::Exists("qvconsoleappmutex"));

    Event second;
    ASSERT_EQ(Event::Create("qvconsoleappmutex", /*manualReset=*/false, /*initialState=*/false, second),
              ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(second.IsOpen());
    // The creator's parameters stay: manual reset, signalled.
    EXPECT_EQ(second.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(second.Wait(0), WAIT_OBJECT_0);

    first.Close();
    EXPECT_TRUE(Event::Exists("qvconsoleappmutex"));
    second.Close();
    EXPECT_FALSE(Event::Exists("qvconsoleappmutex"));

    // A new event takes the new creator's parameters.
    Event third;
    ASSERT_EQ(Event::Create("qvconsoleappmutex", /*manualReset=*/false, /*initialState=*/false, third), ERROR_SUCCESS);
    EXPECT_EQ(third.Wait(0), WAIT_TIMEOUT);
}

TEST_F(WinEventTest, ManualResetStaysSignalledUntilReset)
{
    Event event;
    ASSERT_EQ(Event::Create("manual", /*manualReset=*/true, /*initialState=*/false, event), ERROR_SUCCESS);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
    ASSERT_EQ(event.Set(), ERROR_SUCCESS);
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(10), WAIT_OBJECT_0);
    ASSERT_EQ(event.Reset(), ERROR_SUCCESS);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST_F(WinEventTest, AutoResetGivesEachSignalToOneWait)
{
    Event event;
    ASSERT_EQ(Event::Create("auto", /*manualReset=*/false, /*initialState=*/true, event), ERROR_SUCCESS);
    Event other;
    ASSERT_EQ(Event::Open("auto", other), ERROR_SUCCESS);
    EXPECT_EQ(other.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
    EXPECT_EQ(other.Wait(0), WAIT_TIMEOUT);
    ASSERT_EQ(event.Set(), ERROR_SUCCESS);
    ASSERT_EQ(event.Set(), ERROR_SUCCESS);  // setting twice is still one signal
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(other.Wait(0), WAIT_TIMEOUT);
}

TEST_F(WinEventTest, WaitTimesOutAfterItsTime)
{
    Event event;
    ASSERT_EQ(Event::Create("", /*manualReset=*/true, /*initialState=*/false, event), ERROR_SUCCESS);
    const auto start = Clock::now();
    EXPECT_EQ(event.Wait(80), WAIT_TIMEOUT);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(80));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST_F(WinEventTest, SetFromAnotherThreadEndsAnEndlessWait)
{
    Event event;
    ASSERT_EQ(Event::Create("threaded", /*manualReset=*/false, /*initialState=*/false, event), ERROR_SUCCESS);
    std::thread setter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Event mine;
        ASSERT_EQ(Event::Open("threaded", mine), ERROR_SUCCESS);
        ASSERT_EQ(mine.Set(), ERROR_SUCCESS);
    });
    EXPECT_EQ(event.Wait(INFINITE), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);  // the wait took the signal
}

TEST_F(WinEventTest, NamespacesAndNamesAreKeptApart)
{
    Event session, global, upper;
    ASSERT_EQ(Event::Create("QUARANTINE_RUNNING", true, false, session), ERROR_SUCCESS);
    ASSERT_EQ(Event::Create("Global\\QUARANTINE_RUNNING", true, false, global), ERROR_SUCCESS);
    ASSERT_EQ(Event::Create("quarantine_running", true, false, upper), ERROR_SUCCESS);  // case-sensitive

    Event local;
    EXPECT_EQ(Event::Create("Local\\QUARANTINE_RUNNING", true, false, local), ERROR_ALREADY_EXISTS);

    EXPECT_TRUE(std::filesystem::exists(GlobalRuntimePath() / "events" / "ev-QUARANTINE_RUNNING"));
    EXPECT_TRUE(std::filesystem::exists(StateFolderPath(StateFolder::Runtime) / "events" / "ev-QUARANTINE_RUNNING"));

    Event empty;
    EXPECT_EQ(Event::Create("Global\\", true, false, empty), ERROR_INVALID_NAME);
    EXPECT_EQ(Event::Create(std::string(300, 'x'), true, false, empty), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(empty.IsOpen());
}

TEST_F(WinEventTest, NamesCannotEscapeTheFolder)
{
    Event event;
    ASSERT_EQ(Event::Create("../../escape/..", true, false, event), ERROR_SUCCESS);
    const auto folder = StateFolderPath(StateFolder::Runtime) / "events";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files += entry.path().filename().string().rfind("ev-", 0) == 0 ? 1 : 0;
    EXPECT_EQ(files, 1);
    EXPECT_FALSE(std::filesystem::exists(root() / "escape"));
}

TEST_F(WinEventTest, PlantedSymlinkIsRefusedAndItsTargetUntouched)
{
    const auto folder = StateFolderPath(StateFolder::Runtime) / "events";
    std::filesystem::create_directories(folder);
    const auto target = root() / "precious.txt";
    {
        std::ofstream(target) << "keep me";
    }
    std::filesystem::create_symlink(target, folder / "ev-trap");
    Event event;
    EXPECT_EQ(Event::Create("trap", true, true, event), ERROR_ACCESS_DENIED);
    std::ifstream in(target);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");
}

TEST_F(WinEventTest, FileLeftByADeadHolderIsNoEvent)
{
    const auto folder = StateFolderPath(StateFolder::Runtime) / "events";
    std::filesystem::create_directories(folder);
    {
        // A signalled manual-reset record nobody holds.
        std::ofstream file(folder / "ev-stale", std::ios::binary);
        const char record[16] = {'K', 'E', 'V', '1', 1, 1};
        file.write(record, sizeof record);
    }
    EXPECT_FALSE(Event::Exists("stale"));
    Event event;
    ASSERT_EQ(Event::Create("stale", /*manualReset=*/false, /*initialState=*/false, event), ERROR_SUCCESS);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST_F(WinEventTest, UnnamedEventsAreSeparate)
{
    Event a, b;
    ASSERT_EQ(Event::Create("", true, false, a), ERROR_SUCCESS);
    ASSERT_EQ(Event::Create("", true, false, b), ERROR_SUCCESS);
    ASSERT_EQ(a.Set(), ERROR_SUCCESS);
    EXPECT_EQ(a.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(b.Wait(0), WAIT_TIMEOUT);
}

TEST_F(WinEventTest, Win32CallsReportThroughLastError)
{
    HANDLE first = CreateEvent(nullptr, TRUE, TRUE, "bho_bhppl");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    HANDLE second = CreateEvent(nullptr, TRUE, TRUE, "bho_bhppl");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);

    EXPECT_EQ(OpenEvent(SYNCHRONIZE, FALSE, "Global\\activated_qvserver"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE opened = OpenEvent(EVENT_ALL_ACCESS, FALSE, "bho_bhppl");
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(ResetEvent(opened));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(opened));
    EXPECT_EQ(WaitForSingleObject(second, 20), WAIT_OBJECT_0);

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(opened));
    EXPECT_FALSE(Event::Exists("bho_bhppl"));

    // Closed and made-up handles are refused, not followed.
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(first));
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x7777), 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

}  // namespace
}  // namespace win
