// The document object model the browser offers its add-ons: documents,
// elements, document windows and frame collections of the pages it shows.
//
// Every call waits for the page: it runs a small script in the page's
// renderer and spins a nested event loop that skips user input until the
// answer comes, at most kDomCallTimeoutMs (then the call fails with
// HRESULT_FROM_WIN32(ERROR_TIMEOUT)). Browser events wait meanwhile
// (web_browser.h). Inside NewWindow2/NewWindow3 and a frame's or form's
// BeforeNavigate2 calls fail at once with E_PENDING. Calls run on the
// browser's thread.
//
// The page is untrusted: answers are checked for type and size, requests
// travel as data, never as script. The helper keeps the DOM functions it
// uses from before any page script ran, so a page cannot redirect them;
// it can still change its own DOM, so what it answers about itself is only
// as good as the page. Frames of another origin than the top page have no
// reachable document: calls on them fail with E_ACCESSDENIED. Elements of a
// document that has been replaced by a navigation fail with E_HANDLE.
//
// Shapes follow the HTML document interfaces of Windows where a Part uses
// them; a few members live on one interface here instead of two
// (IHTMLElement also carries the client, scroll, text and form-value
// members), and collections are indexed by number only.
#pragma once

#include "browser/com.h"
#include "browser/oleauto.h"

namespace win {

struct IHTMLWindow2;
struct IHTMLElement;
struct IHTMLElementCollection;
struct IHTMLFramesCollection2;

inline constexpr int kDomCallTimeoutMs = 3000;

struct IHTMLDocument2 : IDispatch {
    static constexpr IID kIid = MakeGuid("332C4425-26CB-11D0-B483-00C04FD90119");
    using Base = IDispatch;
    virtual HRESULT get_parentWindow(IHTMLWindow2** window) = 0;
    virtual HRESULT get_URL(BSTR* url) = 0;
    virtual HRESULT get_title(BSTR* title) = 0;
    virtual HRESULT get_readyState(BSTR* state) = 0;  // "loading", "interactive", "complete"
    virtual HRESULT get_body(IHTMLElement** body) = 0;
    virtual HRESULT get_frames(IHTMLFramesCollection2** frames) = 0;
    // The element at client point (X, Y) of this document's viewport; S_OK
    // with *element = nullptr when there is none.
    virtual HRESULT elementFromPoint(LONG x, LONG y, IHTMLElement** element) = 0;
    // S_OK with *element = nullptr when no element has the id.
    virtual HRESULT getElementById(BSTR id, IHTMLElement** element) = 0;
    virtual HRESULT getElementsByName(BSTR name, IHTMLElementCollection** elements) = 0;

protected:
    ~IHTMLDocument2() = default;
};

struct IHTMLElement : IDispatch {
    static constexpr IID kIid = MakeGuid("3050F1FF-98B5-11CF-BB82-00AA00BDCE0B");
    using Base = IDispatch;
    virtual HRESULT get_tagName(BSTR* tag) = 0;  // upper case for HTML elements ("A", "INPUT")
    virtual HRESULT get_id(BSTR* id) = 0;
    // S_OK with *parent = nullptr for the root element.
    virtual HRESULT get_parentElement(IHTMLElement** parent) = 0;
    // VT_BSTR with the attribute's text, VT_NULL when the element has no
    // such attribute. FLAGS are accepted and ignored (names are compared
    // case-insensitively, as HTML does).
    virtual HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) = 0;
    virtual HRESULT setAttribute(BSTR name, VARIANT value, LONG flags) = 0;
    // Event handlers: VT_NULL when the element has none for the event (no
    // handler property set by the page and no handler attribute), else
    // VT_BSTR with the handler's source text.
    virtual HRESULT get_onclick(VARIANT* handler) = 0;
    virtual HRESULT get_ondblclick(VARIANT* handler) = 0;
    virtual HRESULT get_onkeydown(VARIANT* handler) = 0;
    virtual HRESULT get_onkeyup(VARIANT* handler) = 0;
    virtual HRESULT get_onkeypress(VARIANT* handler) = 0;
    virtual HRESULT get_onmousedown(VARIANT* handler) = 0;
    virtual HRESULT get_onmouseup(VARIANT* handler) = 0;
    // Layout, in CSS pixels of the element's document.
    virtual HRESULT get_offsetLeft(LONG* value) = 0;
    virtual HRESULT get_offsetTop(LONG* value) = 0;
    virtual HRESULT get_offsetWidth(LONG* value) = 0;
    virtual HRESULT get_offsetHeight(LONG* value) = 0;
    virtual HRESULT get_offsetParent(IHTMLElement** parent) = 0;  // nullptr at the top
    virtual HRESULT get_clientLeft(LONG* value) = 0;  // left border width
    virtual HRESULT get_clientTop(LONG* value) = 0;   // top border width
    virtual HRESULT get_scrollLeft(LONG* value) = 0;
    virtual HRESULT get_scrollTop(LONG* value) = 0;
    // Text and form values.
    virtual HRESULT get_innerText(BSTR* text) = 0;
    virtual HRESULT put_innerText(BSTR text) = 0;
    virtual HRESULT get_value(BSTR* value) = 0;   // inputs, text areas, selects; E_NOTIMPL otherwise
    virtual HRESULT put_value(BSTR value) = 0;
    virtual HRESULT get_checked(VARIANT_BOOL* checked) = 0;  // check boxes and radio buttons
    // The element's document (IHTMLDocument2).
    virtual HRESULT get_document(IDispatch** document) = 0;

protected:
    ~IHTMLElement() = default;
};

