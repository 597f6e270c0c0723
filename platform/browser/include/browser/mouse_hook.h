// Thread mouse hooks (WH_MOUSE): a procedure that sees every mouse message
// of one thread's windows before the window does.
//
// Hooks of a thread form a chain, the most recently installed first. Each
// hook procedure receives (code, message, MOUSEHOOKSTRUCT*) and passes the
// event on with CallNextHookEx; a procedure that does not call it ends the
// chain there. A nonzero result of the chain keeps the event from the
// window. Mouse messages are those of the thread's registered windows
// (window_api.h) and everything inside them: button presses and releases
// (WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
// WM_MBUTTONDOWN, WM_MBUTTONUP), double clicks and WM_MOUSEMOVE.
//
// The browser routes them from one application-wide Qt event filter,
// installed with the first hook; hooks are called on the thread the event
// is delivered on. Installing and removing hooks is thread-safe.
#pragma once

#include "browser/window_api.h"
#include "win/ui/window_messages.h"

namespace kb {

using win::LPARAM;
using win::LRESULT;
using win::WPARAM;

struct HHOOK__;
using HHOOK = HHOOK__*;
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);

inline constexpr int WH_MOUSE = 7;
inline constexpr int HC_ACTION = 0;

// Mouse messages (win/ui names the ones it uses itself).
using win::WM_LBUTTONDOWN;
using win::WM_LBUTTONUP;
using win::WM_MBUTTONUP;
using win::WM_RBUTTONUP;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;

// What a mouse hook gets in lParam.
struct MOUSEHOOKSTRUCT {
    POINT pt;                 // cursor position, screen coordinates
    HWND hwnd = nullptr;      // the registered window under the cursor
    UINT wHitTestCode = 0;    // HTCLIENT (1)
    win::ULONG_PTR dwExtraInfo = 0;
};

// Installs PROC at the head of THREAD_ID's chain (GetCurrentThreadId or
// GetWindowThreadProcessId). Only WH_MOUSE; MODULE is ignored. nullptr for
// another hook type, a null procedure or thread id 0.
HHOOK SetWindowsHookEx(int hookType, HOOKPROC proc, void* module, DWORD threadId);
// Removes the hook; it is not called again (also when removed by a hook
// procedure while the chain runs). FALSE for an unknown handle.
BOOL UnhookWindowsHookEx(HHOOK hook);
// Calls the next hook after HOOK in its chain and answers its result; 0
// when HOOK is the last one (or unknown).
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// Runs MESSAGE through the calling thread's chain as if the mouse had done
// it over HWND at SCREEN_POINT; answers the chain's result (0 without
// hooks). The browser's event filter uses it; tests may too.
LRESULT RunMouseHooks(UINT message, HWND hwnd, POINT screenPoint);

}  // namespace kb
