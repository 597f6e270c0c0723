// Start-up pieces that need no service: switch parsing, the zone rule and
// the zone cleanup in the stand-in registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bus_testing.h"
#include "kelmui/resource_module.h"
#include "module_message_table.h"
#include "qvconsole_app.h"
#include "startup_checks.h"
#include "switches.h"
#include "win/registry.h"

namespace {

struct SwitchCase {
    std::vector<std::string> tokens;
    std::vector<std::pair<std::string, std::string>> expected;
};

class Switches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, ParseAsTheCommandLineRulesSay)
{
    const CDictionary switches = ParseSwitches(GetParam().tokens);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& [name, value] : switches)
        got.emplace_back(name, value.ToString());
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Switches,
    ::testing::Values(
        SwitchCase{{"/nooptimize"}, {{"nooptimize", "1"}}},
        SwitchCase{{"-scan=now"}, {{"scan", "now"}}},
        SwitchCase{{"/scan:now"}, {{"scan", "now"}}},
        SwitchCase{{"--//action:launch_results"}, {{"action", "launch_results"}}},
        SwitchCase{{":scan"}, {{":scan", "1"}}},                 // a leading separator is part of the name
        SwitchCase{{"/html:"}, {{"html", ""}}},                    // empty value
        SwitchCase{{"/html=file:///x/"}, {{"html", "file:///x/"}}},  // only the first separator splits
        SwitchCase{{"/scan:quick", "/scan:full"}, {{"scan", "full"}}},  // later wins
        SwitchCase{{"/a=1", "/b", "/a:2"}, {{"a", "2"}, {"b", "1"}}}));

TEST(Zones, OnlyZoneNumbersStay)
{
    for (const char* stays : {"", "0", "1", "5", "9", "3abc"})
        EXPECT_TRUE(IsZoneKeyName(stays)) << stays;
    for (const char* goes : {"1000", "10", "-1", "abc", "x1", "00"})
        EXPECT_FALSE(IsZoneKeyName(goes)) << goes;
}

TEST(Zones, CleanupDeletesTheOthersWithTheirContent)
{
    bus_testing::TempDir state;
    ::setenv("KELM_STATE_ROOT", state.Path().c_str(), 1);
    const char* zonesPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones";
    win::RegKey zones;
    ASSERT_EQ(win::RegKey::Create(win::Hive::CurrentUser, zonesPath, zones), win::ERROR_SUCCESS);
    for (const char* name : {"0", "5", "1000", "-1", "abc"}) {
        win::RegKey sub;
        ASSERT_EQ(zones.CreateSubKey(name, sub), win::ERROR_SUCCESS);
        win::RegKey deeper;
        ASSERT_EQ(sub.CreateSubKey("inner", deeper), win::ERROR_SUCCESS);
        ASSERT_EQ(deeper.SetDword("v", 1), win::ERROR_SUCCESS);
    }
    CleanSecurityZones();
    std::vector<std::string> names;
    ASSERT_EQ(zones.EnumSubKeys(names), win::ERROR_SUCCESS);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"0", "5"}));
}

TEST(Zones, MissingKeyIsNoError)
{
    bus_testing::TempDir state;
    ::setenv("KELM_STATE_ROOT", state.Path().c_str(), 1);
    CleanSecurityZones();
    win::RegKey zones;
    EXPECT_NE(win::RegKey::Open(win::Hive::CurrentUser,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones", zones),
              win::ERROR_SUCCESS);
}

}  // namespace

namespace {

TEST(HelpPath, OnlyALocallyInstalledComponentCounts)
{
    bus_testing::TempDir state;
    ::setenv("KELM_STATE_ROOT", state.Path().c_str(), 1);
    ::setenv("KELM_UI_RESOURCES", "/ui", 1);
    const std::string ini = state.Path() + "/config/components.ini";
    std::filesystem::create_directories(state.Path() + "/config");
    EXPECT_EQ(CQVConsoleApp::FindHelpFilePath(), "/ui/help/index.html");  // no entry
    std::ofstream(ini) << "[{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}]\npath=/opt/help/index.html\nstate=source\n";
    EXPECT_EQ(CQVConsoleApp::FindHelpFilePath(), "/ui/help/index.html");
    std::ofstream(ini) << "[{0D4B9A12-6E73-4C58-A1F0-93B2C5E7D846}]\npath=/opt/help/index.html\nstate=local\n";
    EXPECT_EQ(CQVConsoleApp::FindHelpFilePath(), "/opt/help/index.html");
    ::unsetenv("KELM_UI_RESOURCES");
}

// The built program keeps its message table in the UI module only: the
// texts come from there, and a module that cannot be read leaves the
// strings as they were.
TEST(ModuleMessages, TextsComeFromTheUiModule)
{
    CStringFactory strings;
    ASSERT_TRUE(LoadModuleMessages(strings, kelmui::DefaultModulePath()));
    EXPECT_EQ(strings.GetLocalizedMessage("SCN_SCANNER_FILE"), "Scanning files and folders");
    EXPECT_EQ(strings.GetLocalizedMessage("NO_SUCH_MESSAGE_KEY"), "");

    CStringFactory missing;
    EXPECT_FALSE(LoadModuleMessages(missing, QStringLiteral("/nonexistent/kelmui.rcc")));
    EXPECT_FALSE(missing.IsInitialized());
}

}  // namespace
