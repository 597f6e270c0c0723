#include "addon_state.h"

#include <mutex>

#include "browser/interception.h"
#include "browser/web_browser.h"
#include "browserguard/msg_ctx_request.h"
#include "browserguard/popup_rules.h"
#include "browserguard/service_session.h"
#include "dialog_window_check.h"
#include "win/ui/messaging.h"

namespace browserguard {

bool BrowserIsVersion7() {
  // Not inside a browser: treated as an older one, as when no browser module is loaded.
  static const bool version7 = [] {
    const std::optional<QString> version = kb::BrowserProductVersion();
    return version.has_value() && IsVersion7OrLater(version->toStdString());
  }();
  return version7;
}

std::atomic<bool>& QuitSeen() {
  static std::atomic<bool> seen{false};
  return seen;
}

kb::UINT MessageSetForegroundWindow() {
  static const kb::UINT message = win::RegisterWindowMessage(QStringLiteral("UM_SET_FOREGROUND_WINDOW"));
  return message;
}

kb::UINT MessageUpdateHitCount() {
  static const kb::UINT message = win::RegisterWindowMessage(QStringLiteral("PND_UPDATE_HITCOUNT"));
  return message;
}

// ---------------------------------------------------------------------------
// Window creation: every new web page dialog is judged before its creator gets it.

namespace {

auto Real_CreateWindowExW = &kb::CreateWindowExW;
auto Real_CreateWindowExA = &kb::CreateWindowExA;
std::mutex g_interceptionMutex;
bool g_installed = false;

kb::HWND Guard_CreateWindowExW(kb::DWORD exStyle, const wchar_t* className, const wchar_t* windowName, kb::DWORD style,
                               int x, int y, int width, int height, kb::HWND parent, kb::HMENU menu, void* instance,
                               void* param) {
  const kb::HWND w = Real_CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                                          instance, param);
  if (w == nullptr || !ServiceConnection::Process().Ensure()) return w;
  return CheckNewDialogWindow(w, parent) ? w : nullptr;
}

kb::HWND Guard_CreateWindowExA(kb::DWORD exStyle, const char* className, const char* windowName, kb::DWORD style,
                               int x, int y, int width, int height, kb::HWND parent, kb::HMENU menu, void* instance,
                               void* param) {
  const kb::HWND w = Real_CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                                          instance, param);
  if (w == nullptr || !ServiceConnection::Process().Ensure()) return w;
  return CheckNewDialogWindow(w, parent) ? w : nullptr;
}

}  // namespace

void InstallInterceptions() {
  std::lock_guard lock(g_interceptionMutex);
  if (g_installed) return;
  if (kb::InterceptionTransactionBegin() != 0) return;
  kb::InterceptionUpdateThread();
  kb::InterceptionAttach(reinterpret_cast<void**>(&Real_CreateWindowExW), reinterpret_cast<void*>(&Guard_CreateWindowExW));
  kb::InterceptionAttach(reinterpret_cast<void**>(&Real_CreateWindowExA), reinterpret_cast<void*>(&Guard_CreateWindowExA));
  g_installed = kb::InterceptionTransactionCommit() == 0;
}

void RemoveInterceptions() {
  std::lock_guard lock(g_interceptionMutex);
  if (!g_installed) return;
  if (kb::InterceptionTransactionBegin() != 0) return;
  kb::InterceptionUpdateThread();
  kb::InterceptionDetach(reinterpret_cast<void**>(&Real_CreateWindowExW), reinterpret_cast<void*>(&Guard_CreateWindowExW));
  kb::InterceptionDetach(reinterpret_cast<void**>(&Real_CreateWindowExA), reinterpret_cast<void*>(&Guard_CreateWindowExA));
  g_installed = kb::InterceptionTransactionCommit() != 0;
}

}  // namespace browserguard
