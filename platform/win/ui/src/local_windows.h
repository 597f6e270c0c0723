// This process's windows: running work on a window's own thread, and the
// window operations behind the public calls and the window server.
#pragma once

#include "win/types.h"
#include "win/ui/window_handle.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QObject;

namespace win::detail {

class WindowPort;

bool IsOwnWindowHandle(HWND hwnd);

enum class RunStatus { Done, NoWindow, TimedOut };

// Runs FN with the window's port on the window's thread: directly when
// called there, else as a blocking cross-thread call (TIMEOUT_MS < 0: no
// limit). NoWindow when NUMBER names no window or it died before FN ran.
RunStatus RunOnWindow(std::uint32_t number, const std::function<LRESULT(WindowPort*)>& fn, int timeoutMs,
                      LRESULT& result);

// Runs FN on the application's main thread (directly when already there).
// Nothing when there is no application object.
std::optional<LRESULT> RunOnMainThread(const std::function<LRESULT()>& fn);

// Queues MESSAGE for window NUMBER of this process; false when none.
bool PostToOwnWindow(std::uint32_t number, UINT message, WPARAM wParam, LPARAM lParam);

// The first top-level widget of this process matching the optional class
// name and caption, visible ones first. Main thread only.
HWND FindOwnTopLevel(const std::optional<QString>& className, const std::optional<QString>& caption);

// Window operations on an object of this process, on its thread.
QString CaptionOf(QObject* window);
QString ClassNameOf(QObject* window);
bool IsObjectVisible(QObject* window);
bool BringToFront(QObject* window);
bool ShowObject(QObject* window, int command);  // answers whether it was visible
void SetClassNameProperty(QObject* window, const QString& className);

}  // namespace win::detail
