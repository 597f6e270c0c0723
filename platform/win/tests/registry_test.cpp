#include "win/registry.h"

#include "temp_state_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace win {
namespace {

using WinRegistryTest = test::TempStateRoot;

TEST_F(WinRegistryTest, CreateAnswersWhetherTheKeyExistedAndOpenNeedsIt)
{
    RegKey key;
    EXPECT_EQ(RegKey::Open(Hive::CurrentUser, "Software\\KLMS\\Tavrel", key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.IsOpen());

    bool existed = true;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "Software\\KLMS\\Tavrel", key, &existed), ERROR_SUCCESS);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(key.IsOpen());

    RegKey again;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "software\\klms\\TAVREL", again, &existed), ERROR_SUCCESS);
    EXPECT_TRUE(existed);

    // The parents were created along the way.
    RegKey parent;
    EXPECT_EQ(RegKey::Open(Hive::CurrentUser, "Software\\KLMS", parent), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(root() / "registry" / "HKCU.db"));
}

TEST_F(WinRegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    RegKey key;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "Software\\MixedCase", key), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("Start Page", "about:blank"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("START PAGE", "http://example.test/"), ERROR_SUCCESS);  // same value

    std::string text;
    ASSERT_EQ(key.QueryString("start page", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "http://example.test/");

    std::vector<RegValue> values;
    ASSERT_EQ(key.EnumValues(values), ERROR_SUCCESS);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Start Page");

    RegKey sub;
    ASSERT_EQ(key.CreateSubKey("Zones", sub), ERROR_SUCCESS);
    ASSERT_EQ(key.CreateSubKey("ZONES", sub), ERROR_SUCCESS);
    // Non-ASCII letters fold too.
    ASSERT_EQ(key.CreateSubKey("Ärger", sub), ERROR_SUCCESS);
    bool existed = false;
    ASSERT_EQ(key.CreateSubKey("äRGER", sub, &existed), ERROR_SUCCESS);
    EXPECT_TRUE(existed);

    std::vector<std::string> names;
    ASSERT_EQ(key.EnumSubKeys(names), ERROR_SUCCESS);
    EXPECT_EQ(names, (std::vector<std::string>{"Zones", "Ärger"}));
}

struct RoundTripCase {
    const char* label;
    DWORD type;
    std::vector<std::uint8_t> data;
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << "value \"" << c.label << "\" of type " << RegTypeName(c.type);
}

