// The quarantine over the bus: removal into the vault and back without
// loss, allowing and undoing, single items, failed items, purging, the item
// records' columns and grouping, and the one SQL shape korvad answers.
#include <set>

#include "scan_fixture.h"
#include "win/registry.h"

using namespace NKorvaConstants;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class QuarantineTest : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        if (HasFatalFailure())
            return;
        Plant();
        Scan("quick");
        m_log.Clear();
        // The registry stand-in of the test's state root, for checks.
        ::setenv("KELM_STATE_ROOT", m_state.Path().c_str(), 1);
    }

    static CMsgResults Act(const std::string& name, const std::string& key, const std::string& value)
    {
        CDictionary values;
        values[key] = value;
        return Run(name, values);
    }

    static std::vector<CDictionary> ItemsOf(const std::vector<CDictionary>& rows, const std::string& package)
    {
        std::vector<CDictionary> out;
        for (const auto& row : rows)
            if (row.GetValue("package_code").ToString() == package)
                out.push_back(row);
        return out;
    }

    std::string VaultPath(const std::string& itemCode) const
    {
        return m_state.Path() + "/service/vault/" + itemCode;
    }

    static bool KeyExists(const std::string& path)
    {
        win::RegKey key;
        return win::RegKey::Open(win::Hive::CurrentUser, path, key) == win::ERROR_SUCCESS;
    }

    std::string Cookies() const { return ReadFile(m_state.Path() + "/config/kelmbrowse/cookies.txt"); }
};

TEST_F(QuarantineTest, ItemRecordsCarryEveryColumnAndKeepPackagesTogether)
{
    const auto rows = Rows("korva.quarantine.v2_query_detected_items");
    ASSERT_EQ(rows.size(), 10u);
    std::set<std::string> finished;
    std::string current;
    for (const auto& row : rows) {
        for (const char* column : {"item_code", "package_code", "definition_id", "time_quarantined", "class", "path",
                                   "item_data", "target_info", "target_source", "status", "package_name", "item_name",
                                   "severity", "package_type"})
            EXPECT_TRUE(row.HasValue(column)) << column;
        EXPECT_EQ(row.GetValue("status").ToString(), "found");
        const std::string code = row.GetValue("package_code").ToString();
        if (code != current) {
            EXPECT_FALSE(finished.count(code)) << code << " is split";
            finished.insert(current);
            current = code;
        }
        if (row.GetValue("class").ToString() == "registry") {
            const std::string xml = row.GetValue("item_data").ToString();
            EXPECT_EQ(xml.rfind("<ROOT><KEY name=\"HKEY_CURRENT_USER\\Software\\", 0), 0u) << xml;
        }
        if (code == "kelm-demo-trackfarm") {
            EXPECT_EQ(row.GetValue("package_name").ToString(), "TrackFarm Cookies");
            EXPECT_EQ(row.GetValue("severity").ToInteger(), 0);
            EXPECT_EQ(row.GetValue("package_type").ToString(), "Adware");
        }
    }
    // The value item's XML holds its key with just that value.
    for (const auto& row : rows) {
        if (row.GetValue("definition_id").ToInteger() == 1103) {
            EXPECT_NE(row.GetValue("item_data").ToString().find("<VALUE name=\"KeyPeekSample\">"), std::string::npos);
        }
    }
    const auto counts = Run("korva.quarantine.v2_query_detected_items_count");
    EXPECT_EQ(counts.GetCursor()["count"].ToInteger(), 10);
}

