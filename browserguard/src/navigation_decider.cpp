#include "browserguard/navigation_decider.h"

#include <algorithm>
#include <cctype>

#include "browserguard/popup_rules.h"

namespace browserguard {

int TargetFrameSolicited(const std::string& target, bool haveWindow, const std::string& windowName,
                         int frameLookup) {
  if (target.empty()) return 0;
  if (!haveWindow) return -1;
  if (target == windowName) return 0;
  if (frameLookup < 0) return -1;
  return frameLookup == 0 ? 1 : 0;
}

bool NavigationDecider::OnNavigationComplete(const std::string& location, bool quitSeen,
                                             bool serverWindowChanged) {
  if (m_killOnComplete || (quitSeen && serverWindowChanged)) return true;
  std::string url = location;
  std::transform(url.begin(), url.end(), url.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  url = NormalizeUrl(url);
  if (url != m_url) {
    m_url = url;
    m_host.SetSessionInt("is_solicited", 0);
  }
  return false;
}

bool NavigationDecider::AuthorizeUrl(const std::string& url) {
  if (m_host.IsStartPage(url) || url.empty()) return true;
  const Verdict verdict = m_host.AuthorizeTop(url, /*checkParent=*/!m_active);
  m_popupId = verdict.id;
  return !verdict.block;
}

bool NavigationDecider::RequestPopupAuthorization(const std::string& url) {
  const Verdict verdict = m_host.AuthorizePopup(url, m_host.GetSessionInt("is_solicited") != 0,
                                                m_host.GetSessionInt("is_blanket_allow") != 0);
  m_popupId = verdict.id;
  // The click that asked for this window is used up.
  m_host.SetSessionInt("is_solicited", 0);
  return verdict.block;
}

bool NavigationDecider::DecidePopup(std::string url) {
  m_host.HideWindow();
  if (url.empty()) url = PopupFallbackUrl(m_host.GetSessionText("opener_location"));
  const bool allowed = !RequestPopupAuthorization(url);
  if (allowed) {
    m_host.ShowWindow();
    m_active = true;
  }
  return allowed;
}

void NavigationDecider::OnBeforeNavigate(const NavigationFacts& facts) {
  const bool blank = facts.url == "about:blank";
  const bool popup = m_host.GetSessionInt("is_popup") != 0;
  if (m_top == nullptr) m_top = facts.browser;
  const bool top = facts.browser == m_top;
  if (!top && !facts.hasServerWindow) return;
  if (facts.bypass) return;

  std::string url = facts.url;
  std::transform(url.begin(), url.end(), url.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const UrlKind kind = GetUrlKind(url);
  if (kind == UrlKind::Other) return;
  url = NormalizeUrl(url);

  if (m_active) {
    m_host.TrackTargetFrame(kind, facts.targetFrame);
    AuthorizeUrl(url);  // only refreshes the popup id
    return;
  }

  if (popup) {
    m_authorized = DecidePopup(url);
  } else {
    m_authorized = AuthorizeUrl(url);
    if (!m_authorized) m_authorized = m_host.GetSessionInt("is_solicited") != 0;
  }
  if (m_authorized) {
    m_host.AddSystemMenuItems();
  } else {
    switch (ChooseRefusedWindowAction(top, popup, facts.hasServerWindow, facts.thirdParty)) {
      case RefusedWindowAction::Keep:
        break;
      case RefusedWindowAction::KillOnComplete:
        m_killOnComplete = true;
        if (!facts.hasTabWindow) m_host.HideAndShrinkWindow();
        break;
      case RefusedWindowAction::KillNow:
        m_host.KillBrowserNow();
        break;
    }
  }
  if (!blank) m_active = true;
}

}  // namespace browserguard
