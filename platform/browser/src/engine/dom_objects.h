// The document objects handed to add-ons (html_dom.h): documents and
// document windows named by frame path, elements named by the DOM helper's
// numbers, collections, and the accessibility object of a page window.
// Each holds its browser (one reference) and asks the page through the
// browser's CDomBridge on every call.
#pragma once

#include "dom_bridge.h"

#include "browser/com_object.h"
#include "browser/html_dom.h"

#include <vector>

namespace kb::engine {

class CWebBrowser;

win::IHTMLDocument2* NewHtmlDocument(CWebBrowser* browser, std::vector<int> path);
win::IHTMLWindow2* NewHtmlWindow(CWebBrowser* browser, std::vector<int> path);
win::IHTMLElement* NewHtmlElement(CWebBrowser* browser, ElementRef ref);
// The page window's accessibility object (IAccessible answering IServiceProvider).
win::IAccessible* NewPageAccessible(CWebBrowser* browser);

}  // namespace kb::engine
