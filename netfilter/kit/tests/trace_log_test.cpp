#include <kit/debug_output.h>
#include <kit/trace_log.h>

#include <test_support.h>

#include <win/registry.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Collects what reaches the debugger channel.
class DebugCapture {
public:
    DebugCapture()
    {
        m_previous = nfkit::SetDebugOutputHandler([this](std::string_view text) { lines.emplace_back(text); });
    }
    ~DebugCapture() { nfkit::SetDebugOutputHandler(std::move(m_previous)); }
    std::vector<std::string> lines;

private:
    nfkit::DebugOutputHandler m_previous;
};

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TraceLog, WritesOnlyLinesAtOrBelowItsLevel)
{
    DebugCapture capture;
    GMCTraceLog trace(2, "KelmLsp");
    trace.PrintTraceLog(4, "detail\n");
    trace.PrintTraceLog(2, "failure\n");
    trace.PrintTraceLogF(3, "skipped %d\n", 1);
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0], "KelmLsp[2]\tfailure\n");
}

TEST(TraceLog, SkippedLevelLeavesTheRepeatStateAlone)
{
    DebugCapture capture;
    GMCTraceLog trace(2, "");
    trace.PrintTraceLog(2, "a");
    trace.PrintTraceLog(4, "a");  // above the level: not counted as a repeat
    trace.PrintTraceLog(2, "b");
    EXPECT_EQ(capture.lines, (std::vector<std::string>{"[2]\ta", "[2]\tb"}));
}

TEST(TraceLog, CollapsesRepeatedMessages)
{
    DebugCapture capture;
    GMCTraceLog trace(4, "");
    for (int i = 0; i < 3; ++i)
        trace.PrintTraceLog(4, "same\n");
    trace.PrintTraceLog(4, "other\n");
    EXPECT_EQ(capture.lines,
              (std::vector<std::string>{"[4]\tsame\n", "Last Message Repeated < 2 > times\n", "[4]\tother\n"}));
}

TEST(TraceLog, LevelZeroCreatesNoSinkAndWritesNothing)
{
    DebugCapture capture;
    GMCTraceLog trace(0, "x");
    EXPECT_FALSE(trace.IsEnabled());
    EXPECT_EQ(trace.Sink(), nullptr);
    trace.PrintTraceLog(0, "nothing");
    EXPECT_TRUE(capture.lines.empty());
}

TEST(TraceLog, LongMessagesAreCutNotOverrun)
{
    DebugCapture capture;
    GMCTraceLog trace(4, "");
    const std::string huge(5000, 'q');
    trace.PrintTraceLogF(4, "%s", huge.c_str());
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0].size(), std::string("[4]\t").size() + 1023);
}

class TraceRegistryTest : public ::testing::Test {
protected:
    nftest::TempStateRoot root;

    win::RegKey TraceKey(win::Hive hive)
    {
        win::RegKey key;
        EXPECT_EQ(win::RegKey::Create(hive, "SOFTWARE\\Orlent\\Trace", key), win::ERROR_SUCCESS);
        return key;
    }
};

TEST_F(TraceRegistryTest, FileLineWithDateAndTimeHasTheFixedShape)
{
    const auto file = root.path() / "trace.log";
    win::RegKey key = TraceKey(win::Hive::CurrentUser);
    key.SetDword("Level", 4);
    key.SetDword("OutputToFile", 1);
    key.SetDword("OutputToDebug", 0);
    key.SetDword("IncludeDateTime", 1);
    key.SetString("File", file.string());

    DebugCapture capture;
    GMCTraceLog trace(0, "unused");
    trace.Configure("", 2, "KelmLsp");
    EXPECT_EQ(trace.Level(), 4u);  // the larger of the registry's and the given
    trace.PrintTraceLog(4, "hello\n");
    EXPECT_TRUE(capture.lines.empty());

    const std::string text = ReadAll(file);
    const std::regex shape("KelmLsp\t\\d\\d:\\d\\d:\\d\\d\t\\d\\d/\\d\\d/\\d\\d:\t\\[4\\]\thello\n\r\n");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
}

TEST_F(TraceRegistryTest, MachineKeyIsUsedWhenTheUserHasNone)
{
    win::RegKey key = TraceKey(win::Hive::LocalMachine);
    key.SetDword("Level", 3);
    key.SetString("Prefix", "FromMachine");
    key.SetString("OutputToScreen", "not a number");  // another type: ignored

    DebugCapture capture;
    GMCTraceLog trace(0, "");
    trace.Configure("", 1, "Given");
    EXPECT_EQ(trace.Level(), 3u);
    EXPECT_STREQ(trace.Prefix(), "FromMachine");
    trace.PrintTraceLog(3, "m");
    EXPECT_EQ(capture.lines, (std::vector<std::string>{"FromMachine[3]\tm"}));
}

TEST_F(TraceRegistryTest, WithoutAKeyTheGivenLevelAndPrefixStay)
{
    GMCTraceLog trace(0, "");
    trace.Configure("SOFTWARE\\Orlent\\NoSuchKey", 2, "Given");
    EXPECT_EQ(trace.Level(), 2u);
    EXPECT_STREQ(trace.Prefix(), "Given");
    EXPECT_TRUE(trace.IsEnabled());
}

TEST_F(TraceRegistryTest, ExpandableFilePathIsExpanded)
{
    setenv("KELM_TRACE_TEST_DIR", root.path().c_str(), 1);
    win::RegKey key = TraceKey(win::Hive::CurrentUser);
    key.SetDword("Level", 2);
    key.SetDword("OutputToFile", 1);
    key.SetString("File", "%KELM_TRACE_TEST_DIR%/expanded.log", win::REG_EXPAND_SZ);
    GMCTraceLog trace(0, "");
    trace.Configure("", 0, "");
    trace.PrintTraceLog(2, "x");
    EXPECT_EQ(ReadAll(root.path() / "expanded.log"), "[2]\tx\r\n");
    unsetenv("KELM_TRACE_TEST_DIR");
}

}  // namespace
