#include "browserguard/navigation_decider.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace browserguard {
namespace {

struct RecordingHost : DecisionHost {
  std::map<std::string, std::string> session;
  bool blockTop = false;
  bool blockPopup = false;
  std::vector<std::string> actions;

  int32_t GetSessionInt(const std::string& n) override {
    auto it = session.find(n);
    return it == session.end() || it->second.empty() ? 0 : std::stoi(it->second);
  }
  std::string GetSessionText(const std::string& n) override { return session[n]; }
  void SetSessionInt(const std::string& n, int32_t v) override { session[n] = std::to_string(v); }
  Verdict AuthorizeTop(const std::string& url, bool checkParent) override {
    actions.push_back("top " + url + (checkParent ? " first" : ""));
    return {7, blockTop};
  }
  Verdict AuthorizePopup(const std::string& url, bool solicited, bool blanketAllow) override {
    actions.push_back("popup " + url + (solicited ? " clicked" : "") + (blanketAllow ? " allow" : ""));
    return {9, blockPopup};
  }
  bool IsStartPage(const std::string&) override { return false; }
  void HideWindow() override { actions.push_back("hide"); }
  void ShowWindow() override { actions.push_back("show"); }
  void HideAndShrinkWindow() override { actions.push_back("shrink"); }
  void KillBrowserNow() override { actions.push_back("kill"); }
  void AddSystemMenuItems() override { actions.push_back("menu"); }
  void TrackTargetFrame(UrlKind, const std::string& target) override { actions.push_back("track " + target); }
};

const int kBrowser = 0;
const int kFrame = 0;

NavigationFacts Nav(std::string url, const void* browser = &kBrowser) {
  NavigationFacts f;
  f.browser = browser;
  f.url = std::move(url);
  f.hasServerWindow = true;
  return f;
}

using Actions = std::vector<std::string>;

TEST(NavigationDecider, FirstNavigationVerdicts) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> session;
    bool blockTop, blockPopup, thirdParty, hasTab;
    std::string url;
    Actions actions;
    bool killOnComplete, active;
  } cases[] = {
      {"unsolicited popup refused", {{"is_popup", "1"}}, false, true, false, false,
       "http://ads.com/pop.html", {"hide", "popup ads.com/pop.html", "kill"}, false, true},
      {"clicked popup allowed", {{"is_popup", "1"}, {"is_solicited", "1"}}, false, false, false, false,
       "https://a.com/x", {"hide", "popup a.com/x clicked", "show", "menu"}, false, true},
      {"popup without address uses the opener's host",
       {{"is_popup", "1"}, {"opener_location", "http://opener.org/p.html"}}, false, false, false, false,
       "about:blank", {"hide", "popup opener.org/[no path]", "show", "menu"}, false, true},
      {"popup without address or opener", {{"is_popup", "1"}}, false, true, false, false, "about:blank",
       {"hide", "popup adware.popup/[no path]", "kill"}, false, false},
      {"top window refused closes when loaded", {}, true, false, false, false, "http://bad.com/",
       {"top bad.com/ first", "shrink"}, true, true},
      {"top tab refused is not shrunk", {}, true, false, false, true, "http://bad.com/",
       {"top bad.com/ first"}, true, true},
      {"top window refused but clicked is kept", {{"is_solicited", "1"}}, true, false, false, false,
       "http://bad.com/", {"top bad.com/ first", "menu"}, false, true},
      {"third-party window is never closed", {{"is_popup", "1"}}, false, true, true, false,
       "http://ads.com/", {"hide", "popup ads.com/", }, false, true},
      {"blank first navigation is decided but not active", {}, false, false, false, false, "about:blank",
       {"menu"}, false, false},
      {"other schemes are not judged", {}, true, false, false, false, "ftp://x/", {}, false, false},
      {"upper-case address is lower-cased first", {}, false, false, false, false, "HTTP://A.COM/X",
       {"top a.com/x first", "menu"}, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingHost host;
    host.session = c.session;
    host.blockTop = c.blockTop;
    host.blockPopup = c.blockPopup;
    NavigationDecider decider(host);
    NavigationFacts facts = Nav(c.url);
    facts.thirdParty = c.thirdParty;
    facts.hasTabWindow = c.hasTab;
    decider.OnBeforeNavigate(facts);
    EXPECT_EQ(host.actions, c.actions);
    EXPECT_EQ(decider.killOnComplete(), c.killOnComplete);
    EXPECT_EQ(decider.active(), c.active);
  }
}

