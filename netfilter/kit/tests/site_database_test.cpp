#include <kit/clock.h>
#include <kit/debug_output.h>
#include <kit/file_check.h>
#include <kit/site_database.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using nfkit::SiteDatabase;
using nfkit::SiteEntryType;

constexpr int kToday = 7000;  // some day in 2025

constexpr const char* kSource = R"(
category 1 3 "malware" "Malicious sites"
category 2 2 "adware" "Advertising"
ip 10.1.2.3 cat=1
network 192.168.7.0 cat=2 level=3
domain Example.COM cat=1
host Bad.Example.org/ cat=2
url "Example.net/Evil/Path\\" cat=1
host expired.test cat=1 expires=day:1
)";

void SetLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value)
{
    nfkit::WriteLe32(file.data() + at, value);
}

void Reseal(std::vector<std::uint8_t>& file)
{
    SetLe32(file, 12, nfkit::Crc32From(file, nfkit::ReadLe32(file.data() + 28)));
}

// Offset of the first entry.
std::size_t Entries(const std::vector<std::uint8_t>& file)
{
    return nfkit::ReadLe32(file.data() + 36);
}

// Offset of the last entry of kSource: after two addresses (14 bytes each),
// "example.com" (22), "bad.example.org/" (27) and the URL (33).
std::size_t Last(const std::vector<std::uint8_t>& file)
{
    return Entries(file) + 14 + 14 + 22 + 27 + 33;
}

TEST(SiteDatabase, ReadsEveryTableLowerCasedAndTrimmed)
{
    for (bool encipher : {false, true}) {
        SiteDatabase db;
        ASSERT_EQ(nfkit::ParseSiteDatabase(nftest::SiteFile(kSource, encipher), kToday, db), 6) << encipher;
        ASSERT_NE(db.FindAddress(SiteEntryType::Address, 0x0A010203), nullptr);
        EXPECT_EQ(db.FindAddress(SiteEntryType::Network, 0xC0A80700)->actionLevel, 3);
        EXPECT_NE(db.FindText(SiteEntryType::Domain, "example.com"), nullptr);
        EXPECT_NE(db.FindText(SiteEntryType::HostName, "bad.example.org"), nullptr);
        EXPECT_NE(db.FindText(SiteEntryType::Url, "example.net/evil/path"), nullptr);
        EXPECT_EQ(db.FindText(SiteEntryType::Domain, "Example.COM"), nullptr);
        ASSERT_NE(db.FindCategory(2), nullptr);
        EXPECT_EQ(db.FindCategory(2)->name, "Advertising");
        EXPECT_EQ(db.FindCategory(2)->type, "adware");
        EXPECT_EQ(db.FindCategory(2)->defaultLevel, 2);
    }
}

TEST(SiteDatabase, ExpiredEntriesAreLoadedButNotIndexed)
{
    SiteDatabase db;
    const auto file = nftest::SiteFile(kSource);
    ASSERT_EQ(nfkit::ParseSiteDatabase(file, kToday, db), 6);
    EXPECT_EQ(db.Entries(SiteEntryType::HostName).size(), 2u);
    EXPECT_EQ(db.FindText(SiteEntryType::HostName, "expired.test"), nullptr);
    // On day 1 itself (2 January 2006) it still applies; expiry 0 always does.
    ASSERT_EQ(nfkit::ParseSiteDatabase(file, 1, db), 6);
    EXPECT_NE(db.FindText(SiteEntryType::HostName, "expired.test"), nullptr);
    EXPECT_EQ(nfkit::DayNumberOf(2006, 1, 2), 1);
}

TEST(SiteDatabase, IndexesAreSortedAsUnsignedBytes)
{
    SiteDatabase db;
    db.AddCategory({1, 3, "t", "n"});
    for (const char* text : {"\xc3\xa9t\xc3\xa9.test", "b.test", "a.test", "~.test"})
        db.AddText(SiteEntryType::HostName, 0, 1, 0, text);
    db.BuildIndexes(kToday);
    std::vector<std::string> order;
    for (std::uint32_t i : db.SortedIndex(SiteEntryType::HostName))
        order.emplace_back(db.Text(db.Entries(SiteEntryType::HostName)[i]));
    EXPECT_EQ(order, (std::vector<std::string>{"a.test", "b.test", "~.test", "\xc3\xa9t\xc3\xa9.test"}));
}

struct Fault {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    int expected;
};

class SiteDatabaseFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(SiteDatabaseFaults, AreReportedWithoutReadingPastTheFile)
{
    std::vector<std::uint8_t> file = nftest::SiteFile(kSource);
    GetParam().damage(file);
    SiteDatabase db;
    std::vector<std::uint8_t> exact(file);
    EXPECT_EQ(nfkit::ParseSiteDatabase(exact, kToday, db), GetParam().expected);
}

const Fault kFaults[] = {
    {"empty", [](auto& f) { f.clear(); }, nfkit::kSiteBadHeader},
    {"header_cut", [](auto& f) { f.resize(39); }, nfkit::kSiteBadHeader},
    {"wrong_magic", [](auto& f) { f[3] = 0; }, nfkit::kSiteBadHeader},
    {"crc_mismatch", [](auto& f) { f.back() ^= 1; }, nfkit::kSiteBadCrc},
    {"categories_256", [](auto& f) { SetLe32(f, 24, 256); }, nfkit::kSiteOutOfRange},
    {"category_table_past_file", [](auto& f) { SetLe32(f, 28, static_cast<std::uint32_t>(f.size() - 100)); },
     nfkit::kSiteOutOfRange},
    {"category_offset_past_file", [](auto& f) { SetLe32(f, 28, 0xFFFFFFF0u); }, nfkit::kSiteOutOfRange},
    {"entries_over_limit", [](auto& f) { SetLe32(f, 32, 500001); }, nfkit::kSiteOutOfRange},
    {"entry_offset_past_file", [](auto& f) { SetLe32(f, 36, static_cast<std::uint32_t>(f.size() + 1)); },
     nfkit::kSiteOutOfRange},
    {"entry_count_larger_than_region",
     [](auto& f) {
         SetLe32(f, 32, 400);
         Reseal(f);
     },
     6},
    {"file_cut_inside_last_entry",
     [](auto& f) {
         f.resize(f.size() - 3);
         Reseal(f);
     },
     5},
    {"file_cut_inside_entry_head",
     [](auto& f) {
         f.resize(f.size() - 20);
         Reseal(f);
     },
     5},
    {"type_above_4",
     [](auto& f) {
         f[Last(f)] = 5;
         Reseal(f);
     },
     5},
    {"category_id_over_256",
     [](auto& f) {
         nfkit::WriteLe16(f.data() + Last(f) + 2, 257);
         Reseal(f);
     },
     5},
    {"category_not_in_table",
     [](auto& f) {
         nfkit::WriteLe16(f.data() + Entries(f) + 2, 77);
         Reseal(f);
     },
     5},
    {"expiry_over_1024",
     [](auto& f) {
         nfkit::WriteLe16(f.data() + Last(f) + 4, 1025);
         Reseal(f);
     },
     5},
    {"length_over_1024",
     [](auto& f) {
         nfkit::WriteLe16(f.data() + Last(f) + 6, 1025);
         Reseal(f);
     },
     5},
    {"text_longer_than_its_entry",
     [](auto& f) {
         // The last entry is "expired.test": 12 bytes of text, L 12.
         nfkit::WriteLe16(f.data() + Last(f) + 8, 14);
         Reseal(f);
     },
     5},
    {"length_runs_past_file",
     [](auto& f) {
         const std::size_t third = Entries(f) + 14 + 14;
         nfkit::WriteLe16(f.data() + third + 6, 1000);
         nfkit::WriteLe16(f.data() + third + 8, 1000);
         Reseal(f);
     },
     2},
    {"text_starting_with_nul",
     [](auto& f) {
         f[Entries(f) + 14 + 14 + 10] = 0;
         Reseal(f);
     },
     5},
};

INSTANTIATE_TEST_SUITE_P(Table, SiteDatabaseFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SiteDatabase, InvalidEntryIsSkippedAsTwelveBytes)
{
    std::vector<std::uint8_t> file = nftest::SiteFile(R"(
category 4 3 "t" "n"
host after-junk.test cat=4
)");
    const std::size_t at = Entries(file);
    std::vector<std::uint8_t> junk(12, 0);
    junk[0] = 9;  // no such type
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), junk.begin(), junk.end());
    SetLe32(file, 32, 2);
    Reseal(file);
    SiteDatabase db;
    ASSERT_EQ(nfkit::ParseSiteDatabase(file, kToday, db), 1);
    EXPECT_NE(db.FindText(SiteEntryType::HostName, "after-junk.test"), nullptr);
}

