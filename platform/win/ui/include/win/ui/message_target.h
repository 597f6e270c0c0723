// The message map of a window class.
//
// A window class derives from its Qt base first and from CMessageTarget
// second, and maps the messages it handles, registered ones included:
//
//   class CQVConsoleDlg : public CSkinDialog, public win::CMessageTarget {
//   public:
//       CQVConsoleDlg() : win::CMessageTarget(this)
//       {
//           MapMessage(s_nLaunchScan, [this](WPARAM, LPARAM) { return OnLaunchScan(); });
//       }
//   };
//
// Every message posted or sent to the window's handle runs on the window's
// thread through OnMessage: the default looks the number up in the map; a
// class may override OnMessage instead, or as well, calling the base for the
// mapped ones. Messages nobody handles go to DefWindowProc.
//
// Once the CMessageTarget part is destroyed (the derived class's destructor
// has run) the window's handle is dead: later messages are dropped and a
// send waiting for it returns 0. A handler that wants to destroy its own
// window uses deleteLater().
#pragma once

#include "win/types.h"
#include "win/ui/window_handle.h"

#include <functional>
#include <unordered_map>

class QObject;

namespace win {

class CMessageTarget {
public:
    using Handler = std::function<LRESULT(WPARAM wParam, LPARAM lParam)>;

    // WINDOW is the object itself (`this` of the deriving class).
    explicit CMessageTarget(QObject* window);
    virtual ~CMessageTarget();

    CMessageTarget(const CMessageTarget&) = delete;
    CMessageTarget& operator=(const CMessageTarget&) = delete;

    // The window's handle (handed out on first call, from the window's
    // thread), as MFC's GetSafeHwnd.
    HWND GetSafeHwnd() const;
    QObject* window() const { return m_pWindow; }

    // Handles MESSAGE: true with RESULT set when handled. The default runs
    // the mapped handler, if any.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    // Maps MESSAGE to HANDLER, replacing an earlier one; an empty handler
    // removes the entry. Call on the window's thread.
    void MapMessage(UINT message, Handler handler);

private:
    QObject* m_pWindow;
    std::unordered_map<UINT, Handler> m_mapHandlers;
};

// The default handling of a message nobody handled:
//   WM_CLOSE closes a widget; WM_SYSCOMMAND with SC_CLOSE sends WM_CLOSE to
//   the window, SC_MINIMIZE / SC_MAXIMIZE / SC_RESTORE change a widget's
//   state; WM_GETTEXT / WM_GETTEXTLENGTH / WM_SETTEXT read and set the
//   caption (wchar_t buffers; this process only); everything else answers 0.
LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win
