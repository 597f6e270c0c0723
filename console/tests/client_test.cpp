// The service client against the real korvad: connect and subscribe, records
// built from notifications, and the mended registration and disconnect rules.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "bus_testing.h"
#include "configuration_proxy.h"
#include "korva_config_setting.h"
#include "service_client.h"
#include "servicelink/msg_request.h"

namespace {

using namespace std::chrono_literals;

// What the callbacks saw, copied (the records' texts live only for the call).
struct Seen {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;

    void Add(std::string e)
    {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
        changed.notify_all();
    }
    bool WaitFor(std::size_t n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return events.size() >= n; });
    }
    std::vector<std::string> Take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }
};

void ConfigCallback(const ConfigChangeRecord& r, void* context)
{
    static_cast<Seen*>(context)->Add("config " + std::to_string(r.setting) + " type=" + std::to_string(r.type) +
                                     " text=" + r.text + " int=" + std::to_string(r.integer) +
                                     " bool=" + std::to_string(r.boolean) + " time=" + std::to_string(r.time));
}
void StateCallback(int state, void* context) { static_cast<Seen*>(context)->Add("state " + std::to_string(state)); }
void ProgressCallback(const ScannerProgressRecord& r, void* context)
{
    static_cast<Seen*>(context)->Add(std::string("progress ") + r.scan_item + " " + std::to_string(r.scan_percent));
}
void ThreatCallback(const ScannerThreatRecord& r, void* context)
{
    static_cast<Seen*>(context)->Add(std::string("threat ") + r.package_code + " sev=" + std::to_string(r.severity));
}
void ActionCallback(const PackageActionRecord& r, void* context)
{
    static_cast<Seen*>(context)->Add("action kind=" + std::to_string(r.kind) + " path=" + r.path +
                                     " class=" + r.item_class + " pct=" + std::to_string(static_cast<int>(r.percent)));
}

class Client : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus_testing::EnsureApplication();
        std::string error;
        ASSERT_TRUE(m_bus.Start(&error)) << error;
        ASSERT_TRUE(bus_testing::StartKorvad(m_korvad, KORVAD_PATH, m_state.Path()));
        ASSERT_TRUE(CServiceClient::Instance().Connect(5000));
    }
    void TearDown() override
    {
        CServiceClient& client = CServiceClient::Instance();
        client.RegisterConfigCallback(nullptr, nullptr);
        client.RegisterScannerStateCallback(nullptr, nullptr);
        client.RegisterScannerProgressCallback(nullptr, nullptr);
        client.RegisterScannerThreatCallback(nullptr, nullptr);
        client.RegisterExtractionCallback(nullptr, nullptr);
        client.RegisterRestorationCallback(nullptr, nullptr);
        client.Disconnect();
        m_korvad.Stop();
    }

    static CMsgRequest Notification(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        CMsgRequest r;
        for (const auto& [k, v] : values)
            r[k] = v;
        return r;
    }

    bus_testing::TempDir m_state;
    bus_testing::PrivateBus m_bus;
    bus_testing::ChildProcess m_korvad;
    Seen m_seen;
};

TEST_F(Client, SettingChangedByAnotherClientBecomesARecord)
{
    ASSERT_TRUE(CServiceClient::Instance().RegisterConfigCallback(ConfigCallback, &m_seen));
    CMsgRequest set(0);
    set["path"] = "korva.applications.tavrel.system.options";
    set["name"] = "purge_frequency_days";
    set["value"] = "14";
    ASSERT_TRUE(set.Execute("korva.config.set_value").Succeeded());
    ASSERT_TRUE(m_seen.WaitFor(1));
    EXPECT_EQ(m_seen.Take(), (std::vector<std::string>{"config 28 type=2 text= int=14 bool=0 time=0"}));
}

