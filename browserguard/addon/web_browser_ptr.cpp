#include "web_browser_ptr.h"

#include <unistd.h>

#include <charconv>

#include "browser/oleauto.h"
#include "browser_helper.h"
#include "win/ui/window_ops.h"

namespace browserguard {
namespace {

win::CComBSTR Bstr(const std::string& text) { return win::CComBSTR(QString::fromStdString(text)); }

bool IsPageWindow(kb::HWND w) {
  return w != nullptr && win::GetClassName(w).contains(QLatin1String(kb::kPageWindowClass));
}

}  // namespace

win::CComPtr<win::IWebBrowser2> BrowserOfPageWindow(kb::HWND window) {
  if (!IsPageWindow(window)) return {};
  win::CComPtr<win::IAccessible> accessible;
  if (win::FAILED(kb::AccessibleObjectFromWindow(window, kb::OBJID_CLIENT, win::IID_IAccessible,
                                                 reinterpret_cast<void**>(&accessible))) ||
      !accessible)
    return {};
  win::CComQIPtr<win::IServiceProvider> provider(accessible);
  win::CComPtr<win::IHTMLWindow2> documentWindow;
  if (!provider || win::FAILED(provider->QueryService(win::IID_IHTMLWindow2, win::IID_IHTMLWindow2,
                                                      reinterpret_cast<void**>(&documentWindow))) ||
      !documentWindow)
    return {};
  win::CComQIPtr<win::IServiceProvider> windowProvider(documentWindow);
  win::CComPtr<win::IWebBrowser2> browser;
  if (!windowProvider || win::FAILED(windowProvider->QueryService(win::SID_SWebBrowserApp, win::IID_IWebBrowser2,
                                                                  reinterpret_cast<void**>(&browser))))
    return {};
  return browser;
}

std::string HwndToText(kb::HWND window) {
  return window == nullptr ? std::string("0") : std::to_string(win::HwndToBits(window));
}

kb::HWND HwndFromText(const std::string& text) {
  std::uint64_t bits = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), bits);
  if (ec != std::errc() || ptr != text.data() + text.size()) return nullptr;
  return win::HwndFromBits(bits);
}

// ---- session ----

bool CWebBrowserPtr::CreateSession() { return m_session.Create(); }

void CWebBrowserPtr::DestroySession() { m_session.Destroy(); }

void CWebBrowserPtr::EnsureSessionHandle() {
  if (m_session.handle() != 0) return;
  const long handle = GetBrowserProperty(kPropSessionHandle);
  if (handle > 0) m_session.Adopt(static_cast<int32_t>(handle));
}

std::string CWebBrowserPtr::GetSessionProperty(const std::string& name) {
  EnsureSessionHandle();
  return m_session.Get(name);
}

int32_t CWebBrowserPtr::GetSessionInt(const std::string& name) {
  EnsureSessionHandle();
  return m_session.GetInt(name);
}

void CWebBrowserPtr::SetSessionProperty(const std::string& name, const std::string& value) {
  EnsureSessionHandle();
  m_session.Set(name, value);
}

void CWebBrowserPtr::SetSessionInt(const std::string& name, int32_t value) {
  EnsureSessionHandle();
  m_session.SetInt(name, value);
}

void CWebBrowserPtr::SetSessionProperties(const std::vector<std::pair<std::string, std::string>>& values) {
  EnsureSessionHandle();
  m_session.SetMany(values);
}

// ---- browser properties ----

long CWebBrowserPtr::GetBrowserProperty(const std::string& name) const {
  if (!m_spBrowser) return -1;
  win::CComVariant value;
  if (win::FAILED(m_spBrowser->GetProperty(Bstr(name), &value))) return -1;
  const win::VARIANT& v = win::DerefVariant(value);
  if (v.vt == win::VT_I4) return v.lVal;
  return -1;
}

void CWebBrowserPtr::PutBrowserProperty(const std::string& name, long value) const {
  if (m_spBrowser) m_spBrowser->PutProperty(Bstr(name), win::CComVariant(static_cast<win::LONG>(value)));
}

std::string CWebBrowserPtr::GetBrowserText(const std::string& name) const {
  if (!m_spBrowser) return {};
  win::CComVariant value;
  if (win::FAILED(m_spBrowser->GetProperty(Bstr(name), &value))) return {};
  return win::VariantToQString(value).toStdString();
}

