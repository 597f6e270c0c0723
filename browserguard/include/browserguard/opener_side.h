// The opener's side of a new window: either the browser opens a solicited tab
// and the next add-on object inherits this browser's facts, or the add-on
// creates the new browser itself so that its session knows from the start
// that it is a popup, whether the user asked for it, where it came from and
// whether the opener's site has an allow blanket.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "browserguard/popup_rules.h"

namespace browserguard {

class OpenerHost {
 public:
  virtual ~OpenerHost() = default;
  virtual int32_t GetSessionInt(const std::string& name) = 0;
  virtual void SetSessionInt(const std::string& name, int32_t value) = 0;
  // "korva.justice.popup.get_blanket_info" of URL reads "allow".
  virtual bool BlanketAllows(const std::string& url) = 0;
  // Creates the popup's browser carrying this session's facts; false when
  // none could be made (the browser then opens the window itself).
  virtual bool CreatePopupBrowser() = 0;
  // Offers this add-on object to the next one sited in this process.
  virtual void HandOverAsTab() = 0;
};

struct NewWindowOutcome {
  NewWindowAction action = NewWindowAction::CreateWindow;
  bool created = false;  // a browser was made and goes to the page
};

// CURRENT_URL is the opener's normalised address.
NewWindowOutcome HandleNewWindow(OpenerHost& host, const std::string& currentUrl, bool version7, bool& forcedTab,
                                 unsigned shortcutBehavior);

// The object that handed over a solicited tab, by its live-table id, until
// the next add-on object of the process takes it. Only an id is kept: an
// opener that is gone by then is simply not found.
class TabOpenerSlot {
 public:
  static TabOpenerSlot& Process();
  void Offer(int32_t id);
  // The offered id (0 when none), emptying the slot.
  int32_t Take();

 private:
  std::mutex m_mutex;
  int32_t m_id = 0;
};

}  // namespace browserguard
