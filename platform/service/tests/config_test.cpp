// korvad's configuration store over the bus: defaults, sources and users,
// change notifications to other clients, persistence and migration.
#include <QFile>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sqlite3.h>
#include <thread>

#include "korvad_fixture.h"
#include "servicelink/korva_client.h"
#include "servicelink/korva_config.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_provider.h"

using namespace NKorvaConstants;
using namespace std::chrono_literals;

namespace {

const char* const S = "korva.applications.tavrel.system.options";
const char* const G = "korva.applications.tavrel.siteguard.settings";
const char* const X = "korva.applications.tavrel.external";
const char* const E = "korva.applications.tavrel.system.options.enforcers";
const char* const H = "korva.applications.companion.history_log_viewer.options";
const char* const B = "korva.applications.tavrel.blacklist.counter";

enum class Type { Text, Bool, Integer, Time };

struct Setting {
    const char* section;
    const char* key;
    Type type;
};

// The control panel's settings table: every row must have a default of its
// type.
const Setting kSettings[] = {
    {S, "enable_realtime_protection", Type::Bool}, {G, "enabled", Type::Bool},
    {S, "auto_update", Type::Integer}, {S, "auto_update_time_minute", Type::Integer},
    {S, "auto_update_time_hour", Type::Integer}, {S, "auto_update_bin", Type::Integer},
    {S, "auto_update_bin_time_minute", Type::Integer}, {S, "auto_update_bin_time_hour", Type::Integer},
    {S, "notify_on_update", Type::Bool}, {S, "update_before_scan", Type::Bool},
    {S, "last_update_time", Type::Time}, {S, "last_scan_time", Type::Time},
    {S, "last_scan_type", Type::Text}, {S, "definition_version_status", Type::Bool},
    {S, "product_version_status", Type::Bool}, {S, "partial_folders", Type::Text},
    {S, "full_folders", Type::Text}, {S, "custom_scan_options", Type::Text},
    {S, "user_can_allow", Type::Bool}, {S, "scan_on_battery_power", Type::Bool},
    {S, "schedule_scan_count", Type::Integer}, {S, "scan_priority", Type::Text},
    {S, "scan_archives", Type::Bool}, {S, "repair_archives", Type::Bool},
    {S, "allow_net_send_popups", Type::Bool}, {S, "immediate_quarantine", Type::Bool},
    {S, "alert_on_detect", Type::Bool}, {S, "enable_auto_purge", Type::Bool},
    {S, "purge_frequency_days", Type::Integer}, {X, "disable_virus", Type::Bool},
    {X, "show_scan_nag", Type::Bool},
    {E, "ES_b1c439da_9563_4dfc_9909_6b19abbc0852", Type::Bool}, {E, "ES_2e0946c8_db40_487a_91ee_5a8aa10401cf", Type::Bool},
    {E, "ES_8050f66b_3b27_4af8_9065_a3470e08e7d7", Type::Bool}, {E, "ES_1949ddc4_5e30_49d9_8cc4_6fbb582d3d0f", Type::Bool},
    {E, "ES_fc0be8b4_747f_4015_b202_ccc0984b917c", Type::Bool}, {E, "ES_36d3557f_b951_49c8_bfc1_1c58ad3be625", Type::Bool},
    {E, "ES_6630738a_917a_4928_b36b_43f79e13afab", Type::Bool}, {E, "ES_3207d652_5cce_4289_90ee_2fa539c22501", Type::Bool},
    {E, "ES_daf42075_638f_4ea8_b54d_7c3454e20ba0", Type::Bool}, {E, "ES_4692f8ff_0c3a_41ab_a6bf_f21a5da3dd23", Type::Bool},
    {E, "ES_1cf20eea_1cea_4478_942f_fc84516d5d38", Type::Bool}, {E, "ES_98b2167f_6d5d_45bb_a288_3b100da9c5de", Type::Bool},
    {E, "ES_b0f31702_6a7b_41bb_bbcb_36f0cdd7e70f", Type::Bool}, {E, "ES_739c2c48_2fcc_4690_b9c8_54810401941d", Type::Bool},
    {E, "ES_5432d7bb_058a_4e54_a127_8e3b5be09523", Type::Bool}, {E, "ES_d25484e5_5904_467a_b369_67914f5d9f15", Type::Bool},
    {E, "ES_568d3e7e_7f9b_4da2_935e_5c73f604b85f", Type::Bool}, {E, "ES_d2317c85_ee0d_4f7a_877f_00bd13aed843", Type::Bool},
    {E, "ES_b76f723b_f658_456d_a6b3_38e4a30fe53e", Type::Bool}, {E, "ES_4e4832c4_9bb4_4a76_87ac_9f4185c033e9", Type::Bool},
    {E, "ES_e81de7f3_b129_45f1_b5f7_6101d9a3c98e", Type::Bool}, {E, "ES_743f4d77_cf9c_4083_a318_0e3fa41f2f06", Type::Bool},
    {E, "ES_ebcebf7a_e011_4f97_9558_0cec553a05d5", Type::Bool}, {E, "ES_74eb1f9e_e4be_4b3c_8159_a33e2947b85b", Type::Bool},
    {S, "enable_virus_protection", Type::Bool}, {H, "sort_columnid", Type::Integer},
    {H, "sort_order", Type::Integer}, {S, "show_infections_on_startup", Type::Bool},
    {S, "disable_javascript_debugging", Type::Bool}, {S, "enable_javascript_error_dialogs", Type::Bool},
    {S, "enable_blocking", Type::Bool}, {S, "show_tray_icon", Type::Bool},
    {S, "enable_alarm", Type::Bool}, {S, "home_page", Type::Text},
    {S, "lock_home_page", Type::Bool}, {S, "silent_hpp_mode", Type::Bool},
    {B, "start_date", Type::Text},
};
static_assert(sizeof(kSettings) / sizeof(kSettings[0]) == 68);

bool IsInteger(const std::string& text)
{
    if (text.empty())
        return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

CMsgResults Get(const char* section, const char* key, const char* source = nullptr, const char* user = nullptr)
{
    CMsgRequest request(0);
    request["path"] = section;
    request["name"] = key;
    if (source != nullptr)
        request["cfg.source"] = source;
    if (user != nullptr)
        request["user.sid"] = user;
    return request.Execute("korva.config.get_value");
}

int Set(const char* section, const char* key, const std::string& value, const char* source = nullptr,
        const char* user = nullptr)
{
    CMsgRequest request(0);
    request["path"] = section;
    request["name"] = key;
    request["value"] = value;
    if (source != nullptr)
        request["cfg.source"] = source;
    if (user != nullptr)
        request["user.sid"] = user;
    return request.Execute("korva.config.set_value").GetErrorCode();
}

TEST_F(KorvadTest, EverySettingHasADefaultOfItsType)
{
    for (const Setting& s : kSettings) {
        const CMsgResults results = Get(s.section, s.key, "user,system", "1000");
        ASSERT_TRUE(results.Succeeded()) << s.section << "." << s.key << ": " << results.GetErrorText();
        const std::string value = results.GetCursor()[s.key].ToString();
        EXPECT_EQ(results.GetCursor()["value"].ToString(), value) << s.key;
        switch (s.type) {
        case Type::Bool:
            EXPECT_TRUE(value == "0" || value == "1") << s.key << " = \"" << value << "\"";
            break;
        case Type::Integer:
        case Type::Time:
            EXPECT_TRUE(IsInteger(value)) << s.key << " = \"" << value << "\"";
            break;
        case Type::Text:
            break;
        }
    }
    EXPECT_EQ(Get(S, "no_such_setting").GetErrorCode(), KORVA_E_NOT_FOUND);
}

TEST_F(KorvadTest, SectionReadsHoldEveryKeyInTableOrder)
{
    CKorvaConfig config(S, "system");
    CDictionary values;
    ASSERT_EQ(config.GetValues(values), KORVA_OK);
    std::vector<std::string> expected;
    for (const Setting& s : kSettings)
        if (std::string(s.section) == S)
            expected.push_back(s.key);
    std::vector<std::string> got;
    for (const auto& [key, value] : values)
        got.push_back(key);
    // The table's keys come first and in order; other known keys may follow.
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + static_cast<long>(expected.size())), expected);

