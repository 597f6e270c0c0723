#include "browserguard/popup_rules.h"

#include <gtest/gtest.h>

namespace browserguard {
namespace {

TEST(PopupRules, NewWindowAction) {
  using A = NewWindowAction;
  struct Case { bool v7, forced, solicited; unsigned sb; A want; } cases[] = {
      {true, true, true, 0, A::HandOverAsTab},
      {true, false, true, 1, A::HandOverAsTab},
      {true, false, true, 0, A::CreateWindow},   // solicited, tabs not preferred
      {true, true, false, 1, A::CreateWindow},   // unsolicited always created
      {true, false, false, 0, A::CreateWindow},
      {false, false, true, 0, A::LeaveToBrowser},
      {false, true, true, 1, A::LeaveToBrowser},
      {false, false, false, 1, A::CreateWindow},
  };
  for (const auto& c : cases) {
    NewWindowFacts f{c.v7, c.forced, c.solicited, c.sb};
    EXPECT_EQ(ChooseNewWindowAction(f), c.want)
        << c.v7 << c.forced << c.solicited << c.sb;
  }
}

TEST(PopupRules, RefusedWindowAction) {
  using R = RefusedWindowAction;
  struct Case { bool top, popup, server, third; R want; } cases[] = {
      {true, false, true, true, R::Keep},
      {false, true, true, true, R::Keep},
      {true, false, false, true, R::KillOnComplete},  // third party without page window
      {true, false, true, false, R::KillOnComplete},
      {true, true, true, false, R::KillNow},
      {false, false, true, false, R::KillNow},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseRefusedWindowAction(c.top, c.popup, c.server, c.third), c.want)
        << c.top << c.popup << c.server << c.third;
}

TEST(PopupRules, Blankets) {
  EXPECT_TRUE(IsBlanketAllow(true, "allow"));
  EXPECT_FALSE(IsBlanketAllow(false, "allow"));  // failed request never allows
  EXPECT_FALSE(IsBlanketAllow(true, "block"));
  EXPECT_FALSE(IsBlanketAllow(true, ""));
  EXPECT_FALSE(IsBlanketAllow(true, "Allow"));
}

TEST(PopupRules, DialogWindows) {
  const char* cls = "Internet Explorer_TridentDlgFrame";
  EXPECT_TRUE(IsJudgedDialog(cls, "Ads -- Web Page Dialog"));
  EXPECT_TRUE(IsJudgedDialog(cls, "Webpage Dialog"));
  EXPECT_FALSE(IsJudgedDialog(cls, "web page dialog"));
  EXPECT_FALSE(IsJudgedDialog("Internet Explorer_TridentDlgFrameX", "Web Page Dialog"));
  EXPECT_FALSE(IsJudgedDialog("#32770", "Web Page Dialog"));

  struct Case { bool solicited, allow, enabled, keep; } cases[] = {
      {false, false, true, false},
      {true, false, true, true},
      {false, true, true, true},
      {false, false, false, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KeepDialog(c.solicited, c.allow, c.enabled), c.keep)
        << c.solicited << c.allow << c.enabled;
}

TEST(PopupRules, WrappedEventRouting) {
  struct Case {
    bool guard, v7;
    int dispid;
    WrapperRoute want;
  } cases[] = {
      {true, true, kDispidBeforeNavigate2, {true, false, true, true}},
      {false, true, kDispidBeforeNavigate2, {false, false, false, true}},
      {true, false, kDispidNewWindow2, {true, true, false, false}},
      {true, true, kDispidNewWindow2, {true, true, true, false}},
      {false, true, kDispidNewWindow3, {false, true, false, false}},
      {true, true, kDispidNewWindow3, {true, true, true, false}},
  };
  for (const auto& c : cases) {
    const WrapperRoute r = RouteWrappedEvent(c.guard, c.v7, c.dispid);
    SCOPED_TRACE(c.dispid);
    EXPECT_EQ(r.callOwnerFirst, c.want.callOwnerFirst);
    EXPECT_EQ(r.returnOwnerResult, c.want.returnOwnerResult);
    EXPECT_EQ(r.clearOwnerGuard, c.want.clearOwnerGuard);
    EXPECT_EQ(r.forwardToWrapped, c.want.forwardToWrapped);
  }
}

TEST(PopupRules, BlanketQuestion) {
  const BlanketQuestion block = MakeBlanketQuestion(true, "a.com");
  EXPECT_EQ(block.verb, "block");
  EXPECT_EQ(block.text, "Would you also like to block all currently allowed popups from a.com?");
  EXPECT_EQ(block.caption, "Block Domain Popups");
  const BlanketQuestion allow = MakeBlanketQuestion(false, "b.org");
  EXPECT_EQ(allow.verb, "allow");
  EXPECT_EQ(allow.text, "Would you also like to allow all currently blocked popups from b.org?");
  EXPECT_EQ(allow.caption, "Allow Domain Popups");
}

TEST(PopupRules, BrowserVersion) {
  struct Case { const char* version; bool v7; } cases[] = {
      {"", true}, {"7.0.5730.13", true}, {"6.0.2900", false},
      {"11", true}, {"x.y", true}, {" 8.0", true}, {"1", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsVersion7OrLater(c.version), c.v7) << c.version;
}

}  // namespace
}  // namespace browserguard
