// The choices the add-on makes around new windows, as pure functions of the
// facts it has gathered: what the opener does with a new-window event, what
// becomes of a browser whose first navigation was refused, whether a dialog
// window is one the add-on judges and what it does with it, how a blanket
// answer reads, and which add-on object hears a browser event first.
#pragma once

#include <string>
#include <string_view>

namespace browserguard {

// ---- opener side of a new-window event ----
enum class NewWindowAction {
  HandOverAsTab,    // the browser opens a tab; the next add-on object inherits
  LeaveToBrowser,   // older browsers open a solicited window themselves
  CreateWindow,     // the add-on creates the popup browser itself
};

struct NewWindowFacts {
  bool version7 = false;
  bool forcedTab = false;        // the third-form event asked for a tab
  bool solicited = false;        // session "is_solicited"
  unsigned shortcutBehavior = 0; // TabbedBrowsing\ShortcutBehavior, 0 when missing
};

NewWindowAction ChooseNewWindowAction(const NewWindowFacts& facts);

// ---- first navigation of a browser whose verdict was "not allowed" ----
enum class RefusedWindowAction {
  Keep,             // created by another program and its page window is known
  KillOnComplete,   // a top-level non-popup window closes when it has loaded
  KillNow,          // popups and inner browsers close at once
};

RefusedWindowAction ChooseRefusedWindowAction(bool top, bool popup, bool hasServerWindow,
                                              bool thirdParty);

// The 32-bit marker put on browsers created by another program.
inline constexpr int kThirdPartyMarker = 165;

// ---- blankets ----
// Only the exact answer "allow" means a blanket allow; a failed request or any
// other text does not.
bool IsBlanketAllow(bool requestSucceeded, std::string_view blanket);

// ---- HTML dialog windows ----
// A window is judged only when its class is exactly the dialog frame class and
// its caption names a web page dialog (case-sensitive).
bool IsJudgedDialog(std::string_view className, std::string_view caption);

// Keep a judged dialog when the user asked for it, when the page's domain has
// a blanket allow, or when blocking is switched off.
bool KeepDialog(bool solicited, bool blanketAllow, bool enableBlocking);

// ---- event routing between the add-on and wrapped listeners ----
inline constexpr int kDispidBeforeNavigate2 = 250;
inline constexpr int kDispidNewWindow2 = 251;
inline constexpr int kDispidNavigateComplete2 = 252;
inline constexpr int kDispidOnQuit = 253;
inline constexpr int kDispidDocumentComplete = 259;
inline constexpr int kDispidNavigateError = 271;
inline constexpr int kDispidNewWindow3 = 273;

// The new-window-3 flag that asks for a forced tab.
inline constexpr unsigned kNewWindowForcedTabFlag = 0x20000;

// What a listener wrapper does with one event.
struct WrapperRoute {
  bool callOwnerFirst = false;    // the add-on hears the event now
  bool returnOwnerResult = false; // stop after the add-on (older browsers' new window)
  bool clearOwnerGuard = false;   // the add-on's own delivery of this event is skipped
  bool forwardToWrapped = false;  // the wrapped listener hears the event
};

WrapperRoute RouteWrappedEvent(bool ownerGuard, bool version7, int dispid);

// ---- the system menu's blanket question ----
struct BlanketQuestion {
  std::string verb;     // sent as "state"
  std::string text;
  std::string caption;
};

BlanketQuestion MakeBlanketQuestion(bool block, std::string_view domain);

// ---- browser version ----
// True for a product version whose first number is 7 or more, and for a
// module without a version (a newer browser is assumed).
bool IsVersion7OrLater(std::string_view productVersion);

}  // namespace browserguard
