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
    // Removes the entry of number N when it still belongs to PORT.
    void Remove(std::uint32_t number, WindowPort* port);

    // The live port of WINDOW; nullptr when it has none. Take the result
    // only on WINDOW's thread.
    WindowPort* PortOfObject(QObject* window);

    // Runs FN with the port of number N under the table's lock (FN gets
    // nullptr when there is none). FN must not call back into the table.
    void WithPort(std::uint32_t number, const std::function<void(WindowPort*)>& fn);

    // The thread of number N's window, nullptr when there is none.
    QThread* ThreadOf(std::uint32_t number);

private:
    struct Entry {
        WindowPort* port;
        QObject* window;
    };

    std::mutex m_mutex;
    std::uint32_t m_nNext = 1;
    std::unordered_map<std::uint32_t, Entry> m_mapByNumber;
    std::unordered_map<QObject*, std::uint32_t> m_mapByObject;
};

}  // namespace win::detail
