// The folder where window servers announce themselves:
// "<runtime>/windows/<pid>.sock" (the server's socket) and
// "<runtime>/windows/<pid>.lock" (locked by the server for its whole life).
//
// A lock file that another process can lock belongs to a dead server: whoever
// notices removes that server's socket and lock file, so the folder does not
// fill up with the leftovers of crashed processes.
#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace win::detail {

std::filesystem::path WindowsFolder();
QString SocketPathFor(std::uint32_t processId);

// Holds this process's lock file. Acquire fails when the folder is unusable.
class ServerLock {
public:
    ServerLock() = default;
    ~ServerLock();
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

    bool Acquire(const std::filesystem::path& folder, std::uint32_t processId);
    // Removes the socket and lock files and drops the lock.
    void Release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::filesystem::path m_lockPath;
    std::filesystem::path m_socketPath;
};

// The process ids of the other live window servers, lowest first; removes
// the files of dead ones on the way.
std::vector<std::uint32_t> LivePeerProcesses();

// True when the server of PROCESS_ID is gone (and removes its files then).
bool ReapIfDead(std::uint32_t processId);

}  // namespace win::detail
