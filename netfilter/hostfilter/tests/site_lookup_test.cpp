#include "site_lookup.h"

#include <gtest/gtest.h>

#include <string>

namespace hostfilter {
namespace {

std::unique_ptr<SiteLookup> UrlTable(std::initializer_list<const char*> entries)
{
    SiteLookup::Builder builder;
    uint16_t category = 1;
    for (const char* entry : entries)
        builder.AddText(SiteTable::Url, entry, 3, category++);
    return builder.Build();
}

std::string FoundUrl(const SiteLookup& lookup, std::string_view key)
{
    std::optional<SiteMatch> match = lookup.FindUrl(key);
    return match ? std::string(match->text) : std::string("-");
}

struct UrlCase {
    const char* key;
    const char* found;  // "-": no entry occurs in the key
};

TEST(SiteLookupUrl, FindsEveryEntryThatOccursInTheKey)
{
    auto lookup = UrlTable({"evil.com/bad", "ads.example.org/banner", "tracker.net", "zz.com/x", "a.b/c",
                            "evil.com/bad/worse"});
    const UrlCase cases[] = {
        {"evil.com/bad", "evil.com/bad"},
        {"www.evil.com/bad/page.html", "evil.com/bad"},
        {"www.evil.com/bad/worse/x", "evil.com/bad/worse"},  // the longest entry at the leftmost position
        {"evil.com/ba", "-"},
        {"evil.com/good", "-"},
        {"cdn.ads.example.org/banner?id=1", "ads.example.org/banner"},
        {"x.tracker.net/anything", "tracker.net"},
        {"tracker.ne", "-"},
        {"site.com/?u=zz.com/x", "zz.com/x"},  // anywhere in the key, as the rule says
        {"", "-"},
        {"a.b/c/", "a.b/c"},  // the key's trailing slash goes
    };
    for (const UrlCase& c : cases)
        EXPECT_EQ(FoundUrl(*lookup, c.key), c.found) << c.key;
}

// With many entries on both sides of the listed one, a binary search for the
// whole key probes entries far from it; the lookup must still find it.
TEST(SiteLookupUrl, FindsEntriesABinarySearchWouldNotProbe)
{
    SiteLookup::Builder builder;
    for (int i = 0; i < 5000; ++i) {
        builder.AddText(SiteTable::Url, "aaa" + std::to_string(i) + ".com/p", 1, 1);
        builder.AddText(SiteTable::Url, "www" + std::to_string(i) + ".org/q", 1, 1);
    }
    builder.AddText(SiteTable::Url, "mid.example.net/listed", 3, 7);
    auto lookup = builder.Build();
    std::optional<SiteMatch> match = lookup->FindUrl("www.mid.example.net/listed/deeper?x=1");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->text, "mid.example.net/listed");
    EXPECT_EQ(match->category, 7);
    EXPECT_FALSE(lookup->FindUrl("www.mid.example.net/unlisted"));
    EXPECT_TRUE(lookup->FindUrl("aaa4999.com/p/x"));
}

TEST(SiteLookupUrl, ShortEntriesAreFoundToo)
{
    auto lookup = UrlTable({"q", "zx", "kwy", "long.entry/path"});
    EXPECT_EQ(FoundUrl(*lookup, "abcq"), "q");
    EXPECT_EQ(FoundUrl(*lookup, "abzxc"), "zx");
    EXPECT_EQ(FoundUrl(*lookup, "abz"), "-");
    EXPECT_EQ(FoundUrl(*lookup, "abkwyde"), "kwy");
    EXPECT_EQ(FoundUrl(*lookup, "kw"), "-");
    EXPECT_EQ(FoundUrl(*lookup, "www.long.entry/path/x"), "long.entry/path");
}

TEST(SiteLookupUrl, EqualEntriesReportTheFirstListed)
{
    SiteLookup::Builder builder;
    builder.AddText(SiteTable::Url, "dup.com/x", 2, 10);
    builder.AddText(SiteTable::Url, "dup.com/x", 3, 11);
    auto lookup = builder.Build();
    std::optional<SiteMatch> match = lookup->FindUrl("dup.com/x/y");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->category, 10);
    EXPECT_EQ(match->level, 2);
}

