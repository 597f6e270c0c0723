// The window procedure chain of subclassable windows. The table maps a
// handle to the procedure at the head of its chain; the first procedure of
// every window is BaseWindowProc, which runs the window's own handling.

#include "browser/window_subclass.h"

#include "win/ui/messaging.h"

#include <QWidget>

#include <mutex>
#include <unordered_map>

namespace kb {
namespace {

struct Entry {
    WNDPROC proc = nullptr;  // nullptr: no subclass, the window's own handling
    win::LONG_PTR userData = 0;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<HWND, Entry> entries;
};

Table& TheTable()
{
    static Table* table = new Table;
    return *table;
}

CSubclassableWindow* SubclassableOf(HWND hwnd)
{
    return dynamic_cast<CSubclassableWindow*>(win::ObjectFromHwnd(hwnd));
}

LRESULT BaseWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSubclassableWindow* window = SubclassableOf(hwnd);
    if (window == nullptr)
        return 0;
    LRESULT result = 0;
    if (window->OnOwnMessage(message, wParam, lParam, result))
        return result;
    return win::DefWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace

win::LONG_PTR SetWindowLongPtr(HWND hwnd, int index, win::LONG_PTR value)
{
    if (SubclassableOf(hwnd) == nullptr) {
        win::SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return 0;
    }
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    Entry& entry = table.entries[hwnd];
    switch (index) {
    case GWLP_WNDPROC: {
        WNDPROC previous = entry.proc != nullptr ? entry.proc : &BaseWindowProc;
        auto proc = reinterpret_cast<WNDPROC>(value);
        entry.proc = proc == &BaseWindowProc ? nullptr : proc;
        return reinterpret_cast<win::LONG_PTR>(previous);
    }
    case GWLP_USERDATA: {
        win::LONG_PTR previous = entry.userData;
        entry.userData = value;
        return previous;
    }
    default:
        win::SetLastError(static_cast<win::DWORD>(win::ERROR_INVALID_PARAMETER));
        return 0;
    }
}

win::LONG_PTR GetWindowLongPtr(HWND hwnd, int index)
{
    if (SubclassableOf(hwnd) == nullptr) {
        win::SetLastError(1400);
        return 0;
    }
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    auto it = table.entries.find(hwnd);
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<win::LONG_PTR>(it != table.entries.end() && it->second.proc != nullptr
                                                   ? it->second.proc
                                                   : &BaseWindowProc);
    case GWLP_USERDATA:
        return it != table.entries.end() ? it->second.userData : 0;
    default:
        win::SetLastError(static_cast<win::DWORD>(win::ERROR_INVALID_PARAMETER));
        return 0;
    }
}

LRESULT CallWindowProc(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (previous == nullptr)
        return 0;
    return previous(hwnd, message, wParam, lParam);
}

CSubclassableWindow::CSubclassableWindow(QObject* window) : win::CMessageTarget(window) {}

CSubclassableWindow::~CSubclassableWindow()
{
    // The deriving class should have sent the destroy messages already; here
    // the window is half gone, so only the chain is dropped.
    if (!m_bDestroyed) {
        m_bDestroyed = true;
        Table& table = TheTable();
        std::lock_guard lock(table.mutex);
        table.entries.erase(GetSafeHwnd());
    }
}

bool CSubclassableWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND hwnd = GetSafeHwnd();
    WNDPROC proc = nullptr;
    {
        Table& table = TheTable();
        std::lock_guard lock(table.mutex);
        auto it = table.entries.find(hwnd);
        if (it != table.entries.end())
            proc = it->second.proc;
    }
    if (proc == nullptr)
        return OnOwnMessage(message, wParam, lParam, result);
    result = proc(hwnd, message, wParam, lParam);
    return true;
}

bool CSubclassableWindow::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return win::CMessageTarget::OnMessage(message, wParam, lParam, result);
}

win::HRESULT CSubclassableWindow::QueryAccessibleObject(win::REFIID, void** ppv)
{
    if (ppv != nullptr)
        *ppv = nullptr;
    return win::E_FAIL;
}

void CSubclassableWindow::OnDestroyRequest()
{
    if (auto* widget = qobject_cast<QWidget*>(window())) {
        widget->hide();
        widget->deleteLater();
    }
}

void CSubclassableWindow::SendDestroyMessages()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    HWND hwnd = GetSafeHwnd();
    if (hwnd == nullptr)
        return;
    win::SendMessage(hwnd, win::WM_DESTROY, 0, 0);
    win::SendMessage(hwnd, win::WM_NCDESTROY, 0, 0);
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    table.entries.erase(hwnd);
}

void CSubclassableWindow::SendSizeMessage()
{
    auto* widget = qobject_cast<QWidget*>(window());
    HWND hwnd = GetSafeHwnd();
    if (widget == nullptr || hwnd == nullptr || m_bDestroyed)
        return;
    win::SendMessage(hwnd, win::WM_SIZE, 0,
                     win::MAKELPARAM(static_cast<win::WORD>(widget->width()), static_cast<win::WORD>(widget->height())));
}

}  // namespace kb
