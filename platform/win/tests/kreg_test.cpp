#include "kreg.h"

#include "temp_state_root.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kreg {
namespace {

using namespace win;

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result RunKreg(const std::vector<std::string>& args, const char* answer = nullptr)
{
    std::ostringstream out, err;
    std::istringstream in(answer ? answer : "");
    const int code = Run(args, out, err, answer ? &in : nullptr);
    return {code, out.str(), err.str()};
}

class WinKregTest : public test::TempStateRoot {};

TEST_F(WinKregTest, AddThenQueryPrintsNamesTypesAndData)
{
    const std::string key = "HKLM\\Software\\KLMS\\Tavrel\\Tracking";
    ASSERT_EQ(RunKreg({"add", key, "/v", "qvinit_tps", "/t", "REG_DWORD", "/d", "1"}).code, 0);
    ASSERT_EQ(RunKreg({"add", key, "/v", "big", "/t", "REG_QWORD", "/d", "0x100000000"}).code, 0);
    ASSERT_EQ(RunKreg({"add", key, "/v", "Site", "/d", "http://example.test"}).code, 0);
    ASSERT_EQ(RunKreg({"add", key, "/v", "raw", "/t", "reg_binary", "/d", "00fF"}).code, 0);
    ASSERT_EQ(RunKreg({"add", key, "/ve", "/d", "default"}).code, 0);

    const Result query = RunKreg({"query", "HKEY_LOCAL_MACHINE\\software\\klms\\tavrel\\tracking"});
    ASSERT_EQ(query.code, 0) << query.err;
    EXPECT_EQ(query.out,
              "HKEY_LOCAL_MACHINE\\software\\klms\\tavrel\\tracking\n"
              "    (Default)    REG_SZ    default\n"
              "    big    REG_QWORD    0x100000000\n"
              "    qvinit_tps    REG_DWORD    0x1\n"
              "    raw    REG_BINARY    00FF\n"
              "    Site    REG_SZ    http://example.test\n"
              "\n");

    // The values arrived in the registry itself, not only in kreg's view.
    RegKey reg;
    DWORD value = 0;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, "Software\\KLMS\\Tavrel\\Tracking", reg), ERROR_SUCCESS);
    ASSERT_EQ(reg.QueryDword("qvinit_tps", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);

    const Result one = RunKreg({"query", key, "/v", "QVINIT_TPS"});
    ASSERT_EQ(one.code, 0);
    EXPECT_NE(one.out.find("REG_DWORD    0x1"), std::string::npos);
}

