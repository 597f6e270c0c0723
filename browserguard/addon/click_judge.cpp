#include "click_judge.h"

#include <memory>
#include <mutex>

#include "browser_frame.h"
#include "browser_helper.h"
#include "browserguard/clickable.h"
#include "web_browser_ptr.h"

namespace browserguard {
namespace {

// A document element as the clickable rule sees it; parents are read on demand.
class DomClickElement final : public ClickElement {
 public:
  explicit DomClickElement(win::IHTMLElement* element) : m_element(element) {}

  std::string TagName() const override {
    win::CComBSTR tag;
    if (win::FAILED(m_element->get_tagName(&tag))) return {};
    return tag.ToQString().toStdString();
  }
  std::string Attribute(const std::string& name) const override {
    win::CComVariant value;
    if (win::FAILED(m_element->getAttribute(win::CComBSTR(QString::fromStdString(name)), 0, &value))) return {};
    return value.vt == win::VT_BSTR ? win::QStringFromBstr(value.bstrVal).toStdString() : std::string();
  }
  bool HasEventHandler() const override {
    using Getter = win::HRESULT (win::IHTMLElement::*)(win::VARIANT*);
    for (Getter getter : {&win::IHTMLElement::get_onclick, &win::IHTMLElement::get_ondblclick,
                          &win::IHTMLElement::get_onkeydown, &win::IHTMLElement::get_onkeyup,
                          &win::IHTMLElement::get_onkeypress, &win::IHTMLElement::get_onmousedown,
                          &win::IHTMLElement::get_onmouseup}) {
      win::CComVariant handler;
      if (win::SUCCEEDED((m_element.get()->*getter)(&handler)) && handler.vt != win::VT_NULL &&
          handler.vt != win::VT_EMPTY)
        return true;
    }
    return false;
  }
  const ClickElement* Parent() const override {
    if (!m_parentRead) {
      m_parentRead = true;
      win::CComPtr<win::IHTMLElement> parent;
      if (win::SUCCEEDED(m_element->get_parentElement(&parent)) && parent)
        m_parent = std::make_unique<DomClickElement>(parent);
    }
    return m_parent.get();
  }

 private:
  win::CComPtr<win::IHTMLElement> m_element;
  mutable bool m_parentRead = false;
  mutable std::unique_ptr<DomClickElement> m_parent;
};

CWebBrowserPtr SessionOf(win::IUnknown* browser) {
  win::CComQIPtr<win::IWebBrowser2> web(browser);
  CWebBrowserPtr ptr(web);
  ptr.EnsureSessionHandle();
  return ptr;
}

// The frame element's offset in its page: its offsets summed up the offset
// parents, plus its border, less the page's scrolling.
kb::POINT FrameOffset(win::IHTMLElement* frameElement, win::IHTMLDocument2* document) {
  kb::POINT offset;
  win::CComPtr<win::IHTMLElement> element(frameElement);
  for (int depth = 0; element && depth < 256; ++depth) {
    win::LONG left = 0, top = 0;
    element->get_offsetLeft(&left);
    element->get_offsetTop(&top);
    offset.x += left;
    offset.y += top;
    win::CComPtr<win::IHTMLElement> parent;
    if (win::FAILED(element->get_offsetParent(&parent))) break;
    element = parent;
  }
  win::LONG borderLeft = 0, borderTop = 0;
  frameElement->get_clientLeft(&borderLeft);
  frameElement->get_clientTop(&borderTop);
  offset.x += borderLeft;
  offset.y += borderTop;
  win::CComPtr<win::IHTMLElement> body;
  if (win::SUCCEEDED(document->get_body(&body)) && body) {
    win::LONG scrollLeft = 0, scrollTop = 0;
    body->get_scrollLeft(&scrollLeft);
    body->get_scrollTop(&scrollTop);
    offset.x -= scrollLeft;
    offset.y -= scrollTop;
  }
  return offset;
}

}  // namespace

win::CComPtr<win::IHTMLElement> ElementFromPoint(win::IHTMLDocument2* document, kb::POINT point) {
  win::CComPtr<win::IHTMLDocument2> current(document);
  win::CComPtr<win::IHTMLElement> found;
  for (int depth = 0; current && depth < 16; ++depth) {
    win::CComPtr<win::IHTMLElement> element;
    if (win::FAILED(current->elementFromPoint(point.x, point.y, &element)) || !element) break;
    found = element;
    win::CComQIPtr<win::IHTMLFrameBase2> frame(element);
    win::CComPtr<win::IHTMLWindow2> content;
    win::CComPtr<win::IHTMLDocument2> inner;
    if (!frame || win::FAILED(frame->get_contentWindow(&content)) || !content ||
        win::FAILED(content->get_document(&inner)) || !inner)
      break;
    const kb::POINT offset = FrameOffset(element, current);
    point.x -= offset.x;
    point.y -= offset.y;
    current = inner;
  }
  return found;
}

void CClickJudge::Install() {
  static CClickJudge judge;
  static std::once_flag once;
  std::call_once(once, [] { ClickMonitor::Process().SetJudge(&judge); });
}

bool CClickJudge::WasRightClick(win::IUnknown* browser) {
  return SessionOf(browser).GetSessionInt("was_rightclick") == 1;
}

bool CClickJudge::IsClickableAt(win::IUnknown* browser, kb::POINT screenPoint) {
  CWebBrowserPtr ptr = SessionOf(browser);
  win::CComPtr<win::IHTMLDocument2> document = ptr.GetDocument();
  if (!document) return true;
  kb::POINT client = screenPoint;
  kb::ScreenToClient(ptr.GetServerWindow(), &client);
  win::CComPtr<win::IHTMLElement> element = ElementFromPoint(document, client);
  if (!element) return true;
  DomClickElement clicked(element);
  return IsClickableElement(&clicked);
}

void CClickJudge::MarkSolicited(win::IUnknown* browser, bool rightClick) {
  SessionOf(browser).SetSessionProperties({{"is_solicited", "1"}, {"was_rightclick", rightClick ? "1" : "0"}});
}

void CClickJudge::ResetAllSolicited() {
  for (const std::shared_ptr<CBrowserFrame>& frame : CBrowserFrame::Frames().All()) {
    for (CBrowserHelper* helper : frame->helpers().Snapshot()) {
      helper->browser().SetSessionInt("is_solicited", 0);
      helper->Release();
    }
  }
}

}  // namespace browserguard
