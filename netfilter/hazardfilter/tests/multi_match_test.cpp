#include <detection_database.h>
#include <multi_match.h>

#include <kit/pattern_match.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <random>

namespace {

using hazard::Hit;
using nfkit::DetectionRecord;

struct SelectCase {
    std::uint32_t flags;
    std::uint32_t classification;
    int pass;
    bool applies;
};

class RecordSelection : public ::testing::TestWithParam<SelectCase> {};

TEST_P(RecordSelection, FollowsTheClassRules)
{
    const auto& c = GetParam();
    EXPECT_EQ(hazard::RecordApplies(c.flags, c.classification, c.pass), c.applies);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordSelection,
    ::testing::Values(
        // Class 0: only records without classes.
        SelectCase{0x0FFF, 0, 0, true}, SelectCase{0x1000, 0, 0, false},
        // Everything.
        SelectCase{0x2FF010, 0xFFFFF000u, 1, true},
        // No protocol class: everywhere but on mail.
        SelectCase{0x10010, 0x11000, 0, true}, SelectCase{0x0010, 0x3000, 0, false},
        SelectCase{0x0010, 0x2000, 0, false},
        // Protocols must be equal.
        SelectCase{0x1000, 0x2000, 0, false}, SelectCase{0x1000, 0x3000, 0, false},
        SelectCase{0x1000, 0x91000, 0, true},
        // Content: first pass shares a class, second pass needs equal classes.
        SelectCase{0x11000, 0x91000, 0, true}, SelectCase{0x11000, 0x91000, 1, false},
        SelectCase{0x11000, 0x11000, 1, true}, SelectCase{0x21000, 0x11000, 0, false},
        SelectCase{0x91000, 0x11000, 0, true}, SelectCase{0x91000, 0x11000, 1, false}));

// The matcher as the record-by-record description reads: every position,
// every selected record in table order, the key test then the units.
std::vector<Hit> Reference(const nfkit::ScanView& view, const std::vector<DetectionRecord>& table,
                           std::uint32_t classification, int pass)
{
    std::vector<Hit> hits;
    if (view.TotalBytes() <= 7)
        return hits;
    for (std::size_t p = 0; p + 1 < view.TotalBytes(); ++p) {
        const std::uint16_t key = static_cast<std::uint16_t>(view.At(p) | (view.At(p + 1) << 8));
        for (const DetectionRecord& r : table) {
            if (!hazard::RecordApplies(r.flags, classification, pass))
                continue;
            bool keyed = false;
            for (int k = 0; k < r.keyCount; ++k)
                keyed |= r.keys[k] == key;
            nfkit::MatchExtent extent;
            if (keyed && nfkit::MatchRecordAt(r, view, p, 0, &extent) && extent.literalEnd > view.CarriedBytes())
                hits.push_back(Hit{r.id, r.subId, r.flags, p});
        }
    }
    return hits;
}

bool SameHits(const std::vector<Hit>& a, const std::vector<Hit>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].subId != b[i].subId || a[i].position != b[i].position)
            return false;
    }
    return true;
}

// Random records over a small alphabet, so that matches, near misses, gaps
// and skips all happen often.
std::vector<DetectionRecord> RandomTable(std::mt19937& random, int count)
{
    const std::string alphabet = "abAB<>x%";
    std::vector<DetectionRecord> table;
    for (int i = 0; i < count; ++i) {
        DetectionRecord r;
        r.id = static_cast<std::uint32_t>(i + 1);
        r.subId = 1;
        const std::uint32_t classes[] = {0, 0x1000, 0x11000, 0x21000, 0x2000};
        r.flags = classes[random() % 5] | ((random() % 2) ? nfkit::kFlagNoCase : 0);
        r.unitCount = static_cast<std::uint8_t>(2 + random() % (random() % 2 ? 8 : 20));
        for (int u = 0; u < r.unitCount; ++u) {
            const auto pick = random() % 10;
            if (u >= 2 && pick == 0 && r.unitCount < 12)
                r.units[u] = nfkit::MakeGapUnit(static_cast<std::uint16_t>(random() % 6));
            else if (u >= 2 && pick == 1)
                r.units[u] = nfkit::MakeSkipUnit(static_cast<std::uint16_t>(random() % 4));
            else
                r.units[u] = nfkit::MakeLiteralUnit(static_cast<std::uint8_t>(alphabet[random() % alphabet.size()]));
        }
        nfkit::DeriveStartKeys(r);
        table.push_back(r);
    }
    return table;
}

// Bytes RECORD matches: its literals (in a random case for case-insensitive
// records), random bytes for skips and for part of each gap.
std::string Render(const DetectionRecord& r, std::mt19937& random, const std::string& alphabet)
{
    std::string out;
    for (int u = 0; u < r.unitCount; ++u) {
        const std::uint16_t unit = r.units[u];
        if (nfkit::IsSkipUnit(unit) || nfkit::IsGapUnit(unit)) {
            const unsigned n = nfkit::IsSkipUnit(unit) ? nfkit::UnitCount(unit)
                                                       : static_cast<unsigned>(random() % (nfkit::UnitCount(unit) + 1));
            for (unsigned i = 0; i < n; ++i)
                out.push_back(alphabet[random() % alphabet.size()]);
            continue;
        }
        char c = static_cast<char>(nfkit::UnitByte(unit));
        if ((r.flags & nfkit::kFlagNoCase) && random() % 2)
            c = static_cast<char>(nfkit::OtherCase(static_cast<std::uint8_t>(c)));
        out.push_back(c);
    }
    return out;
}