void CWebBrowserPtr::PutBrowserText(const std::string& name, const std::string& value) const {
  if (m_spBrowser) m_spBrowser->PutProperty(Bstr(name), win::CComVariant(QString::fromStdString(value)));
}

kb::HWND CWebBrowserPtr::GetBrowserWindowProperty(const std::string& name) const {
  if (!m_spBrowser) return nullptr;
  win::CComVariant value;
  if (win::FAILED(m_spBrowser->GetProperty(Bstr(name), &value))) return nullptr;
  const win::VARIANT& v = win::DerefVariant(value);
  if (v.vt == win::VT_I8 || v.vt == win::VT_UI8) return win::HwndFromBits(static_cast<std::uint64_t>(v.llVal));
  if (v.vt == win::VT_BSTR) return HwndFromText(win::QStringFromBstr(v.bstrVal).toStdString());
  return nullptr;
}

std::string CWebBrowserPtr::GetLocationUrl() const {
  if (!m_spBrowser) return {};
  win::CComBSTR url;
  if (win::FAILED(m_spBrowser->get_LocationURL(&url))) return {};
  return url.ToQString().toStdString();
}

// ---- windows ----

kb::HWND CWebBrowserPtr::GetFrameWindow() {
  kb::HWND frame = HwndFromText(GetSessionProperty("frame_window"));
  if (frame != nullptr || !m_spBrowser) return frame;
  win::SHANDLE_PTR handle = 0;
  if (win::FAILED(m_spBrowser->get_HWND(&handle)) || handle == 0) return nullptr;
  frame = reinterpret_cast<kb::HWND>(handle);
  SetSessionProperty("frame_window", HwndToText(frame));
  return frame;
}

kb::HWND CWebBrowserPtr::FindPageWindow(kb::HWND frame) const {
  if (frame == nullptr) return nullptr;
  kb::HWND found = nullptr;
  const auto matches = [this](kb::HWND w) {
    if (!IsPageWindow(w)) return false;
    if (!m_spBrowser) return true;
    return win::IsSameObject(BrowserOfPageWindow(w), m_spBrowser);
  };
  if (matches(frame)) return frame;
  kb::EnumChildWindows(frame, [&](kb::HWND w) {
    if (!matches(w)) return true;
    found = w;
    return false;
  });
  return found;
}

kb::HWND CWebBrowserPtr::GetServerWindow() {
  kb::HWND server = HwndFromText(GetSessionProperty("server_window"));
  if (server != nullptr) return server;
  server = FindPageWindow(GetFrameWindow());
  if (server != nullptr) SetSessionProperty("server_window", HwndToText(server));
  return server;
}

kb::HWND CWebBrowserPtr::GetTabWindow() {
  kb::HWND page = FindPageWindow(GetFrameWindow());
  if (page == nullptr) return nullptr;
  kb::HWND tab = kb::GetParent(kb::GetParent(page));
  if (tab != nullptr && win::GetClassName(tab).contains(QLatin1String(kb::kTabWindowClass))) return tab;
  return nullptr;
}

CBrowserHelper* CWebBrowserPtr::GetOpenerHelper() const {
  const std::optional<HelperRef> ref = ParseHelperRef(GetBrowserText(kPropBrowserHelper));
  if (!ref || ref->processId != static_cast<int32_t>(::getpid()) || ref->id <= 0) return nullptr;
  return CBrowserHelper::Live().Acquire(ref->id);
}

win::CComPtr<win::IHTMLDocument2> CWebBrowserPtr::GetDocument() const {
  if (!m_spBrowser) return {};
  win::CComPtr<win::IDispatch> document;
  if (win::FAILED(m_spBrowser->get_Document(&document)) || !document) return {};
  return win::CComQIPtr<win::IHTMLDocument2>(document);
}

win::CComPtr<win::IHTMLWindow2> CWebBrowserPtr::GetParentWindow() const {
  win::CComPtr<win::IHTMLDocument2> document = GetDocument();
  win::CComPtr<win::IHTMLWindow2> window;
  if (document && win::SUCCEEDED(document->get_parentWindow(&window))) return window;
  return {};
}

}  // namespace browserguard
