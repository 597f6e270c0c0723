#include "browserguard/opener_side.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace browserguard {
namespace {

struct RecordingOpener : OpenerHost {
  std::map<std::string, int32_t> session;
  bool allow = false;
  bool canCreate = true;
  std::vector<std::string> actions;
  int32_t GetSessionInt(const std::string& n) override { return session[n]; }
  void SetSessionInt(const std::string& n, int32_t v) override {
    session[n] = v;
    actions.push_back(n + "=" + std::to_string(v));
  }
  bool BlanketAllows(const std::string& url) override {
    actions.push_back("blanket " + url);
    return allow;
  }
  bool CreatePopupBrowser() override {
    // The new browser copies the opener's facts as they are at this moment.
    actions.push_back("create solicited=" + std::to_string(session["is_solicited"]) +
                      " allow=" + std::to_string(session["is_blanket_allow"]));
    return canCreate;
  }
  void HandOverAsTab() override { actions.push_back("tab"); }
};

TEST(OpenerSide, UnsolicitedWindowIsCreatedCarryingTheFacts) {
  RecordingOpener host;
  host.allow = true;
  bool forced = false;
  const NewWindowOutcome out = HandleNewWindow(host, "a.com/page", /*version7=*/true, forced, 0);
  EXPECT_EQ(out.action, NewWindowAction::CreateWindow);
  EXPECT_TRUE(out.created);
  EXPECT_EQ(host.actions, (std::vector<std::string>{"blanket a.com/page", "is_blanket_allow=1",
                                                    "create solicited=0 allow=1", "is_solicited=0"}));
}

TEST(OpenerSide, SolicitedTabIsHandedOverAndClearsTheForcedFlag) {
  RecordingOpener host;
  host.session["is_solicited"] = 1;
  bool forced = true;
  const NewWindowOutcome out = HandleNewWindow(host, "a.com/", true, forced, 0);
  EXPECT_EQ(out.action, NewWindowAction::HandOverAsTab);
  EXPECT_FALSE(forced);
  EXPECT_EQ(host.actions, (std::vector<std::string>{"tab"}));
  EXPECT_EQ(host.session["is_solicited"], 1) << "the tab's object inherits the click";
}

TEST(OpenerSide, OlderBrowserOpensSolicitedWindowsItself) {
  RecordingOpener host;
  host.session["is_solicited"] = 1;
  bool forced = false;
  EXPECT_EQ(HandleNewWindow(host, "a.com/", false, forced, 1).action, NewWindowAction::LeaveToBrowser);
  EXPECT_TRUE(host.actions.empty());
}

TEST(OpenerSide, FailedCreationIsReported) {
  RecordingOpener host;
  host.canCreate = false;
  bool forced = false;
  EXPECT_FALSE(HandleNewWindow(host, "a.com/", true, forced, 0).created);
  EXPECT_EQ(host.session["is_solicited"], 0);
}

TEST(OpenerSide, TabOpenerSlotIsTakenOnce) {
  TabOpenerSlot slot;
  EXPECT_EQ(slot.Take(), 0);
  slot.Offer(4);
  slot.Offer(5);  // a second hand-over replaces the first; nothing leaks
  EXPECT_EQ(slot.Take(), 5);
  EXPECT_EQ(slot.Take(), 0);
}

}  // namespace
}  // namespace browserguard
