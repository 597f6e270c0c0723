// The settings table, its name map, and the configuration proxy's cache
// (with a recording accessor in place of the service).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "configuration_proxy.h"
#include "korva_config_setting.h"

namespace {

TEST(SettingsTable, NameMapFindsEveryRowAndNothingElse)
{
    CConfigSettingMap& map = CConfigSettingMap::Instance();
    ASSERT_EQ(map.Build(), 68);
    EXPECT_EQ(map.Lookup("korva.applications.tavrel.siteguard.settings.enabled"), 1);
    EXPECT_EQ(map.Lookup("korva.applications.tavrel.system.options.enable_realtime_protection"), 0);
    EXPECT_EQ(map.Lookup("korva.applications.tavrel.blacklist.counter.start_date"), 67);
    EXPECT_EQ(map.Lookup("korva.applications.tavrel.system.options.nothing"), KCS_COUNT);
    EXPECT_EQ(map.Lookup("KORVA.applications.tavrel.siteguard.settings.enabled"), KCS_COUNT);  // case counts
    for (int i = 0; i < KCS_COUNT; ++i)
        EXPECT_EQ(map.Lookup(ConfigSettingFullName(i)), i) << i;
    EXPECT_EQ(g_ConfigSettings[KCS_home_page].type, kConfigText);
    EXPECT_TRUE(g_ConfigSettings[KCS_home_page].user);
    EXPECT_FALSE(g_ConfigSettings[KCS_last_scan_time].user);
    EXPECT_EQ(g_ConfigSettings[KCS_last_scan_time].type, kConfigTime);
}

// Keeps "service" values and counts every read and write.
class RecordingAccessor : public IConfigAccessor {
public:
    std::map<int, std::string> service;
    std::vector<std::pair<int, std::string>> writes;
    int reads = 0;
    std::set<int> failing;

    bool ReadText(int s, std::string& v) override { return Read(s, v); }
    bool ReadBool(int s, bool& v) override
    {
        std::string t;
        if (!Read(s, t))
            return false;
        v = t != "0";
        return true;
    }
    bool ReadInteger(int s, int& v) override
    {
        std::string t;
        if (!Read(s, t))
            return false;
        v = std::stoi(t);
        return true;
    }
    bool ReadTime(int, std::int64_t&) override { return false; }
    bool WriteText(int s, const std::string& v) override { return Write(s, v); }
    bool WriteBool(int s, bool v, std::optional<unsigned>) override { return Write(s, v ? "1" : "0"); }
    bool WriteInteger(int s, int v) override { return Write(s, std::to_string(v)); }
    bool WriteTime(int s, std::int64_t v) override { return Write(s, std::to_string(v)); }
    bool WriteInteger64(int s, std::uint64_t v) override { return Write(s, std::to_string(v)); }

private:
    bool Read(int s, std::string& v)
    {
        ++reads;
        const auto it = service.find(s);
        if (it == service.end())
            return false;
        v = it->second;
        return true;
    }
    bool Write(int s, const std::string& v)
    {
        writes.emplace_back(s, v);
        if (failing.count(s) != 0)
            return false;
        service[s] = v;
        return true;
    }
};

class Proxy : public ::testing::Test {
protected:
    void SetUp() override
    {
        CConfigSettingMap::Instance().Build();
        accessor.service = {{KCS_enable_alarm, "1"}, {KCS_scan_priority, "normal"}, {KCS_purge_frequency_days, "30"},
                            {KCS_show_tray_icon, "1"}};
    }
    RecordingAccessor accessor;
    CConfigurationProxy proxy{accessor};
};

TEST_F(Proxy, ApplyWritesOnlyChangedEntriesNeverMereReads)
{
    bool b = false;
    int n = 0;
    std::string t;
    ASSERT_TRUE(proxy.GetBool(KCS_enable_alarm, b));
    ASSERT_TRUE(proxy.GetInteger(KCS_purge_frequency_days, n));
    ASSERT_TRUE(proxy.GetText(KCS_scan_priority, t));
    EXPECT_TRUE(proxy.IsApplied());
    proxy.SetText(KCS_scan_priority, "low");
    EXPECT_FALSE(proxy.IsApplied());
    ASSERT_TRUE(proxy.Apply());
    EXPECT_EQ(accessor.writes, (std::vector<std::pair<int, std::string>>{{KCS_scan_priority, "low"}}));
    EXPECT_TRUE(proxy.IsApplied());
    // Later reads come from the cache; a second apply sends nothing.
    const int readsBefore = accessor.reads;
    ASSERT_TRUE(proxy.GetText(KCS_scan_priority, t));
    EXPECT_EQ(t, "low");
    EXPECT_EQ(accessor.reads, readsBefore);
    ASSERT_TRUE(proxy.Apply());
    EXPECT_EQ(accessor.writes.size(), 1u);
}

TEST_F(Proxy, SettingTheCachedValueChangesNothingButANewEntryAlwaysCounts)
{
    bool b = false;
    ASSERT_TRUE(proxy.GetBool(KCS_enable_alarm, b));
    proxy.SetBool(KCS_enable_alarm, true);
    EXPECT_TRUE(proxy.IsApplied());
    EXPECT_FALSE(proxy.IsDirty(KCS_enable_alarm));
    proxy.SetBool(KCS_show_tray_icon, true);  // not cached, equal to the service
    EXPECT_FALSE(proxy.IsApplied());
    ASSERT_TRUE(proxy.Apply());
    EXPECT_EQ(accessor.writes, (std::vector<std::pair<int, std::string>>{{KCS_show_tray_icon, "1"}}));
}

TEST_F(Proxy, FailedWriteStaysDirtyAndApplyReportsIt)
{
    accessor.failing = {KCS_scan_priority};
    proxy.SetText(KCS_scan_priority, "high");
    proxy.SetInteger(KCS_purge_frequency_days, 7);
    EXPECT_FALSE(proxy.Apply());
    EXPECT_FALSE(proxy.IsApplied());
    EXPECT_TRUE(proxy.IsDirty(KCS_scan_priority));
    EXPECT_FALSE(proxy.IsDirty(KCS_purge_frequency_days));
    accessor.failing.clear();
    accessor.writes.clear();
    EXPECT_TRUE(proxy.Apply());
    EXPECT_EQ(accessor.writes, (std::vector<std::pair<int, std::string>>{{KCS_scan_priority, "high"}}));
}

TEST_F(Proxy, FailedReadCachesNothingAndWriteNowUpdatesTheCache)
{
    std::string t;
    EXPECT_FALSE(proxy.GetText(KCS_home_page, t));  // the fake has no value
    EXPECT_FALSE(proxy.IsCached(KCS_home_page));
    ASSERT_TRUE(proxy.GetText(KCS_scan_priority, t));
    ASSERT_TRUE(proxy.WriteNow(KCS_scan_priority, "idle"));
    ASSERT_TRUE(proxy.GetText(KCS_scan_priority, t));
    EXPECT_EQ(t, "idle");
    EXPECT_TRUE(proxy.IsApplied());
    accessor.failing = {KCS_scan_priority};
    EXPECT_FALSE(proxy.WriteNow(KCS_scan_priority, "high"));
    ASSERT_TRUE(proxy.GetText(KCS_scan_priority, t));
    EXPECT_EQ(t, "idle");
}

}  // namespace
