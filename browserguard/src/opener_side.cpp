#include "browserguard/opener_side.h"

namespace browserguard {

NewWindowOutcome HandleNewWindow(OpenerHost& host, const std::string& currentUrl, bool version7, bool& forcedTab,
                                 unsigned shortcutBehavior) {
  NewWindowOutcome outcome;
  NewWindowFacts facts;
  facts.version7 = version7;
  facts.forcedTab = forcedTab;
  facts.solicited = host.GetSessionInt("is_solicited") != 0;
  facts.shortcutBehavior = shortcutBehavior;
  outcome.action = ChooseNewWindowAction(facts);
  switch (outcome.action) {
    case NewWindowAction::HandOverAsTab:
      forcedTab = false;
      host.HandOverAsTab();
      break;
    case NewWindowAction::LeaveToBrowser:
      break;
    case NewWindowAction::CreateWindow:
      host.SetSessionInt("is_blanket_allow", host.BlanketAllows(currentUrl) ? 1 : 0);
      outcome.created = host.CreatePopupBrowser();
      host.SetSessionInt("is_solicited", 0);
      break;
  }
  return outcome;
}

TabOpenerSlot& TabOpenerSlot::Process() {
  static TabOpenerSlot slot;
  return slot;
}

void TabOpenerSlot::Offer(int32_t id) {
  std::lock_guard lock(m_mutex);
  m_id = id;
}

int32_t TabOpenerSlot::Take() {
  std::lock_guard lock(m_mutex);
  const int32_t id = m_id;
  m_id = 0;
  return id;
}

}  // namespace browserguard
