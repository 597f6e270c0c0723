#include "browser_frame.h"

#include <QMessageBox>
#include <QWidget>
#include <mutex>

#include "addon_state.h"
#include "browser_helper.h"
#include "browserguard/msg_ctx_request.h"
#include "browserguard/popup_rules.h"
#include "browserguard/url_rules.h"
#include "win/system_info.h"
#include "win/ui/messaging.h"
#include "win/ui/window_messages.h"
#include "win/ui/window_handle.h"
#include "win/ui/window_ops.h"

namespace browserguard {
namespace {

std::mutex g_askerMutex;
BlanketAsker g_asker;

BlanketAnswer AskWithMessageBox(kb::HWND owner, const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, win::WidgetFromHwnd(owner));
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return BlanketAnswer::Yes;
    case QMessageBox::No:
      return BlanketAnswer::No;
    default:
      return BlanketAnswer::Cancel;
  }
}

std::wstring Wide(const std::string& text) { return QString::fromStdString(text).toStdWString(); }

}  // namespace

CBrowserFrame::CBrowserFrame(kb::HWND window) : m_hWnd(window), m_sessionId(win::GetCurrentSessionId()) {}

CBrowserFrame::Table& CBrowserFrame::Frames() {
  // Never destroyed: a frame still listed at exit holds add-on objects, and
  // through them browsers, that must not be released after the host is gone.
  static Table* table = new Table;
  return *table;
}

std::shared_ptr<CBrowserFrame> CBrowserFrame::FindOrCreate(kb::HWND w, bool* created) {
  if (w == nullptr) return nullptr;
  bool made = false;
  std::shared_ptr<CBrowserFrame> frame = Frames().FindOrCreate(w, [w] { return std::make_shared<CBrowserFrame>(w); }, &made);
  if (made && !frame->Subclass()) {
    Frames().Remove(w);
    return nullptr;
  }
  if (created) *created = made;
  return frame;
}

bool CBrowserFrame::Subclass() {
  const win::LONG_PTR previous =
      kb::SetWindowLongPtr(m_hWnd, kb::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&CBrowserFrame::WindowProc));
  m_previous = reinterpret_cast<kb::WNDPROC>(previous);
  return m_previous != nullptr;
}

kb::LRESULT CBrowserFrame::CallPrevious(kb::UINT message, kb::WPARAM wParam, kb::LPARAM lParam) {
  return kb::CallWindowProc(m_previous, m_hWnd, message, wParam, lParam);
}

kb::LRESULT CBrowserFrame::WindowProc(kb::HWND hwnd, kb::UINT message, kb::WPARAM wParam, kb::LPARAM lParam) {
  std::shared_ptr<CBrowserFrame> frame = Frames().Find(hwnd);
  if (!frame) return 0;  // not ours any more; the browser dropped the chain
  if (message == win::WM_NCDESTROY) {
    const kb::LRESULT result = frame->CallPrevious(message, wParam, lParam);
    frame->OnFinalMessage();
    return result;
  }
  if (message == MessageSetForegroundWindow()) {
    frame->OnSetForegroundWindow(reinterpret_cast<kb::HWND>(wParam));
    return 0;
  }
  switch (message) {
    case win::WM_SYSCOMMAND:
      if (frame->OnSysCommand(wParam)) return 0;
      break;
    case win::WM_INITMENU:
      // Every menu of the frame; not passed on.
      frame->OnInitMenu(reinterpret_cast<kb::HMENU>(wParam));
      return 0;
    case win::WM_INITMENUPOPUP:
      if (frame->OnInitMenuPopup(reinterpret_cast<kb::HMENU>(wParam))) return 0;
      break;
    default:
      break;
  }
  return frame->CallPrevious(message, wParam, lParam);
}

void CBrowserFrame::OnFinalMessage() {
  std::shared_ptr<CBrowserFrame> keep = shared_from_this();
  for (CBrowserHelper* helper : m_helpers.Snapshot()) {
    helper->Disconnect();
    helper->Release();  // the snapshot's reference
  }
  // Exactly the references the list owned; the browsers keep theirs.
  m_helpers.ReleaseAll();
  Frames().Remove(m_hWnd);
}

void CBrowserFrame::OnSetForegroundWindow(kb::HWND other) {
  if (other == nullptr) return;
  win::SetForegroundWindow(kb::GetAncestor(other, kb::GA_ROOT));
  kb::SetWindowPos(m_hWnd, other, 0, 0, 0, 0, kb::SWP_NOMOVE | kb::SWP_NOSIZE | kb::SWP_NOACTIVATE);
}

void CBrowserFrame::AddSystemMenuItems() {
  const kb::HMENU menu = kb::GetSystemMenu(m_hWnd, 0);
  if (menu == nullptr) return;
  if (kb::GetMenuItemID(menu, 0) == kCmdBlockThisPopup) {
    kb::EnableMenuItem(menu, 0, kb::MF_BYPOSITION | kb::MF_ENABLED);
    return;
  }
  const kb::HMENU blanket = kb::CreatePopupMenu();
  kb::AppendMenuW(blanket, kb::MF_STRING, kCmdAllowAllPopups, L"Allow All Popups");
  kb::AppendMenuW(blanket, kb::MF_STRING, kCmdBlockAllPopups, L"Block All Popups");
  kb::InsertMenuW(menu, 0, kb::MF_BYPOSITION | kb::MF_STRING, kCmdBlockThisPopup, L"Block this popup");
  kb::InsertMenuW(menu, 1, kb::MF_BYPOSITION | kb::MF_POPUP, reinterpret_cast<std::uintptr_t>(blanket),
                  L"Blanket this domain");
  kb::InsertMenuW(menu, 2, kb::MF_BYPOSITION | kb::MF_SEPARATOR, 0, nullptr);
}

