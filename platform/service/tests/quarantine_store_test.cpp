// The quarantine's records across a crash: korvad may die between moving a
// file and recording it; the next start must settle the item so that no
// file is lost or listed in the wrong place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "quarantine.h"
#include "quarantine_store.h"
#include "service_database.h"
#include "vault.h"

namespace fs = std::filesystem;
using namespace korvad;

namespace {

class QuarantineRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/korvad-records-XXXXXX";
        m_root = ::mkdtemp(pattern);
        std::string error;
        ASSERT_TRUE(m_db.Open(m_root + "/korvad.db", &error)) << error;
        auto defs = std::make_shared<Definitions>();
        ASSERT_TRUE(ParseDefinitions("format 1\nversion 1.0.0.0\npackage p\n name P\n severity high\n"
                                     " file_name 7 bad.bin\nend\n",
                                     *defs, &error))
            << error;
        m_store = std::make_unique<QuarantineStore>(m_db, defs);
        m_vault = std::make_unique<Vault>(m_root + "/vault");
        m_quarantine = std::make_unique<Quarantine>(*m_store, *m_vault, m_settings);
        m_file = m_root + "/home/bad.bin";
        fs::create_directories(m_root + "/home");
        std::ofstream(m_file) << "payload";
        Finding finding;
        finding.packageCode = "p";
        finding.definitionId = 7;
        finding.itemClass = "file";
        finding.path = m_file;
        finding.itemName = m_file;
        const long long scan = m_store->BeginScan("quick");
        ASSERT_EQ(m_store->Record(scan, finding, &m_code), QuarantineStore::Recorded::New);
        // The same item found again is the same record.
        std::string again;
        ASSERT_EQ(m_store->Record(scan, finding, &again), QuarantineStore::Recorded::Known);
        ASSERT_EQ(again, m_code);
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    ItemRecord Item()
    {
        ItemRecord item;
        EXPECT_TRUE(m_store->Item(m_code, item));
        return item;
    }

    std::string m_root;
    ServiceDatabase m_db;
    ScanSettings m_settings;
    std::unique_ptr<QuarantineStore> m_store;
    std::unique_ptr<Vault> m_vault;
    std::unique_ptr<Quarantine> m_quarantine;
    std::string m_file;
    std::string m_code;
};

TEST_F(QuarantineRecords, AMoveFinishedBeforeTheCrashCountsAsRemoved)
{
    // What Extract leaves when korvad dies right after the move: the vault
    // name recorded, the status not yet.
    ItemRecord item = Item();
    item.vaultName = item.itemCode;
    ASSERT_TRUE(m_store->Update(item, nullptr));
    std::string error;
    ASSERT_TRUE(m_vault->MoveIn(m_file, item.vaultName, &error)) << error;

    m_quarantine->Reconcile();
    item = Item();
    EXPECT_EQ(item.status, "removed");
    EXPECT_GT(item.timeQuarantined, 0);
    ASSERT_TRUE(m_quarantine->Restore(item, &error)) << error;
    EXPECT_TRUE(fs::exists(m_file));
}

TEST_F(QuarantineRecords, AMoveThatNeverHappenedLeavesTheItemFound)
{
    ItemRecord item = Item();
    item.vaultName = item.itemCode;
    ASSERT_TRUE(m_store->Update(item, nullptr));

    m_quarantine->Reconcile();
    item = Item();
    EXPECT_EQ(item.status, "found");
    EXPECT_TRUE(item.vaultName.empty());
    std::string error;
    ASSERT_TRUE(m_quarantine->Extract(item, &error)) << error;
    EXPECT_FALSE(fs::exists(m_file));
    EXPECT_EQ(Item().status, "removed");
}

TEST_F(QuarantineRecords, ARestoreFinishedBeforeTheCrashCountsAsRestored)
{
    ItemRecord item = Item();
    std::string error;
    ASSERT_TRUE(m_quarantine->Extract(item, &error)) << error;
    // The file went back, the record did not follow.
    ASSERT_TRUE(m_vault->MoveOut(item.vaultName, m_file, &error)) << error;

    m_quarantine->Reconcile();
    EXPECT_EQ(Item().status, "restored");
    EXPECT_EQ(m_store->PackageStatus("p"), 0);
}

TEST_F(QuarantineRecords, TheDefaultHostsFileIsNeverWritten)
{
    const std::string hosts = m_root + "/hosts";
    std::ofstream(hosts) << "203.0.113.9 evil.example\n";
    ScanSettings readOnly;
    readOnly.hostsFile = hosts;  // as the default /etc/hosts: not chosen in the settings
    Quarantine quarantine(*m_store, *m_vault, readOnly);
    Finding finding;
    finding.packageCode = "p";
    finding.definitionId = 7;
    finding.itemClass = "hosts";
    finding.path = "evil.example";
    finding.itemName = "203.0.113.9 evil.example";
    std::string code;
    ASSERT_EQ(m_store->Record(m_store->BeginScan("quick"), finding, &code), QuarantineStore::Recorded::New);
    ItemRecord item;
    ASSERT_TRUE(m_store->Item(code, item));
    std::string error;
    EXPECT_FALSE(quarantine.Extract(item, &error));
    EXPECT_NE(error.find("does not edit"), std::string::npos) << error;
    std::ifstream in(hosts);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "203.0.113.9 evil.example");
    ASSERT_TRUE(m_store->Item(code, item));
    EXPECT_EQ(item.status, "found");
}

}  // namespace
