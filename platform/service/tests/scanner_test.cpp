// The scanner over the bus: what a quick scan of the demo area finds, the
// notifications in their order, custom scans, pause, resume and stop.
#include <set>
#include <tuple>

#include "scan_fixture.h"

using namespace NKorvaConstants;
using namespace std::chrono_literals;

namespace {

using ItemKey = std::tuple<std::string, std::string, std::string>;  // package, class, path

std::set<ItemKey> Expected(const std::string& area)
{
    return {
        {"kelm-demo-toolbar", "file", area + "/Downloads/free_toolbar_setup.txt"},
        {"kelm-demo-toolbar", "file", area + "/AppData/DemoBar/demobar_helper.dat"},
        {"kelm-demo-toolbar", "registry", "HKEY_CURRENT_USER\\Software\\DemoBar"},
        {"kelm-demo-toolbar", "cookie", "uid@tracker.demobar.example/"},
        {"kelm-demo-keypeek", "file", area + "/Documents/notes/keys.log"},
        {"kelm-demo-keypeek", "file", area + "/Cache/blob.bin"},
        {"kelm-demo-keypeek", "registry",
         "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\KeyPeekSample"},
        {"kelm-demo-keypeek", "hosts", "update.keypeek.example"},
        {"kelm-demo-trackfarm", "cookie", "id@ads.trackfarm.example/"},
        {"kelm-demo-trackfarm", "cookie", "seg@eu.ads.trackfarm.example/c"},
    };
}

std::set<ItemKey> Keys(const std::vector<CDictionary>& rows)
{
    std::set<ItemKey> keys;
    for (const auto& row : rows)
        keys.insert({row.GetValue("package_code").ToString(), row.GetValue("class").ToString(),
                     row.GetValue("path").ToString()});
    return keys;
}

TEST_F(ScanTest, QuickScanFindsExactlyThePlantedThreatsInOrder)
{
    Plant();
    CDictionary quick;
    quick["scanners"] = "cookie,quarantine,process,distunit,driver,uninstall,service";  // what the scan page sends
    Scan("quick", quick);
    // Nothing may follow the end of the scan.
    std::this_thread::sleep_for(300ms);
    const auto events = m_log.Events("korva.scanner.client_notify");
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].GetValue("scan_event").ToString(), "checking_for_updates");
    EXPECT_EQ(events[0].GetValue("status").ToString(), "begin");
    EXPECT_EQ(events[1].GetValue("status").ToString(), "complete");
    EXPECT_EQ(events[2].GetValue("scan_event").ToString(), "scanner_initialized");
    EXPECT_EQ(events.back().GetValue("scan_event").ToString(), "complete");
    EXPECT_EQ(events.back().GetValue("status").ToString(), "complete");
    EXPECT_EQ(std::count_if(events.begin(), events.end(), IsEnd), 1);

    // Threat notifications add up to the items of each package.
    std::map<std::string, long long> notified;
    std::set<std::string> scanners;
    for (const auto& e : events) {
        const std::string kind = e.GetValue("scan_event").ToString();
        if (kind == "threat_element_found") {
            notified[e.GetValue("package_code").ToString()] += e.GetValue("found_item_count").ToInteger();
            if (e.GetValue("package_code").ToString() == "kelm-demo-keypeek") {
                EXPECT_EQ(e.GetValue("package_name").ToString(), "KeyPeek Sample");
                EXPECT_EQ(e.GetValue("package_type").ToString(), "Spyware,Trojan");
                EXPECT_EQ(e.GetValue("severity").ToString(), "high");
            }
        } else if (kind == "progress") {
            scanners.insert(e.GetValue("scan_scanner").ToString());
            EXPECT_TRUE(e.HasValue("scan_item") && e.HasValue("scan_total") && e.HasValue("scan_percent") &&
                        e.HasValue("scan_elements"));
        }
    }
    EXPECT_EQ(notified, (std::map<std::string, long long>{
                            {"kelm-demo-toolbar", 4}, {"kelm-demo-keypeek", 4}, {"kelm-demo-trackfarm", 2}}));
    for (const char* scanner : {"file", "registry", "cookie", "hosts", "process", "distunit"})
        EXPECT_TRUE(scanners.count(scanner)) << scanner;

    const auto detected = Rows("korva.quarantine.v2_query_detected_items");
    EXPECT_EQ(Keys(detected), Expected(m_area));
    EXPECT_EQ(detected.size(), Expected(m_area).size());

    // One row per found package, with its count.
    const auto found = Rows("korva.quarantine.query_found_items");
    ASSERT_EQ(found.size(), 3u);
    for (const auto& row : found)
        EXPECT_EQ(row.GetValue("found_item_count").ToInteger(), notified[row.GetValue("package_code").ToString()]);

    const CMsgResults status = Run("korva.scanner.query_status");
    EXPECT_EQ(status.GetCursor()["scan_status"].ToString(), "not_running");
    EXPECT_EQ(status.GetCursor()["last_scan_total"].ToInteger(), 100);
    EXPECT_GT(status.GetCursor()["last_scan_elements"].ToInteger(), 9);

    // The scan's end is the last scan time, announced as a change.
    const auto config = m_log.Events("korva.config.notify");
    EXPECT_TRUE(std::any_of(config.begin(), config.end(), [](const CMsgRequest& e) {
        return e.GetValue("name").ToString() == "last_scan_time" && e.GetValue("value").ToInteger64() > 0;
    }));
}

