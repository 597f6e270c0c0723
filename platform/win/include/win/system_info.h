// Process and system facts: what the suite asks Windows about its own
// process, other processes, the user and the machine, answered from /proc,
// uname and the user database.
//
// Nothing here throws; a fact that cannot be read comes back empty (or 0).
#pragma once

#include "win/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace win {

// Process ids.
DWORD GetCurrentProcessId();
DWORD GetParentProcessId();  // of this process

// The full path of the program file of process PID (/proc/<pid>/exe); empty
// when the process is gone or belongs to another user.
std::string GetProcessImagePath(DWORD pid);

// One process of a snapshot.
struct ProcessEntry {
    DWORD processId = 0;
    DWORD parentProcessId = 0;
    std::string imagePath;  // may be empty (kernel threads, other users' processes)
    std::string exeFile;    // the program's file name: the last part of imagePath, else the kernel's name for it
};

// The running processes at the time of the call, in ascending id order (the
// stand-in for a Tool Help snapshot). Processes that end while the snapshot
// is taken are left out.
std::vector<ProcessEntry> SnapshotProcesses();

// The login session of this process, as a number: the kernel's audit session
// id (/proc/self/sessionid) when one is set, else the number in
// XDG_SESSION_ID, else 0.
DWORD GetCurrentSessionId();

// The current user's security identifier as text: "S-1-22-1-<uid>", the form
// commonly used for a Unix user id in SID notation.
std::string GetCurrentUserSid();

// The user's login name (user database, else $USER/$LOGNAME, else the uid).
std::string GetUserName();
// The machine's host name.
std::string GetComputerName();
// The name of the desktop this process runs on. There is one desktop per
// login session here, so this is always "Default", the name of the normal
// interactive desktop.
std::string GetDesktopName();

struct OsInformation {
    std::string platform;     // /etc/os-release NAME, else uname's system name ("Linux")
    std::string fullVersion;  // os-release VERSION, else VERSION_ID, else the kernel release
    std::string servicePack;  // always empty: there are no service packs
    std::string buildNumber;  // the kernel release (uname -r)
};
OsInformation GetOSInformation();

struct CpuInformation {
    std::string architecture;  // uname's machine ("x86_64")
    std::string vendor;        // "vendor_id" of /proc/cpuinfo ("GenuineIntel"), may be empty
    std::string modelName;     // "model name", may be empty
    DWORD speedMhz = 0;        // "cpu MHz" of the first processor, rounded; 0 when unknown
    DWORD count = 0;           // processors online
};
CpuInformation GetCPUInformation();

// Memory figures in bytes. "Virtual" is memory plus swap: what programs can
// commit in all.
struct MemoryInformation {
    std::uint64_t physicalInstalled = 0;  // MemTotal
    std::uint64_t physicalAvailable = 0;  // MemAvailable
    std::uint64_t virtualTotal = 0;       // MemTotal + SwapTotal
    std::uint64_t virtualAvailable = 0;   // MemAvailable + SwapFree
};
MemoryInformation GetMemoryInformation();

// Milliseconds since the system started (suspended time included). The 32-bit
// form wraps to 0 after about 49.7 days, as on Windows: compare ticks by
// unsigned subtraction (now - then), never by "<".
DWORD GetTickCount();
ULONGLONG GetTickCount64();
// The 32-bit tick count for a millisecond count: its low 32 bits.
constexpr DWORD TickCountFromMilliseconds(std::uint64_t milliseconds)
{
    return static_cast<DWORD>(milliseconds & 0xFFFFFFFFu);
}

}  // namespace win
