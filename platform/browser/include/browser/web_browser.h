// The browser object (IWebBrowser2) and its events (DWebBrowserEvents2).
//
// One browser object stands for one browser: a tab of a browser window, or a
// window of its own. Add-on objects are sited on it (IObjectWithSite::SetSite
// with the browser) before its first navigation. Frames inside its page have
// browser objects of their own, which appear as the pDisp argument of the
// frame's events; their get_TopLevelContainer answers VARIANT_FALSE.
//
// Events reach listeners through the browser's connection point for
// DIID_DWebBrowserEvents2 (QueryInterface for IConnectionPointContainer,
// FindConnectionPoint), as IDispatch::Invoke with DISPATCH_METHOD and the
// arguments below, last argument in rgvarg[0]:
//
// dispid 250 BeforeNavigate2: pDisp VT_DISPATCH, URL VT_BYREF|VT_VARIANT
//   (VT_BSTR), Flags VT_BYREF|VT_VARIANT (VT_I4: the navigate flags when the
//   navigation came from Navigate, else 0), TargetFrameName
//   VT_BYREF|VT_VARIANT (VT_BSTR: the frame's name for a frame, else empty),
//   PostData VT_BYREF|VT_VARIANT (VT_EMPTY: the engine does not show post
//   data), Headers VT_BYREF|VT_VARIANT (VT_BSTR, empty), Cancel
//   VT_BYREF|VT_BOOL. Cancel = VARIANT_TRUE stops the navigation.
// dispid 273 NewWindow3: ppDisp VT_BYREF|VT_DISPATCH, Cancel VT_BYREF|VT_BOOL,
//   dwFlags VT_I4 (NWMF_* below), bstrUrlContext VT_BSTR (the opener's
//   address), bstrUrl VT_BSTR (the new window's address).
// dispid 251 NewWindow2: ppDisp VT_BYREF|VT_DISPATCH, Cancel VT_BYREF|VT_BOOL.
//   A page (or Navigate with navOpenInNewWindow/navOpenInNewTab) wants a new
//   window: NewWindow3 fires first, then NewWindow2, on the opener's
//   browser. Cancel = VARIANT_TRUE in either refuses the window (no window
//   is made; the page's window.open answers a window that is already
//   closed). A browser put into *ppDisp (with a reference
//   the browser takes over; from CoCreateInstance(CLSID_InternetExplorer))
//   is used as the new window and NewWindow2 is skipped when NewWindow3
//   supplied one; otherwise the browser makes a new tab or window itself.
//   Either way every add-on of the new browser is sited before the browser
//   is handed back to the page and before its first navigation. Both events
//   come while the page that asked waits for its window: a document call on
//   that page from inside them only times out. A window opened without an
//   address reports a navigation to about:blank.
// dispid 252 NavigateComplete2: pDisp VT_DISPATCH, URL VT_BYREF|VT_VARIANT (VT_BSTR).
//   The document of a navigation is committed (for the top and each frame).
// dispid 259 DocumentComplete: pDisp VT_DISPATCH, URL VT_BYREF|VT_VARIANT (VT_BSTR).
//   A document finished loading: each frame's first, then the top's.
// dispid 271 NavigateError: pDisp VT_DISPATCH, URL VT_BYREF|VT_VARIANT
//   (VT_BSTR), TargetFrameName VT_BYREF|VT_VARIANT (VT_BSTR), StatusCode
//   VT_BYREF|VT_VARIANT (VT_I4: the HTTP status of an error answer, else an
//   INET_E_* code), Cancel VT_BYREF|VT_BOOL. Fired for the top document
//   before its NavigateComplete2; Cancel = VARIANT_TRUE replaces the error
//   page by an empty one.
// dispid 253 OnQuit: no arguments. The browser is closing (its tab or
//   window closes, or Quit was called); SetSite(nullptr) follows for each
//   add-on object.
// dispid 113 TitleChange: Text VT_BSTR.
//
// Events run from the event loop, in the order they happened, never inside
// an add-on's document call (html_dom.h): those made inside an event work.
// The exceptions, which the engine needs answered on the spot, are
// NewWindow3/NewWindow2 and the BeforeNavigate2 of a frame or of a form
// submission: a document call inside them fails at once with E_PENDING.
// A top navigation is held while its BeforeNavigate2 runs and then started
// again by the browser (so the page sends no referrer with it).
#pragma once

