// Window procedures and subclassing for the browser's windows.
//
// Every window of the browser (frame, tab, page area, page, dialogs) runs
// each message it receives — posted or sent through win/ui, or produced by
// the browser itself — through a window procedure. An add-on subclasses a
// window by putting its own procedure in (SetWindowLongPtr with
// GWLP_WNDPROC, which answers the previous one) and passes messages on with
// CallWindowProc(previous, ...). The first procedure of a window does what
// the window does by itself (its message map, then win::DefWindowProc).
//
// Messages the browser produces for its windows:
//   WM_SIZE (wParam 0, lParam MAKELPARAM(width, height)) after the window
//     was resized;
//   WM_INITMENU, WM_INITMENUPOPUP and WM_SYSCOMMAND for the window menu
//     (menu.h);
//   WM_CLOSE when the user closes the window (the first procedure closes
//     it; a subclass that swallows it keeps the window);
//   WM_DESTROY and then WM_NCDESTROY when the window is destroyed, the last
//     messages it gets; the subclass chain is dropped after them.
#pragma once

#include "browser/com.h"
#include "win/ui/message_target.h"

namespace kb {

using win::HWND;
using win::LPARAM;
using win::LRESULT;
using win::UINT;
using win::WPARAM;

using WNDPROC = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_USERDATA = -21;

// GWLP_WNDPROC: installs VALUE (a WNDPROC) and answers the previous
// procedure; GWLP_USERDATA: stores a number for the caller. 0 with
// ERROR_INVALID_WINDOW_HANDLE for a window that cannot be subclassed (not a
// CSubclassableWindow) and for an unknown index (ERROR_INVALID_PARAMETER).
win::LONG_PTR SetWindowLongPtr(HWND hwnd, int index, win::LONG_PTR value);
win::LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LRESULT CallWindowProc(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The base of windows that can be subclassed. Derive from the Qt widget
// first and from this second (as from win::CMessageTarget). Messages
// delivered by win/ui run the window's procedure chain; the deriving class
// handles its own messages by mapping them (MapMessage) or overriding
// OnOwnMessage.
class CSubclassableWindow : public win::CMessageTarget {
public:
    explicit CSubclassableWindow(QObject* window);
    ~CSubclassableWindow() override;

    // Runs the message through the procedure chain (a subclass first).
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) final;

    // What the window does by itself: the message map, else false.
    virtual bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The window's accessibility object (window_api.h); E_FAIL by default.
    virtual win::HRESULT QueryAccessibleObject(win::REFIID riid, void** ppv);

    // DestroyWindow on this window. By default: hide it now and delete it
    // once control returns to the event loop.
    virtual void OnDestroyRequest();

protected:
    // Sends WM_DESTROY and WM_NCDESTROY through the chain and drops the
    // chain. Every deriving class calls it first thing in its destructor
    // (the window is still whole there); later calls do nothing.
    void SendDestroyMessages();
    // Sends WM_SIZE with the widget's current size through the chain.
    void SendSizeMessage();

private:
    bool m_bDestroyed = false;
};

}  // namespace kb
