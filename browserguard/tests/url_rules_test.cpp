#include "browserguard/url_rules.h"

#include <gtest/gtest.h>

namespace browserguard {
namespace {

TEST(UrlRules, UrlKind) {
  struct Case { const char* url; UrlKind kind; } cases[] = {
      {"about:blank", UrlKind::About},
      {"about:", UrlKind::About},
      {"http://a.com/", UrlKind::Web},
      {"https://a.com/", UrlKind::Web},
      {"httpfoo", UrlKind::Web},
      {"javascript:void(0)", UrlKind::Script},
      {"file:///c:/x", UrlKind::File},
      {"view-source:file:///c:/x", UrlKind::File},
      {"ftp://a.com/", UrlKind::Other},
      {"", UrlKind::Other},
      // Order matters: "about:" wins over a later "file:".
      {"about:file:x", UrlKind::About},
  };
  for (const auto& c : cases) EXPECT_EQ(GetUrlKind(c.url), c.kind) << c.url;
}

TEST(UrlRules, NormalizeUrl) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"about:blank", ""},
      {"about:blank#x", ""},
      {"about:home", "about:home"},
      {"http://a.com/x", "a.com/x"},
      {"https://a.com/x", "a.com/x"},
      {"HTTP://A.com/x", "HTTP://A.com/x"},  // case-sensitive prefix
      {"ftp://a.com", "ftp://a.com"},
      {"", ""},
      {"http://", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeUrl(c.in), c.out) << c.in;
}

TEST(UrlRules, HostPart) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"http://a.com/x/y", "a.com"},
      {"a.com/x", "a.com"},
      {"http://a.com", "http://a.com"},  // no "/" after the host: unchanged
      {"//a.com/x", ""},                  // "//" at index 0 starts at 0
      {"a.com", "a.com"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HostPart(c.in), c.out) << c.in;
}

TEST(UrlRules, DomainsAndReports) {
  EXPECT_EQ(CutAtFirstSlash("a.com/x/y"), "a.com");
  EXPECT_EQ(CutAtFirstSlash("/a.com/x"), "/a.com");
  EXPECT_EQ(CutAtFirstSlash("a.com"), "a.com");
  EXPECT_EQ(CutAtFirstSlash(""), "");

  EXPECT_EQ(BlanketDomain("a.com/x"), "a.com");
  EXPECT_EQ(BlanketDomain("/x"), "");
  EXPECT_EQ(BlanketDomain("a.com"), "");

  EXPECT_EQ(PopupFallbackUrl(""), "adware.popup/[no path]");
  EXPECT_EQ(PopupFallbackUrl("http://opener.org/page.html"), "opener.org/[no path]");

  EXPECT_EQ(DialogReportUrl("Ads.Example.com/Pop/x.html"), "ads.example.com [no path]");
  EXPECT_EQ(DialogReportUrl(""), "");

  EXPECT_EQ(PageKey("HTTP://A.COM/X"), "a.com/x");
  EXPECT_EQ(PageKey("About:Blank"), "");
}

TEST(UrlRules, MenuUrl) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"http://a.com/x", "a.com/x"},
      {"file:///tmp/x", "tmp/x"},
      {"about:blank", "about:blank"},
      {"a.com/x", "a.com/x"},
      {":/x", ":/x"},  // ":/" at index 0: the text stays whole
      {"//a.com/x", "a.com/x"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MenuUrl(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace browserguard