TEST_F(ScanTest, PackageInfoAndDefinitionsVersion)
{
    const CMsgResults version = Run("korva.targets.query_version");
    EXPECT_EQ(version.GetCursor()["definition_version"].ToString(), "1.0.0.7");

    CDictionary ask;
    ask["package_code"] = "kelm-demo-keypeek";
    const CMsgResults info = Run("korva.targets.query_package_info", ask);
    ASSERT_TRUE(info.Succeeded()) << info.GetErrorText();
    EXPECT_EQ(info.GetCursor()["package_name"].ToString(), "KeyPeek Sample");
    EXPECT_EQ(info.GetCursor()["type"].ToString(), "Spyware,Trojan");
    EXPECT_EQ(info.GetCursor()["severity"].ToString(), "3");
    EXPECT_FALSE(info.GetCursor()["description"].ToString().empty());

    ask["package_code"] = "no-such-package";
    EXPECT_EQ(Run("korva.targets.query_package_info", ask).GetErrorCode(), KORVA_E_NOT_FOUND);
}

TEST_F(ScanTest, CustomScanWithNoFoldersRunsNoFileScanner)
{
    Plant();
    CDictionary options;
    options["scanners"] = "quarantine,file,registry";
    options["directories"] = "none";
    options["partial_directories"] = "";
    options["enable_virus_scan"] = "0";
    Scan("custom", options);
    for (const auto& e : m_log.Events("korva.scanner.client_notify"))
        EXPECT_NE(e.GetValue("scan_scanner").ToString(), "file");
    const auto detected = Rows("korva.quarantine.v2_query_detected_items");
    ASSERT_EQ(detected.size(), 2u);
    for (const auto& row : detected)
        EXPECT_EQ(row.GetValue("class").ToString(), "registry");
}

TEST_F(ScanTest, CustomScanWalksChosenFoldersAndOnlyTheFilesOfPartialOnes)
{
    Plant();
    CDictionary options;
    options["scanners"] = "quarantine,file";
    options["directories"] = m_area + "/Documents/";
    options["partial_directories"] = m_area + "/Cache," + m_area + "/AppData";
    Scan("custom", options);
    // AppData is partial: its DemoBar subfolder is not entered.
    EXPECT_EQ(Keys(Rows("korva.quarantine.v2_query_detected_items")),
              (std::set<ItemKey>{{"kelm-demo-keypeek", "file", m_area + "/Documents/notes/keys.log"},
                                 {"kelm-demo-keypeek", "file", m_area + "/Cache/blob.bin"}}));
}

