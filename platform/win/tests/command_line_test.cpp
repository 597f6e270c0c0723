#include "win/command_line.h"

#include <gtest/gtest.h>

namespace win {
namespace {

using Tokens = std::vector<std::string>;

TEST(WinCommandLineTest, TokenizerGroupsQuotesAndSplitsAtBlanksTabsAndLineFeeds)
{
    const struct {
        const char* line;
        Tokens tokens;
    } cases[] = {
        {"", {}},
        {"   \t\n ", {}},
        {"qvconsole", {"qvconsole"}},
        {"qvconsole /scan:now", {"qvconsole", "/scan:now"}},
        {"a\tb\nc  d", {"a", "b", "c", "d"}},
        {"a\rb", {"a\rb"}},  // only blank, tab and line feed separate
        {"\"/usr/local/Kelm Apps/qvconsole\" -action=launch_results",
         {"/usr/local/Kelm Apps/qvconsole", "-action=launch_results"}},
        {"/html:\"file:///a b/\" /nooptimize", {"/html:file:///a b/", "/nooptimize"}},
        {"x \"\" y", {"x", "", "y"}},
        {"\"unclosed quote here", {"unclosed quote here"}},
        {"ab\"cd ef\"gh", {"abcd efgh"}},
        {"\"a\"\"b\"", {"ab"}},
        {"path\\with\\backslash\\ \"C:\\dir\\\"", {"path\\with\\backslash\\", "C:\\dir\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(TokenizeCommandLine(c.line), c.tokens);
    }
}

TEST(WinCommandLineTest, PlainSplitKnowsNoQuotes)
{
    const struct {
        const char* text;
        const char* separators;
        Tokens pieces;
    } cases[] = {
        {"qvbeacon qvtrackpoint:4 qvitem:12", " \t\n", {"qvbeacon", "qvtrackpoint:4", "qvitem:12"}},
        {"qvbeacon \"qvsite:http://a b\"", " \t\n", {"qvbeacon", "\"qvsite:http://a", "b\""}},
        {"  a\t\tb\n", " \t\n", {"a", "b"}},
        {"", " \t\n", {}},
        {"WS_CHILD|WS_VISIBLE||0x10", "|", {"WS_CHILD", "WS_VISIBLE", "0x10"}},
        {"a,b;c", ",;", {"a", "b", "c"}},
        {"abc", "", {"abc"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitAtAny(c.text, c.separators), c.pieces);
    }
}

TEST(WinCommandLineTest, JoinedArgumentsTokenizeBackToThemselves)
{
    const Tokens arguments = {"/usr/bin/qvconsole", "/scan:now", "a b", "", "tab\there", "plain"};
    const std::string line = JoinCommandLine(arguments);
    EXPECT_EQ(line, "/usr/bin/qvconsole /scan:now \"a b\" \"\" \"tab\there\" plain");
    EXPECT_EQ(TokenizeCommandLine(line), arguments);
}

TEST(WinCommandLineTest, OwnCommandLineStartsWithTheProgram)
{
    const Tokens tokens = TokenizeCommandLine(GetCommandLine());
    ASSERT_FALSE(tokens.empty());
    EXPECT_NE(tokens[0].find("win_system_test"), std::string::npos);
}

}  // namespace
}  // namespace win
