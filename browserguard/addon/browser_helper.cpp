#include "browser_helper.h"

#include <unistd.h>

#include <atomic>

#include "addon_state.h"
#include "browser/com_runtime.h"
#include "browser/html_dom.h"
#include "browser_frame.h"
#include "browserguard/click_monitor.h"
#include "browserguard/msg_ctx_request.h"
#include "browserguard/popup_rules.h"
#include "click_judge.h"
#include "win/registry.h"
#include "win/ui/messaging.h"
#include "win/ui/window_messages.h"
#include "win/ui/window_ops.h"

namespace browserguard {
namespace {

std::atomic<long> g_liveObjects{0};

// SetWindowPos flags: hide a popup without moving, sizing, restacking or
// activating it (0x97); hide and shrink a refused window waiting to close.
constexpr kb::UINT kHideInPlace =
    kb::SWP_NOSIZE | kb::SWP_NOMOVE | kb::SWP_NOZORDER | kb::SWP_NOACTIVATE | kb::SWP_HIDEWINDOW;
constexpr kb::UINT kHideAndShrink = kb::SWP_HIDEWINDOW;

unsigned ShortcutBehavior() {
  win::RegKey key;
  win::DWORD value = 0;
  if (win::RegKey::Open(win::Hive::CurrentUser, "Software\\Microsoft\\Internet Explorer\\TabbedBrowsing", key) ==
          win::ERROR_SUCCESS &&
      key.QueryDword("ShortcutBehavior", value) == win::ERROR_SUCCESS)
    return value;
  return 0;
}

bool KeyDown(int key) { return kb::GetKeyState(key) < 0; }

const win::VARIANT& Arg(win::DISPPARAMS* params, unsigned fromLast) {
  return win::DerefVariant(params->rgvarg[fromLast]);
}

}  // namespace

LiveTable<CBrowserHelper>& CBrowserHelper::Live() {
  // Never destroyed: add-on objects may still go after static destructors ran.
  static LiveTable<CBrowserHelper>* table = new LiveTable<CBrowserHelper>;
  return *table;
}

long CBrowserHelper::LiveCount() { return g_liveObjects.load(); }

CBrowserHelper::CBrowserHelper() {
  ++g_liveObjects;
  m_id = Live().Add(this);
}

CBrowserHelper::~CBrowserHelper() {
  // Out of the table first: nobody may take a reference to an object that is going.
  Live().Remove(m_id);
  m_browser.DestroySession();
  QuitSeen() = false;
  --g_liveObjects;
}

bool CBrowserHelper::IsVersion7() const { return BrowserIsVersion7(); }

// ---------------------------------------------------------------------------
// Siting.

win::HRESULT CBrowserHelper::SetSite(win::IUnknown* site) {
  if (!ServiceConnection::Process().Ensure()) return win::E_FAIL;
  if (site == nullptr) {
    // The browser is closing: let go of it (the frame's list and the
    // connection go with the quit event, or here when it never came).
    ClickMonitor::Process().DetachBrowser(m_browser.get());
    DetachFromFrame();
    Disconnect();
    return win::S_OK;
  }
  if (m_browser.empty()) {
    const win::HRESULT hr = FirstSiting(site);
    if (win::FAILED(hr)) return hr;
  }
  TakeOverTabOpener();
  m_3rdparty = m_browser.GetBrowserProperty(kPropThirdPartyMarker) == kThirdPartyMarker;
  return win::S_OK;
}

win::HRESULT CBrowserHelper::FirstSiting(win::IUnknown* site) {
  win::CComPtr<win::IWebBrowser2> browser;
  const win::HRESULT hr = site->QueryInterface(win::IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
  if (win::FAILED(hr) || !browser) return win::FAILED(hr) ? hr : win::E_NOINTERFACE;
  m_browser.Reset(browser);
  m_browser.PutBrowserProperty(kPropBrowserHelper, 0);
  m_browser.PutBrowserProperty(kPropSessionHandle, 0);
  if (m_browser.CreateSession()) {
    m_browser.PutBrowserProperty(kPropSessionHandle, m_browser.sessionHandle());
    // Names this object by its live-table id, never by its address.
    m_browser.PutBrowserText(kPropBrowserHelper, FormatHelperRef({m_id, static_cast<int32_t>(::getpid())}));
  }
  win::CComQIPtr<win::IConnectionPointContainer> container(site);
  if (container && win::SUCCEEDED(container->FindConnectionPoint(win::DIID_DWebBrowserEvents2, &m_spConnectionPoint)))
    HijackConnectionPoint();
  return win::S_OK;
}

// A tab the opener handed over inherits the opener's facts.
void CBrowserHelper::TakeOverTabOpener() {
  if (!BrowserIsVersion7()) return;
  const int32_t openerId = TabOpenerSlot::Process().Take();
  if (openerId == 0) return;
  CBrowserHelper* opener = Live().Acquire(openerId);
  if (opener == nullptr) return;
  m_browser.SetSessionProperties({
      {"opener_location", opener->m_browser.GetLocationUrl()},
      {"is_solicited", opener->m_bSolicitedTab ? "1" : "0"},
      {"is_blanket_allow", std::to_string(opener->m_browser.GetSessionInt("is_blanket_allow"))},
      {"is_popup", "0"},
  });
  m_browser.PutBrowserProperty(kPropThirdPartyMarker, opener->m_browser.GetBrowserProperty(kPropThirdPartyMarker));
  opener->m_bSolicitedTab = false;
  opener->m_decider.SetKillOnComplete(QuitSeen());
  opener->Release();
}

win::HRESULT CBrowserHelper::GetSite(win::REFIID riid, void** ppvSite) {
  if (ppvSite == nullptr) return win::E_POINTER;
  *ppvSite = nullptr;
  if (m_browser.empty()) return win::E_FAIL;
  return m_browser.get()->QueryInterface(riid, ppvSite);
}

// ---------------------------------------------------------------------------
// The event connection.

void CBrowserHelper::HijackConnectionPoint() {
  constexpr win::ULONG kBatch = 100;
  std::vector<win::CONNECTDATA> fetched;
  win::CComPtr<win::IEnumConnections> connections;
  if (win::SUCCEEDED(m_spConnectionPoint->EnumConnections(&connections)) && connections) {
    win::CONNECTDATA data[kBatch];
    win::ULONG count = 0;
    const win::HRESULT hr = connections->Next(kBatch, data, &count);
    // With a full batch (or a failure) nobody is wrapped.
    if (hr == win::S_FALSE) fetched.assign(data, data + count);
    else
      for (win::ULONG i = 0; i < count; ++i)
        if (data[i].pUnk) data[i].pUnk->Release();
  }
  for (const win::CONNECTDATA& c : fetched)
    if (c.dwCookie != m_dwCookie && c.pUnk != nullptr) m_spConnectionPoint->Unadvise(c.dwCookie);
  for (win::CONNECTDATA& c : fetched) {
    if (c.pUnk == nullptr) continue;
    win::CComQIPtr<win::IDispatch> listener(c.pUnk);
    c.pUnk->Release();
    win::CComPtr<win::IDispatch> wrapper;
    wrapper.Attach(new CBHOHijacker(this, listener));
    win::DWORD cookie = 0;
    m_spConnectionPoint->Advise(wrapper, &cookie);
  }
  m_spConnectionPoint->Advise(static_cast<IBrowserHelper*>(this), &m_dwCookie);
}

void CBrowserHelper::UnhijackConnectionPoint() {
  win::CComPtr<win::IEnumConnections> connections;
  if (win::FAILED(m_spConnectionPoint->EnumConnections(&connections)) || !connections) return;
  constexpr win::ULONG kBatch = 100;
  win::CONNECTDATA data[kBatch];
  win::ULONG count = 0;
  const win::HRESULT hr = connections->Next(kBatch, data, &count);
  std::vector<win::CONNECTDATA> fetched;
  if (hr == win::S_FALSE) fetched.assign(data, data + count);
  else
    for (win::ULONG i = 0; i < count; ++i)
      if (data[i].pUnk) data[i].pUnk->Release();
  for (const win::CONNECTDATA& c : fetched)
    if (c.dwCookie != m_dwCookie && c.pUnk != nullptr) m_spConnectionPoint->Unadvise(c.dwCookie);
  for (win::CONNECTDATA& c : fetched) {
    if (c.pUnk == nullptr) continue;
    if (c.dwCookie != m_dwCookie) {
      // A wrapper gives back the listener it wrapped.
      win::CComPtr<win::IUnknown> original;
      if (win::FAILED(c.pUnk->QueryInterface(IID_BHOHijacked, reinterpret_cast<void**>(&original))) || !original)
        original = c.pUnk;
      win::DWORD cookie = 0;
      m_spConnectionPoint->Advise(original, &cookie);
    }
    c.pUnk->Release();
  }
  m_spConnectionPoint->Unadvise(m_dwCookie);
}

void CBrowserHelper::Disconnect() {
  if (m_spConnectionPoint) {
    UnhijackConnectionPoint();
    m_spConnectionPoint.Release();
  }
  m_dwCookie = 0;
}

// ---------------------------------------------------------------------------
// Frame and windows.

bool CBrowserHelper::EnsureFrame() {
  if (!m_pFrame.expired()) return true;
  const kb::HWND w = m_browser.GetFrameWindow();
  if (w == nullptr) return false;
  bool created = false;
  std::shared_ptr<CBrowserFrame> frame = CBrowserFrame::FindOrCreate(w, &created);
  if (!frame) return false;
  static std::once_flag interceptions;
  std::call_once(interceptions, [] { InstallInterceptions(); });
  CClickJudge::Install();
  if (created && !BrowserIsVersion7()) ClickMonitor::Process().AttachWindow(w, m_browser.get());
  if (const kb::HWND server = m_browser.GetServerWindow())
    ClickMonitor::Process().AttachWindow(server, m_browser.get());
  frame->helpers().Add(this);
  m_pFrame = frame;
  return true;
}

void CBrowserHelper::DiscoverWindows() {
  if (m_hServer != nullptr && m_hFrame != nullptr && m_hTab != nullptr) return;
  m_hServer = m_browser.GetServerWindow();
  m_hFrame = m_browser.GetFrameWindow();
  m_hTab = m_browser.GetTabWindow();
  CClickJudge::Install();
  if (m_hTab != nullptr)
    ClickMonitor::Process().AttachWindow(m_hServer, m_browser.get());
  else if (m_hServer != nullptr)
    ClickMonitor::Process().AttachWindow(m_hFrame, m_browser.get());
}

void CBrowserHelper::DetachFromFrame() {
  std::shared_ptr<CBrowserFrame> frame = CBrowserFrame::Frames().Find(m_browser.GetFrameWindow());
  if (!frame) frame = m_pFrame.lock();
  m_pFrame.reset();
  if (!frame || !frame->helpers().Contains(this)) return;
  // The list's reference may be the last one: keep this object for the call.
  win::CComPtr<win::IUnknown> self(static_cast<win::IObjectWithSite*>(this));
  Disconnect();
  frame->helpers().Remove(this);
}

bool CBrowserHelper::IsActiveTab() const {
  return m_hTab != nullptr && win::IsWindowVisible(m_hTab) && kb::IsWindowEnabled(m_hTab);
}

kb::HWND CBrowserHelper::PopupTarget() const {
  if (std::shared_ptr<CBrowserFrame> frame = m_pFrame.lock())
    if (frame->window() != nullptr) return frame->window();
  return m_hFrame;
}

void CBrowserHelper::PostHitCount() {
  const kb::HWND bar = m_browser.GetBrowserWindowProperty(kPropNotifyWindow);
  if (bar != nullptr)
    win::PostMessage(bar, MessageUpdateHitCount(), static_cast<win::WPARAM>(m_decider.popupId()), 1);
}

void CBrowserHelper::KillBrowser(bool postClose) {
  win::CComPtr<win::IUnknown> self(static_cast<win::IObjectWithSite*>(this));
  PostHitCount();
  const kb::HWND frameWindow = PopupTarget();
  if (!m_browser.empty()) m_browser.get()->Stop();
  DetachFromFrame();
  m_bProcessInvoke = false;
  m_bKilled = true;
  ClickMonitor::Process().DetachBrowser(m_browser.get());
  if (m_browser.empty() || win::FAILED(m_browser.get()->Quit())) {
    if (postClose)
      win::PostMessage(frameWindow, win::WM_SYSCOMMAND, win::SC_CLOSE, 0);
    else
      win::SendMessage(frameWindow, win::WM_SYSCOMMAND, win::SC_CLOSE, 0);
  }
}

void CBrowserHelper::BlockThisPopup() {
  if (!ServiceConnection::Process().Ensure()) return;
  CMsgCtxRequest request;
  request["state"] = "block";
  request["no_hit"] = true;
  CMsgRowSet row("popups");
  row.AddColumn("url");
  row.AddColumn("last_hit");
  const size_t r = row.AddRow();
  row.SetValue(r, "url", PageKey(m_browser.GetLocationUrl()));
  row.SetValue(r, "last_hit", "now");
  request.SetExParams(std::move(row));
  request.Notify("korva.justice.popup.set_state");
}

// ---------------------------------------------------------------------------
// Events.

win::HRESULT CBrowserHelper::GetTypeInfoCount(win::UINT* count) {
  if (count == nullptr) return win::E_POINTER;
  *count = 0;
  return win::S_OK;
}

win::HRESULT CBrowserHelper::GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return win::E_NOTIMPL;
}

win::HRESULT CBrowserHelper::GetIDsOfNames(win::REFIID, win::LPOLESTR*, win::UINT, win::LCID, win::DISPID*) {
  return win::DISP_E_UNKNOWNNAME;
}

win::HRESULT CBrowserHelper::OwnerInvoke(win::DISPID dispid, win::REFIID riid, win::LCID lcid, win::WORD flags,
                                         win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                                         win::UINT* argError) {
  return Invoke(dispid, riid, lcid, flags, params, result, exception, argError);
}

win::HRESULT CBrowserHelper::Invoke(win::DISPID dispid, win::REFIID, win::LCID, win::WORD, win::DISPPARAMS* params,
                                    win::VARIANT*, win::EXCEPINFO*, win::UINT*) {
  // The handlers may close the browser and drop the last reference.
  win::CComPtr<win::IUnknown> self(static_cast<win::IObjectWithSite*>(this));
  if (m_browser.empty() || m_bKilled) return win::S_OK;
  DiscoverWindows();
  m_3rdparty = m_browser.GetBrowserProperty(kPropThirdPartyMarker) == kThirdPartyMarker;
  if (!ServiceConnection::Process().Ensure()) return win::S_OK;
  if (!EnsureFrame()) return win::S_OK;
  if (m_bProcessInvoke && params != nullptr) {
    switch (dispid) {
      case kDispidBeforeNavigate2:
        if (params->cArgs >= 7) OnBeforeNavigate(params);
        break;
      case kDispidNewWindow2:
        if (params->cArgs >= 2) OnNewWindow(params);
        break;
      case kDispidNavigateComplete2:
      case kDispidDocumentComplete:
        OnNavigationComplete();
        break;
      case kDispidOnQuit:
        ClickMonitor::Process().DetachBrowser(m_browser.get());
        DetachFromFrame();
        QuitSeen() = true;
        break;
      case kDispidNewWindow3:
        if (params->cArgs >= 5)
          m_bForcedTab = BrowserIsVersion7() &&
                         (static_cast<unsigned>(win::VariantToLong(Arg(params, 2))) & kNewWindowForcedTabFlag) != 0;
        break;
      default:
        break;
    }
  }
  if (!m_bKilled) m_bProcessInvoke = true;
  return win::S_OK;
}

void CBrowserHelper::CopyOpenerProperties() {
  if (m_bOpenerChecked) return;
  win::CComPtr<win::IHTMLWindow2> window = m_browser.GetParentWindow();
  if (!window) return;
  win::CComVariant opener;
  if (win::FAILED(window->get_opener(&opener)) || opener.vt != win::VT_DISPATCH || opener.pdispVal == nullptr) return;
  m_bOpenerChecked = true;
  win::CComQIPtr<win::IServiceProvider> provider(opener.pdispVal);
  win::CComPtr<win::IWebBrowser2> openerBrowser;
  if (!provider || win::FAILED(provider->QueryService(win::SID_SWebBrowserApp, win::IID_IWebBrowser2,
                                                      reinterpret_cast<void**>(&openerBrowser))))
    return;
  CBrowserHelper* helper = CWebBrowserPtr(openerBrowser).GetOpenerHelper();
  if (helper == nullptr) return;
  m_browser.SetSessionProperties({
      {"opener_location", helper->m_browser.GetLocationUrl()},
      {"is_solicited", std::to_string(helper->m_browser.GetSessionInt("is_solicited"))},
      {"is_blanket_allow", std::to_string(helper->m_browser.GetSessionInt("is_blanket_allow"))},
      {"is_popup", "1"},
  });
  helper->Release();
}

void CBrowserHelper::OnBeforeNavigate(win::DISPPARAMS* params) {
  // The opener's facts matter only before this window's verdict, and only
  // when the opener did not leave them in the session itself (a window the
  // add-on made for the page already carries them).
  if (!m_decider.active() && !m_bOpenerChecked && m_browser.GetSessionInt("is_popup") == 0)
    CopyOpenerProperties();
  NavigationFacts facts;
  facts.browser = Arg(params, 6).vt == win::VT_DISPATCH ? Arg(params, 6).pdispVal : nullptr;
  facts.url = win::VariantToQString(Arg(params, 5)).toStdString();
  facts.targetFrame = win::VariantToQString(Arg(params, 3)).toStdString();
  facts.hasServerWindow = m_hServer != nullptr;
  facts.hasTabWindow = m_hTab != nullptr;
  facts.bypass = KeyDown(kb::VK_CONTROL) && KeyDown(kb::VK_MENU);
  facts.thirdParty = m_3rdparty;
  m_decider.OnBeforeNavigate(facts);
}

void CBrowserHelper::OnNewWindow(win::DISPPARAMS* params) {
  m_spNewWindow.Release();
  const NewWindowOutcome outcome =
      HandleNewWindow(*this, m_decider.currentUrl(), BrowserIsVersion7(), m_bForcedTab, ShortcutBehavior());
  win::VARIANT& ppDisp = params->rgvarg[1];
  if (outcome.created && m_spNewWindow && ppDisp.vt == (win::VT_BYREF | win::VT_DISPATCH) &&
      ppDisp.ppdispVal != nullptr) {
    // The page's new window: the reference passes to the browser.
    if (*ppDisp.ppdispVal != nullptr) (*ppDisp.ppdispVal)->Release();
    *ppDisp.ppdispVal = m_spNewWindow.Detach();
  }
  m_spNewWindow.Release();
}

void CBrowserHelper::OnNavigationComplete() {
  const bool serverChanged = QuitSeen() && m_browser.GetServerWindow() != m_hServer;
  if (m_decider.OnNavigationComplete(m_browser.GetLocationUrl(), QuitSeen(), serverChanged))
    KillBrowser(/*postClose=*/false);
}

// ---------------------------------------------------------------------------
// DecisionHost and OpenerHost on the real browser and service.

int32_t CBrowserHelper::GetSessionInt(const std::string& name) { return m_browser.GetSessionInt(name); }

std::string CBrowserHelper::GetSessionText(const std::string& name) { return m_browser.GetSessionProperty(name); }

void CBrowserHelper::SetSessionInt(const std::string& name, int32_t value) { m_browser.SetSessionInt(name, value); }

namespace {

Verdict ReadVerdict(const CMsgResults& results) {
  Verdict verdict;
  if (results.Failed()) return verdict;  // a failed request allows the window
  CMsgCursor cursor = results.GetCursor();
  verdict.id = cursor["id"].ToInteger();
  verdict.block = cursor["block"].ToInteger() != 0;
  return verdict;
}

}  // namespace

Verdict CBrowserHelper::AuthorizeTop(const std::string& url, bool checkParent) {
  CMsgCtxRequest request;
  request["url"] = url;
  request["hwnd"] = HwndToText(m_browser.GetFrameWindow());
  request["top_level_browser"] = 1;
  request["check_parent"] = checkParent;
  return ReadVerdict(request.Execute("korva.justice.popup.authorize"));
}

Verdict CBrowserHelper::AuthorizePopup(const std::string& url, bool solicited, bool blanketAllow) {
  CMsgCtxRequest request;
  request["url"] = url;
  request["hwnd"] = HwndToText(PopupTarget());
  request["solicited"] = solicited ? 1 : 0;
  request["blanket_allow"] = blanketAllow ? 1 : 0;
  return ReadVerdict(request.Execute("korva.justice.popup.authorize"));
}

// The homepage choice page is not part of this add-on yet: nothing is a start page.
bool CBrowserHelper::IsStartPage(const std::string&) { return false; }

void CBrowserHelper::HideWindow() {
  if (const kb::HWND target = PopupTarget()) kb::SetWindowPos(target, nullptr, 0, 0, 0, 0, kHideInPlace);
}

void CBrowserHelper::ShowWindow() {
  const kb::HWND target = PopupTarget();
  if (target == nullptr) return;
  win::ShowWindow(target, win::SW_SHOW);
  if (target == m_hFrame) kb::BringWindowToTop(target);
}

void CBrowserHelper::HideAndShrinkWindow() {
  if (const kb::HWND target = PopupTarget()) kb::SetWindowPos(target, nullptr, 0, 0, 0, 0, kHideAndShrink);
}

void CBrowserHelper::KillBrowserNow() { KillBrowser(/*postClose=*/true); }

void CBrowserHelper::AddSystemMenuItems() {
  if (std::shared_ptr<CBrowserFrame> frame = m_pFrame.lock()) frame->AddSystemMenuItems();
}

void CBrowserHelper::TrackTargetFrame(UrlKind kind, const std::string& targetFrame) {
  if (kind != UrlKind::Web) return;
  if (targetFrame.empty()) {
    m_browser.SetSessionInt("is_solicited", 0);
    return;
  }
  win::CComPtr<win::IHTMLWindow2> window = m_browser.GetParentWindow();
  std::string windowName;
  int lookup = -1;
  if (window) {
    win::CComBSTR name;
    if (win::SUCCEEDED(window->get_name(&name))) windowName = name.ToQString().toStdString();
    win::CComPtr<win::IHTMLFramesCollection2> frames;
    if (win::SUCCEEDED(window->get_frames(&frames)) && frames) {
      win::CComVariant index(QString::fromStdString(targetFrame));
      win::CComVariant found;
      if (win::SUCCEEDED(frames->item(&index, &found))) lookup = found.vt == win::VT_DISPATCH ? 1 : 0;
    }
  }
  const int solicited = TargetFrameSolicited(targetFrame, window != nullptr, windowName, lookup);
  if (solicited >= 0) m_browser.SetSessionInt("is_solicited", solicited);
}

bool CBrowserHelper::BlanketAllows(const std::string& url) {
  CMsgCtxRequest request;
  request["url"] = url;
  const CMsgResults results = request.Execute("korva.justice.popup.get_blanket_info");
  return IsBlanketAllow(results.Succeeded(), results.Succeeded() ? results.GetCursor()["blanket"].ToString() : "");
}

bool CBrowserHelper::CreatePopupBrowser() {
  win::CComPtr<win::IWebBrowser2> created;
  if (win::FAILED(win::CoCreateInstance(win::CLSID_InternetExplorer, nullptr, win::CLSCTX_LOCAL_SERVER,
                                        win::IID_IWebBrowser2, reinterpret_cast<void**>(&created))) ||
      !created)
    return false;
  // The new browser's own add-on object made its session while the browser
  // was being created; its handle is on the browser.
  CWebBrowserPtr popup(created);
  popup.SetSessionProperties({
      {"opener_location", m_browser.GetLocationUrl()},
      {"is_solicited", std::to_string(m_browser.GetSessionInt("is_solicited"))},
      {"is_blanket_allow", std::to_string(m_browser.GetSessionInt("is_blanket_allow"))},
      {"is_popup", "1"},
  });
  popup.PutBrowserProperty(kPropThirdPartyMarker, m_browser.GetBrowserProperty(kPropThirdPartyMarker));
  // No notification bar in this add-on yet: the popup has nobody to count its hit to.
  popup.PutBrowserProperty(kPropNotifyWindow, 0);
  m_spNewWindow = created;
  return true;
}

void CBrowserHelper::HandOverAsTab() {
  m_bSolicitedTab = true;
  TabOpenerSlot::Process().Offer(m_id);
}

}  // namespace browserguard