TEST(MatchMultiSploit, AgreesWithTheRecordByRecordScan)
{
    std::mt19937 random(1234);
    const std::string alphabet = "abAB<>xyz%";
    std::size_t totalHits = 0;
    for (int round = 0; round < 400; ++round) {
        const auto table = RandomTable(random, 1 + static_cast<int>(random() % 60));
        hazard::DetectionDatabase database(table);
        std::string data(8 + random() % 300, ' ');
        for (char& c : data)
            c = alphabet[random() % alphabet.size()];
        // Plant a few records so that long patterns match too.
        for (int plant = static_cast<int>(random() % 5); plant > 0; --plant) {
            const std::string text = Render(table[random() % table.size()], random, alphabet);
            const std::size_t at = random() % data.size();
            data.replace(at, std::min(text.size(), data.size() - at), text);
        }
        auto bytes = nftest::Bytes(data);
        const auto pieces = nftest::Split(bytes, {1 + random() % 40, 1 + random() % 9});
        std::vector<std::vector<std::uint8_t>> copies = pieces;
        nfkit::ScanView view;
        for (auto& piece : copies)
            view.Add(piece.data(), piece.size());
        view.SetCarriedBytes(random() % 3 == 0 ? std::min<std::size_t>(copies[0].size(), 256) : 0);

        const std::uint32_t classes[] = {0, 0x1000, 0x11000, 0x91000, 0x2000, 0xFFFFF000u};
        const std::uint32_t classification = classes[random() % 6];
        const int pass = static_cast<int>(random() % 2);
        std::vector<Hit> hits;
        hazard::MatchMultiSploit(view, database.IndexFor(classification, pass), hits);
        const auto expected = Reference(view, table, classification, pass);
        totalHits += expected.size();
        ASSERT_TRUE(SameHits(hits, expected)) << "round " << round << ": " << hits.size() << " hits, expected "
                                              << expected.size();
    }
    EXPECT_GT(totalHits, 400u);  // the rounds found plenty to compare
}

TEST(MatchMultiSploit, TriesACaseInsensitiveRecordOncePerPosition)
{
    // The first two pattern bytes are no letters: its four keys are equal.
    hazard::DetectionDatabase database(nftest::Records(R"(1 1 nocase "12ab")"));
    std::string data = "..12AB..12ab..";
    nfkit::ScanView view;
    view.Add(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    std::vector<Hit> hits;
    EXPECT_EQ(hazard::MatchMultiSploit(view, database.IndexFor(0, 0), hits), 2);
    EXPECT_EQ(hits[0].position, 2u);
    EXPECT_EQ(hits[1].position, 8u);
}

TEST(MatchMultiSploit, ListsHitsInPositionThenTableOrder)
{
    hazard::DetectionDatabase database(nftest::Records(R"(
3 1 block "abcdef"
1 1 block "abc"
2 1 block "ab" skip:1 "d"
)"));
    std::string data = "zzabcdefzz";
    nfkit::ScanView view;
    view.Add(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    std::vector<Hit> hits;
    ASSERT_EQ(hazard::MatchMultiSploit(view, database.IndexFor(0, 0), hits), 3);
    EXPECT_EQ(hits[0].id, 3u);
    EXPECT_EQ(hits[1].id, 1u);
    EXPECT_EQ(hits[2].id, 2u);
}

TEST(MatchMultiSploit, SkipsHitsWhollyInsideTheCarriedBytes)
{
    hazard::DetectionDatabase database(nftest::Records(R"(1 1 block "needle")"));
    std::string carried = "..needle..nee";
    std::string fresh = "dle....";
    nfkit::ScanView view;
    view.Add(reinterpret_cast<std::uint8_t*>(carried.data()), carried.size());
    view.Add(reinterpret_cast<std::uint8_t*>(fresh.data()), fresh.size());
    view.SetCarriedBytes(carried.size());
    std::vector<Hit> hits;
    ASSERT_EQ(hazard::MatchMultiSploit(view, database.IndexFor(0, 0), hits), 1);
    EXPECT_EQ(hits[0].position, 10u);  // the one that ends in the new bytes
}

TEST(MatchMultiSploit, ShortViewsAndEmptyIndexesGiveNothing)
{
    hazard::DetectionDatabase database(nftest::Records(R"(1 1 block "ab")"));
    std::string data = "abababa";
    nfkit::ScanView view;
    view.Add(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    std::vector<Hit> hits;
    EXPECT_EQ(hazard::MatchMultiSploit(view, database.IndexFor(0, 0), hits), 0);
    EXPECT_EQ(hazard::MatchMultiSploit(view, database.IndexFor(0x2000, 0), hits), 0);
}

}  // namespace
