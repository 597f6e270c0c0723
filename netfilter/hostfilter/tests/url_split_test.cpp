#include "url_split.h"

#include <gtest/gtest.h>

namespace hostfilter {
namespace {

struct SplitCase {
    const char* url;
    const char* host;  // null: the parser rejects the text
    const char* path;
};

class SplitUrlTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitUrlTest, SplitsHostAndPath)
{
    const SplitCase& c = GetParam();
    std::optional<UrlParts> parts = SplitUrl(c.url);
    if (c.host == nullptr) {
        EXPECT_FALSE(parts) << c.url;
        return;
    }
    ASSERT_TRUE(parts) << c.url;
    EXPECT_EQ(parts->hostName, c.host);
    EXPECT_EQ(parts->path, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SplitUrlTest,
    ::testing::Values(SplitCase{"http://example.com", "example.com", ""},
                      SplitCase{"http://example.com/", "example.com", "/"},
                      SplitCase{"http://Example.COM/A/b.html?q=1#frag", "Example.COM", "/A/b.html?q=1"},
                      SplitCase{"http://example.com:8080/x", "example.com", "/x"},
                      SplitCase{"http://user:pw@example.com/x", "example.com", "/x"},
                      SplitCase{"http://example.com?q", "example.com", "?q"},
                      SplitCase{"http://ex%61mple.com/%41%2f%zz", "example.com", "/A/%zz"},
                      SplitCase{"http://evil.example\\page", "evil.example", "\\page"},
                      SplitCase{"http://[::1]:80/x", "[::1]", "/x"},
                      SplitCase{"ftp+x://host/p", "host", "/p"},
                      SplitCase{"http:///path", nullptr, nullptr},
                      SplitCase{"http://:80/path", nullptr, nullptr},
                      SplitCase{"example.com//x", nullptr, nullptr},
                      SplitCase{"1http://example.com", nullptr, nullptr},
                      SplitCase{"http:/example.com", nullptr, nullptr},
                      SplitCase{"", nullptr, nullptr}));

TEST(SplitUrl, CutsOverlongHostNames)
{
    std::string url = "http://" + std::string(2000, 'a') + "/p";
    std::optional<UrlParts> parts = SplitUrl(url);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->hostName.size(), kMaxHostNameLength);
    EXPECT_EQ(parts->path, "/p");
}

TEST(DecodePercentEscapes, DecodesOnlyCompleteEscapes)
{
    EXPECT_EQ(DecodePercentEscapes("%41%4a%4A"), "AJJ");
    EXPECT_EQ(DecodePercentEscapes("100%"), "100%");
    EXPECT_EQ(DecodePercentEscapes("%4"), "%4");
    EXPECT_EQ(DecodePercentEscapes("%g1%"), "%g1%");
    EXPECT_EQ(DecodePercentEscapes(std::string_view("%00x", 4)), std::string("\0x", 2));
}

}  // namespace
}  // namespace hostfilter
