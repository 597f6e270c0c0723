// CBrowserHelper: the add-on object the browser creates for every browser
// (window or tab). Sited on its browser it makes a service session, puts
// itself ahead of every other listener of the browser's events, and from
// those events drives the popup decisions and the click monitor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/com_object.h"
#include "browser/com_ptr.h"
#include "browser/connection_points.h"
#include "browser/web_browser.h"
#include "browserguard/bho_hijacker.h"
#include "browserguard/helper_registry.h"
#include "browserguard/navigation_decider.h"
#include "browserguard/opener_side.h"
#include "browserguard/registration.h"
#include "web_browser_ptr.h"

namespace browserguard {

class CBrowserFrame;

// The add-on's own dispatch interface (no methods of its own).
struct IBrowserHelper : win::IDispatch {
  static constexpr win::IID kIid = IID_IBrowserHelper;
  using Base = win::IDispatch;

 protected:
  ~IBrowserHelper() = default;
};

class CBrowserHelper final : public win::CComObjectImpl<win::IObjectWithSite, IBrowserHelper>,
                             private DecisionHost,
                             private OpenerHost,
                             private HijackOwner {
 public:
  CBrowserHelper();

  // The live add-on objects of the process, by id.
  static LiveTable<CBrowserHelper>& Live();
  // Add-on objects alive now (the class factory's unload test).
  static long LiveCount();

  // IObjectWithSite
  win::HRESULT SetSite(win::IUnknown* site) override;
  win::HRESULT GetSite(win::REFIID riid, void** ppvSite) override;
  // IDispatch: Invoke is the browser event handler.
  win::HRESULT GetTypeInfoCount(win::UINT* count) override;
  win::HRESULT GetTypeInfo(win::UINT index, win::LCID lcid, win::ITypeInfo** info) override;
  win::HRESULT GetIDsOfNames(win::REFIID riid, win::LPOLESTR* names, win::UINT count, win::LCID lcid,
                             win::DISPID* ids) override;
  win::HRESULT Invoke(win::DISPID dispid, win::REFIID riid, win::LCID lcid, win::WORD flags,
                      win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                      win::UINT* argError) override;

  int32_t id() const { return m_id; }
  CWebBrowserPtr& browser() { return m_browser; }
  const std::string& currentUrl() const { return m_decider.currentUrl(); }
  kb::HWND tabWindow() const { return m_hTab; }
  // This object's tab is the one shown (set, visible and enabled).
  bool IsActiveTab() const;

  // Ends the event connection and the hijack of the other listeners.
  void Disconnect();
  // Leaves the frame's list (the list's reference is released).
  void DetachFromFrame();
  // The user's "Block this popup": the page's address is blocked from now on.
  void BlockThisPopup();

 protected:
  ~CBrowserHelper() override;

 private:
  // ---- DecisionHost and OpenerHost ----
  int32_t GetSessionInt(const std::string& name) override;
  std::string GetSessionText(const std::string& name) override;
  void SetSessionInt(const std::string& name, int32_t value) override;
  Verdict AuthorizeTop(const std::string& url, bool checkParent) override;
  Verdict AuthorizePopup(const std::string& url, bool solicited, bool blanketAllow) override;
  bool IsStartPage(const std::string& url) override;
  void HideWindow() override;
  void ShowWindow() override;
  void HideAndShrinkWindow() override;
  void KillBrowserNow() override;
  void AddSystemMenuItems() override;
  void TrackTargetFrame(UrlKind kind, const std::string& targetFrame) override;
  bool BlanketAllows(const std::string& url) override;
  bool CreatePopupBrowser() override;
  void HandOverAsTab() override;

  // ---- HijackOwner ----
  bool ProcessInvoke() const override { return m_bProcessInvoke; }
  void SetProcessInvoke(bool process) override { m_bProcessInvoke = process; }
  bool IsVersion7() const override;
  win::HRESULT OwnerInvoke(win::DISPID dispid, win::REFIID riid, win::LCID lcid, win::WORD flags,
                           win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                           win::UINT* argError) override;

  win::HRESULT FirstSiting(win::IUnknown* site);
  void TakeOverTabOpener();
  void HijackConnectionPoint();
  void UnhijackConnectionPoint();
  bool EnsureFrame();
  void DiscoverWindows();
  // Closes this browser; POST_CLOSE posts the fallback close message
  // (before-navigate), otherwise it is sent (completion).
  void KillBrowser(bool postClose);
  void PostHitCount();
  kb::HWND PopupTarget() const;
  void OnBeforeNavigate(win::DISPPARAMS* params);
  void CopyOpenerProperties();
  void OnNewWindow(win::DISPPARAMS* params);
  void OnNavigationComplete();

  int32_t m_id = 0;
  CWebBrowserPtr m_browser;
  NavigationDecider m_decider{*this};
  win::DWORD m_dwCookie = 0;
  win::CComPtr<win::IConnectionPoint> m_spConnectionPoint;
  bool m_bProcessInvoke = true;
  kb::HWND m_hServer = nullptr;
  kb::HWND m_hFrame = nullptr;
  kb::HWND m_hTab = nullptr;
  bool m_bForcedTab = false;
  bool m_bSolicitedTab = false;
  bool m_bOpenerChecked = false;
  bool m_3rdparty = false;
  bool m_bKilled = false;
  std::weak_ptr<CBrowserFrame> m_pFrame;
  // The browser made for the page's new window, handed over in NewWindow2.
  win::CComPtr<win::IWebBrowser2> m_spNewWindow;
};

}  // namespace browserguard
