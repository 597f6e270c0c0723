// The text-backed value types: conversions, ordered dictionaries, row sets,
// cursors.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "servicelink/korva_config.h"
#include "servicelink/msg_cursor.h"
#include "servicelink/msg_results.h"
#include "servicelink/msg_row_set.h"
#include "servicelink/string_value.h"
#include "servicelink/value_accessor.h"

namespace {

struct IntegerCase {
    const char* text;
    std::int32_t asInt;
    std::int64_t asInt64;
    bool asBool;
};

class StringValueIntegers : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(StringValueIntegers, ReadsLikeTheServiceWroteIt)
{
    const IntegerCase& c = GetParam();
    const CStringValue value(c.text);
    EXPECT_EQ(value.ToInteger(), c.asInt) << c.text;
    EXPECT_EQ(value.ToInteger64(), c.asInt64) << c.text;
    EXPECT_EQ(value.ToBool(), c.asBool) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringValueIntegers,
    ::testing::Values(IntegerCase{"", 0, 0, false}, IntegerCase{"0", 0, 0, false}, IntegerCase{"1", 1, 1, true},
                      IntegerCase{"  42", 42, 42, true}, IntegerCase{"-17", -17, -17, true},
                      IntegerCase{"+5", 5, 5, true}, IntegerCase{"27abc", 27, 27, true},
                      IntegerCase{"abc", 0, 0, false}, IntegerCase{"true", 0, 0, true},
                      IntegerCase{"TRUE", 0, 0, true}, IntegerCase{"false", 0, 0, false},
                      // 32-bit reads saturate instead of wrapping.
                      IntegerCase{"4294967296", std::numeric_limits<std::int32_t>::max(), 4294967296LL, true},
                      IntegerCase{"-4294967296", std::numeric_limits<std::int32_t>::min(), -4294967296LL, true},
                      IntegerCase{"99999999999999999999999", std::numeric_limits<std::int32_t>::max(),
                                  std::numeric_limits<std::int64_t>::max(), true},
                      IntegerCase{"-9223372036854775808", std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int64_t>::min(), true}));

TEST(StringValue, SetFromEveryTypeRoundTrips)
{
    CStringValue v;
    v = std::int32_t{-5};
    EXPECT_EQ(v.ToString(), "-5");
    v = std::uint64_t{18446744073709551615ULL};
    EXPECT_EQ(v.ToString(), "18446744073709551615");
    EXPECT_EQ(v.ToUInteger64(), 18446744073709551615ULL);
    v = true;
    EXPECT_EQ(v.ToString(), "1");
    v = false;
    EXPECT_EQ(v.ToString(), "0");
    v = 0.1;
    EXPECT_EQ(v.ToDouble(), 0.1);
    v = 97.5;
    EXPECT_EQ(v.ToString(), "97.5");
    v = "text";
    EXPECT_EQ(v.ToString(), "text");
    EXPECT_EQ(v.ToDouble(), 0.0);
    v = static_cast<const char*>(nullptr);
    EXPECT_TRUE(v.IsEmpty());
    CStringValue copy;
    copy = CStringValue("other");
    EXPECT_EQ(copy.ToString(), "other");
}

TEST(Dictionary, KeepsInsertionOrderAcrossReplaceAndRemove)
{
    CDictionary d;
    d["zeta"] = 1;
    d["alpha"] = "a";
    d["mid"] = true;
    d["zeta"] = 2;  // replacing keeps the first position
    ASSERT_EQ(d.GetCount(), 3u);
    std::vector<std::string> names;
    for (const auto& [name, value] : d)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"zeta", "alpha", "mid"}));
    EXPECT_EQ(d.GetValue("zeta").ToInteger(), 2);

    EXPECT_TRUE(d.RemoveValue("zeta"));
    EXPECT_FALSE(d.RemoveValue("zeta"));
    d["last"] = "x";
    EXPECT_EQ(d.Entries()[0].first, "alpha");
    EXPECT_EQ(d.GetValue("mid").ToString(), "1");  // index still right after removal
    EXPECT_EQ(d.GetValue("last").ToString(), "x");
}

TEST(Dictionary, ReadingDoesNotCreate)
{
    const CDictionary d;
    EXPECT_FALSE(d.HasValue("absent"));
    EXPECT_EQ(d["absent"].ToString(), "");
    EXPECT_EQ(d.GetValue("absent").ToInteger(), 0);
    EXPECT_EQ(d.GetCount(), 0u);
    CDictionary w;
    w["made"];
    EXPECT_TRUE(w.HasValue("made"));
}

