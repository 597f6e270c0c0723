// The verdict on a browser's first real navigation: a popup window is hidden
// until the service has judged it, a refused window is closed (at once, or
// when its page has loaded), an allowed one gets the popup commands. Later
// navigations only refresh the popup id. The browser, the window and the
// service are reached through DecisionHost, so the sequence is tested with a
// recording host and carried out by the add-on object on the real browser.
#pragma once

#include <cstdint>
#include <string>

#include "browserguard/url_rules.h"

namespace browserguard {

struct Verdict {
  int32_t id = 0;
  bool block = false;  // a failed request reads as not blocked
};

class DecisionHost {
 public:
  virtual ~DecisionHost() = default;
  virtual int32_t GetSessionInt(const std::string& name) = 0;
  virtual std::string GetSessionText(const std::string& name) = 0;
  virtual void SetSessionInt(const std::string& name, int32_t value) = 0;
  // "korva.justice.popup.authorize", top-level and popup forms.
  virtual Verdict AuthorizeTop(const std::string& url, bool checkParent) = 0;
  virtual Verdict AuthorizePopup(const std::string& url, bool solicited, bool blanketAllow) = 0;
  virtual bool IsStartPage(const std::string& url) = 0;
  virtual void HideWindow() = 0;             // no move, size or activation
  virtual void ShowWindow() = 0;
  virtual void HideAndShrinkWindow() = 0;    // a refused top window waiting to close
  virtual void KillBrowserNow() = 0;
  virtual void AddSystemMenuItems() = 0;
  virtual void TrackTargetFrame(UrlKind kind, const std::string& targetFrame) = 0;
};

struct NavigationFacts {
  const void* browser = nullptr;  // the event's browser (a frame's differs)
  std::string url;
  std::string targetFrame;
  bool hasServerWindow = false;
  bool hasTabWindow = false;
  bool bypass = false;            // Ctrl and Alt held down
  bool thirdParty = false;        // created by another program
};

// The target-frame rule for a later navigation of a web address: a
// navigation into a named target that is neither this window nor one of its
// frames opens a window the page asked for by name, so it counts as asked
// for. Answers the new "is_solicited", or -1 to leave it.
// frameLookup: 1 = a frame of that name exists, 0 = none, -1 = lookup failed.
int TargetFrameSolicited(const std::string& target, bool haveWindow, const std::string& windowName,
                         int frameLookup);

class NavigationDecider {
 public:
  explicit NavigationDecider(DecisionHost& host) : m_host(host) {}

  void OnBeforeNavigate(const NavigationFacts& facts);

  // The completion steps of navigate-complete and document-complete: true
  // when the browser must be closed now (a refused window, or a browser of
  // a quitting process whose page window changed). Otherwise a change of the
  // page address ends what the last click asked for.
  bool OnNavigationComplete(const std::string& location, bool quitSeen, bool serverWindowChanged);

  const std::string& currentUrl() const { return m_url; }

  bool active() const { return m_active; }
  bool authorized() const { return m_authorized; }
  bool killOnComplete() const { return m_killOnComplete; }
  // A tab opener whose process is quitting closes when its page completes.
  void SetKillOnComplete(bool kill) { m_killOnComplete = kill; }
  int32_t popupId() const { return m_popupId; }

  // Top-level form; true when allowed.
  bool AuthorizeUrl(const std::string& url);
  // For a window whose session says "is_popup"; true when allowed.
  bool DecidePopup(std::string url);

 private:
  bool RequestPopupAuthorization(const std::string& url);

  DecisionHost& m_host;
  std::string m_url;  // normalised, lower-case
  const void* m_top = nullptr;
  bool m_active = false;
  bool m_authorized = false;
  bool m_killOnComplete = false;
  int32_t m_popupId = 0;
};

}  // namespace browserguard