TEST_F(QuarantineTest, RemoveMovesIntoTheVaultAndRestoreBringsEverythingBack)
{
    const std::string setup = m_area + "/Downloads/free_toolbar_setup.txt";
    const std::string helper = m_area + "/AppData/DemoBar/demobar_helper.dat";
    const std::string setupBytes = ReadFile(setup);
    const std::string helperBytes = ReadFile(helper);
    ASSERT_TRUE(KeyExists("Software\\DemoBar\\Settings"));

    CDictionary extract;
    extract["package_code"] = "kelm-demo-toolbar";
    extract["perform_extraction"] = 1;
    extract["extract_now"] = 1;
    const CMsgResults removed = Run("korva.quarantine.extract_package", extract);
    ASSERT_TRUE(removed.Succeeded()) << removed.GetErrorText();

    EXPECT_FALSE(fs::exists(setup));
    EXPECT_FALSE(fs::exists(helper));
    EXPECT_FALSE(KeyExists("Software\\DemoBar"));
    EXPECT_EQ(Cookies().find("tracker.demobar.example"), std::string::npos);
    EXPECT_NE(Cookies().find("ads.trackfarm.example"), std::string::npos) << "other packages' cookies stay";

    const auto removedRows = Rows("korva.quarantine.v2_query_removed_items");
    ASSERT_EQ(removedRows.size(), 4u);
    for (const auto& row : removedRows) {
        EXPECT_EQ(row.GetValue("status").ToString(), "removed");
        EXPECT_GT(row.GetValue("time_quarantined").ToInteger64(), 0);
        if (row.GetValue("class").ToString() == "file") {
            const std::string vault = ReadFile(VaultPath(row.GetValue("item_code").ToString()));
            EXPECT_TRUE(vault == setupBytes || vault == helperBytes);
        }
    }
    EXPECT_EQ(ItemsOf(Rows("korva.quarantine.v2_query_detected_items"), "kelm-demo-toolbar").size(), 0u);
    EXPECT_EQ(Run("korva.quarantine.v2_query_item_counts").GetCursor()["items_removed"].ToInteger(), 4);
    EXPECT_EQ(Run("korva.justice.integrity_check").GetCursor()["missing"].ToInteger(), 0);
    EXPECT_TRUE(Rows("korva.extraction.get_failed_items").empty());

    // The removal was announced: started, one row per item, complete.
    ASSERT_TRUE(m_log.WaitFor([](const std::vector<CMsgRequest>& events) { return events.size() >= 6; }));
    const auto extraction = m_log.Events("korva.extraction.notify");
    ASSERT_EQ(extraction.size(), 6u);
    EXPECT_EQ(extraction.front().GetValue("action").ToString(), "extraction_started");
    EXPECT_EQ(extraction.front().GetValue("class").ToString(), "package");
    EXPECT_EQ(extraction[4].GetValue("percentage_complete").ToDouble(), 100.0);
    EXPECT_FALSE(extraction[1].GetValue("clas").ToString().empty());
    EXPECT_EQ(extraction.back().GetValue("action").ToString(), "extraction_complete");

    CDictionary restore;
    restore["package_code"] = "kelm-demo-toolbar";
    restore["restore_now"] = 1;
    const CMsgResults restored = Run("korva.quarantine.v2_restore_package", restore);
    ASSERT_TRUE(restored.Succeeded()) << restored.GetErrorText();
    EXPECT_EQ(ReadFile(setup), setupBytes);
    EXPECT_EQ(ReadFile(helper), helperBytes);
    EXPECT_TRUE(KeyExists("Software\\DemoBar\\Settings"));
    win::RegKey settings;
    ASSERT_EQ(win::RegKey::Open(win::Hive::CurrentUser, "Software\\DemoBar\\Settings", settings), win::ERROR_SUCCESS);
    std::string homePage;
    EXPECT_EQ(settings.QueryString("HomePage", homePage), win::ERROR_SUCCESS);
    EXPECT_EQ(homePage, "http://search.demobar.example/");
    EXPECT_NE(Cookies().find(".tracker.demobar.example\tTRUE\t/\tFALSE\t2000000000\tuid\tdemo1"), std::string::npos);
    EXPECT_TRUE(Rows("korva.quarantine.v2_query_removed_items").empty());
    EXPECT_EQ(Run("korva.quarantine.v2_query_item_counts").GetCursor()["items_restored"].ToInteger(), 4);
    EXPECT_TRUE(fs::is_empty(m_state.Path() + "/service/vault"));

    // A new scan finds the restored items again.
    m_log.Clear();
    Scan("quick");
    EXPECT_EQ(ItemsOf(Rows("korva.quarantine.v2_query_detected_items"), "kelm-demo-toolbar").size(), 4u);
}

