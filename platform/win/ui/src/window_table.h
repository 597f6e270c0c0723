// The process's table of windows: handle number -> the window's port.
//
// Every lookup from another thread happens under the table's lock, and a
// port leaves the table (under the same lock) before it is destroyed, so a
// thread that found a port may post to it while it holds the lock.
#pragma once

#include "win/ui/window_handle.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>

class QObject;
class QThread;

namespace win::detail {

class WindowPort;

class WindowTable {
public:
    static WindowTable& Instance();

    // Adds PORT (for WINDOW) under a new number; the handle.
    HWND Add(WindowPort* port, QObject* window);
    // Retires number N (its handle names no window from now on) when it
    // still belongs to PORT.
    void Retire(std::uint32_t number, WindowPort* port);
    // Forgets PORT altogether (it is being destroyed).
    void Remove(WindowPort* port);

    // The port of WINDOW, retired or not; nullptr when it has none. Use the
    // result only on WINDOW's thread.
    WindowPort* PortOfObject(QObject* window);

    // Runs FN with the port of number N under the table's lock (FN gets
    // nullptr when there is none). FN must not call back into the table.
    void WithPort(std::uint32_t number, const std::function<void(WindowPort*)>& fn);

    // The thread of number N's window, nullptr when there is none.
    QThread* ThreadOf(std::uint32_t number);

private:
    std::mutex m_mutex;
    std::uint32_t m_nNext = 1;
    std::unordered_map<std::uint32_t, WindowPort*> m_mapByNumber;  // live windows
    std::unordered_map<QObject*, WindowPort*> m_mapByObject;       // until the port dies
};

}  // namespace win::detail
