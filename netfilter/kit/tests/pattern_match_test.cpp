#include <kit/pattern_match.h>

#include <test_support.h>

#include <gtest/gtest.h>

namespace {

nfkit::DetectionRecord Record(const std::string& source)
{
    auto records = nftest::Records("1 1 block " + source);
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? nfkit::DetectionRecord() : records[0];
}

struct MatchCase {
    const char* name;
    std::string pattern;  // kelmdb units, after "1 1 block"
    std::string data;
    std::size_t at;
    bool expected;
};

class SingleRecordMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(SingleRecordMatch, FollowsTheUnitRules)
{
    const auto record = Record(GetParam().pattern);
    std::string data = GetParam().data;
    // Whole, and split into single bytes: the view gives the same answer.
    for (std::size_t piece : {data.size(), std::size_t(1), std::size_t(3)}) {
        auto pieces = nftest::Split(nftest::Bytes(data), {piece});
        nfkit::ScanView view;
        for (auto& p : pieces)
            view.Add(p.data(), p.size());
        EXPECT_EQ(nfkit::MatchRecordAt(record, view, GetParam().at, 0), GetParam().expected) << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SingleRecordMatch,
    ::testing::Values(
        MatchCase{"literal", R"("abcd")", "xxabcdxx", 2, true},
        MatchCase{"literal_mismatch", R"("abcd")", "xxabcexx", 2, false},
        MatchCase{"out_of_data", R"("abcd")", "xxabc", 2, false},
        MatchCase{"case_sensitive", R"("abCD")", "abcd", 0, false},
        MatchCase{"skip_exact", R"("ab" skip:3 "cd")", "ab123cd", 0, true},
        MatchCase{"skip_short", R"("ab" skip:3 "cd")", "ab12cd", 0, false},
        MatchCase{"gap_within", R"("ab" gap:4 "cd")", "ab1234cd", 0, true},
        MatchCase{"gap_zero_bytes", R"("ab" gap:4 "cd")", "abcd", 0, true},
        MatchCase{"gap_too_far", R"("ab" gap:4 "cd")", "ab12345cd", 0, false},
        // The resume rule: after "c" matched and "d" did not, the match moves
        // one byte on from the mismatch and resumes at "c".
        MatchCase{"gap_resume", R"("ab" gap:5 "cd")", "abcxcd", 0, true},
        // It never steps back: "d" mismatching the second "c" moves past that
        // "c", so the "cd" starting there is missed.
        MatchCase{"gap_resume_no_step_back", R"("ab" gap:5 "cd")", "abccd", 0, false},
        MatchCase{"gap_budget_spent_by_matches", R"("ab" gap:2 "cd" "e")", "abcdxe", 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SingleRecordMatch, CaseInsensitiveLettersMatchEitherCaseOtherBytesExactly)
{
    const auto record = nftest::Records(R"(1 1 nocase "aB[1")")[0];
    for (const char* yes : {"ab[1", "AB[1", "Ab[1", "aB[1"}) {
        std::string d = yes;
        nfkit::ScanView view;
        view.Add(reinterpret_cast<std::uint8_t*>(d.data()), d.size());
        EXPECT_TRUE(nfkit::MatchRecordAt(record, view, 0, 'X')) << yes;
    }
    // "{" is "[" with the case bit set: not a letter, so no match.
    std::string no = "ab{1";
    nfkit::ScanView view;
    view.Add(reinterpret_cast<std::uint8_t*>(no.data()), no.size());
    EXPECT_FALSE(nfkit::MatchRecordAt(record, view, 0, 0));
}

TEST(SingleRecordMatch, OverwriteReplacesEveryLiteralByteAcrossPieces)
{
    const auto record = Record(R"("ab" skip:1 "cd")");
    std::string a = "zza";
    std::string b = "b-c";
    std::string c = "dz";
    nfkit::ScanView view;
    view.Add(reinterpret_cast<std::uint8_t*>(a.data()), a.size());
    view.Add(reinterpret_cast<std::uint8_t*>(b.data()), b.size());
    view.Add(reinterpret_cast<std::uint8_t*>(c.data()), c.size());
    nfkit::MatchExtent extent;
    ASSERT_TRUE(nfkit::MatchRecordAt(record, view, 2, 'X', &extent));
    EXPECT_EQ(a + b + c, "zzXX-XXz");
    EXPECT_EQ(extent.end, 7u);
    EXPECT_EQ(extent.literalEnd, 7u);
}

struct SearchCase {
    std::string pattern;
    std::string data;
    bool expected;
};

class FirstBufferSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(FirstBufferSearchTest, FindsPatternsAnywhereWithItsRestartRule)
{
    const auto record = Record(GetParam().pattern);
    const auto data = nftest::Bytes(GetParam().data);
    EXPECT_EQ(nfkit::FirstBufferSearch(record, data.data(), data.size()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FirstBufferSearchTest,
                         ::testing::Values(SearchCase{R"("abc")", "xxabcxx", true}, SearchCase{R"("abc")", "xxab", false},
                                           SearchCase{R"("ab" gap:3 "cd")", "..ab..cd..", true},
                                           SearchCase{R"("ab" gap:3 "cd")", "..ab....cd", false},
                                           // A mismatch past unit 0 restarts at unit 0 on the same byte,
                                           // so an overlapping start is missed.
                                           SearchCase{R"("aab")", "aaab", false},
                                           SearchCase{R"("aab")", "xaab", true}));

}  // namespace