TEST_F(ScanTest, BadDefinitionsStopKorvadWithTheLineAndReason)
{
    const std::string bad = m_state.Path() + "/bad.defs";
    std::ofstream(bad) << "format 1\nversion 1.0.0.1\npackage p\n name P\n severity low\n content 1 hex:0g\nend\n";
    const std::string log = m_state.Path() + "/korvad-bad.log";
    bus_testing::ChildProcess second;
    ASSERT_TRUE(second.Start(KORVAD_PATH, {"--definitions", bad}, log));
    int status = 0;
    ASSERT_TRUE(second.WaitExit(10000, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string text = ReadFile(log);
    EXPECT_NE(text.find(bad + ": line 6: \"hex:\" needs pairs of hex digits (0-9, a-f)"), std::string::npos) << text;
    EXPECT_EQ(text.find("serving"), std::string::npos);
}

TEST_F(ScanTest, BadStartsAreRefusedAndToldToTheWindow)
{
    CDictionary start;
    start["scan_type"] = "deep";
    EXPECT_EQ(Run("korva.scanner.start", start).GetErrorCode(), KORVA_E_INVALID_ARGUMENTS);
    start["scan_type"] = "custom";
    start["directories"] = "relative/path";
    EXPECT_EQ(Run("korva.scanner.start", start).GetErrorCode(), KORVA_E_INVALID_ARGUMENTS);
    ASSERT_TRUE(m_log.WaitFor([](const std::vector<CMsgRequest>& events) { return events.size() >= 2; }));
    for (const auto& e : m_log.Events("korva.scanner.client_notify")) {
        EXPECT_EQ(e.GetValue("status").ToString(), "failed_to_launch");
        EXPECT_FALSE(e.GetValue("message").ToString().empty());
    }
    EXPECT_EQ(Run("korva.scanner.stop").GetErrorCode(), KORVA_E_NOT_FOUND);
    EXPECT_EQ(Run("korva.scanner.pause").GetErrorCode(), KORVA_E_NOT_FOUND);
}

// A scan slowed to a few hundred elements a second, so it can be caught
// running.
class SlowScanTest : public ScanTest {
protected:
    int ThrottleMicros() const override { return 3000; }

    long long Elements()
    {
        return Run("korva.scanner.query_status").GetCursor()["last_scan_elements"].ToInteger64();
    }
};

TEST_F(SlowScanTest, PauseResumeAndStop)
{
    Plant();
    // Enough files that the throttled scan lasts seconds.
    for (int i = 0; i < 600; ++i)
        std::ofstream(m_area + "/Downloads/file" + std::to_string(i) + ".txt") << "plain text " << i;
    CDictionary start;
    start["scan_type"] = "full";
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(Run("korva.scanner.start", start).Succeeded());
    EXPECT_EQ(Run("korva.scanner.start", start).GetErrorCode(), KORVA_E_NOT_ALLOWED);
    ASSERT_TRUE(m_log.WaitFor([](const std::vector<CMsgRequest>& events) {
        return std::any_of(events.begin(), events.end(), [](const CMsgRequest& e) {
            return e.GetValue("scan_event").ToString() == "progress" && e.GetValue("scan_scanner").ToString() == "file";
        });
    }));
    const CMsgResults running = Run("korva.scanner.query_status");
    EXPECT_EQ(running.GetCursor()["scan_status"].ToString(), "running");
    EXPECT_EQ(running.GetCursor()["scan_type"].ToString(), "2");
    EXPECT_EQ(running.GetCursor()["scan_initialized"].ToInteger(), 1);

    ASSERT_TRUE(Run("korva.scanner.pause").Succeeded());
    std::this_thread::sleep_for(200ms);
    const long long paused = Elements();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Elements(), paused) << "a paused scan examines nothing";
    EXPECT_EQ(Run("korva.scanner.query_status").GetCursor()["scan_paused"].ToInteger(), 1);

    CDictionary priority;
    priority["set_ui_mode"] = 0;
    const CMsgResults lowered = Run("korva.scanner.update_scanner_priority", priority);
    ASSERT_TRUE(lowered.Succeeded()) << lowered.GetErrorText();
    EXPECT_EQ(lowered.GetCursor()["nice"].ToInteger(), 10);

    ASSERT_TRUE(Run("korva.scanner.resume").Succeeded());
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(Elements(), paused);

    CDictionary stop;
    stop["delay"] = 1;
    ASSERT_TRUE(Run("korva.scanner.stop", stop).Succeeded());
    ASSERT_TRUE(WaitForEnd());
    const auto ended = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(300ms);
    const auto events = m_log.Events("korva.scanner.client_notify");
    EXPECT_EQ(std::count_if(events.begin(), events.end(), IsEnd), 1);
    EXPECT_EQ(events.back().GetValue("scan_event").ToString(), "complete");
    EXPECT_EQ(events.back().GetValue("status").ToString(), "stopped");
    EXPECT_EQ(Run("korva.scanner.query_status").GetCursor()["scan_status"].ToString(), "not_running");

    // Progress is coalesced: one report per 50 ms tick, plus the first of
    // each scanner.
    std::set<std::string> scanners;
    const auto progress = std::count_if(events.begin(), events.end(), [&](const CMsgRequest& e) {
        scanners.insert(e.GetValue("scan_scanner").ToString());
        return e.GetValue("scan_event").ToString() == "progress";
    });
    const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(ended - began).count() / 50 + 2;
    EXPECT_LE(progress, ticks + static_cast<long>(scanners.size()));
    EXPECT_GT(progress, 3);

    // A new scan can start after a stopped one, and ends once.
    m_log.Clear();
    start["scan_type"] = "custom";
    start["scanners"] = "registry";
    ASSERT_TRUE(Run("korva.scanner.start", start).Succeeded());
    ASSERT_TRUE(WaitForEnd());
}

}  // namespace
