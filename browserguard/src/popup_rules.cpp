#include "browserguard/popup_rules.h"

#include <cctype>

namespace browserguard {

NewWindowAction ChooseNewWindowAction(const NewWindowFacts& f) {
  if (f.version7 && f.solicited && (f.forcedTab || f.shortcutBehavior != 0))
    return NewWindowAction::HandOverAsTab;
  if (!f.version7 && f.solicited) return NewWindowAction::LeaveToBrowser;
  return NewWindowAction::CreateWindow;
}

RefusedWindowAction ChooseRefusedWindowAction(bool top, bool popup, bool hasServerWindow,
                                              bool thirdParty) {
  if (hasServerWindow && thirdParty) return RefusedWindowAction::Keep;
  if (top && !popup) return RefusedWindowAction::KillOnComplete;
  return RefusedWindowAction::KillNow;
}

bool IsBlanketAllow(bool requestSucceeded, std::string_view blanket) {
  return requestSucceeded && blanket == "allow";
}

bool IsJudgedDialog(std::string_view className, std::string_view caption) {
  if (className != "Internet Explorer_TridentDlgFrame") return false;
  return caption.find("Web Page Dialog") != std::string_view::npos ||
         caption.find("Webpage Dialog") != std::string_view::npos;
}

bool KeepDialog(bool solicited, bool blanketAllow, bool enableBlocking) {
  return solicited || blanketAllow || !enableBlocking;
}

WrapperRoute RouteWrappedEvent(bool ownerGuard, bool version7, int dispid) {
  WrapperRoute route;
  if (ownerGuard) {
    route.callOwnerFirst = true;
    if (!version7 && dispid == kDispidNewWindow2) {
      route.returnOwnerResult = true;
      return route;
    }
    route.clearOwnerGuard = true;
  }
  // The wrapped listeners never hear new-window events: the add-on alone
  // decides who creates the window.
  if (dispid == kDispidNewWindow2 || dispid == kDispidNewWindow3) {
    route.returnOwnerResult = true;
    return route;
  }
  route.forwardToWrapped = true;
  return route;
}

BlanketQuestion MakeBlanketQuestion(bool block, std::string_view domain) {
  BlanketQuestion q;
  q.verb = block ? "block" : "allow";
  const std::string state = block ? "allowed" : "blocked";
  const std::string title = block ? "Block" : "Allow";
  q.text = "Would you also like to " + q.verb + " all currently " + state + " popups from " +
           std::string(domain) + "?";
  q.caption = title + " Domain Popups";
  return q;
}

bool IsVersion7OrLater(std::string_view productVersion) {
  size_t i = 0;
  while (i < productVersion.size() && std::isspace(static_cast<unsigned char>(productVersion[i])))
    ++i;
  if (i == productVersion.size()) return true;
  unsigned long major = 0;
  bool digits = false;
  for (; i < productVersion.size() && std::isdigit(static_cast<unsigned char>(productVersion[i]));
       ++i) {
    digits = true;
    major = major * 10 + static_cast<unsigned long>(productVersion[i] - '0');
    if (major > 1000000) break;
  }
  if (!digits) return true;  // unreadable version: treat as no version
  return major >= 7;
}

}  // namespace browserguard