#include "browser/com.h"
#include "browser/oleauto.h"

#include <QString>

#include <optional>

namespace win {

struct IWebBrowser : IDispatch {
    static constexpr IID kIid = MakeGuid("EAB22AC1-30C1-11CF-A7EB-0000C05BAE0B");
    using Base = IDispatch;
    virtual HRESULT GoBack() = 0;
    virtual HRESULT GoForward() = 0;
    virtual HRESULT Refresh() = 0;
    // Flags: VT_I4 navigate flags (navOpenInNewWindow, navOpenInNewTab,
    // navOpenInBackgroundTab; others are accepted and ignored). Target:
    // VT_BSTR frame name: empty, "_self" or "_top" navigate this browser,
    // "_blank" (any case) opens a new window, another name navigates the
    // frame of that name or, when there is none, opens a new window. PostData
    // and Headers are accepted and ignored. Any of the VARIANT* may be null.
    // Called while this browser's BeforeNavigate2 is being handled, it
    // replaces the navigation being decided.
    virtual HRESULT Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                             VARIANT* headers) = 0;
    virtual HRESULT Stop() = 0;
    // The document object (IHTMLDocument2) of the current page.
    virtual HRESULT get_Document(IDispatch** document) = 0;
    // VARIANT_TRUE for a browser (tab or window), VARIANT_FALSE for a frame.
    virtual HRESULT get_TopLevelContainer(VARIANT_BOOL* top) = 0;
    virtual HRESULT get_LocationName(BSTR* name) = 0;
    virtual HRESULT get_LocationURL(BSTR* url) = 0;
    virtual HRESULT get_Busy(VARIANT_BOOL* busy) = 0;

protected:
    ~IWebBrowser() = default;
};

struct IWebBrowserApp : IWebBrowser {
    static constexpr IID kIid = MakeGuid("0002DF05-0000-0000-C000-000000000046");
    using Base = IWebBrowser;
    // Closes the browser (its tab, or its window when it is the window's
    // only tab) once control returns to the event loop; OnQuit fires then.
    virtual HRESULT Quit() = 0;
    // Properties stored on the browser object under a case-sensitive name,
    // for every object of the process that holds the browser. GetProperty of
    // a name never put answers S_OK with VT_EMPTY.
    virtual HRESULT PutProperty(BSTR name, VARIANT value) = 0;
    virtual HRESULT GetProperty(BSTR name, VARIANT* value) = 0;
    // The top-level frame window of the browser (a window handle as a number).
    virtual HRESULT get_HWND(SHANDLE_PTR* hwnd) = 0;
    virtual HRESULT get_Visible(VARIANT_BOOL* visible) = 0;
    virtual HRESULT put_Visible(VARIANT_BOOL visible) = 0;

protected:
    ~IWebBrowserApp() = default;
};

enum tagREADYSTATE : LONG {
    READYSTATE_UNINITIALIZED = 0,
    READYSTATE_LOADING = 1,
    READYSTATE_LOADED = 2,
    READYSTATE_INTERACTIVE = 3,
    READYSTATE_COMPLETE = 4,
};

struct IWebBrowser2 : IWebBrowserApp {
    static constexpr IID kIid = MakeGuid("D30C1661-CDAF-11D0-8A3E-00C04FC9E26E");
    using Base = IWebBrowserApp;
    virtual HRESULT get_ReadyState(LONG* state) = 0;
    virtual HRESULT get_Resizable(VARIANT_BOOL* resizable) = 0;
    virtual HRESULT put_Resizable(VARIANT_BOOL resizable) = 0;

protected:
    ~IWebBrowser2() = default;
};