TEST_F(Client, ConfigRowProducesOneRecordPerKnownColumnInOrder)
{
    ASSERT_TRUE(CServiceClient::Instance().RegisterConfigCallback(ConfigCallback, &m_seen));
    CMsgRequest n = Notification({{"path", "korva.applications.tavrel.system.options"}});
    CMsgRowSet row("values");
    CDictionary data;
    data["last_scan_time"] = "1700000000";
    data["not_a_setting"] = "x";
    data["home_page"] = "http://h.example/";
    data["enable_alarm"] = "1";
    row.AddRow(data);
    n.SetExParams(row);
    CServiceClient::Instance().OnConfig(n);
    EXPECT_EQ(m_seen.Take(), (std::vector<std::string>{
                                 "config 11 type=3 text= int=0 bool=0 time=1700000000",
                                 "config 64 type=0 text=http://h.example/ int=0 bool=0 time=0",
                                 "config 63 type=1 text= int=0 bool=1 time=0",
                             }));
    // A key outside the table gives nothing.
    CMsgRequest unknown = Notification({{"path", "korva.applications.tavrel.system.options"}, {"name", "nope"}, {"value", "1"}});
    CServiceClient::Instance().OnConfig(unknown);
    EXPECT_TRUE(m_seen.Take().empty());
}

TEST_F(Client, ScannerEventsMapToStatesProgressAndThreats)
{
    CServiceClient& client = CServiceClient::Instance();
    ASSERT_TRUE(client.RegisterScannerStateCallback(StateCallback, &m_seen));
    ASSERT_TRUE(client.RegisterScannerProgressCallback(ProgressCallback, &m_seen));
    ASSERT_TRUE(client.RegisterScannerThreatCallback(ThreatCallback, &m_seen));
    const std::vector<std::pair<CMsgRequest, const char*>> cases = {
        {Notification({{"scan_event", "checking_for_updates"}, {"status", "begin"}}), "state 1"},
        {Notification({{"scan_event", "checking_for_updates"}, {"status", "complete"}}), "state 2"},
        {Notification({{"scan_event", "checking_for_updates"}, {"status", "other"}}), nullptr},
        {Notification({{"scan_event", "scanner_initialized"}}), "state 3"},
        {Notification({{"scan_event", "complete"}}), "state 4"},
        {Notification({{"scan_event", "exception"}}), "state 5"},
        {Notification({{"scan_event", "progress"}, {"scan_item", "/home/f"}, {"scan_percent", "40"}}), "progress /home/f 40"},
        {Notification({{"scan_event", "threat_element_found"}, {"package_code", "P1"}, {"severity", "critical"}}),
         "threat P1 sev=4"},
        {Notification({{"scan_event", "threat_element_found"}, {"package_code", "P2"}, {"severity", "weird"}}),
         "threat P2 sev=0"},
        {Notification({{"scan_event", "something_else"}}), nullptr},
    };
    for (auto [request, expected] : cases) {
        client.OnScanner(request);
        const auto got = m_seen.Take();
        if (expected == nullptr)
            EXPECT_TRUE(got.empty()) << request.GetValue("scan_event").ToString();
        else
            EXPECT_EQ(got, std::vector<std::string>{expected});
    }
}

TEST_F(Client, PackageActionsReadClassWithTheOldSpellingAsFallback)
{
    CServiceClient& client = CServiceClient::Instance();
    ASSERT_TRUE(client.RegisterExtractionCallback(ActionCallback, &m_seen));
    ASSERT_TRUE(client.RegisterRestorationCallback(ActionCallback, &m_seen));
    CMsgRequest item = Notification({{"class", "file"}, {"path", "/x"}, {"percentage_complete", "37.5"}});
    client.OnExtraction(item);
    CMsgRequest old = Notification({{"clas", "regkey"}, {"path", "/y"}, {"percentage_complete", "50"}});
    client.OnExtraction(old);
    CMsgRequest done = Notification({{"class", "package"}, {"action", "extraction_complete"}});
    client.OnExtraction(done);
    CMsgRequest started = Notification({{"class", "package"}, {"action", "extraction_started"}});
    client.OnExtraction(started);
    CMsgRequest restored = Notification({{"class", "package"}, {"action", "restoration_complete"}});
    client.OnRestore(restored);
    EXPECT_EQ(m_seen.Take(), (std::vector<std::string>{
                                 "action kind=0 path=/x class=file pct=37",
                                 "action kind=0 path=/y class=regkey pct=50",
                                 "action kind=2 path= class= pct=100",
                                 "action kind=1 path= class= pct=0",
                                 "action kind=2 path= class= pct=100",
                             }));
}