TEST_F(WinKregTest, QueryListsSubkeysAndRecursesWithS)
{
    ASSERT_EQ(RunKreg({"add", "HKCU\\Top\\A\\Deep", "/v", "x", "/t", "REG_DWORD", "/d", "7"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\Top\\B"}).code, 0);

    const Result flat = RunKreg({"query", "HKCU\\Top"});
    EXPECT_EQ(flat.out, "HKEY_CURRENT_USER\\Top\n\nHKEY_CURRENT_USER\\Top\\A\nHKEY_CURRENT_USER\\Top\\B\n");

    const Result deep = RunKreg({"query", "HKCU\\Top", "/s"});
    EXPECT_NE(deep.out.find("HKEY_CURRENT_USER\\Top\\A\\Deep\n    x    REG_DWORD    0x7\n"), std::string::npos)
        << deep.out;
}

TEST_F(WinKregTest, OverwriteAndDeleteNeedForceOrConsent)
{
    const std::string key = "HKCU\\Software\\KLMS\\Tavrel";
    ASSERT_EQ(RunKreg({"add", key, "/v", "show_splash", "/d", "1"}).code, 0);

    const Result refused = RunKreg({"add", key, "/v", "show_splash", "/d", "0"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("/f"), std::string::npos);
    EXPECT_EQ(RunKreg({"add", key, "/v", "show_splash", "/d", "0"}, "no\n").code, 1);
    EXPECT_EQ(RunKreg({"add", key, "/v", "show_splash", "/d", "0"}, "yes\n").code, 0);
    EXPECT_EQ(RunKreg({"add", key, "/v", "show_splash", "/d", "2", "/f"}).code, 0);
    EXPECT_NE(RunKreg({"query", key, "/v", "show_splash"}).out.find("REG_SZ    2"), std::string::npos);

    EXPECT_EQ(RunKreg({"delete", key, "/v", "show_splash"}).code, 1);
    EXPECT_EQ(RunKreg({"delete", key, "/v", "show_splash", "/f"}).code, 0);
    EXPECT_EQ(RunKreg({"query", key, "/v", "show_splash"}).code, 1);

    EXPECT_EQ(RunKreg({"delete", "HKCU\\Software\\KLMS", "/f"}).code, 0);
    const Result gone = RunKreg({"query", key});
    EXPECT_EQ(gone.code, 1);
    EXPECT_NE(gone.err.find("not found"), std::string::npos);
    RegKey software;
    EXPECT_EQ(RegKey::Open(Hive::CurrentUser, "Software", software), ERROR_SUCCESS);

    EXPECT_EQ(RunKreg({"delete", "HKCU", "/f"}).code, 1);
}

TEST_F(WinKregTest, DeleteAllValuesKeepsSubkeys)
{
    ASSERT_EQ(RunKreg({"add", "HKCU\\K", "/v", "a", "/d", "1"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\K", "/v", "b", "/d", "2"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\K\\Sub"}).code, 0);
    ASSERT_EQ(RunKreg({"delete", "HKCU\\K", "/va", "/f"}).code, 0);
    EXPECT_EQ(RunKreg({"query", "HKCU\\K"}).out, "HKEY_CURRENT_USER\\K\n\nHKEY_CURRENT_USER\\K\\Sub\n");
}

TEST_F(WinKregTest, ExportWritesTheSubtreeReadably)
{
    ASSERT_EQ(RunKreg({"add", "HKCU\\Ex", "/v", "text", "/d", "say \"hi\"\\now"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\Ex", "/v", "path", "/t", "REG_EXPAND_SZ", "/d", "%HOME%\\x"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\Ex\\Sub", "/v", "n", "/t", "REG_DWORD", "/d", "255"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\Ex\\Sub", "/v", "list", "/t", "REG_MULTI_SZ", "/d", "a\\0b"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\Ex\\Sub", "/v", "q", "/t", "REG_QWORD", "/d", "1"}).code, 0);
    ASSERT_EQ(RunKreg({"add", "HKCU\\Other", "/v", "x", "/d", "not exported"}).code, 0);

    const std::string file = (root() / "export.txt").string();
    ASSERT_EQ(RunKreg({"export", "HKCU\\Ex", file}).code, 0);
    std::ifstream stream(file);
    std::stringstream text;
    text << stream.rdbuf();
    EXPECT_EQ(text.str(),
              "; kreg export of HKEY_CURRENT_USER\\Ex\n"
              "\n"
              "[HKEY_CURRENT_USER\\Ex]\n"
              "\"path\"=expand:\"%HOME%\\\\x\"\n"
              "\"text\"=\"say \\\"hi\\\"\\\\now\"\n"
              "\n"
              "[HKEY_CURRENT_USER\\Ex\\Sub]\n"
              "\"list\"=multi:\"a\",\"b\"\n"
              "\"n\"=dword:000000ff\n"
              "\"q\"=qword:0x1\n"
              "\n");

    EXPECT_EQ(RunKreg({"export", "HKCU\\Ex", (root() / "no-such-dir" / "x").string()}).code, 1);
}

TEST_F(WinKregTest, BadInputIsReportedWithNonZeroExit)
{
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "usage"},
        {{"frobnicate", "HKCU\\X"}, "unknown command"},
        {{"query"}, "missing KEY"},
        {{"query", "HKCR\\X"}, "does not begin with"},
        {{"query", "HKCU\\Missing"}, "not found"},
        {{"query", "HKCU\\X", "/zz"}, "unknown switch"},
        {{"add", "HKCU\\X", "/v"}, "/v needs"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_WEIRD"}, "unknown type"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "-1"}, "32-bit"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_DWORD", "/d", "12abc"}, "32-bit"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_BINARY", "/d", "abc"}, "even number"},
        {{"add", "HKCU\\X", "/v", "n", "/t", "REG_BINARY", "/d", "zz"}, "hex digit"},
        {{"add", "HKCU\\X", "/d", "data"}, "need a value name"},
        {{"export", "HKCU"}, "exactly one FILE"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        SCOPED_TRACE(joined);
        const Result result = RunKreg(c.args);
        EXPECT_EQ(result.code, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    // Nothing was created by the refused adds.
    RegKey key;
    EXPECT_EQ(RegKey::Open(Hive::CurrentUser, "X", key), ERROR_FILE_NOT_FOUND);
}

TEST(WinKregFormatTest, DataRoundTripsThroughTextForEachType)
{
    const struct {
        DWORD type;
        const char* input;
        std::vector<std::uint8_t> bytes;
        const char* printed;
    } cases[] = {
        {REG_SZ, "text", {'t', 'e', 'x', 't'}, "text"},
        {REG_SZ, "", {}, ""},
        {REG_EXPAND_SZ, "%X%", {'%', 'X', '%'}, "%X%"},
        {REG_DWORD, "1", {1, 0, 0, 0}, "0x1"},
        {REG_DWORD, "0xFFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}, "0xffffffff"},
        {REG_DWORD, "4294967295", {0xFF, 0xFF, 0xFF, 0xFF}, "0xffffffff"},
        {REG_QWORD, "0x0102030405060708", {8, 7, 6, 5, 4, 3, 2, 1}, "0x102030405060708"},
        {REG_BINARY, "", {}, ""},
        {REG_BINARY, "DEADbeef", {0xDE, 0xAD, 0xBE, 0xEF}, "DEADBEEF"},
        {REG_MULTI_SZ, "a\\0bc", {'a', 0, 'b', 'c', 0, 0}, "a\\0bc"},
        {REG_MULTI_SZ, "", {0}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(RegTypeName(c.type) + " " + c.input);
        std::vector<std::uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(ParseData(c.type, c.input, bytes, error)) << error;
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(FormatData(c.type, bytes), c.printed);
    }
    // A number value of the wrong size prints as its bytes.
    EXPECT_EQ(FormatData(REG_DWORD, {1, 2}), "0102");
}

// The real program, as scripts use it.
TEST_F(WinKregTest, ProgramRunsFromTheShell)
{
    const std::string kreg = KELM_KREG_PROGRAM;
    ASSERT_EQ(std::system((kreg + " add 'HKLM\\Software\\KLMS\\Tavrel\\Tracking' /v qvinit_tps /t REG_DWORD /d 1").c_str()),
              0);
    FILE* pipe = ::popen((kreg + " query 'HKLM\\Software\\KLMS\\Tavrel\\Tracking' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        output += buffer.data();
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(output,
              "HKEY_LOCAL_MACHINE\\Software\\KLMS\\Tavrel\\Tracking\n"
              "    qvinit_tps    REG_DWORD    0x1\n\n");
    EXPECT_NE(std::system((kreg + " query 'HKLM\\Nothing' 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace kreg
