#include "dialog_window_check.h"

#include "browser/window_api.h"
#include "browserguard/dialog_check.h"
#include "browserguard/msg_ctx_request.h"
#include "browserguard/popup_rules.h"
#include "web_browser_ptr.h"
#include "win/ui/window_messages.h"
#include "win/ui/window_ops.h"

namespace browserguard {
namespace {

class RealDialogHost final : public DialogHost {
 public:
  RealDialogHost(kb::HWND w, kb::HWND parent) : m_w(w), m_owner(parent ? kb::GetAncestor(parent, kb::GA_ROOT) : nullptr) {}

  void HideDialog() override { win::ShowWindow(m_w, win::SW_HIDE); }
  void ShowDialog() override { win::ShowWindow(m_w, win::SW_SHOW); }
  bool FindOwnerBrowser() override {
    if (m_owner == nullptr) return false;
    kb::HWND page = nullptr;
    kb::EnumChildWindows(m_owner, [&page](kb::HWND w) {
      if (!win::GetClassName(w).contains(QLatin1String(kb::kPageWindowClass))) return true;
      page = w;
      return false;
    });
    win::CComPtr<win::IWebBrowser2> browser = BrowserOfPageWindow(page);
    if (!browser) return false;
    m_browser.Reset(browser);
    m_browser.EnsureSessionHandle();
    return true;
  }
  std::string OwnerLocation() override { return m_browser.GetLocationUrl(); }
  int GetSolicited() override { return m_browser.GetSessionInt("is_solicited"); }
  void ClearSolicited() override { m_browser.SetSessionInt("is_solicited", 0); }
  bool BlanketAllows(const std::string& address) override {
    CMsgCtxRequest request;
    request["url"] = address;
    const CMsgResults results = request.Execute("korva.justice.popup.get_blanket_info");
    return IsBlanketAllow(results.Succeeded(), results.Succeeded() ? results.GetCursor()["blanket"].ToString() : "");
  }
  bool BlockingEnabled() override {
    CMsgCtxRequest request;
    request["name"] = "enable_blocking";
    request["path"] = "korva.applications.tavrel.system.options";
    const CMsgResults results = request.Execute("korva.config.get_value");
    // A failed read is 0: nothing is blocked then.
    return results.Succeeded() && results.GetCursor()["enable_blocking"].ToInteger() != 0;
  }
  void ReportDropped(const std::string& url) override {
    CMsgCtxRequest request;
    request["state"] = "block";
    CMsgRowSet row("popups");
    row.AddColumn("url");
    row.AddColumn("last_hit");
    const size_t r = row.AddRow();
    row.SetValue(r, "url", url);
    row.SetValue(r, "last_hit", "now");
    request.SetExParams(std::move(row));
    request.Notify("korva.justice.popup.set_state");
  }
  void DestroyDialog() override {
    kb::DestroyWindow(m_w);
    if (m_owner != nullptr) {
      kb::EnableWindow(m_owner, 1);
      win::SetForegroundWindow(m_owner);
    }
  }

 private:
  kb::HWND m_w;
  kb::HWND m_owner;
  CWebBrowserPtr m_browser;
};

}  // namespace

bool CheckNewDialogWindow(kb::HWND w, kb::HWND parent) {
  const std::string className = win::GetClassName(w).left(255).toStdString();
  const std::string caption = win::GetWindowText(w).left(255).toStdString();
  // Only web page dialogs are judged; everything else is kept untouched.
  if (!IsJudgedDialog(className, caption)) return true;
  RealDialogHost host(w, parent);
  return CheckDialogWindow(host, className, caption);
}

}  // namespace browserguard
