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

// What this process's server has seen since it started (main thread only).
struct WindowServerCounters {
    unsigned long long framesHandled = 0;       // requests that decoded and were answered
    unsigned long long framesMalformed = 0;     // dropped: did not decode
    unsigned long long connectionsDropped = 0;  // closed: bad length, or too many connections
    unsigned long long messagesRefused = 0;     // messages the process does not take from others
};
WindowServerCounters WindowServerStatistics();

}  // namespace win
