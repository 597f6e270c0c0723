// The click monitor's judge on the real browser: the element under the
// cursor read from the page's document (descending into frames), and the
// verdict written to the browsers' service sessions.
#pragma once

#include "browser/html_dom.h"
#include "browserguard/click_monitor.h"

namespace browserguard {

class CClickJudge final : public ClickJudge {
 public:
  // Makes the process's judge the click monitor's (once).
  static void Install();

  bool WasRightClick(win::IUnknown* browser) override;
  bool IsClickableAt(win::IUnknown* browser, kb::POINT screenPoint) override;
  void MarkSolicited(win::IUnknown* browser, bool rightClick) override;
  void ResetAllSolicited() override;
};

// The innermost element at client POINT of DOCUMENT, looking into frames
// whose documents are reachable; null when there is none.
win::CComPtr<win::IHTMLElement> ElementFromPoint(win::IHTMLDocument2* document, kb::POINT point);

}  // namespace browserguard