TEST_F(QuarantineTest, AllowedPackagesAreNotReportedAgainUntilUndone)
{
    CDictionary allow;
    allow["package_code"] = "kelm-demo-trackfarm";
    allow["restore_now"] = 1;
    ASSERT_TRUE(Run("korva.quarantine.v2_restore_package", allow).Succeeded());
    EXPECT_EQ(Rows("korva.quarantine.v2_query_allowed_items").size(), 2u);
    EXPECT_NE(Cookies().find("ads.trackfarm.example"), std::string::npos) << "allowing changes nothing on disk";

    Scan("quick");
    for (const auto& e : m_log.Events("korva.scanner.client_notify"))
        EXPECT_NE(e.GetValue("package_code").ToString(), "kelm-demo-trackfarm");
    EXPECT_TRUE(ItemsOf(Rows("korva.quarantine.v2_query_detected_items"), "kelm-demo-trackfarm").empty());
    EXPECT_EQ(Rows("korva.quarantine.query_found_items").size(), 2u);

    CDictionary undo;
    undo["package_code"] = "kelm-demo-trackfarm";
    undo["package_status"] = "quarantined";
    ASSERT_TRUE(Run("korva.quarantine.v2_undo_package", undo).Succeeded());
    EXPECT_TRUE(Rows("korva.quarantine.v2_query_allowed_items").empty());
    EXPECT_EQ(ItemsOf(Rows("korva.quarantine.v2_query_detected_items"), "kelm-demo-trackfarm").size(), 2u);
    EXPECT_EQ(Run("korva.quarantine.v2_undo_package", undo).GetErrorCode(), KORVA_E_NOT_FOUND);
}

TEST_F(QuarantineTest, RestoringAnItemNeverOverwritesAndKeepsTheVaultCopy)
{
    CDictionary extract;
    extract["package_code"] = "kelm-demo-keypeek";
    ASSERT_TRUE(Run("korva.quarantine.extract_package", extract).Succeeded());
    EXPECT_EQ(ReadFile(m_hosts).find("update.keypeek.example"), std::string::npos);
    EXPECT_NE(ReadFile(m_hosts).find("127.0.0.1 localhost"), std::string::npos);
    std::string code;
    for (const auto& row : Rows("korva.quarantine.v2_query_all_items"))
        if (row.GetValue("path").ToString() == m_area + "/Documents/notes/keys.log")
            code = row.GetValue("item_code").ToString();
    ASSERT_FALSE(code.empty());
    const std::string saved = ReadFile(VaultPath(code));

    const std::string keys = m_area + "/Documents/notes/keys.log";
    std::ofstream(keys) << "a new file the user made";
    EXPECT_EQ(Act("korva.quarantine.v2_restore_item", "item_code", code).GetErrorCode(), KORVA_E_FAIL);
    EXPECT_EQ(ReadFile(keys), "a new file the user made");
    EXPECT_EQ(ReadFile(VaultPath(code)), saved);

    fs::remove(keys);
    ASSERT_TRUE(Act("korva.quarantine.v2_restore_item", "item_code", code).Succeeded());
    EXPECT_EQ(ReadFile(keys), saved);
    // The other items of the package stay removed; the hosts line comes
    // back with the package.
    EXPECT_EQ(Rows("korva.quarantine.v2_query_removed_items").size(), 3u);
    CDictionary restore;
    restore["package_code"] = "kelm-demo-keypeek";
    ASSERT_TRUE(Run("korva.quarantine.v2_restore_package", restore).Succeeded());
    EXPECT_NE(ReadFile(m_hosts).find("203.0.113.7 update.keypeek.example"), std::string::npos);
    EXPECT_EQ(Act("korva.quarantine.v2_restore_item", "item_code", "no-such-item").GetErrorCode(), KORVA_E_NOT_FOUND);
}

TEST_F(QuarantineTest, PurgeDeletesTheVaultCopyAndTheRecord)
{
    CDictionary extract;
    extract["package_code"] = "kelm-demo-keypeek";
    ASSERT_TRUE(Run("korva.quarantine.extract_package", extract).Succeeded());
    std::string code;
    for (const auto& row : Rows("korva.quarantine.v2_query_removed_items"))
        if (row.GetValue("class").ToString() == "file")
            code = row.GetValue("item_code").ToString();
    ASSERT_FALSE(code.empty());
    ASSERT_TRUE(fs::exists(VaultPath(code)));
    ASSERT_TRUE(Act("korva.quarantine.v2_purge_item", "item_code", code).Succeeded());
    EXPECT_FALSE(fs::exists(VaultPath(code)));
    EXPECT_EQ(Rows("korva.quarantine.v2_query_removed_items").size(), 3u);
    EXPECT_EQ(Run("korva.quarantine.query_count").GetCursor()["quarantine_count"].ToInteger(), 3);

    // Detected items cannot be purged; deleting a package's records keeps
    // the removed ones and their copies.
    const auto detected = Rows("korva.quarantine.v2_query_detected_items");
    ASSERT_FALSE(detected.empty());
    EXPECT_EQ(Act("korva.quarantine.v2_purge_item", "item_code", detected[0].GetValue("item_code").ToString()).GetErrorCode(),
              KORVA_E_NOT_ALLOWED);
    ASSERT_TRUE(Act("korva.quarantine.v2_delete_package_items", "package_code", "kelm-demo-keypeek").Succeeded());
    EXPECT_EQ(Rows("korva.quarantine.v2_query_removed_items").size(), 3u);
    EXPECT_EQ(Run("korva.justice.integrity_check").GetCursor()["missing"].ToInteger(), 0);
}

