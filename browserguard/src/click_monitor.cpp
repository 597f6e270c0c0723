#include "browserguard/click_monitor.h"

#include <string>
#include <vector>

#include "browserguard/clickable.h"
#include "win/ui/window_ops.h"

namespace browserguard {
namespace {

bool InPageWindow(kb::HWND w) {
  for (int depth = 0; w != nullptr && depth < 256; ++depth, w = kb::GetParent(w))
    if (win::GetClassName(w).contains(QStringLiteral("Explorer_Server"))) return true;
  return false;
}

}  // namespace

ClickMonitor& ClickMonitor::Process() {
  // Never destroyed: its records hold browsers of the host, which must not
  // be released by static destructors after the host's objects are gone.
  static ClickMonitor* monitor = new ClickMonitor;
  return *monitor;
}

void ClickMonitor::SetJudge(ClickJudge* judge) {
  std::lock_guard lock(m_lock);
  m_judge = judge;
}

bool ClickMonitor::AttachWindow(kb::HWND w, win::IUnknown* browser) {
  if (w == nullptr) return false;
  const kb::DWORD t = kb::GetWindowThreadProcessId(w, nullptr);
  {
    std::lock_guard lock(m_lock);
    auto it = m_windows.find(w);
    if (it != m_windows.end()) {
      it->second.browser = browser;
    } else {
      WindowRecord record;
      record.browser = browser;
      record.thread = t;
      m_windows.emplace(w, std::move(record));
    }
  }
  AttachThread(t, browser);
  return HasThread(t);
}

bool ClickMonitor::AttachThread(kb::DWORD t, win::IUnknown* browser) {
  std::lock_guard lock(m_lock);
  if (m_threads.count(t)) return false;
  ThreadMonitor monitor;
  monitor.browser = browser;
  monitor.hook = kb::SetWindowsHookEx(kb::WH_MOUSE, &ClickMonitor::MouseHookProc, nullptr, t);
  const bool hooked = monitor.hook != nullptr;
  // A thread whose hook failed is still entered: there is no retry.
  m_threads.emplace(t, std::move(monitor));
  return hooked;
}

void ClickMonitor::DetachLocked(kb::DWORD t) {
  auto it = m_threads.find(t);
  if (it != m_threads.end()) {
    if (it->second.hook != nullptr) kb::UnhookWindowsHookEx(it->second.hook);
    m_threads.erase(it);
  }
  for (auto w = m_windows.begin(); w != m_windows.end();)
    w = w->second.thread == t ? m_windows.erase(w) : std::next(w);
}

void ClickMonitor::DetachThread(kb::DWORD t) {
  std::lock_guard lock(m_lock);
  DetachLocked(t);
}

void ClickMonitor::DetachAll() {
  std::lock_guard lock(m_lock);
  while (!m_threads.empty()) DetachLocked(m_threads.begin()->first);
  m_windows.clear();
}

void ClickMonitor::DetachBrowser(win::IUnknown* browser) {
  if (browser == nullptr) return;
  std::vector<win::CComPtr<win::IUnknown>> released;
  {
    std::lock_guard lock(m_lock);
    for (auto w = m_windows.begin(); w != m_windows.end();) {
      if (w->second.browser.get() == browser) {
        released.push_back(std::move(w->second.browser));
        w = m_windows.erase(w);
      } else {
        ++w;
      }
    }
    for (auto& [thread, monitor] : m_threads)
      if (monitor.browser.get() == browser) released.push_back(std::move(monitor.browser));
  }
  // Released outside the lock: a last reference may run the browser's teardown.
}

bool ClickMonitor::HasThread(kb::DWORD t) {
  std::lock_guard lock(m_lock);
  return m_threads.count(t) != 0;
}

std::size_t ClickMonitor::WindowCount() {
  std::lock_guard lock(m_lock);
  return m_windows.size();
}

kb::LRESULT ClickMonitor::MouseHookProc(int code, kb::WPARAM wParam, kb::LPARAM lParam) {
  return Process().OnMouse(code, wParam, lParam);
}

kb::LRESULT ClickMonitor::OnMouse(int code, kb::WPARAM wParam, kb::LPARAM lParam) {
  const auto* record = reinterpret_cast<const kb::MOUSEHOOKSTRUCT*>(lParam);
  const auto message = static_cast<unsigned>(wParam);
  kb::HWND window = record != nullptr ? record->hwnd : nullptr;

  // The hook that is running belongs to the current thread; it is the one
  // whose chain continues, whatever window the event names.
  kb::HHOOK ownHook = nullptr;
  bool known = false;
  win::CComPtr<win::IUnknown> browser;
  ClickJudge* judge = nullptr;
  {
    std::lock_guard lock(m_lock);
    auto own = m_threads.find(kb::GetCurrentThreadId());
    if (own != m_threads.end()) ownHook = own->second.hook;
    const kb::DWORD t = window != nullptr ? kb::GetWindowThreadProcessId(window, nullptr) : 0;
    auto monitor = m_threads.find(t);
    known = monitor != m_threads.end();
    if (known) {
      auto w = m_windows.find(window);
      browser = w != m_windows.end() ? w->second.browser : monitor->second.browser;
    }
    judge = m_judge;
  }

  // An event for a window of a thread the monitor does not know is not
  // judged, but the rest of the chain still hears it.
  if (known && judge != nullptr && InPageWindow(window) &&
      !IsDialogButton(win::GetClassName(window).toStdString(),
                      win::GetClassName(kb::GetParent(window)).toStdString()) &&
      IsJudgedMouseMessage(code, message)) {
    bool ok = browser != nullptr;
    const bool rightFollow = ok && message == kWmLButtonUp && judge->WasRightClick(browser);
    if (ok && !rightFollow) ok = judge->IsClickableAt(browser, record->pt);
    if (ok)
      judge->MarkSolicited(browser, message == kWmRButtonUp);
    else
      judge->ResetAllSolicited();
  }
  return kb::CallNextHookEx(ownHook, code, wParam, lParam);
}

}  // namespace browserguard
