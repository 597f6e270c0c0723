// The Win32-style calls: a process-wide table from HANDLE values to events.
#include "win/event.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace win {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::map<std::uintptr_t, std::shared_ptr<Event>> events;
    // Handle values are never reused, so a stale handle cannot reach a newer
    // object; multiples of 4 as on Windows.
    std::uintptr_t next = 0x100;
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

HANDLE Insert(Event&& event)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    const std::uintptr_t value = table.next;
    table.next += 4;
    table.events.emplace(value, std::make_shared<Event>(std::move(event)));
    return reinterpret_cast<HANDLE>(value);
}

// The event of HANDLE, kept alive for the caller even if another thread
// closes the handle meanwhile; null (with the last error set) when unknown.
std::shared_ptr<Event> Find(HANDLE handle)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.events.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.events.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

BOOL Result(DWORD error)
{
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace

HANDLE CreateEvent(SECURITY_ATTRIBUTES* /*attributes*/, BOOL manualReset, BOOL initialState, const char* name)
{
    Event event;
    const DWORD error = Event::Create(name ? name : "", manualReset != FALSE, initialState != FALSE, event);
    SetLastError(error);
    if (!event.IsOpen())
        return nullptr;
    HANDLE handle = Insert(std::move(event));
    SetLastError(error);  // ERROR_SUCCESS or ERROR_ALREADY_EXISTS
    return handle;
}

HANDLE OpenEvent(DWORD /*desiredAccess*/, BOOL /*inheritHandle*/, const char* name)
{
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Event event;
    const DWORD error = Event::Open(name, event);
    SetLastError(error);
    if (error != ERROR_SUCCESS)
        return nullptr;
    HANDLE handle = Insert(std::move(event));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL SetEvent(HANDLE handle)
{
    auto event = Find(handle);
    return event ? Result(event->Set()) : FALSE;
}

BOOL ResetEvent(HANDLE handle)
{
    auto event = Find(handle);
    return event ? Result(event->Reset()) : FALSE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    auto event = Find(handle);
    return event ? event->Wait(milliseconds) : WAIT_FAILED;
}

BOOL CloseHandle(HANDLE handle)
{
    std::shared_ptr<Event> event;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.events.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == table.events.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        event = std::move(it->second);
        table.events.erase(it);
    }
    // The object closes outside the table lock (closing may wait for the
    // folder lock); a wait still running on another thread keeps it alive.
    event.reset();
    return TRUE;
}

}  // namespace win