TEST(NavigationDecider, PopupVerdictUsesUpTheClick) {
  RecordingHost host;
  host.session = {{"is_popup", "1"}, {"is_solicited", "1"}, {"is_blanket_allow", "1"}};
  NavigationDecider decider(host);
  decider.OnBeforeNavigate(Nav("http://a.com/"));
  EXPECT_EQ(host.actions.at(1), "popup a.com/ clicked allow");
  EXPECT_EQ(host.session["is_solicited"], "0");
  EXPECT_EQ(decider.popupId(), 9);
}

TEST(NavigationDecider, LaterNavigationsOnlyTrackAndRefresh) {
  RecordingHost host;
  NavigationDecider decider(host);
  decider.OnBeforeNavigate(Nav("http://a.com/"));
  host.actions.clear();
  host.blockTop = true;
  NavigationFacts next = Nav("http://b.com/x");
  next.targetFrame = "_blank";
  decider.OnBeforeNavigate(next);
  EXPECT_EQ(host.actions, (Actions{"track _blank", "top b.com/x"})) << "no close, no first-navigation check";
  EXPECT_FALSE(decider.killOnComplete());
}

TEST(NavigationDecider, BypassAndFramesWithoutPageWindowAreLeftAlone) {
  RecordingHost host;
  host.blockTop = true;
  NavigationDecider decider(host);
  NavigationFacts bypass = Nav("http://a.com/");
  bypass.bypass = true;
  decider.OnBeforeNavigate(bypass);
  EXPECT_TRUE(host.actions.empty());

  // The first event fixed the top browser; a frame's event without a page
  // window is not judged.
  NavigationFacts frame = Nav("http://a.com/frame", &kFrame);
  frame.hasServerWindow = false;
  decider.OnBeforeNavigate(frame);
  EXPECT_TRUE(host.actions.empty());
  EXPECT_FALSE(decider.active());
}

}  // namespace
}  // namespace browserguard

namespace browserguard {
namespace {

TEST(NavigationDecider, CompletionClosesRefusedWindowsAndResetsOnAddressChange) {
  RecordingHost host;
  host.blockTop = true;
  NavigationDecider refused(host);
  refused.OnBeforeNavigate(Nav("http://bad.com/"));
  EXPECT_TRUE(refused.OnNavigationComplete("http://bad.com/", false, false));

  RecordingHost kept;
  NavigationDecider decider(kept);
  decider.OnBeforeNavigate(Nav("http://a.com/"));
  kept.session["is_solicited"] = "1";
  EXPECT_FALSE(decider.OnNavigationComplete("HTTP://A.com/", false, false));
  EXPECT_EQ(decider.currentUrl(), "a.com/");
  EXPECT_EQ(kept.session["is_solicited"], "0") << "a new address ends the click";
  kept.session["is_solicited"] = "1";
  EXPECT_FALSE(decider.OnNavigationComplete("http://a.com/", false, false));
  EXPECT_EQ(kept.session["is_solicited"], "1") << "the same address keeps it";
  EXPECT_FALSE(decider.OnNavigationComplete("http://a.com/", true, false));
  EXPECT_TRUE(decider.OnNavigationComplete("http://a.com/", true, true));
}

TEST(NavigationDecider, TargetFrameRule) {
  struct Case { const char* target; bool window; const char* name; int lookup; int want; } cases[] = {
      {"", true, "", 1, 0},            // no target: not asked for
      {"main", false, "", 0, -1},      // no window object: unchanged
      {"me", true, "me", 0, 0},        // this window itself
      {"popup", true, "me", 0, 1},     // no such frame: a new named window
      {"side", true, "me", 1, 0},      // an existing frame
      {"side", true, "me", -1, -1},    // lookup failed: unchanged
  };
  for (const auto& c : cases)
    EXPECT_EQ(TargetFrameSolicited(c.target, c.window, c.name, c.lookup), c.want) << c.target;
}

}  // namespace
}  // namespace browserguard
