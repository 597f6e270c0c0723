// The click monitor: one thread mouse hook per browser thread that decides
// whether the user's last click in a page was on something that may open a
// window, and records that in the clicked browser's session (through the
// ClickJudge the add-on supplies). The judge keeps the monitor free of the
// service and the document, so it is tested with plain windows.
#pragma once

#include <map>
#include <mutex>

#include "browser/com.h"
#include "browser/com_ptr.h"
#include "browser/mouse_hook.h"

namespace browserguard {

class ClickJudge {
 public:
  virtual ~ClickJudge() = default;
  // Session "was_rightclick" of BROWSER is 1.
  virtual bool WasRightClick(win::IUnknown* browser) = 0;
  // Whether the element under SCREEN_POINT in BROWSER's page may open a
  // window; true when there is no document or no element there.
  virtual bool IsClickableAt(win::IUnknown* browser, kb::POINT screenPoint) = 0;
  // "is_solicited" = 1 and "was_rightclick" = RIGHT_CLICK for BROWSER.
  virtual void MarkSolicited(win::IUnknown* browser, bool rightClick) = 0;
  // "is_solicited" = 0 in every session of the process.
  virtual void ResetAllSolicited() = 0;
};

class ClickMonitor {
 public:
  static ClickMonitor& Process();

  // The judge must outlive its use; null stops judging (events pass on).
  void SetJudge(ClickJudge* judge);

  // Watches W for BROWSER (replacing the browser of a watched window) and
  // hooks W's thread once. False when W is null or the hook cannot be made.
  bool AttachWindow(kb::HWND w, win::IUnknown* browser);
  // True when a new hook was installed for thread T.
  bool AttachThread(kb::DWORD t, win::IUnknown* browser);
  // Removes T's hook and the records of its windows.
  void DetachThread(kb::DWORD t);
  void DetachAll();
  // The browser closed: the records of its windows go, and a thread monitor
  // that names it lets go of it, so no closed browser is kept alive.
  void DetachBrowser(win::IUnknown* browser);

  bool HasThread(kb::DWORD t);
  std::size_t WindowCount();

  static kb::LRESULT MouseHookProc(int code, kb::WPARAM wParam, kb::LPARAM lParam);

 private:
  struct ThreadMonitor {
    kb::HHOOK hook = nullptr;
    win::CComPtr<win::IUnknown> browser;
  };
  struct WindowRecord {
    // Counted, so a record never names a browser that is gone; records live
    // until their thread detaches.
    win::CComPtr<win::IUnknown> browser;
    kb::DWORD thread = 0;
  };

  kb::LRESULT OnMouse(int code, kb::WPARAM wParam, kb::LPARAM lParam);
  void DetachLocked(kb::DWORD t);

  // Both tables are shared by every browser thread of the process, so both
  // are locked; the lock is never held while the judge runs (it talks to
  // the service) or while the next hook runs.
  std::mutex m_lock;
  std::map<kb::DWORD, ThreadMonitor> m_threads;
  std::map<kb::HWND, WindowRecord> m_windows;
  ClickJudge* m_judge = nullptr;
};

}  // namespace browserguard
