// Window identities of the browser: class names, parents, text and
// rectangles of the browser's windows, and the few window operations the
// add-on calls on them. Handles are those of win/ui (window_handle.h);
// GetClassName, GetWindowText, ShowWindow, IsWindowVisible and
// SetForegroundWindow come from win/ui/window_ops.h.
//
// A window here is a QWidget registered with RegisterWindow (it then has a
// class name and a handle). Unregistered widgets inside it (Qt's own
// children, the web engine's render widget) count as part of it. The browser
// window tree is:
//
//   "IEFrame"                      top-level browser window (frame)
//     "TabWindowClass"             one per tab
//       "Shell DocObject View"     the page area
//         "Internet Explorer_Server"   the page (the web view)
//   "#32770"                       a page's message box, with "Button" children
//   "Internet Explorer_TridentDlgFrame"   a page's web page dialog
//
// These calls are for this process's windows (other handles answer FALSE or
// nullptr) and run on the window's thread (the browser's user-interface
// thread); they are not thread-safe.
#pragma once

#include "browser/com.h"
#include "win/ui/window_handle.h"

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace kb {

using win::BOOL;
using win::DWORD;
using win::HWND;
using win::LONG;
using win::UINT;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// Class names of the browser's windows.
inline constexpr const char* kFrameWindowClass = "IEFrame";
inline constexpr const char* kTabWindowClass = "TabWindowClass";
inline constexpr const char* kDocObjectViewClass = "Shell DocObject View";
inline constexpr const char* kPageWindowClass = "Internet Explorer_Server";
inline constexpr const char* kDialogClass = "#32770";
inline constexpr const char* kButtonClass = "Button";
inline constexpr const char* kWebPageDialogClass = "Internet Explorer_TridentDlgFrame";

// Gives WIDGET a class name and a handle (on its thread); returns the handle.
HWND RegisterWindow(QWidget* widget, const QString& className);
// Whether OBJECT was registered (is a window of its own).
bool IsRegisteredWindow(const QObject* object);
// The handle of OBJECT or of its nearest registered ancestor widget;
// nullptr when there is none.
HWND WindowFromObject(QObject* object);

// The parent window (nullptr for a top-level window). GetAncestor flags:
inline constexpr UINT GA_PARENT = 1;
inline constexpr UINT GA_ROOT = 2;
inline constexpr UINT GA_ROOTOWNER = 3;
HWND GetParent(HWND hwnd);
HWND GetAncestor(HWND hwnd, UINT flags);
// Calls CALLBACK for every registered descendant of PARENT, depth first in
// child order, until it returns false. FALSE when PARENT names no window.
BOOL EnumChildWindows(HWND parent, const std::function<bool(HWND)>& callback);
// The first direct child after CHILD_AFTER (nullptr: from the start) whose
// class name (when given) and text (when given) are equal.
HWND FindWindowEx(HWND parent, HWND childAfter, const QString* className, const QString* text);

// Rectangles: GetWindowRect in screen coordinates, GetClientRect from 0,0.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);

// SetWindowPos flags and special insert-after handles.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
HWND HwndTop();        // HWND_TOP (0)
HWND HwndBottom();     // HWND_BOTTOM (1)
HWND HwndTopmost();    // HWND_TOPMOST (-1)
HWND HwndNoTopmost();  // HWND_NOTOPMOST (-2)
// Moves (X, Y: relative to the parent, or the screen for a top-level
// window), sizes, restacks (INSERT_AFTER: a sibling to go behind, or one of
// the special handles), shows or hides the window, as FLAGS say.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL BringWindowToTop(HWND hwnd);
// Enables or disables; returns TRUE when the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// Destroys the window: WM_DESTROY and WM_NCDESTROY go through its window
// procedure, then it is hidden and deleted once control returns to the
// event loop; its handle is dead at once. A browser window closes its
// browsers first (their OnQuit events).
BOOL DestroyWindow(HWND hwnd);

// Threads and processes: thread ids are numbers this process hands out per
// thread (stable for the thread's life); process ids are the system's.
DWORD GetCurrentThreadId();
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// Keyboard state of the last input event: negative (high bit set) while
// the key is down. Keys: VK_SHIFT, VK_CONTROL, VK_MENU (Alt).
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
win::SHORT GetKeyState(int virtualKey);

// The accessibility object of a window; for a page window ("Internet
// Explorer_Server") it answers IServiceProvider, whose
// QueryService(IID_IHTMLWindow2, IID_IHTMLWindow2) gives the page's
// document window. E_FAIL for other windows.
inline constexpr DWORD OBJID_CLIENT = 0xFFFFFFFC;
win::HRESULT AccessibleObjectFromWindow(HWND hwnd, DWORD objectId, win::REFIID riid, void** ppv);

}  // namespace kb