    ASSERT_EQ(Set(S, "a_stored_extra", "v"), KORVA_OK);
    ASSERT_EQ(Set(S, "scan_priority", "low"), KORVA_OK);
    values.RemoveAll();
    ASSERT_EQ(config.GetValues(values), KORVA_OK);
    EXPECT_EQ(values["scan_priority"].ToString(), "low");
    EXPECT_EQ(values.Entries().back().first, "a_stored_extra");
}

struct SourceCase {
    const char* what;
    const char* source;
    const char* user;
    const char* expected;
};

TEST_F(KorvadTest, UserValuesShadowSystemValuesPerUser)
{
    ASSERT_EQ(Set(S, "home_page", "http://system.example/", "system"), KORVA_OK);
    ASSERT_EQ(Set(S, "home_page", "http://alice.example/", "user", "1001"), KORVA_OK);
    ASSERT_EQ(Set(S, "home_page", "http://bob.example/", "user", "1002"), KORVA_OK);
    const SourceCase cases[] = {
        {"alice, both", "user,system", "1001", "http://alice.example/"},
        {"bob, both", "user,system", "1002", "http://bob.example/"},
        {"someone else falls back", "user,system", "1003", "http://system.example/"},
        {"system only", "system", "1001", "http://system.example/"},
        {"system first", "system,user", "1001", "http://system.example/"},
        {"no source means both", nullptr, "1002", "http://bob.example/"},
    };
    for (const SourceCase& c : cases) {
        const CMsgResults results = Get(S, "home_page", c.source, c.user);
        ASSERT_TRUE(results.Succeeded()) << c.what << ": " << results.GetErrorText();
        EXPECT_EQ(results.GetCursor()["home_page"].ToString(), c.expected) << c.what;
    }
    // Only a user of its own: without user.sid the caller's own user id is used.
    EXPECT_EQ(Get(S, "home_page", "user", "1003").GetErrorCode(), KORVA_OK);  // falls to the default
    ASSERT_EQ(Set(S, "lock_home_page", "1", "user"), KORVA_OK);
    EXPECT_EQ(Get(S, "lock_home_page", "user", std::to_string(getuid()).c_str()).GetCursor()["value"].ToString(), "1");
    EXPECT_EQ(Get(S, "lock_home_page", "system").GetCursor()["value"].ToString(), "0");
}

