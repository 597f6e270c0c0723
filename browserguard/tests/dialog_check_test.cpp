#include "browserguard/dialog_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace browserguard {
namespace {

struct RecordingDialogHost : DialogHost {
  bool ownerFound = true;
  std::string location = "http://Ads.Example.com/page.html";
  int solicited = 0;
  bool allow = false;
  bool enabled = true;
  std::vector<std::string> actions;
  void HideDialog() override { actions.push_back("hide"); }
  void ShowDialog() override { actions.push_back("show"); }
  bool FindOwnerBrowser() override { return ownerFound; }
  std::string OwnerLocation() override { return location; }
  int GetSolicited() override { return solicited; }
  void ClearSolicited() override { actions.push_back("clear"); }
  bool BlanketAllows(const std::string& address) override {
    actions.push_back("blanket " + address);
    return allow;
  }
  bool BlockingEnabled() override { return enabled; }
  void ReportDropped(const std::string& url) override { actions.push_back("report " + url); }
  void DestroyDialog() override { actions.push_back("destroy"); }
};

const char* kDlg = "Internet Explorer_TridentDlgFrame";
using Actions = std::vector<std::string>;

TEST(DialogCheck, Verdicts) {
  struct Case {
    const char* what;
    const char* cls;
    const char* caption;
    bool owner;
    int solicited;
    bool allow, enabled, keep;
    Actions actions;
  } cases[] = {
      {"other windows are kept untouched", "Button", "Web Page Dialog", true, 0, false, true, true, {}},
      {"unasked dialog dropped", kDlg, "Offer -- Web Page Dialog", true, 0, false, true, false,
       {"hide", "clear", "blanket Ads.Example.com/page.html", "report ads.example.com [no path]", "destroy"}},
      {"clicked dialog kept without asking the service", kDlg, "Webpage Dialog", true, 1, false, true, true,
       {"hide", "clear", "show"}},
      {"allow blanket keeps it", kDlg, "Web Page Dialog", true, 0, true, true, true,
       {"hide", "clear", "blanket Ads.Example.com/page.html", "show"}},
      {"blocking off keeps it", kDlg, "Web Page Dialog", true, 0, false, false, true,
       {"hide", "clear", "blanket Ads.Example.com/page.html", "show"}},
      {"no owner page: dropped unreported", kDlg, "Web Page Dialog", false, 1, true, true, false,
       {"hide", "destroy"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingDialogHost host;
    host.ownerFound = c.owner;
    host.solicited = c.solicited;
    host.allow = c.allow;
    host.enabled = c.enabled;
    EXPECT_EQ(CheckDialogWindow(host, c.cls, c.caption), c.keep);
    EXPECT_EQ(host.actions, c.actions);
  }
}

}  // namespace
}  // namespace browserguard
