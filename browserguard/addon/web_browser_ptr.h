// CWebBrowserPtr: one browser object and its service session, with the
// browser's stored properties, its address, and the discovery of its frame,
// page and tab windows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "browser/com_ptr.h"
#include "browser/html_dom.h"
#include "browser/web_browser.h"
#include "browser/window_api.h"
#include "browserguard/service_session.h"

namespace browserguard {

class CBrowserHelper;

// Browser property names.
inline constexpr const char* kPropSessionHandle = "_qv_session_handle_";
inline constexpr const char* kPropBrowserHelper = "_qv_browser_helper_";
inline constexpr const char* kPropThirdPartyMarker = "_qv_3rdparty_marker_";
inline constexpr const char* kPropNotifyWindow = "hwnd_notify";

// The browser object behind a page window ("Internet Explorer_Server"):
// accessibility object, document window, then the browser service. None for
// any other window or on any failure.
win::CComPtr<win::IWebBrowser2> BrowserOfPageWindow(kb::HWND window);

// Window handles travel in session properties as decimal text of their bits.
std::string HwndToText(kb::HWND window);
kb::HWND HwndFromText(const std::string& text);

class CWebBrowserPtr {
 public:
  CWebBrowserPtr() = default;
  explicit CWebBrowserPtr(win::IWebBrowser2* browser) : m_spBrowser(browser) {}

  bool empty() const { return !m_spBrowser; }
  win::IWebBrowser2* get() const { return m_spBrowser.get(); }
  void Reset(win::IWebBrowser2* browser) { m_spBrowser = browser; }

  // ---- service session ----
  bool CreateSession();
  void DestroySession();
  // Adopts the handle the browser carries when none is known yet.
  void EnsureSessionHandle();
  int32_t sessionHandle() const { return m_session.handle(); }
  std::string GetSessionProperty(const std::string& name);
  int32_t GetSessionInt(const std::string& name);
  void SetSessionProperty(const std::string& name, const std::string& value);
  void SetSessionInt(const std::string& name, int32_t value);
  void SetSessionProperties(const std::vector<std::pair<std::string, std::string>>& values);

  // ---- properties stored on the browser ----
  // A 32-bit integer property; -1 when missing or unreadable.
  long GetBrowserProperty(const std::string& name) const;
  void PutBrowserProperty(const std::string& name, long value) const;
  std::string GetBrowserText(const std::string& name) const;
  void PutBrowserText(const std::string& name, const std::string& value) const;
  // A window handle property (64-bit), null when missing.
  kb::HWND GetBrowserWindowProperty(const std::string& name) const;

  // The browser's address, empty on failure.
  std::string GetLocationUrl() const;

  // ---- windows ----
  kb::HWND GetFrameWindow();
  kb::HWND GetServerWindow();
  kb::HWND GetTabWindow();

  // The add-on object named by the browser's "_qv_browser_helper_", when
  // it lives in this process; one reference for the caller.
  CBrowserHelper* GetOpenerHelper() const;

  win::CComPtr<win::IHTMLDocument2> GetDocument() const;
  win::CComPtr<win::IHTMLWindow2> GetParentWindow() const;

 private:
  kb::HWND FindPageWindow(kb::HWND frame) const;

  win::CComPtr<win::IWebBrowser2> m_spBrowser;
  BrowserSession m_session;
};

}  // namespace browserguard