// Answered by FRAME and IFRAME elements only.
struct IHTMLFrameBase2 : IDispatch {
    static constexpr IID kIid = MakeGuid("3050F6DB-98B5-11CF-BB82-00AA00BDCE0B");
    using Base = IDispatch;
    virtual HRESULT get_contentWindow(IHTMLWindow2** window) = 0;

protected:
    ~IHTMLFrameBase2() = default;
};

struct IHTMLElementCollection : IDispatch {
    static constexpr IID kIid = MakeGuid("3050F21F-98B5-11CF-BB82-00AA00BDCE0B");
    using Base = IDispatch;
    virtual HRESULT get_length(LONG* length) = 0;
    virtual HRESULT item(LONG index, IHTMLElement** element) = 0;  // E_INVALIDARG out of range

protected:
    ~IHTMLElementCollection() = default;
};

// A document window (the top page's or a frame's). QueryInterface answers
// IServiceProvider: QueryService(SID_SWebBrowserApp, IID_IWebBrowser2)
// gives the browser object of the window (the frame's for a frame).
struct IHTMLWindow2 : IDispatch {
    static constexpr IID kIid = MakeGuid("332C427E-26CB-11D0-B483-00C04FD90119");
    using Base = IDispatch;
    virtual HRESULT get_name(BSTR* name) = 0;
    // VT_DISPATCH with the IHTMLWindow2 of the window that opened this one
    // (a page's window.open), VT_EMPTY when there is none, it was cut off
    // (window.opener = null) or it is closed.
    virtual HRESULT get_opener(VARIANT* opener) = 0;
    virtual HRESULT get_document(IHTMLDocument2** document) = 0;
    virtual HRESULT get_frames(IHTMLFramesCollection2** frames) = 0;
    virtual HRESULT get_parent(IHTMLWindow2** parent) = 0;  // itself at the top
    virtual HRESULT get_top(IHTMLWindow2** top) = 0;
    // Runs CODE (JavaScript; LANGUAGE is accepted and ignored) in the
    // window's document as the page's own script and answers its value:
    // VT_EMPTY, VT_NULL, VT_BOOL, VT_I4, VT_R8 or VT_BSTR (other values as
    // their JSON text).
    virtual HRESULT execScript(BSTR code, BSTR language, VARIANT* result) = 0;

protected:
    ~IHTMLWindow2() = default;
};

struct IHTMLFramesCollection2 : IDispatch {
    static constexpr IID kIid = MakeGuid("332C426E-26CB-11D0-B483-00C04FD90119");
    using Base = IDispatch;
    virtual HRESULT get_length(LONG* length) = 0;
    // INDEX: VT_I4 position or VT_BSTR frame name. S_OK with VT_DISPATCH
    // (the frame's IHTMLWindow2) when found, S_OK with VT_EMPTY when no frame
    // has that name or position; a failure only when the document could not
    // be asked.
    virtual HRESULT item(VARIANT* index, VARIANT* result) = 0;

protected:
    ~IHTMLFramesCollection2() = default;
};

inline constexpr IID IID_IHTMLDocument2 = IHTMLDocument2::kIid;
inline constexpr IID IID_IHTMLElement = IHTMLElement::kIid;
inline constexpr IID IID_IHTMLFrameBase2 = IHTMLFrameBase2::kIid;
inline constexpr IID IID_IHTMLElementCollection = IHTMLElementCollection::kIid;
inline constexpr IID IID_IHTMLWindow2 = IHTMLWindow2::kIid;
inline constexpr IID IID_IHTMLFramesCollection2 = IHTMLFramesCollection2::kIid;

}  // namespace win
