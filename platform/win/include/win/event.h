// Named kernel events: signal objects shared between threads and processes.
//
// Names starting "Global\" are shared by every login session of the machine
// (they live under GlobalRuntimePath()); other names, and names starting
// "Local\", belong to the login session (under StateFolderPath(Runtime)).
// Names are case-sensitive. An event exists exactly while some live process
// holds a handle to it: a holder that crashes or is killed lets go of it, and
// the next creation makes a new event with the creator's parameters. An empty
// name makes an unnamed event that only this process reaches.
//
// Both a small class (win::Event) and the Win32-named calls (CreateEvent,
// OpenEvent, SetEvent, ResetEvent, WaitForSingleObject, CloseHandle) are
// offered; the calls report failure through GetLastError() as Windows does.
#pragma once

#include "win/types.h"

#include <memory>
#include <string_view>

namespace win {

// Access rights of OpenEvent. They are accepted for fidelity; every handle may
// wait, set and reset (the file permissions decide the rest).
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
inline constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

inline constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;

class Event {
public:
    Event();
    ~Event();  // closes the handle
    Event(Event&&) noexcept;
    Event& operator=(Event&&) noexcept;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Creates the event NAME, or opens it when it already exists. Returns
    // ERROR_SUCCESS for a new event and ERROR_ALREADY_EXISTS (183) for an
    // existing one (then MANUAL_RESET and INITIAL_STATE are ignored, as on
    // Windows); EVENT is open in both cases. Any other code is a failure and
    // leaves EVENT closed.
    static DWORD Create(std::string_view name, bool manualReset, bool initialState, Event& event);
    // Opens an existing event; ERROR_FILE_NOT_FOUND when none exists.
    static DWORD Open(std::string_view name, Event& event);
    // Whether an event NAME exists (some live process holds it).
    static bool Exists(std::string_view name);

    bool IsOpen() const;
    void Close();

    // Each returns ERROR_SUCCESS or an error code.
    DWORD Set();
    DWORD Reset();
    // WAIT_OBJECT_0 when signalled (an auto-reset event is reset by this
    // wait, so exactly one waiter gets each signal), WAIT_TIMEOUT after
    // TIMEOUT_MS milliseconds (INFINITE waits for ever), WAIT_FAILED on error.
    DWORD Wait(DWORD timeoutMs);

    class Object;

private:
    std::shared_ptr<Object> object_;
};

struct SECURITY_ATTRIBUTES;  // accepted and ignored

// Win32-style calls over the same objects. A HANDLE is valid from the call
// that returns it until CloseHandle; an unknown handle gives
// ERROR_INVALID_HANDLE. NAME may be null (an unnamed event).
HANDLE CreateEvent(SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState, const char* name);
HANDLE OpenEvent(DWORD desiredAccess, BOOL inheritHandle, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL CloseHandle(HANDLE object);

}  // namespace win
