#include "peer_directory.h"

#include "win/state_root.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win::detail {
namespace {

std::filesystem::path LockPathIn(const std::filesystem::path& folder, std::uint32_t processId)
{
    return folder / (std::to_string(processId) + ".lock");
}

std::filesystem::path SocketPathIn(const std::filesystem::path& folder, std::uint32_t processId)
{
    return folder / (std::to_string(processId) + ".sock");
}

// "<digits>.lock" or "<digits>.sock" -> the number; 0 for anything else.
std::uint32_t ProcessIdFromFileName(const std::string& name)
{
    size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10)
        return 0;
    std::string suffix = name.substr(dot);
    if (suffix != ".lock" && suffix != ".sock")
        return 0;
    std::uint64_t value = 0;
    for (size_t i = 0; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        value = value * 10 + static_cast<std::uint64_t>(name[i] - '0');
    }
    return value > 0xFFFFFFFFull ? 0 : static_cast<std::uint32_t>(value);
}

bool ReapIn(const std::filesystem::path& folder, std::uint32_t processId)
{
    std::filesystem::path lockPath = LockPathIn(folder, processId);
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        // No lock file: the server never got as far as listening, or a
        // reaper already removed it. A socket left without one is dead.
        if (errno == ENOENT) {
            std::error_code ec;
            std::filesystem::remove(SocketPathIn(folder, processId), ec);
            return true;
        }
        return false;
    }
    bool dead = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (dead) {
        // Remove while holding the lock; a new server with the same id
        // checks after locking that its lock file is still the one on disk.
        std::error_code ec;
        std::filesystem::remove(SocketPathIn(folder, processId), ec);
        std::filesystem::remove(lockPath, ec);
    }
    ::close(fd);
    return dead;
}

}  // namespace

std::filesystem::path WindowsFolder()
{
    std::filesystem::path folder = StateFolderPath(StateFolder::Runtime) / "windows";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    ::chmod(folder.c_str(), 0700);
    return folder;
}

QString SocketPathFor(std::uint32_t processId)
{
    return QString::fromStdString(SocketPathIn(WindowsFolder(), processId).string());
}

ServerLock::~ServerLock()
{
    Release();
}

bool ServerLock::Acquire(const std::filesystem::path& folder, std::uint32_t processId)
{
    Release();
    std::filesystem::path lockPath = LockPathIn(folder, processId);
    for (int attempt = 0; attempt < 10; ++attempt) {
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        int rc;
        while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat held {};
        struct stat onDisk {};
        // A reaper may have removed the file between our open and our lock
        // (it saw the previous owner of this process id dead): then the lock
        // is on a file nobody else can see, so start over.
        if (rc == 0 && ::fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &onDisk) == 0 &&
            held.st_ino == onDisk.st_ino && held.st_dev == onDisk.st_dev) {
            m_fd = fd;
            m_lockPath = lockPath;
            m_socketPath = SocketPathIn(folder, processId);
            return true;
        }
        ::close(fd);
    }
    return false;
}

void ServerLock::Release()
{
    if (m_fd < 0)
        return;
    std::error_code ec;
    std::filesystem::remove(m_socketPath, ec);
    std::filesystem::remove(m_lockPath, ec);
    ::close(m_fd);
    m_fd = -1;
}

std::vector<std::uint32_t> LivePeerProcesses()
{
    std::filesystem::path folder = WindowsFolder();
    std::vector<std::uint32_t> candidates;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::uint32_t processId = ProcessIdFromFileName(entry.path().filename().string());
        if (processId != 0)
            candidates.push_back(processId);
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

    std::vector<std::uint32_t> live;
    auto self = static_cast<std::uint32_t>(::getpid());
    for (std::uint32_t processId : candidates) {
        if (processId == self)
            continue;
        if (!ReapIn(folder, processId))
            live.push_back(processId);
    }
    return live;
}

bool ReapIfDead(std::uint32_t processId)
{
    return ReapIn(WindowsFolder(), processId);
}

}  // namespace win::detail
