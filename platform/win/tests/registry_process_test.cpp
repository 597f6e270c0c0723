// Two real processes writing the same hive at once.
#include "win/registry.h"

#include "child_process.h"
#include "temp_state_root.h"

#include <gtest/gtest.h>

namespace win {
namespace {

using WinRegistryProcessTest = test::TempStateRoot;

TEST_F(WinRegistryProcessTest, TwoProcessesWritingOneHiveLoseNothing)
{
    constexpr int kPerProcess = 500;
    const std::string key = "Software\\KLMS\\Tavrel\\Concurrent";
    test::ChildProcess first({"write-values", "HKLM", key, "a", std::to_string(kPerProcess)});
    test::ChildProcess second({"write-values", "HKLM", key, "b", std::to_string(kPerProcess)});
    ASSERT_EQ(first.Wait(), 0);
    ASSERT_EQ(second.Wait(), 0);

    RegKey result;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, key, result), ERROR_SUCCESS);
    std::vector<RegValue> values;
    ASSERT_EQ(result.EnumValues(values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), 2u * kPerProcess);
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kPerProcess; ++i) {
            DWORD value = 0xFFFFFFFF;
            ASSERT_EQ(result.QueryDword(prefix + std::to_string(i), value), ERROR_SUCCESS) << prefix << i;
            EXPECT_EQ(value, static_cast<DWORD>(i));
        }
    }
}

TEST_F(WinRegistryProcessTest, WritesAcknowledgedBeforeAKillSurviveIt)
{
    const std::string key = "Software\\KLMS\\Tavrel\\Tracking";
    int acknowledged = -1;
    {
        test::ChildProcess writer({"write-forever", "HKLM", key, "v"});
        for (int i = 0; i < 40; ++i) {
            const std::string line = writer.ReadLine();
            ASSERT_EQ(line, std::to_string(i));
            acknowledged = i;
        }
        writer.Kill();  // most likely in the middle of a write
    }
    RegKey result;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, key, result), ERROR_SUCCESS);
    for (int i = 0; i <= acknowledged; ++i) {
        DWORD value = 0xFFFFFFFF;
        ASSERT_EQ(result.QueryDword("v" + std::to_string(i), value), ERROR_SUCCESS) << i;
        EXPECT_EQ(value, static_cast<DWORD>(i));
    }
    // The hive stays writable after the crash.
    EXPECT_EQ(result.SetDword("after", 1), ERROR_SUCCESS);
}

}  // namespace
}  // namespace win