// Receives korva.config.notify through a provider, as the control panel does.
struct ConfigWatcher : CMsgProvider {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CMsgRequest> seen;
    void BuildMap() override
    {
        AddProvider("root:korva.config.notify", [this](CMsgRequest& r) {
            std::lock_guard lock(mutex);
            seen.push_back(r);
            changed.notify_all();
            return true;
        });
    }
    bool WaitFor(std::size_t n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return seen.size() >= n; });
    }
};

class ConfigNotify : public KorvadTest {
protected:
    void SetUp() override
    {
        KorvadTest::SetUp();
        ASSERT_TRUE(CMsgDispatcher::Instance().RegisterProvider("qvclient", &m_watcher, 1));
        ASSERT_TRUE(m_client.Initialize(0));
        ASSERT_TRUE(m_client.RegisterCallback("korva.config.notify"));
    }
    void TearDown() override
    {
        m_client.TermCallbacks();
        CMsgDispatcher::Instance().DeleteTarget("qvclient");
        KorvadTest::TearDown();
    }
    ConfigWatcher m_watcher;
    CKorvaClient m_client;
};

TEST_F(ConfigNotify, ChangeByAnotherClientArrivesAsNotification)
{
    CDictionary values;
    values["path"] = S;
    values["name"] = "enable_alarm";
    values["value"] = "0";
    values["cfg.source"] = "system";
    ASSERT_EQ(OtherRequest("korva.config.set_value", values).code, KORVA_OK);
    ASSERT_TRUE(m_watcher.WaitFor(1));
    const CMsgRequest& n = m_watcher.seen[0];
    EXPECT_EQ(n.GetValue("path").ToString(), S);
    EXPECT_EQ(n.GetValue("name").ToString(), "enable_alarm");
    EXPECT_EQ(n.GetValue("value").ToString(), "0");
    EXPECT_EQ(n.GetValue("cfg.source").ToString(), "system");
}

