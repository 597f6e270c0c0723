// The window server: how other processes of the login session reach this
// process's windows.
//
// Every process with a QApplication starts one as soon as its event loop
// first runs (nothing to call). It listens on a local socket
// "<runtime>/windows/<pid>.sock" (owner-only access) and holds an advisory
// lock on "<runtime>/windows/<pid>.lock" for its whole life, so other
// processes can tell a live server from the leftovers of a crashed one and
// remove those. The server runs on the main thread: it answers FindWindow
// for top-level widgets, queues posts, delivers sends and runs the window
// operations of win/ui/window_ops.h. The frames it reads are untrusted (see
// the README for the format and the limits).
#pragma once

#include <QString>

namespace win {

// Starts listening now (main thread, QCoreApplication required) instead of
// at the first event loop run; restarts when the runtime folder moved (the
// state root changed). True when listening.
bool StartWindowServer();

// Stops listening and removes the socket and lock files (also done at
// application exit).
void StopWindowServer();

// The socket path this process listens on; empty when not listening.
QString WindowServerPath();

// Frames dropped by this process's server because they were malformed,
// too long, or named a message the process does not accept from others.
struct WindowServerCounters {
    unsigned long long framesHandled = 0;
    unsigned long long framesMalformed = 0;
    unsigned long long connectionsDropped = 0;
    unsigned long long messagesRefused = 0;
};
WindowServerCounters WindowServerStatistics();

}  // namespace win
