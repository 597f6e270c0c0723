#include "window_table.h"

#include "window_port.h"

#include <QThread>

#include <unistd.h>

namespace win {

HWND MakeHwnd(std::uint32_t processId, std::uint32_t windowNumber)
{
    return HwndFromBits((static_cast<std::uint64_t>(processId) << 32) | windowNumber);
}

std::uint32_t WindowNumberOf(HWND hwnd)
{
    return static_cast<std::uint32_t>(HwndToBits(hwnd) & 0xFFFFFFFFu);
}

std::uint32_t ProcessIdOfWindow(HWND hwnd)
{
    return static_cast<std::uint32_t>(HwndToBits(hwnd) >> 32);
}

std::uint64_t HwndToBits(HWND hwnd)
{
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(hwnd));
}

HWND HwndFromBits(std::uint64_t bits)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(bits));
}

namespace detail {

WindowTable& WindowTable::Instance()
{
    static WindowTable* table = new WindowTable;  // outlives every window
    return *table;
}

HWND WindowTable::Add(WindowPort* port, QObject* window)
{
    std::lock_guard lock(m_mutex);
    std::uint32_t number = m_nNext++;
    if (m_nNext == 0)  // after four thousand million windows; 0 means "none"
        m_nNext = 1;
    m_mapByNumber[number] = port;
    m_mapByObject[window] = port;
    return MakeHwnd(static_cast<std::uint32_t>(::getpid()), number);
}

void WindowTable::Retire(std::uint32_t number, WindowPort* port)
{
    std::lock_guard lock(m_mutex);
    auto it = m_mapByNumber.find(number);
    if (it != m_mapByNumber.end() && it->second == port)
        m_mapByNumber.erase(it);
}

void WindowTable::Remove(WindowPort* port)
{
    std::lock_guard lock(m_mutex);
    auto it = m_mapByObject.find(port->window());
    if (it != m_mapByObject.end() && it->second == port)
        m_mapByObject.erase(it);
}

WindowPort* WindowTable::PortOfObject(QObject* window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_mapByObject.find(window);
    return it == m_mapByObject.end() ? nullptr : it->second;
}

void WindowTable::WithPort(std::uint32_t number, const std::function<void(WindowPort*)>& fn)
{
    std::lock_guard lock(m_mutex);
    auto it = m_mapByNumber.find(number);
    fn(it == m_mapByNumber.end() ? nullptr : it->second);
}

QThread* WindowTable::ThreadOf(std::uint32_t number)
{
    std::lock_guard lock(m_mutex);
    auto it = m_mapByNumber.find(number);
    return it == m_mapByNumber.end() ? nullptr : it->second->thread();
}

}  // namespace detail
}  // namespace win
