#include "win/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace win {
namespace {

TEST(WinRegistryTextTest, RootedKeyPaths)
{
    struct Case {
        const char* text;
        bool ok;
        Hive hive;
        const char* path;
    } cases[] = {
        {"HKLM\\Software\\KLMS\\Tavrel\\Tracking", true, Hive::LocalMachine, "Software\\KLMS\\Tavrel\\Tracking"},
        {"hkcu\\software\\microsoft\\internet explorer\\main", true, Hive::CurrentUser,
         "software\\microsoft\\internet explorer\\main"},
        {"HKEY_CURRENT_USER\\Software", true, Hive::CurrentUser, "Software"},
        {"HKEY_LOCAL_MACHINE", true, Hive::LocalMachine, ""},
        {"HKCU", true, Hive::CurrentUser, ""},
        {"HKCU\\", true, Hive::CurrentUser, ""},
        {"HKCUX\\Software", false, Hive::CurrentUser, ""},
        {"HKCR\\Software", false, Hive::CurrentUser, ""},
        {"Software\\KLMS", false, Hive::CurrentUser, ""},
        {"", false, Hive::CurrentUser, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Hive hive = Hive::CurrentUser;
        std::string path = "unchanged";
        ASSERT_EQ(ParseRootedKeyPath(c.text, hive, path), c.ok);
        if (c.ok) {
            EXPECT_EQ(hive, c.hive);
            EXPECT_EQ(path, c.path);
        }
    }
}

TEST(WinRegistryTextTest, EnvironmentExpansion)
{
    ::setenv("KELM_X", "ex", 1);
    ::unsetenv("KELM_UNSET_VARIABLE");
    struct Case {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%KELM_X%", "ex"},
        {"a%KELM_X%b%KELM_X%c", "aexbexc"},
        {"%KELM_UNSET_VARIABLE%\\x", "%KELM_UNSET_VARIABLE%\\x"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"%KELM_X", "%KELM_X"},
        {"no references", "no references"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandEnvironmentStrings(c.text), c.expanded) << c.text;
    ::unsetenv("KELM_X");
}

TEST(WinRegistryTextTest, TypeNames)
{
    EXPECT_EQ(RegTypeName(REG_SZ), "REG_SZ");
    EXPECT_EQ(RegTypeName(REG_EXPAND_SZ), "REG_EXPAND_SZ");
    EXPECT_EQ(RegTypeName(REG_DWORD), "REG_DWORD");
    EXPECT_EQ(RegTypeName(REG_QWORD), "REG_QWORD");
    EXPECT_EQ(RegTypeName(REG_BINARY), "REG_BINARY");
    EXPECT_EQ(RegTypeName(REG_MULTI_SZ), "REG_MULTI_SZ");
    EXPECT_EQ(RegTypeName(0x1234), "REG_0x1234");
}

}  // namespace
}  // namespace win