std::string CBrowserFrame::GetActiveUrl() {
  const bool version7 = BrowserIsVersion7();
  std::string address;
  for (CBrowserHelper* helper : m_helpers.Snapshot()) {
    if (address.empty() && (helper->IsActiveTab() || !version7)) {
      address = helper->browser().GetLocationUrl();
      if (address.empty()) address = helper->currentUrl();
    }
    helper->Release();
  }
  return MenuUrl(address);
}

void CBrowserFrame::OnInitMenu(kb::HMENU menu) {
  const std::string url = GetActiveUrl();
  if (url == "about:blank" || url.empty()) {
    kb::EnableMenuItem(menu, kCmdAllowAllPopups, kb::MF_BYCOMMAND | kb::MF_GRAYED);
    kb::EnableMenuItem(menu, kCmdBlockAllPopups, kb::MF_BYCOMMAND | kb::MF_GRAYED);
    return;
  }
  CMsgCtxRequest request;
  request["url"] = url;
  const CMsgResults results = request.Execute("korva.justice.popup.get_blanket_info");
  const bool allow =
      IsBlanketAllow(results.Succeeded(), results.Succeeded() ? results.GetCursor()["blanket"].ToString() : "");
  kb::CheckMenuItem(menu, kCmdAllowAllPopups, kb::MF_BYCOMMAND | (allow ? kb::MF_CHECKED : kb::MF_UNCHECKED));
  kb::CheckMenuItem(menu, kCmdBlockAllPopups, kb::MF_BYCOMMAND | (allow ? kb::MF_UNCHECKED : kb::MF_CHECKED));
  kb::EnableMenuItem(menu, kCmdAllowAllPopups, kb::MF_BYCOMMAND | kb::MF_ENABLED);
  kb::EnableMenuItem(menu, kCmdBlockAllPopups, kb::MF_BYCOMMAND | kb::MF_ENABLED);
}

bool CBrowserFrame::OnInitMenuPopup(kb::HMENU menu) {
  if (kb::GetMenuItemID(menu, 0) != kCmdBlockThisPopup) return false;
  const std::string url = GetActiveUrl();
  if (url == "about:blank" || url.empty()) {
    kb::EnableMenuItem(menu, 1, kb::MF_BYPOSITION | kb::MF_GRAYED);
    return true;
  }
  kb::EnableMenuItem(menu, 1, kb::MF_BYPOSITION | kb::MF_ENABLED);
  const kb::HMENU blanket = kb::GetSubMenu(menu, 1);
  const std::wstring text = Wide("Blanket '" + CutAtFirstSlash(url) + "'");
  kb::ModifyMenuW(menu, 1, kb::MF_BYPOSITION | kb::MF_POPUP, reinterpret_cast<std::uintptr_t>(blanket), text.c_str());
  return true;
}

bool CBrowserFrame::OnSysCommand(kb::WPARAM command) {
  switch (command) {
    case kCmdBlockThisPopup: {
      std::vector<CBrowserHelper*> helpers = m_helpers.Snapshot();
      if (!BrowserIsVersion7()) {
        if (!helpers.empty()) helpers.front()->BlockThisPopup();
        for (CBrowserHelper* helper : helpers) helper->Release();
        kb::DestroyWindow(m_hWnd);
        return true;
      }
      CBrowserHelper* active = nullptr;
      for (CBrowserHelper* helper : helpers)
        if (active == nullptr && helper->IsActiveTab()) active = helper;
      if (active != nullptr) {
        active->BlockThisPopup();
        win::PostMessage(active->tabWindow(), win::WM_CLOSE, 0, 0);
      }
      for (CBrowserHelper* helper : helpers) helper->Release();
      return true;
    }
    case kCmdAllowAllPopups:
      ApplyBlanket(false, {});
      return true;
    case kCmdBlockAllPopups:
      ApplyBlanket(true, {});
      return true;
    default:
      return false;
  }
}

void CBrowserFrame::SetBlanketAsker(BlanketAsker asker) {
  std::lock_guard lock(g_askerMutex);
  g_asker = std::move(asker);
}

void CBrowserFrame::ApplyBlanket(bool block, const std::string& fallback) {
  std::string address = GetActiveUrl();
  if (address.empty()) address = fallback;
  const BlanketQuestion question = MakeBlanketQuestion(block, BlanketDomain(address));
  BlanketAsker asker;
  {
    std::lock_guard lock(g_askerMutex);
    asker = g_asker;
  }
  const BlanketAnswer answer =
      asker ? asker(m_hWnd, question.text, question.caption) : AskWithMessageBox(m_hWnd, question.text, question.caption);
  CMsgCtxRequest request;
  request["state"] = question.verb;
  if (answer == BlanketAnswer::Yes) request["apply_existing"] = true;
  CMsgRowSet row("sites");
  row.AddColumn("url");
  row.AddColumn("session.id");
  const size_t r = row.AddRow();
  row.SetValue(r, "url", address);
  row.SetValue(r, "session.id", CStringValue(static_cast<std::uint32_t>(m_sessionId)));
  request.SetExParams(std::move(row));
  request.Notify("korva.justice.popup.apply_blanket");
}

}  // namespace browserguard