inline constexpr IID IID_IWebBrowser = IWebBrowser::kIid;
inline constexpr IID IID_IWebBrowserApp = IWebBrowserApp::kIid;
inline constexpr IID IID_IWebBrowser2 = IWebBrowser2::kIid;
// The service under which a document window gives its browser (QueryService).
inline constexpr GUID SID_SWebBrowserApp = IWebBrowserApp::kIid;
// The event interface of browsers.
inline constexpr IID DIID_DWebBrowserEvents2 = MakeGuid("34A715A0-6587-11D0-924A-0020AFC7AC4D");
// The class of a new browser window: CoCreateInstance(CLSID_InternetExplorer,
// nullptr, CLSCTX_LOCAL_SERVER, IID_IWebBrowser2, ...) makes a hidden window
// (put_Visible shows it) whose add-ons are already sited.
inline constexpr CLSID CLSID_InternetExplorer = MakeGuid("0002DF01-0000-0000-C000-000000000046");

// Event dispatch ids.
inline constexpr DISPID DISPID_TITLECHANGE = 113;
inline constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
inline constexpr DISPID DISPID_NEWWINDOW2 = 251;
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;
inline constexpr DISPID DISPID_ONQUIT = 253;
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;
inline constexpr DISPID DISPID_NAVIGATEERROR = 271;
inline constexpr DISPID DISPID_NEWWINDOW3 = 273;

// Navigate flags.
inline constexpr LONG navOpenInNewWindow = 0x1;
inline constexpr LONG navNoHistory = 0x2;
inline constexpr LONG navNoReadFromCache = 0x4;
inline constexpr LONG navNoWriteToCache = 0x8;
inline constexpr LONG navOpenInNewTab = 0x800;
inline constexpr LONG navOpenInBackgroundTab = 0x1000;

// NewWindow3 flags.
inline constexpr LONG NWMF_USERINITED = 0x2;        // started by a user action (a click)
inline constexpr LONG NWMF_FIRST = 0x4;             // the first window of that action
inline constexpr LONG NWMF_HTMLDIALOG = 0x20;       // a page dialog
inline constexpr LONG NWMF_USERREQUESTED = 0x80;    // the user asked for it (Navigate from the browser's own UI)
inline constexpr LONG NWMF_FORCEWINDOW = 0x10000;   // must open as a window (shift-click, navOpenInNewWindow)
inline constexpr LONG NWMF_FORCETAB = 0x20000;      // must open as a tab (ctrl- or middle-click, navOpenInNewTab)
inline constexpr LONG NWMF_SUGGESTWINDOW = 0x40000; // a popup with window features
inline constexpr LONG NWMF_SUGGESTTAB = 0x80000;    // a link with a new target
inline constexpr LONG NWMF_INACTIVETAB = 0x100000;  // a tab opened in the background

// NavigateError status codes for failures without an HTTP status.
inline constexpr LONG INET_E_CANNOT_CONNECT = static_cast<LONG>(0x800C0004);
inline constexpr LONG INET_E_RESOURCE_NOT_FOUND = static_cast<LONG>(0x800C0005);
inline constexpr LONG INET_E_DOWNLOAD_FAILURE = static_cast<LONG>(0x800C0008);
inline constexpr LONG INET_E_SECURITY_PROBLEM = static_cast<LONG>(0x800C000E);
inline constexpr LONG INET_E_REDIRECT_FAILED = static_cast<LONG>(0x800C0014);

}  // namespace win

namespace kb {

// The product version of the browser hosting this process ("7.0"), or none
// when this process is not a browser. The browser sets it when it starts.
std::optional<QString> BrowserProductVersion();
void SetBrowserProductVersion(const QString& version);

}  // namespace kb
