// Finding top-level windows by caption and the few window operations the
// suite calls on a handle, for windows of this process and of other
// processes of the login session alike.
//
// For a window of this process the operation runs on the window's thread (a
// blocking call from any other thread, as SendMessage). For another process
// it goes to that process's window server, which runs it on its main thread;
// each such call gives up after kRemoteQueryTimeoutMs.
#pragma once

#include "win/types.h"
#include "win/ui/window_handle.h"

#include <QString>

namespace win {

// A top-level window whose caption is exactly CAPTION (case and blanks
// count; nullptr matches any caption) and, when CLASS_NAME is not nullptr,
// whose class name (GetClassName) is CLASS_NAME. This process's windows are
// searched first (visible ones before hidden ones), then those of the other
// live processes in order of process id (several matches in one process:
// any one of them). nullptr when none.
// Finding this process's windows needs a QApplication; from a thread other
// than the main thread it waits for the main thread.
HWND FindWindow(const wchar_t* className, const wchar_t* caption);
HWND FindWindow(const QString* className, const QString* caption);
HWND FindWindowByCaption(const QString& caption);

// Raises and activates HWND's window (restoring it first when minimized; a
// hidden window stays hidden). FALSE when HWND names no window.
BOOL SetForegroundWindow(HWND hwnd);

// Shows or hides HWND's window (SW_* commands). Returns TRUE when the window
// was visible before the call, FALSE when it was hidden or does not exist.
BOOL ShowWindow(HWND hwnd, int command);

// Whether HWND's window is visible; FALSE when it does not exist.
BOOL IsWindowVisible(HWND hwnd);

// The window's caption (QWidget::windowTitle, QObject::objectName for other
// objects); empty when HWND names no window.
QString GetWindowText(HWND hwnd);

// The class name a window was given with SetWindowClassName, else the name
// of its C++ class as Qt knows it. This process's windows only.
QString GetClassName(HWND hwnd);
void SetWindowClassName(QObject* window, const QString& className);

// How long a call to another process's window server waits for the answer.
inline constexpr int kRemoteQueryTimeoutMs = 2000;

}  // namespace win