TEST_F(ConfigNotify, SetValuesSendsOneRowOfTheChangedKeysOnly)
{
    ASSERT_EQ(Set(S, "show_tray_icon", "0"), KORVA_OK);
    ASSERT_TRUE(m_watcher.WaitFor(1));
    CMsgRowSet row("values");
    CDictionary data;
    data["home_page"] = "http://chosen.example/";
    data["lock_home_page"] = "1";
    data["show_tray_icon"] = "0";  // unchanged: not announced
    row.AddRow(data);
    CDictionary values;
    values["path"] = S;
    ASSERT_EQ(OtherRequest("korva.config.set_values", values, {row}).code, KORVA_OK);
    ASSERT_TRUE(m_watcher.WaitFor(2));
    const CMsgRequest& n = m_watcher.seen[1];
    EXPECT_FALSE(n.HasValue("name"));
    EXPECT_EQ(n.GetValue("path").ToString(), S);
    ASSERT_EQ(n.GetExParams().size(), 1u);
    const CMsgRowSet& got = n.GetExParams()[0];
    ASSERT_EQ(got.GetRowCount(), 1u);
    EXPECT_EQ(got.GetColumns(), (std::vector<std::string>{"home_page", "lock_home_page"}));
    EXPECT_EQ(got.GetValue(0, "home_page").ToString(), "http://chosen.example/");
    EXPECT_EQ(Get(S, "lock_home_page").GetCursor()["value"].ToString(), "1");
}

TEST_F(ConfigNotify, UnchangedWriteIsNotAnnounced)
{
    ASSERT_EQ(Set(S, "scan_priority", "high"), KORVA_OK);
    ASSERT_EQ(Set(S, "scan_priority", "high"), KORVA_OK);
    ASSERT_EQ(Set(S, "enable_alarm", "0"), KORVA_OK);
    ASSERT_TRUE(m_watcher.WaitFor(2));
    std::this_thread::sleep_for(200ms);
    std::lock_guard lock(m_watcher.mutex);
    ASSERT_EQ(m_watcher.seen.size(), 2u);
    EXPECT_EQ(m_watcher.seen[0].GetValue("name").ToString(), "scan_priority");
    EXPECT_EQ(m_watcher.seen[1].GetValue("name").ToString(), "enable_alarm");
}

TEST_F(KorvadTest, ValuesSurviveARestart)
{
    ASSERT_EQ(Set(S, "last_scan_type", "quick"), KORVA_OK);
    ASSERT_EQ(Set(S, "home_page", "http://mine.example/", "user", "1001"), KORVA_OK);
    m_korvad.Stop();
    ASSERT_TRUE(StartKorvad());
    EXPECT_EQ(Get(S, "last_scan_type").GetCursor()["value"].ToString(), "quick");
    EXPECT_EQ(Get(S, "home_page", "user,system", "1001").GetCursor()["value"].ToString(), "http://mine.example/");
}

TEST_F(KorvadTest, ValuesSurviveAKill)
{
    ASSERT_EQ(Set(S, "last_scan_type", "full"), KORVA_OK);
    m_korvad.Kill();
    ASSERT_TRUE(StartKorvad());
    EXPECT_EQ(Get(S, "last_scan_type").GetCursor()["value"].ToString(), "full");
}

