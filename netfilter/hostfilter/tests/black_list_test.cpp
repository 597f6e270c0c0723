#include "black_list.h"

#include <gtest/gtest.h>

#include <map>

namespace hostfilter {
namespace {

constexpr uint16_t kMalware = 1;
constexpr uint16_t kAds = 2;
constexpr uint16_t kMissingCategory = 200;

// A black list with one entry of every kind and a name resolver that knows
// a few names, so no test depends on the machine's resolver.
class BlackListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SiteLookup::Builder builder;
        builder.AddCategory(kMalware, 3, "mal", "Malware");
        builder.AddCategory(kAds, 2, "ads", "Advertising");
        builder.AddAddress(SiteTable::Address, 0x0A000001, 0, kMalware);        // 10.0.0.1
        builder.AddAddress(SiteTable::Address, 0x0B000000, 2, kAds);             // 11.0.0.0 as an address
        builder.AddAddress(SiteTable::Network, 0xC0A80500, 0, kAds);             // 192.168.5.0/24
        builder.AddText(SiteTable::HostName, "bad.host.com", 0, kMalware);
        builder.AddText(SiteTable::Domain, "evil.org", 0, kMalware);
        builder.AddText(SiteTable::Domain, "two.net", 0, kAds);
        builder.AddText(SiteTable::Url, "example.com/ads/", 1, kAds);
        builder.AddText(SiteTable::HostName, "orphan.com", 0, kMissingCategory);
        m_lookup = builder.Build();
        m_names = {{"resolves.to.listed", 0x0A000001}, {"in.listed.net", 0xC0A80542}};
        m_resolve = [this](const std::string& name) -> std::optional<uint32_t> {
            m_resolved.push_back(name);
            auto it = m_names.find(name);
            if (it == m_names.end())
                return std::nullopt;
            return it->second;
        };
    }

    bool Listed(std::string_view text, BlackListResult* result = nullptr)
    {
        return InBlackList(m_lookup.get(), text, m_resolve, result);
    }

    std::unique_ptr<SiteLookup> m_lookup;
    std::map<std::string, uint32_t> m_names;
    std::vector<std::string> m_resolved;
    NameResolver m_resolve;
};

struct ListedCase {
    const char* text;
    bool listed;
    const char* matched;  // the matched text when listed
};

TEST_F(BlackListTest, DecidesEveryTable)
{
    const ListedCase cases[] = {
        {"10.0.0.1", true, "10.0.0.1"},
        {"10.0.0.2", false, ""},
        {"192.168.5.77", true, "192.168.5.0"},             // another host of a listed /24
        {"192.168.6.77", false, ""},
        {"bad.host.com/index.html", true, "bad.host.com"},
        {"BAD.Host.COM/", true, "bad.host.com"},             // a capitalised Host header is still listed
        {"other.host.com/", false, ""},
        {"www.evil.org/x", true, "evil.org"},                // three labels: the last two are the domain
        {"evil.org/x", true, "evil.org"},                    // two labels: the host is its own domain
        {"a.b.evil.org/x", false, ""},                       // the domain of a.b.evil.org is b.evil.org
        {"two.net:8080/", true, "two.net"},
        {"www.example.com/ads/banner.gif", true, "example.com/ads"},
        {"WWW.EXAMPLE.COM/ADS/x", true, "example.com/ads"},
        {"www.example.com/news", false, ""},
        {"http://www.example.com/ads/1", true, "example.com/ads"},
        {"resolves.to.listed/", true, "10.0.0.1"},          // the resolved address is listed
        {"in.listed.net/", true, "192.168.5.0"},             // the resolved address's network is listed
        {"", false, ""},
        {"http:///nohost", false, ""},
    };
    for (const ListedCase& c : cases) {
        BlackListResult result;
        EXPECT_EQ(Listed(c.text, &result), c.listed) << c.text;
        if (c.listed) {
            EXPECT_EQ(result.matchedText, c.matched) << c.text;
        }
    }
}

TEST_F(BlackListTest, ResultCarriesCategoryAndLevel)
{
    BlackListResult result;
    ASSERT_TRUE(Listed("10.0.0.1", &result));
    EXPECT_EQ(result.actionLevel, 3u);  // level 0: the category's default
    EXPECT_EQ(result.categoryName, "Malware");
    EXPECT_EQ(result.categoryType, "mal");
    EXPECT_FALSE(result.network);

    ASSERT_TRUE(Listed("11.0.0.0", &result));
    EXPECT_EQ(result.actionLevel, 2u);  // the entry's own level
    EXPECT_TRUE(result.network);        // an address entry with a low byte of 0

    ASSERT_TRUE(Listed("www.example.com/ads/x", &result));
    EXPECT_EQ(result.actionLevel, 1u);
    EXPECT_EQ(result.categoryName, "Advertising");
}

TEST_F(BlackListTest, EntryWithUnknownCategoryReportsNoCategory)
{
    BlackListResult result;
    ASSERT_TRUE(Listed("orphan.com/", &result));
    EXPECT_EQ(result.categoryName, "");
    EXPECT_EQ(result.actionLevel, 0u);
}

TEST_F(BlackListTest, DottedAddressesAreNotResolved)
{
    Listed("10.0.0.9");
    Listed("bad.host.com/x");
    ASSERT_EQ(m_resolved.size(), 1u);
    EXPECT_EQ(m_resolved[0], "bad.host.com");
}

TEST_F(BlackListTest, NothingIsListedWithoutADatabase)
{
    EXPECT_FALSE(InBlackList(nullptr, "10.0.0.1", m_resolve, nullptr));
}

struct AddressCase {
    const char* text;
    std::optional<uint32_t> address;
};

TEST(ParseDottedAddress, ParsesOnlyFourPartForms)
{
    const AddressCase cases[] = {
        {"1.2.3.4", 0x01020304},
        {"255.255.255.255", 0xFFFFFFFF},
        {"300.1.2.3", 0xFF010203},   // parts above 255 count as 255
        {"0001.2.3.4", 0x01020304},  // up to four digits
        {"12345.2.3.4", 0xFF020304},  // a fifth digit is not read: 1234 → 255
        {"1.2.*.4", 0x01020004},
        {"1..3.4", 0x01000304},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1.2.3.a", std::nullopt},
        {"host.com", std::nullopt},
    };
    for (const AddressCase& c : cases)
        EXPECT_EQ(ParseDottedAddress(c.text), c.address) << c.text;
}

TEST(DomainOf, DropsTheFirstLabelOnlyWhenADotRemains)
{
    EXPECT_EQ(DomainOf("www.example.com"), "example.com");
    EXPECT_EQ(DomainOf("example.com"), "example.com");
    EXPECT_EQ(DomainOf("localhost"), "localhost");
    EXPECT_EQ(DomainOf("a.b.c.d"), "b.c.d");
}

TEST(FormatDottedAddress, WritesFirstOctetFirst)
{
    EXPECT_EQ(FormatDottedAddress(0xC0A80001), "192.168.0.1");
}

}  // namespace
}  // namespace hostfilter
