#include "win/system_info.h"

#include "proc_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace win {
namespace {

TEST(WinProcTextTest, StatLineGivesParentAndNameEvenWithOddNames)
{
    const struct {
        const char* stat;
        bool ok;
        DWORD parent;
        const char* name;
    } cases[] = {
        {"1234 (bash) S 1200 1234 1234 34816 ...", true, 1200, "bash"},
        {"77 (a) b) (c) R 5 77 77", true, 5, "a) b) (c"},
        {"9 (with space) S 1 9 9", true, 1, "with space"},
        {"2 (kthreadd) S 0 0 0", true, 0, "kthreadd"},
        {"broken", false, 0, ""},
        {"5 (x) S", false, 0, ""},
        {"5 (x) S notanumber", false, 0, ""},
        {"5 (x) S 99999999999", false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stat);
        DWORD parent = 0;
        std::string name;
        ASSERT_EQ(detail::ParseProcStat(c.stat, parent, name), c.ok);
        if (c.ok) {
            EXPECT_EQ(parent, c.parent);
            EXPECT_EQ(name, c.name);
        }
    }
}

TEST(WinProcTextTest, OsReleaseFieldsLoseTheirQuotes)
{
    const auto fields = detail::ParseOsRelease("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                               "NAME='Debian GNU/Linux'\n"
                                               "# comment\n"
                                               "VERSION_ID=\"12\"\n"
                                               "VERSION=\"12 (bookworm)\"\n"
                                               "ID=debian\n"
                                               "ESCAPED=\"a\\\"b\"\n"
                                               "=novalue\n"
                                               "garbage line\n");
    EXPECT_EQ(fields.at("NAME"), "Debian GNU/Linux");
    EXPECT_EQ(fields.at("VERSION"), "12 (bookworm)");
    EXPECT_EQ(fields.at("ID"), "debian");
    EXPECT_EQ(fields.at("ESCAPED"), "a\"b");
    EXPECT_EQ(fields.size(), 6u);
}

TEST(WinProcTextTest, CpuInfoTakesTheFirstProcessor)
{
    CpuInformation cpu;
    detail::ParseCpuInfo("processor\t: 0\n"
                         "vendor_id\t: GenuineIntel\n"
                         "model name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
                         "cpu MHz\t\t: 2199.998\n"
                         "\n"
                         "processor\t: 1\n"
                         "vendor_id\t: OtherVendor\n"
                         "cpu MHz\t\t: 800.000\n",
                         cpu);
    EXPECT_EQ(cpu.vendor, "GenuineIntel");
    EXPECT_EQ(cpu.modelName, "Intel(R) Xeon(R) CPU @ 2.20GHz");
    EXPECT_EQ(cpu.speedMhz, 2200u);

    CpuInformation bad;
    detail::ParseCpuInfo("cpu MHz : nan\nvendor_id :\n", bad);
    EXPECT_EQ(bad.speedMhz, 0u);
    EXPECT_EQ(bad.vendor, "");
}

TEST(WinProcTextTest, MemInfoInBytes)
{
    const MemoryInformation memory = detail::ParseMemInfo("MemTotal:       16318412 kB\n"
                                                          "MemFree:          1000000 kB\n"
                                                          "MemAvailable:     8000000 kB\n"
                                                          "SwapTotal:        2097148 kB\n"
                                                          "SwapFree:         2000000 kB\n"
                                                          "HugePages_Total:        0\n");
    EXPECT_EQ(memory.physicalInstalled, 16318412ull * 1024);
    EXPECT_EQ(memory.physicalAvailable, 8000000ull * 1024);
    EXPECT_EQ(memory.virtualTotal, (16318412ull + 2097148ull) * 1024);
    EXPECT_EQ(memory.virtualAvailable, (8000000ull + 2000000ull) * 1024);
    // Whole megabytes, rounded down, as the about page shows them.
    EXPECT_EQ(memory.physicalInstalled >> 20, 15935u);

    // Old kernels have no MemAvailable.
    const MemoryInformation old =
        detail::ParseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 10 kB\nCached: 1 kB\n");
    EXPECT_EQ(old.physicalAvailable, 111u * 1024);
    EXPECT_EQ(detail::ParseMemInfo("MemTotal: 99999999999999999999 kB\n").physicalInstalled, 0u);
}

TEST(WinSystemInfoTest, OwnProcessIsInTheSnapshotWithItsParentAndImage)
{
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(::getpid()));
    EXPECT_EQ(GetParentProcessId(), static_cast<DWORD>(::getppid()));

    const std::vector<ProcessEntry> snapshot = SnapshotProcesses();
    const auto self = std::find_if(snapshot.begin(), snapshot.end(),
                                   [](const ProcessEntry& e) { return e.processId == GetCurrentProcessId(); });
    ASSERT_NE(self, snapshot.end());
    EXPECT_EQ(self->parentProcessId, GetParentProcessId());
    EXPECT_EQ(self->imagePath, GetProcessImagePath(GetCurrentProcessId()));
    EXPECT_EQ(self->exeFile, "win_system_test");
    EXPECT_TRUE(std::is_sorted(snapshot.begin(), snapshot.end(), [](const ProcessEntry& a, const ProcessEntry& b) {
        return a.processId < b.processId;
    }));

    const auto parent = std::find_if(snapshot.begin(), snapshot.end(),
                                     [&](const ProcessEntry& e) { return e.processId == self->parentProcessId; });
    EXPECT_NE(parent, snapshot.end());
    EXPECT_EQ(GetProcessImagePath(0xFFFFFFF0u), "");
}

TEST(WinSystemInfoTest, UserAndMachineFacts)
{
    EXPECT_EQ(GetCurrentUserSid(), "S-1-22-1-" + std::to_string(::getuid()));
    EXPECT_FALSE(GetUserName().empty());
    EXPECT_FALSE(GetComputerName().empty());
    EXPECT_EQ(GetDesktopName(), "Default");

    const OsInformation os = GetOSInformation();
    EXPECT_FALSE(os.platform.empty());
    EXPECT_FALSE(os.fullVersion.empty());
    EXPECT_FALSE(os.buildNumber.empty());

    const CpuInformation cpu = GetCPUInformation();
    EXPECT_FALSE(cpu.architecture.empty());
    EXPECT_GE(cpu.count, 1u);

    const MemoryInformation memory = GetMemoryInformation();
    EXPECT_GT(memory.physicalInstalled, 0u);
    EXPECT_LE(memory.physicalAvailable, memory.physicalInstalled);
    EXPECT_GE(memory.virtualTotal, memory.physicalInstalled);
}

TEST(WinSystemInfoTest, TickCountWrapsAtThirtyTwoBits)
{
    EXPECT_EQ(TickCountFromMilliseconds(0), 0u);
    EXPECT_EQ(TickCountFromMilliseconds(0xFFFFFFFFull), 0xFFFFFFFFu);
    EXPECT_EQ(TickCountFromMilliseconds(0x100000000ull), 0u);
    EXPECT_EQ(TickCountFromMilliseconds(0x100000000ull + 2999), 2999u);
    // Elapsed time by unsigned subtraction survives the wrap.
    const DWORD before = TickCountFromMilliseconds(0xFFFFFF00ull);
    const DWORD after = TickCountFromMilliseconds(0x100000000ull + 0x100);
    EXPECT_EQ(static_cast<DWORD>(after - before), 0x200u);

    const ULONGLONG wide = GetTickCount64();
    const DWORD narrow = GetTickCount();
    EXPECT_LT(static_cast<DWORD>(narrow - TickCountFromMilliseconds(wide)), 1000u);
}

}  // namespace
}  // namespace win