TEST(SiteDatabase, EmptyTextAfterTrimmingIsSkipped)
{
    SiteDatabase db;
    ASSERT_EQ(nfkit::ParseSiteDatabase(nftest::SiteFile(R"(
category 1 3 "t" "n"
url "/" cat=1
url "a/" cat=1
)"),
                                       kToday, db),
              1);
    EXPECT_NE(db.FindText(SiteEntryType::Url, "a"), nullptr);
}

// ---- Two databases ----------------------------------------------------------

class SiteDatabasePair : public ::testing::Test {
protected:
    nftest::TempStateRoot root;
    std::string first = (root.path() / "sites.dat").string();
    std::string second = (root.path() / "sb2.dat").string();
};

TEST_F(SiteDatabasePair, MergeKeepsTheFirstDatabasesEntryAndRemapsCategoriesByName)
{
    nftest::WriteFile(first, nftest::SiteFile(R"(
category 1 3 "malware" "Malicious"
category 2 2 "adware" "Ads"
host shared.test cat=1 level=3
ip 10.0.0.1 cat=2
)"));
    nftest::WriteFile(second, nftest::SiteFile(R"(
category 5 2 "adware" "Ads"
category 6 1 "tracking" "Trackers"
host shared.test cat=6 level=1
host only-second.test cat=5
host tracker.test cat=6
ip 10.0.0.1 cat=6
network 10.0.0.0 cat=6
)",
                                                 /*encipher=*/true));
    std::unique_ptr<SiteDatabase> db;
    ASSERT_EQ(nfkit::LoadSiteDatabases(first, kToday, db), 2 + 5);
    ASSERT_TRUE(db);

    const auto* shared = db->FindText(SiteEntryType::HostName, "shared.test");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->categoryId, 1);
    EXPECT_EQ(shared->actionLevel, 3);
    EXPECT_EQ(db->Entries(SiteEntryType::HostName).size(), 3u);
    EXPECT_EQ(db->Entries(SiteEntryType::Address).size(), 1u);

    // "adware" exists in both: the second's 5 becomes the first's 2.
    EXPECT_EQ(db->FindText(SiteEntryType::HostName, "only-second.test")->categoryId, 2);
    // "tracking" is new: it gets the next identifier after the first's.
    const auto* tracker = db->FindText(SiteEntryType::HostName, "tracker.test");
    ASSERT_NE(tracker, nullptr);
    ASSERT_NE(db->FindCategory(tracker->categoryId), nullptr);
    EXPECT_EQ(tracker->categoryId, 3);
    EXPECT_EQ(db->FindCategory(3)->name, "Trackers");
    EXPECT_EQ(db->FindAddress(SiteEntryType::Network, 0x0A000000)->categoryId, 3);
    EXPECT_EQ(db->Categories().size(), 3u);
}

TEST_F(SiteDatabasePair, EitherFileAloneIsUsedAlone)
{
    const auto only = nftest::SiteFile(R"(
category 1 3 "t" "n"
host alone.test cat=1
)");
    std::unique_ptr<SiteDatabase> db;
    nftest::WriteFile(first, only);
    EXPECT_EQ(nfkit::LoadSiteDatabases(first, kToday, db), 1);
    ASSERT_TRUE(db);

    std::filesystem::remove(first);
    nftest::WriteFile(second, only);
    EXPECT_EQ(nfkit::LoadSiteDatabases(first, kToday, db), 1);
    ASSERT_TRUE(db);
    EXPECT_NE(db->FindText(SiteEntryType::HostName, "alone.test"), nullptr);
}

TEST_F(SiteDatabasePair, NeitherFileGivesTheFirstFilesError)
{
    std::unique_ptr<SiteDatabase> db;
    EXPECT_EQ(nfkit::LoadSiteDatabases(first, kToday, db), nfkit::kSiteCannotOpen);
    EXPECT_FALSE(db);
    EXPECT_EQ(nfkit::LoadSiteDatabases("", kToday, db), nfkit::kSiteBadHeader);
    nftest::WriteFile(first, {1, 2, 3});
    EXPECT_EQ(nfkit::LoadSiteDatabases(first, kToday, db), nfkit::kSiteBadHeader);
}

TEST_F(SiteDatabasePair, SecondPathIsBesideTheAbsoluteFirst)
{
    EXPECT_EQ(nfkit::SecondSiteDatabasePath("/a/b/sites.dat"), "/a/b/sb2.dat");
    const auto relative = nfkit::SecondSiteDatabasePath("sites.dat");
    EXPECT_EQ(std::filesystem::path(relative), std::filesystem::current_path() / "sb2.dat");
}

}  // namespace