TEST(SiteLookupBuilder, NormalisesTextsAndSkipsEmptyOnes)
{
    SiteLookup::Builder builder;
    builder.AddText(SiteTable::HostName, "WWW.Example.COM/", 3, 1);
    builder.AddText(SiteTable::HostName, "/", 3, 1);                     // empty after the slash goes
    builder.AddText(SiteTable::Url, std::string_view("\0abc", 4), 3, 1);  // text starting with NUL
    builder.AddText(SiteTable::Domain, std::string_view("cut.com\0tail", 12), 3, 1);
    auto lookup = builder.Build();
    EXPECT_EQ(lookup->EntryCount(SiteTable::HostName), 1u);
    EXPECT_EQ(lookup->EntryCount(SiteTable::Url), 0u);
    EXPECT_TRUE(lookup->FindText(SiteTable::HostName, "www.example.com"));
    EXPECT_TRUE(lookup->FindText(SiteTable::HostName, "www.example.com\\"));
    EXPECT_TRUE(lookup->FindText(SiteTable::Domain, "cut.com"));
    // An empty URL table entry would otherwise occur in every key.
    EXPECT_FALSE(lookup->FindUrl("anything"));
}

TEST(SiteLookupText, MatchesWholeTextsOnly)
{
    SiteLookup::Builder builder;
    builder.AddText(SiteTable::Domain, "example.com", 2, 4);
    auto lookup = builder.Build();
    EXPECT_TRUE(lookup->FindText(SiteTable::Domain, "example.com"));
    EXPECT_FALSE(lookup->FindText(SiteTable::Domain, "example.co"));
    EXPECT_FALSE(lookup->FindText(SiteTable::Domain, "xexample.com"));
    EXPECT_FALSE(lookup->FindText(SiteTable::Domain, ""));
    EXPECT_FALSE(lookup->FindText(SiteTable::HostName, "example.com"));
    EXPECT_FALSE(lookup->FindText(SiteTable::Url, "example.com"));
}

TEST(SiteLookupAddress, FindsByValueInItsOwnTable)
{
    SiteLookup::Builder builder;
    builder.AddAddress(SiteTable::Address, 0x0A000001, 3, 1);
    builder.AddAddress(SiteTable::Network, 0xC0A80100, 2, 2);
    builder.AddAddress(SiteTable::Url, 0x01020304, 3, 1);  // not an address table: ignored
    auto lookup = builder.Build();
    EXPECT_EQ(lookup->EntryCount(), 2u);
    EXPECT_TRUE(lookup->FindAddress(SiteTable::Address, 0x0A000001));
    EXPECT_FALSE(lookup->FindAddress(SiteTable::Address, 0x0A000002));
    EXPECT_FALSE(lookup->FindAddress(SiteTable::Network, 0x0A000001));
    std::optional<SiteMatch> network = lookup->FindAddress(SiteTable::Network, 0xC0A80100);
    ASSERT_TRUE(network);
    EXPECT_EQ(network->level, 2);
    EXPECT_EQ(network->category, 2);
}

TEST(SiteLookupCategory, FindsByIdentifier)
{
    SiteLookup::Builder builder;
    builder.AddCategory(9, 3, "type9", "Nine");
    builder.AddCategory(2, 1, std::string_view("type2\0junk", 10), "Two");
    auto lookup = builder.Build();
    ASSERT_NE(lookup->Category(2), nullptr);
    EXPECT_EQ(lookup->Category(2)->type, "type2");
    EXPECT_EQ(lookup->Category(9)->name, "Nine");
    EXPECT_EQ(lookup->Category(3), nullptr);
}

}  // namespace
}  // namespace hostfilter