TEST(RowSet, AddsColumnsOnDemandAndPadsOldRows)
{
    CMsgRowSet set("items");
    CDictionary first;
    first["id"] = 1;
    first["url"] = "a.example";
    set.AddRow(first);
    CDictionary second;
    second["url"] = "b.example";
    second["extra"] = "e";
    set.AddRow(second);

    EXPECT_EQ(set.GetColumns(), (std::vector<std::string>{"id", "url", "extra"}));
    EXPECT_EQ(set.GetValue(0, "extra").ToString(), "");
    EXPECT_EQ(set.GetValue(1, "id").ToString(), "");
    EXPECT_EQ(set.GetValue(1, "url").ToString(), "b.example");
    EXPECT_EQ(set.GetValue(7, "url").ToString(), "");   // outside the table reads empty
    EXPECT_EQ(set.GetValue(0, 99).ToString(), "");
    EXPECT_FALSE(set.SetValue(5, "id", 3));              // no such row
    EXPECT_EQ(set.GetColumnIndex("nope"), -1);

    CDictionary row;
    ASSERT_TRUE(set.GetRowData(0, row));
    EXPECT_EQ(row.Entries().size(), 3u);
    EXPECT_EQ(row["id"].ToInteger(), 1);
    EXPECT_FALSE(set.GetRowData(2, row));
}

TEST(Cursor, WalksRowsAndRowSets)
{
    CMsgRowSet a("a");
    for (int i = 0; i < 3; ++i) {
        CDictionary r;
        r["n"] = i;
        a.AddRow(r);
    }
    CMsgRowSet b("b");
    CDictionary r;
    r["m"] = "only";
    b.AddRow(r);
    const CMsgResults results(0, "", {a, b});
    CMsgCursor cursor(results);
    EXPECT_EQ(cursor.GetRowCount(), 3u);
    EXPECT_EQ(cursor.CurrentRowSet().GetName(), "a");
    int seen = 0;
    do {
        EXPECT_EQ(cursor["n"].ToInteger(), seen);
        ++seen;
    } while (cursor.NextRow());
    EXPECT_EQ(seen, 3);
    EXPECT_TRUE(cursor.IsEOF());
    EXPECT_EQ(cursor["n"].ToString(), "");
    EXPECT_FALSE(cursor.NextRow());
    ASSERT_TRUE(cursor.NextRowSet());
    EXPECT_EQ(cursor["m"].ToString(), "only");
    EXPECT_TRUE(cursor.HasValue("m"));
    EXPECT_FALSE(cursor.HasValue("n"));
    EXPECT_FALSE(cursor.NextRowSet());
    EXPECT_EQ(cursor.CurrentRowSet().GetRowCount(), 0u);
}

TEST(Cursor, OutlivesItsResultsAndReadsEmptyWithoutRows)
{
    CMsgCursor cursor;
    {
        CMsgRowSet set("s");
        CDictionary r;
        r["k"] = "v";
        set.AddRow(r);
        const CMsgResults results(0, "", {set});
        cursor = results.GetCursor();
    }
    EXPECT_EQ(cursor["k"].ToString(), "v");

    const CMsgResults failed(1002, "bad");
    EXPECT_TRUE(failed.Failed());
    EXPECT_EQ(failed.GetCursor().GetRowCount(), 0u);
    EXPECT_EQ(failed.GetCursor()["k"].ToString(), "");
    CDictionary row;
    EXPECT_FALSE(failed.GetCursor().GetRowData(row));
}

struct SectionCase {
    const char* own;
    const char* given;
    const char* expected;
};

class ConfigSections : public ::testing::TestWithParam<SectionCase> {};

TEST_P(ConfigSections, RelativeSectionsHangUnderTheOwnOne)
{
    const SectionCase& c = GetParam();
    const CKorvaConfig config(c.own, "system", nullptr);
    EXPECT_EQ(config.ResolveSection(c.given), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigSections,
    ::testing::Values(
        SectionCase{"korva.applications.tavrel", nullptr, "korva.applications.tavrel"},
        SectionCase{"korva.applications.tavrel", "", "korva.applications.tavrel"},
        SectionCase{"korva.applications.tavrel", "system.options.enforcers",
                    "korva.applications.tavrel.system.options.enforcers"},
        SectionCase{"korva.applications.tavrel.blacklist", "options", "korva.applications.tavrel.blacklist.options"},
        SectionCase{"korva.applications.tavrel", "korva.applications.tavrel.external",
                    "korva.applications.tavrel.external"},
        SectionCase{nullptr, "system.options", "system.options"}));

}  // namespace