TEST_F(KorvadTest, CKorvaConfigReadsRelativeSectionsAndWrites)
{
    CKorvaConfig config(CONFIG_SECTION_TAVREL, CONFIG_SOURCE_SYSTEM);
    CStringValue value;
    ASSERT_EQ(config.GetValue("ES_36d3557f_b951_49c8_bfc1_1c58ad3be625", value, "system.options.enforcers"), KORVA_OK);
    EXPECT_EQ(value.ToInteger(), 1);
    ASSERT_EQ(config.SetValue("show_on_startup", CStringValue(1), "blacklist.options"), KORVA_OK);
    ASSERT_EQ(config.GetValue("show_on_startup", value, "korva.applications.tavrel.blacklist.options"), KORVA_OK);
    EXPECT_EQ(value.ToString(), "1");
    CDictionary many;
    many["always_on_top"] = "0";
    many["favorite_action"] = "VIEW";
    ASSERT_EQ(config.SetValues(many, "blacklist.options"), KORVA_OK);
    CDictionary back;
    ASSERT_EQ(config.GetValues(back, "blacklist.options"), KORVA_OK);
    EXPECT_EQ(back["favorite_action"].ToString(), "VIEW");
    EXPECT_EQ(back["always_on_top"].ToString(), "0");
    EXPECT_EQ(config.GetValue("missing_key", value), KORVA_E_NOT_FOUND);
}

// Builds a database as the first schema version wrote it.
void WriteVersion1(const std::string& path, int version = 1)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE settings(section TEXT NOT NULL, key TEXT NOT NULL, value TEXT NOT NULL, "
        "PRIMARY KEY(section, key));"
        "INSERT INTO settings VALUES('korva.applications.tavrel.system.options', 'last_scan_type', 'custom');"
        "INSERT INTO settings VALUES('korva.applications.tavrel.external', 'use_infection_skin', '1');"
        "PRAGMA user_version=" + std::to_string(version) + ";";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

int SchemaVersion(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version;", -1, &stmt, nullptr);
    const int version = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return version;
}

TEST_F(KorvadTest, MigratesAnOlderSchemaKeepingItsValues)
{
    m_korvad.Stop();
    const std::string path = m_state.Path() + "/service/korvad.db";
    QFile::remove(QString::fromStdString(path));
    QFile::remove(QString::fromStdString(path + "-wal"));
    QFile::remove(QString::fromStdString(path + "-shm"));
    WriteVersion1(path);
    ASSERT_TRUE(StartKorvad());
    EXPECT_EQ(Get(S, "last_scan_type").GetCursor()["value"].ToString(), "custom");
    EXPECT_EQ(Get(X, "use_infection_skin", "system").GetCursor()["value"].ToString(), "1");
    // Old values became system values; user values work on the new schema.
    ASSERT_EQ(Set(S, "last_scan_type", "quick", "user", "1001"), KORVA_OK);
    EXPECT_EQ(Get(S, "last_scan_type", "system").GetCursor()["value"].ToString(), "custom");
    m_korvad.Stop();
    EXPECT_EQ(SchemaVersion(path), 4);
}

TEST_F(KorvadTest, RefusesADatabaseFromANewerVersion)
{
    m_korvad.Stop();
    const std::string path = m_state.Path() + "/service/korvad.db";
    QFile::remove(QString::fromStdString(path));
    QFile::remove(QString::fromStdString(path + "-wal"));
    QFile::remove(QString::fromStdString(path + "-shm"));
    WriteVersion1(path, 99);
    bus_testing::ChildProcess newer;
    ::setenv("KELM_STATE_ROOT", m_state.Path().c_str(), 1);
    ASSERT_TRUE(newer.Start(KORVAD_PATH, {}));
    int status = 0;
    ASSERT_TRUE(newer.WaitExit(10000, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(SchemaVersion(path), 99);  // left as it was
}

}  // namespace
