// The message table file and the parameter substitution.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bus_testing.h"
#include "servicelink/string_factory.h"

namespace {

class MessageTable : public ::testing::Test {
protected:
    void Write(const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(m_dir.Path()) / "messages");
        std::ofstream(std::filesystem::path(m_dir.Path()) / "messages" / "MESSAGES.txt", std::ios::binary) << text;
    }
    bus_testing::TempDir m_dir;
};

TEST_F(MessageTable, ReadsKeysEscapesAndSkipsNoise)
{
    Write("# comment\r\n"
          "QV_UPDATER_RUNNING=An update is running.\r\n"
          "\n"
          "TWO_LINES=first\\nsecond\\ttab \\\\ back\n"
          "=no key\n"
          "no separator\n"
          "EMPTY=\n"
          "REPLACED=old\n"
          "REPLACED=new=with equals\n");
    CStringFactory factory;
    ASSERT_TRUE(factory.Initialize(m_dir.Path(), "MESSAGES"));
    EXPECT_EQ(factory.GetLocalizedMessage("QV_UPDATER_RUNNING"), "An update is running.");
    EXPECT_EQ(factory.GetLocalizedMessage("TWO_LINES"), "first\nsecond\ttab \\ back");
    EXPECT_EQ(factory.GetLocalizedMessage("EMPTY"), "");
    EXPECT_EQ(factory.GetLocalizedMessage("REPLACED"), "new=with equals");
    EXPECT_EQ(factory.GetLocalizedMessage("no separator"), "");
    EXPECT_EQ(factory.GetLocalizedMessage("MISSING"), "");
}

TEST_F(MessageTable, MissingFileOrUnsafeTableNameFails)
{
    CStringFactory factory;
    EXPECT_FALSE(factory.Initialize(m_dir.Path(), "MESSAGES"));
    EXPECT_FALSE(factory.IsInitialized());
    EXPECT_EQ(factory.GetLocalizedMessage("ANY"), "");
    Write("K=v\n");
    std::string error;
    EXPECT_EQ(OpenMessageTable(m_dir.Path(), "../messages/MESSAGES", &error), nullptr);
    EXPECT_NE(error.find("bad message table name"), std::string::npos);
    EXPECT_EQ(OpenMessageTable(m_dir.Path(), "", &error), nullptr);
}

TEST_F(MessageTable, FormatsPositionalArgumentsAsPlainText)
{
    Write("SCAN_DONE=%1 of %2 items (100%%), %3%4\n"
          "ALL_SIX=%6%5%4%3%2%1\n"
          "ODD=%0 %7 %\n");
    CStringFactory factory;
    ASSERT_TRUE(factory.Initialize(m_dir.Path(), "MESSAGES"));
    EXPECT_EQ(factory.FormatParameterizedMessage("SCAN_DONE", "3", "7", "done"), "3 of 7 items (100%), done");
    EXPECT_EQ(factory.FormatParameterizedMessage("ALL_SIX", "a", "b", "c", "d", "e", "f"), "fedcba");
    EXPECT_EQ(factory.FormatParameterizedMessage("ODD"), "%0 %7 %");
    // An argument that looks like a format stays as it is.
    EXPECT_EQ(factory.FormatParameterizedMessage("SCAN_DONE", "%2", "%%s", "%n"), "%2 of %%s items (100%), %n");
    EXPECT_EQ(factory.FormatParameterizedMessage("MISSING", "x"), "");
}

}  // namespace