class WinRegistryRoundTripTest : public test::TempStateRoot,
                              public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(WinRegistryRoundTripTest, ValueComesBackAsWritten)
{
    const RoundTripCase& c = GetParam();
    RegKey key;
    ASSERT_EQ(RegKey::Create(Hive::LocalMachine, "Software\\RoundTrip", key), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue(c.label, c.type, c.data), ERROR_SUCCESS);

    // Read back through a fresh connection, as another process would.
    key.Close();
    RegKey reopened;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, "software\\roundtrip", reopened), ERROR_SUCCESS);
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(reopened.QueryValue(c.label, type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Types, WinRegistryRoundTripTest,
    ::testing::Values(RoundTripCase{"sz", REG_SZ, {'h', 'i'}},
                      RoundTripCase{"expand", REG_EXPAND_SZ, {'%', 'H', 'O', 'M', 'E', '%'}},
                      RoundTripCase{"binary_with_nul", REG_BINARY, {0, 1, 0, 0xFF}},
                      RoundTripCase{"empty_binary", REG_BINARY, {}},
                      RoundTripCase{"dword", REG_DWORD, {1, 0, 0, 0}},
                      RoundTripCase{"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
                      RoundTripCase{"", REG_SZ, {'d', 'e', 'f'}},  // the default value
                      RoundTripCase{"unknown_type", 0x1234, {9}}),
    [](const auto& info) { return std::string(*info.param.label ? info.param.label : "default_value"); });

TEST_F(WinRegistryTest, TypedAccessorsConvertAndCheckTheType)
{
    RegKey key;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "Typed", key), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword("d", 0xDEADBEEF), ERROR_SUCCESS);
    ASSERT_EQ(key.SetQword("q", 0x0102030405060708ull), ERROR_SUCCESS);
    ASSERT_EQ(key.SetMultiString("m", {"one", "two"}), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue("short", REG_DWORD, {1, 2}), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue("nul_terminated", REG_SZ, {'a', 'b', 0}), ERROR_SUCCESS);

    DWORD d = 0;
    std::uint64_t q = 0;
    std::vector<std::string> multi;
    std::string text;
    std::vector<std::uint8_t> raw;
    EXPECT_EQ(key.QueryDword("d", d), ERROR_SUCCESS);
    EXPECT_EQ(d, 0xDEADBEEFu);
    EXPECT_EQ(key.QueryQword("q", q), ERROR_SUCCESS);
    EXPECT_EQ(q, 0x0102030405060708ull);
    EXPECT_EQ(key.QueryMultiString("m", multi), ERROR_SUCCESS);
    EXPECT_EQ(multi, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(key.QueryBinary("d", raw), ERROR_SUCCESS);
    EXPECT_EQ(raw, (std::vector<std::uint8_t>{0xEF, 0xBE, 0xAD, 0xDE}));
    EXPECT_EQ(key.QueryString("nul_terminated", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "ab");

    EXPECT_EQ(key.QueryString("d", text), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(key.QueryDword("q", d), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(key.QueryQword("d", q), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(key.QueryDword("short", d), ERROR_INVALID_DATA);
    EXPECT_EQ(key.QueryDword("missing", d), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.SetString("bad", "x", REG_DWORD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key.SetMultiString("bad", {"a", ""}), ERROR_INVALID_PARAMETER);
}

TEST_F(WinRegistryTest, ExpandableTextIsExpandedOnlyOnRequest)
{
    ::setenv("KELM_REG_TEST_DIR", "/opt/kelm", 1);
    RegKey key;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "SOFTWARE\\Orlent\\Trace", key), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("File", "%KELM_REG_TEST_DIR%\\trace.log", REG_EXPAND_SZ), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("Plain", "%KELM_REG_TEST_DIR%"), ERROR_SUCCESS);

    std::string text;
    ASSERT_EQ(key.QueryString("File", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "%KELM_REG_TEST_DIR%\\trace.log");
    ASSERT_EQ(key.QueryString("File", text, /*expand=*/true), ERROR_SUCCESS);
    EXPECT_EQ(text, "/opt/kelm\\trace.log");
    // REG_SZ text is never expanded.
    ASSERT_EQ(key.QueryString("Plain", text, /*expand=*/true), ERROR_SUCCESS);
    EXPECT_EQ(text, "%KELM_REG_TEST_DIR%");
    ::unsetenv("KELM_REG_TEST_DIR");
}

class WinRegistryTreeTest : public test::TempStateRoot {
protected:
    void SetUp() override
    {
        TempStateRoot::SetUp();
        ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "Zones", zones_), ERROR_SUCCESS);
        for (const char* path : {"0", "5", "1000\\Deep\\Deeper", "abc"}) {
            RegKey sub;
            ASSERT_EQ(zones_.CreateSubKey(path, sub), ERROR_SUCCESS);
            ASSERT_EQ(sub.SetDword("marker", 1), ERROR_SUCCESS);
        }
        ASSERT_EQ(zones_.SetString("own", "value"), ERROR_SUCCESS);
    }

    std::vector<std::string> SubKeys() const
    {
        std::vector<std::string> names;
        EXPECT_EQ(zones_.EnumSubKeys(names), ERROR_SUCCESS);
        return names;
    }

    RegKey zones_;
};

TEST_F(WinRegistryTreeTest, DeleteSubKeyRefusesAKeyWithSubkeys)
{
    EXPECT_EQ(zones_.DeleteSubKey("1000"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(zones_.DeleteSubKey("abc"), ERROR_SUCCESS);
    EXPECT_EQ(zones_.DeleteSubKey("abc"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(zones_.DeleteSubKey("1000\\Deep\\Deeper"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(), (std::vector<std::string>{"0", "1000", "5"}));
}

TEST_F(WinRegistryTreeTest, DeleteTreeRemovesTheWholeSubtreeOnly)
{
    RegKey deeper;
    ASSERT_EQ(zones_.OpenSubKey("1000\\DEEP\\deeper", deeper), ERROR_SUCCESS);

    EXPECT_EQ(zones_.DeleteTree("1000"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(), (std::vector<std::string>{"0", "5", "abc"}));
    RegKey gone;
    EXPECT_EQ(RegKey::Open(Hive::CurrentUser, "Zones\\1000\\Deep", gone), ERROR_FILE_NOT_FOUND);

    // A handle to a deleted key stays deleted, even when the path comes back.
    RegKey recreated;
    ASSERT_EQ(zones_.CreateSubKey("1000\\Deep\\Deeper", recreated), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(deeper.QueryDword("marker", value), ERROR_KEY_DELETED);
    EXPECT_EQ(deeper.SetDword("marker", 2), ERROR_KEY_DELETED);
    EXPECT_EQ(recreated.QueryDword("marker", value), ERROR_FILE_NOT_FOUND);

    std::string text;
    EXPECT_EQ(zones_.QueryString("own", text), ERROR_SUCCESS);
}

TEST_F(WinRegistryTreeTest, DeleteTreeWithoutNameEmptiesTheKeyButKeepsIt)
{
    EXPECT_EQ(zones_.DeleteTree(), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys().empty());
    std::vector<RegValue> values;
    ASSERT_EQ(zones_.EnumValues(values), ERROR_SUCCESS);
    EXPECT_TRUE(values.empty());
    RegKey still;
    EXPECT_EQ(RegKey::Open(Hive::CurrentUser, "Zones", still), ERROR_SUCCESS);
    EXPECT_EQ(zones_.SetDword("again", 1), ERROR_SUCCESS);
}

TEST_F(WinRegistryTreeTest, DeleteValueAndEnumerationOrder)
{
    ASSERT_EQ(zones_.SetDword("Beta", 2), ERROR_SUCCESS);
    ASSERT_EQ(zones_.SetDword("alpha", 1), ERROR_SUCCESS);
    std::vector<RegValue> values;
    ASSERT_EQ(zones_.EnumValues(values), ERROR_SUCCESS);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, "alpha");
    EXPECT_EQ(values[1].name, "Beta");
    EXPECT_EQ(values[2].name, "own");

    EXPECT_EQ(zones_.DeleteValue("BETA"), ERROR_SUCCESS);
    EXPECT_EQ(zones_.DeleteValue("BETA"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(zones_.EnumValues(values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), 2u);
}

TEST_F(WinRegistryTest, HivesAreSeparate)
{
    RegKey user;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "Software\\KLMS\\Tavrel\\Tracking", user), ERROR_SUCCESS);
    ASSERT_EQ(user.SetDword("qvinit_tps", 1), ERROR_SUCCESS);
    RegKey machine;
    EXPECT_EQ(RegKey::Open(Hive::LocalMachine, "Software\\KLMS\\Tavrel\\Tracking", machine), ERROR_FILE_NOT_FOUND);
}

TEST_F(WinRegistryTest, ClosedKeyIsAnInvalidHandle)
{
    RegKey key;
    DWORD value = 0;
    EXPECT_EQ(key.QueryDword("x", value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.SetDword("x", 1), ERROR_INVALID_HANDLE);
    RegKey sub;
    EXPECT_EQ(key.CreateSubKey("x", sub), ERROR_INVALID_HANDLE);
}

TEST_F(WinRegistryTest, SubKeyCanReplaceItsParentHandle)
{
    RegKey key;
    ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "A", key), ERROR_SUCCESS);
    ASSERT_EQ(key.CreateSubKey("B\\C", key), ERROR_SUCCESS);
    EXPECT_EQ(key.path(), "A\\B\\C");
    ASSERT_EQ(key.SetDword("v", 7), ERROR_SUCCESS);
    RegKey check;
    DWORD value = 0;
    ASSERT_EQ(RegKey::Open(Hive::CurrentUser, "a\\b\\c", check), ERROR_SUCCESS);
    EXPECT_EQ(check.QueryDword("V", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
}

TEST_F(WinRegistryTest, ThreadsOfOneProcessShareTheHive)
{
    constexpr int kThreads = 4;
    constexpr int kValues = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            RegKey key;
            ASSERT_EQ(RegKey::Create(Hive::CurrentUser, "Threads", key), ERROR_SUCCESS);
            for (int i = 0; i < kValues; ++i)
                ASSERT_EQ(key.SetDword("t" + std::to_string(t) + "_" + std::to_string(i), static_cast<DWORD>(i)),
                          ERROR_SUCCESS);
        });
    }
    for (auto& thread : threads)
        thread.join();
    RegKey key;
    ASSERT_EQ(RegKey::Open(Hive::CurrentUser, "Threads", key), ERROR_SUCCESS);
    std::vector<RegValue> values;
    ASSERT_EQ(key.EnumValues(values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kThreads * kValues));
}

TEST_F(WinRegistryTest, DamagedHiveFileIsReportedNotTrusted)
{
    {
        std::ofstream file(StateFolderPath(StateFolder::Registry) / "HKLM.db", std::ios::binary);
        file << std::string(4096, 'x');
        ASSERT_TRUE(file.good());
    }
    RegKey key;
    const LONG error = RegKey::Create(Hive::LocalMachine, "Software", key);
    EXPECT_NE(error, ERROR_SUCCESS);
    EXPECT_FALSE(key.IsOpen());
}

}  // namespace
}  // namespace win