TEST_F(Client, FailedRegistrationLeavesTheSlotAsItWas)
{
    CServiceClient& client = CServiceClient::Instance();
    Seen other;
    ASSERT_TRUE(client.RegisterConfigCallback(ConfigCallback, &m_seen));
    m_korvad.Kill();
    // Not subscribed yet, and the service is gone: refused, slot untouched.
    EXPECT_FALSE(client.RegisterExtractionCallback(ActionCallback, &other));
    CMsgRequest item = Notification({{"class", "file"}, {"path", "/x"}});
    client.OnExtraction(item);
    EXPECT_TRUE(other.Take().empty());
    // Already subscribed: no request needed, so the new function takes over.
    EXPECT_TRUE(client.RegisterConfigCallback(ConfigCallback, &other));
    CMsgRequest n = Notification({{"path", "korva.applications.tavrel.system.options"}, {"name", "enable_alarm"}, {"value", "0"}});
    client.OnConfig(n);
    EXPECT_EQ(other.Take().size(), 1u);
    EXPECT_TRUE(m_seen.Take().empty());
}

TEST_F(Client, DisconnectTwiceAnswersFalseTheSecondTime)
{
    EXPECT_TRUE(CServiceClient::Instance().Disconnect());
    EXPECT_FALSE(CServiceClient::Instance().Disconnect());
    EXPECT_FALSE(CServiceClient::Instance().RegisterConfigCallback(ConfigCallback, &m_seen));
}

TEST_F(Client, ProxyReadsAndAppliesThroughTheService)
{
    CServiceConfigAccessor accessor;
    CConfigurationProxy proxy(accessor);
    std::string text;
    int number = 0;
    ASSERT_TRUE(proxy.GetText(KCS_home_page, text));  // a user setting
    ASSERT_TRUE(proxy.GetInteger(KCS_auto_update_time_hour, number));
    std::int64_t time = 0;
    EXPECT_FALSE(accessor.ReadInteger(KCS_last_scan_time, number));  // wrong type: no request
    EXPECT_TRUE(accessor.ReadTime(KCS_last_scan_time, time));
    proxy.SetText(KCS_home_page, "http://mine.example/");
    proxy.SetInteger(KCS_auto_update_time_hour, number + 1);
    ASSERT_TRUE(proxy.Apply());
    CServiceConfigAccessor fresh;
    ASSERT_TRUE(fresh.ReadText(KCS_home_page, text));
    EXPECT_EQ(text, "http://mine.example/");
    int hour = 0;
    ASSERT_TRUE(fresh.ReadInteger(KCS_auto_update_time_hour, hour));
    EXPECT_EQ(hour, number + 1);
    // The user setting went to the user source only.
    CMsgRequest system(0);
    system["path"] = "korva.applications.tavrel.system.options";
    system["name"] = "home_page";
    system["cfg.source"] = "system";
    EXPECT_EQ(system.Execute("korva.config.get_value").GetCursor()["value"].ToString(), "");
    char buffer[8];
    std::size_t length = 0;
    ASSERT_TRUE(fresh.ReadText(KCS_home_page, nullptr, length));
    EXPECT_EQ(length, std::string("http://mine.example/").size() + 1);
    length = sizeof buffer;
    ASSERT_TRUE(fresh.ReadText(KCS_home_page, buffer, length));
    EXPECT_STREQ(buffer, "http://");
}

}  // namespace