TEST_F(QuarantineTest, AFileThatCannotBeMovedIsAFailedItem)
{
    const std::string setup = m_area + "/Downloads/free_toolbar_setup.txt";
    fs::remove(setup);
    CDictionary extract;
    extract["package_code"] = "kelm-demo-toolbar";
    const CMsgResults result = Run("korva.quarantine.extract_package", extract);
    EXPECT_EQ(result.GetErrorCode(), KORVA_E_FAIL);
    EXPECT_NE(result.GetErrorText().find("1 of 4 items failed"), std::string::npos) << result.GetErrorText();
    const auto failed = Rows("korva.extraction.get_failed_items");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].GetValue("full_path").ToString(), setup);
    EXPECT_EQ(failed[0].GetValue("package_name").ToString(), "DemoBar Toolbar");
    // The item stays detected; the others were removed.
    EXPECT_EQ(ItemsOf(Rows("korva.quarantine.v2_query_detected_items"), "kelm-demo-toolbar").size(), 1u);

    EXPECT_EQ(Act("korva.quarantine.v2_remove_failed_item", "path", "/etc/passwd").GetErrorCode(), KORVA_E_NOT_FOUND);
    std::ofstream(setup) << "back again";
    ASSERT_TRUE(Act("korva.quarantine.v2_remove_failed_item", "path", setup).Succeeded());
    EXPECT_FALSE(fs::exists(setup));
    EXPECT_TRUE(Rows("korva.extraction.get_failed_items").empty());

    fs::remove(m_area + "/Cache/blob.bin");
    extract["package_code"] = "kelm-demo-keypeek";
    Run("korva.quarantine.extract_package", extract);
    EXPECT_EQ(Rows("korva.extraction.get_failed_items").size(), 1u);
    ASSERT_TRUE(Run("korva.justice.enforce.extraction.reset_containers").Succeeded());
    EXPECT_TRUE(Rows("korva.extraction.get_failed_items").empty());
    EXPECT_TRUE(Run("korva.quarantine.v2_extract_containers").Succeeded());
}

TEST_F(QuarantineTest, PackageStatusSelectAnswersOnlyItsOneShape)
{
    CDictionary select;
    select["database"] = "korva.userdata.db";
    select["table"] = "package_status";
    select["columns"] = "*";
    select["package_code"] = "kelm-demo-toolbar";
    auto rows = Rows("korva.userdata.select", select);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].GetValue("package_quarantine_status").ToInteger(), 1);

    CDictionary extract;
    extract["package_code"] = "kelm-demo-toolbar";
    ASSERT_TRUE(Run("korva.quarantine.extract_package", extract).Succeeded());
    rows = Rows("korva.userdata.select", select);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].GetValue("package_quarantine_status").ToInteger(), 2);

    select["package_code"] = "unknown";
    EXPECT_TRUE(Rows("korva.userdata.select", select).empty());
    select["package_code"] = "kelm-demo-toolbar";
    CDictionary injected = select;
    injected["where"] = "1=1; DROP TABLE quarantine_items";
    EXPECT_EQ(Run("korva.userdata.select", injected).GetErrorCode(), KORVA_E_NOT_ALLOWED);
    injected = select;
    injected["table"] = "quarantine_items";
    EXPECT_EQ(Run("korva.userdata.select", injected).GetErrorCode(), KORVA_E_NOT_ALLOWED);
    injected = select;
    injected["database"] = "korvad.db";
    EXPECT_EQ(Run("korva.userdata.select", injected).GetErrorCode(), KORVA_E_NOT_ALLOWED);
}

TEST_F(QuarantineTest, OptimizationsListIsEmptyAndUnknownIdsAreRefused)
{
    EXPECT_TRUE(Rows("korva.quarantine.query_optimize_items").empty());
    EXPECT_EQ(Act("korva.quarantine.remove_optimize_item", "id", "7").GetErrorCode(), KORVA_E_NOT_FOUND);
    EXPECT_EQ(Act("korva.quarantine.restore_optimize_item", "id", "x").GetErrorCode(), KORVA_E_INVALID_ARGUMENTS);
}

}  // namespace
