#include "database_clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace lsp {
namespace {

class DatabaseClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lsp-clock-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_file = m_root + "/sites.dat";
        std::ofstream(m_file) << "one";
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    void Replace(const std::string& path, const std::string& text)
    {
        std::ofstream(path + ".new") << text;
        std::rename((path + ".new").c_str(), path.c_str());
    }

    std::string m_root;
    std::string m_file;
};

TEST_F(DatabaseClockTest, UnchangedFilesKeepTimeZero)
{
    DatabaseClock clock;
    clock.Watch({m_file}, 0);
    EXPECT_EQ(clock.Time(), 0u);
    EXPECT_EQ(clock.Time(), 0u);
}

TEST_F(DatabaseClockTest, ReplacedFileGivesTheTickItWasSeen)
{
    DatabaseClock clock;
    clock.Watch({m_file}, 0);
    uint32_t before = TickCount();
    Replace(m_file, "two");
    uint32_t seen = clock.Time();
    EXPECT_GE(seen, before);
    EXPECT_LE(seen, TickCount());
    EXPECT_EQ(clock.Time(), seen);  // stays until the next change
}

TEST_F(DatabaseClockTest, AppearingAndVanishingFilesCount)
{
    DatabaseClock clock;
    std::string second = m_root + "/sb2.dat";
    clock.Watch({m_file, second}, 0);
    Replace(second, "new");
    uint32_t appeared = clock.Time();
    EXPECT_NE(appeared, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    std::filesystem::remove(second);
    EXPECT_GT(clock.Time(), appeared);
}

TEST_F(DatabaseClockTest, FilesAreLookedAtOncePerPollInterval)
{
    DatabaseClock clock;
    clock.Watch({m_file}, 60000);
    Replace(m_file, "two");
    EXPECT_EQ(clock.Time(), 0u);  // the interval has not passed
}

}  // namespace
}  // namespace lsp
