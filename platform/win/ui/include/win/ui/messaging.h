// Registered window messages, posting and sending.
//
// A message is (message number, wParam, lParam) delivered to a window's
// handler (CMessageTarget::OnMessage, else DefWindowProc) on the window's own
// thread:
//   - PostMessage queues it as a Qt event and returns at once;
//   - SendMessage runs the handler and returns its result: a direct call on
//     the window's thread; from another thread it blocks until the window's
//     thread has handled it (the window's thread handles it from its event
//     loop, including a nested one such as QDialog::exec, or while it is
//     itself waiting in SendMessage);
//   - for a window of another process both go over that process's window
//     server (win/ui/window_server.h). Only WM_NULL and the messages the
//     receiving process opted in with ChangeWindowMessageFilter are accepted
//     from other processes; the rest are refused.
// A message for a destroyed window is dropped: PostMessage and SendMessage
// answer 0 with ERROR_INVALID_WINDOW_HANDLE, queued posts are discarded, and
// a cross-thread send waiting on a window that is destroyed returns 0.
//
// Registering messages needs nothing; delivery needs a QCoreApplication (a
// QApplication for widgets) and an event loop on the window's thread.
#pragma once

#include "win/types.h"
#include "win/ui/window_handle.h"
#include "win/ui/window_messages.h"

#include <QString>

namespace win {

// The number registered for NAME in this login session: 0xC000..0xFFFF, the
// same in every process of the session for the same name, names compared
// case-insensitively. Works before any Qt application object exists (static
// initialisation). 0 on failure with the last error set: an empty name, one
// longer than 255 characters or holding a line break
// (ERROR_INVALID_PARAMETER), a full table (ERROR_NOT_ENOUGH_MEMORY) or an
// unusable runtime folder (ERROR_CANTWRITE).
UINT RegisterWindowMessage(const QString& name);
UINT RegisterWindowMessageW(const wchar_t* name);

// Queues MESSAGE for HWND. TRUE when queued (for another process: when its
// server accepted it, or when the frame was handed to it and the server did
// not answer within kPostAckTimeoutMs, as a busy window on Windows still
// takes posts). FALSE with ERROR_INVALID_WINDOW_HANDLE when HWND names no
// window, ERROR_ACCESS_DENIED when the other process refuses the message.
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Delivers MESSAGE to HWND and returns the handler's result; 0 when HWND
// names no window (last error ERROR_INVALID_WINDOW_HANDLE). Waits without
// limit for a window of this process; for another process's window it waits
// at most kRemoteSendTimeoutMs and answers 0 with ERROR_TIMEOUT after that.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// SendMessage waiting at most TIMEOUT_MS (in this process too). Returns
// nonzero and stores the handler's result in *RESULT (when given) on
// success; 0 on time-out (ERROR_TIMEOUT) or for no window. A send that timed
// out is still handled later; its result is dropped. FLAGS are accepted for
// the callers' sake; the time-out applies in every case.
LRESULT SendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                           UINT timeoutMs, LRESULT* result);

// Lets (MSGFLT_ADD) or stops (MSGFLT_REMOVE) other processes post or send
// MESSAGE to this process's windows. FALSE for an unknown action and for
// WM_GETTEXT and WM_SETTEXT, whose parameters are pointers into the
// receiver's memory.
BOOL ChangeWindowMessageFilter(UINT message, DWORD action);
bool IsMessageAllowedFromOtherProcesses(UINT message);

// Ends the calling thread's event loop (the application's for the main
// thread) with EXIT_CODE, once control returns to it.
void PostQuitMessage(int exitCode);

// How long a post to another process waits for its server's answer.
inline constexpr int kPostAckTimeoutMs = 2000;
// How long SendMessage waits for a window of another process.
inline constexpr int kRemoteSendTimeoutMs = 5000;

}  // namespace win
