// Named events on files and locks.
//
// One file per event, "<folder>/ev-<escaped name>", holding a 16-byte record:
// "KEV1", the manual-reset flag (byte 4) and the signalled flag (byte 5).
// Every handle keeps its own open file with a shared flock on it, so the
// event exists exactly while some file lock is held; the kernel drops the
// locks of a process that dies. Creation, opening and the last close run
// under an exclusive flock on "<folder>/.lock", which makes "is anyone
// holding it?" and "initialise it" one step. The flags are read and written
// under an OFD byte-range lock (F_OFD_SETLKW: per open file, so it also
// separates handles inside one process), and a wait polls the signalled flag
// every few milliseconds: simple, and correct across processes.
#include "win/event.h"

#include "win/state_root.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace win {
namespace {

constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kManualOffset = 4;
constexpr std::size_t kSignalledOffset = 5;
constexpr char kMagic[4] = {'K', 'E', 'V', '1'};
// File names stay well inside NAME_MAX (255) with the "ev-" prefix.
constexpr std::size_t kMaxEscapedName = 240;

struct ParsedName {
    bool global = false;
    std::string fileName;  // empty for an unnamed event
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// Splits off the "Global\" or "Local\" namespace and escapes the rest into a
// file name: letters, digits, "-", "_" and "." stay, every other byte becomes
// %XX. The "ev-" prefix keeps "." and ".." harmless.
DWORD ParseName(std::string_view name, ParsedName& parsed)
{
    if (name.empty())
        return ERROR_SUCCESS;
    if (StartsWithNoCase(name, "Global\\")) {
        parsed.global = true;
        name.remove_prefix(7);
    } else if (StartsWithNoCase(name, "Local\\")) {
        name.remove_prefix(6);
    }
    if (name.empty())
        return ERROR_INVALID_NAME;
    std::string escaped = "ev-";
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || c == '-' || c == '_' || c == '.') {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += digits[c >> 4];
            escaped += digits[c & 0xF];
        }
    }
    if (escaped.size() > kMaxEscapedName)
        return ERROR_FILENAME_EXCED_RANGE;
    parsed.fileName = std::move(escaped);
    return ERROR_SUCCESS;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ELOOP: return ERROR_ACCESS_DENIED;  // a symbolic link planted where an event belongs
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
    }
}

int FlockRetry(int fd, int operation)
{
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// The folder of the events of one namespace. Global events are shared by
// every user of the machine, so that folder is world-writable with the sticky
// bit, like /tmp.
DWORD EventFolder(bool global, std::filesystem::path& folder)
{
    folder = (global ? GlobalRuntimePath() : StateFolderPath(StateFolder::Runtime)) / "events";
    const mode_t mode = global ? 01777 : 0700;
    if (::mkdir(folder.c_str(), mode) == 0) {
        ::chmod(folder.c_str(), mode);  // the umask may have narrowed it
    } else if (errno != EEXIST) {
        return ErrorFromErrno(errno);
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return ErrorFromErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Exclusive lock on "<folder>/.lock" for the object's life.
class FolderLock {
public:
    FolderLock(const std::filesystem::path& folder, bool global)
    {
        const std::filesystem::path file = folder / ".lock";
        fd_ = ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, global ? 0666 : 0600);
        if (fd_ >= 0 && global)
            ::fchmod(fd_, 0666);  // other users must be able to open it; fails harmlessly when not ours
        if (fd_ >= 0 && FlockRetry(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        error_ = fd_ >= 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    DWORD error() const { return error_; }

private:
    int fd_ = -1;
    DWORD error_ = ERROR_SUCCESS;
};

// Byte-range lock on the record, per open file (so also between two handles
// of one process); released on destruction.
class RecordLock {
public:
    explicit RecordLock(int fd)
        : fd_(fd)
    {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = kRecordSize;
        int rc;
        do {
            rc = ::fcntl(fd_, F_OFD_SETLKW, &lock);
        } while (rc != 0 && errno == EINTR);
        locked_ = rc == 0;
        // A read-only handle cannot take a write lock; it only reads one
        // byte, which needs no lock.
    }
    ~RecordLock()
    {
        if (!locked_)
            return;
        struct flock lock {};
        lock.l_type = F_UNLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = kRecordSize;
        ::fcntl(fd_, F_OFD_SETLK, &lock);
    }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    int fd_;
    bool locked_ = false;
};

bool WriteRecord(int fd, bool manualReset, bool signalled)
{
    char record[kRecordSize] = {};
    std::memcpy(record, kMagic, sizeof kMagic);
    record[kManualOffset] = manualReset ? 1 : 0;
    record[kSignalledOffset] = signalled ? 1 : 0;
    return ::pwrite(fd, record, kRecordSize, 0) == static_cast<ssize_t>(kRecordSize) && ::ftruncate(fd, kRecordSize) == 0;
}

// The byte at OFFSET, or 0 when the file is shorter (a record damaged by
// someone else reads as "not signalled", never as a crash).
char ReadFlag(int fd, std::size_t offset)
{
    char flag = 0;
    if (::pread(fd, &flag, 1, static_cast<off_t>(offset)) != 1)
        return 0;
    return flag;
}

bool WriteFlag(int fd, std::size_t offset, char value)
{
    return ::pwrite(fd, &value, 1, static_cast<off_t>(offset)) == 1;
}

}  // namespace

class Event::Object {
public:
    Object(int fd, bool manualReset, bool global, std::filesystem::path folder, std::filesystem::path file)
        : fd_(fd)
        , manualReset_(manualReset)
        , global_(global)
        , folder_(std::move(folder))
        , file_(std::move(file))
    {
    }

    ~Object()
    {
        if (file_.empty()) {
            ::close(fd_);
            return;
        }
        // The last holder removes the file, under the folder lock so nobody
        // opens it in between. A file left by a crashed holder is reused by
        // the next creation.
        FolderLock lock(folder_, global_);
        ::close(fd_);
        if (lock.error() != ERROR_SUCCESS)
            return;
        const int probe = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (probe < 0)
            return;
        if (FlockRetry(probe, LOCK_EX | LOCK_NB) == 0)
            ::unlink(file_.c_str());
        ::close(probe);
    }

    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    DWORD SetSignalled(bool signalled)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RecordLock lock(fd_);
        return WriteFlag(fd_, kSignalledOffset, signalled ? 1 : 0) ? ERROR_SUCCESS : ErrorFromErrno(errno);
    }

    // One look at the flag; takes the signal of an auto-reset event.
    bool TryAcquire()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RecordLock lock(fd_);
        if (ReadFlag(fd_, kSignalledOffset) == 0)
            return false;
        if (!manualReset_)
            WriteFlag(fd_, kSignalledOffset, 0);
        return true;
    }

    DWORD Wait(DWORD timeoutMs)
    {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        for (int polls = 0;; ++polls) {
            if (TryAcquire())
                return WAIT_OBJECT_0;
            std::chrono::milliseconds pause(polls < 20 ? 1 : 4);
            if (timeoutMs != INFINITE) {
                const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
                const std::chrono::milliseconds limit(timeoutMs);
                if (elapsed >= limit)
                    return WAIT_TIMEOUT;
                pause = std::min(pause, limit - elapsed);
            }
            std::this_thread::sleep_for(pause);
        }
    }

private:
    std::mutex mutex_;  // one record update at a time within this handle
    int fd_;
    bool manualReset_;
    bool global_;
    std::filesystem::path folder_;
    std::filesystem::path file_;  // empty for an unnamed event
};

namespace {

DWORD CreateUnnamed(bool manualReset, bool initialState, std::shared_ptr<Event::Object>& object)
{
    const std::filesystem::path folder = StateFolderPath(StateFolder::Runtime);
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return ErrorFromErrno(errno);
    if (!WriteRecord(fd, manualReset, initialState)) {
        const DWORD error = ErrorFromErrno(errno);
        ::close(fd);
        return error;
    }
    object = std::make_shared<Event::Object>(fd, manualReset, false, folder, std::filesystem::path());
    return ERROR_SUCCESS;
}

// Creates (CREATE) or opens the named event. Returns ERROR_SUCCESS (new),
// ERROR_ALREADY_EXISTS (existing) or an error.
DWORD OpenNamed(const ParsedName& name, bool create, bool manualReset, bool initialState,
                std::shared_ptr<Event::Object>& object)
{
    std::filesystem::path folder;
    DWORD error = EventFolder(name.global, folder);
    if (error != ERROR_SUCCESS)
        return error;
    const std::filesystem::path file = folder / name.fileName;
    FolderLock lock(folder, name.global);
    if (lock.error() != ERROR_SUCCESS)
        return lock.error();

    const mode_t mode = name.global ? 0666 : 0600;
    int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), mode);
    if (fd < 0 && errno == EACCES)
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);  // another user's global event
    if (fd < 0)
        return ErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ERROR_ACCESS_DENIED;
    }

    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds it: the file is new or was left by holders that died.
        if (!create) {
            ::unlink(file.c_str());
            ::close(fd);
            return ERROR_FILE_NOT_FOUND;
        }
        if (name.global)
            ::fchmod(fd, 0666);
        if (!WriteRecord(fd, manualReset, initialState) || FlockRetry(fd, LOCK_SH) != 0) {
            const DWORD writeError = ErrorFromErrno(errno);
            ::close(fd);
            return writeError;
        }
        object = std::make_shared<Event::Object>(fd, manualReset, name.global, folder, file);
        return ERROR_SUCCESS;
    }
    if (errno != EWOULDBLOCK || FlockRetry(fd, LOCK_SH) != 0) {
        const DWORD lockError = ErrorFromErrno(errno);
        ::close(fd);
        return lockError;
    }
    const bool existingManual = ReadFlag(fd, kManualOffset) != 0;
    object = std::make_shared<Event::Object>(fd, existingManual, name.global, folder, file);
    return ERROR_ALREADY_EXISTS;
}

}  // namespace

Event::Event() = default;
Event::~Event() = default;
Event::Event(Event&&) noexcept = default;
Event& Event::operator=(Event&&) noexcept = default;

DWORD Event::Create(std::string_view name, bool manualReset, bool initialState, Event& event)
{
    ParsedName parsed;
    DWORD error = ParseName(name, parsed);
    if (error != ERROR_SUCCESS)
        return error;
    std::shared_ptr<Object> object;
    error = parsed.fileName.empty() ? CreateUnnamed(manualReset, initialState, object)
                                    : OpenNamed(parsed, /*create=*/true, manualReset, initialState, object);
    if (object)
        event.object_ = std::move(object);
    return error;
}

DWORD Event::Open(std::string_view name, Event& event)
{
    ParsedName parsed;
    DWORD error = ParseName(name, parsed);
    if (error != ERROR_SUCCESS)
        return error;
    if (parsed.fileName.empty())
        return ERROR_INVALID_NAME;  // an unnamed event cannot be opened by name
    std::shared_ptr<Object> object;
    error = OpenNamed(parsed, /*create=*/false, false, false, object);
    if (error == ERROR_ALREADY_EXISTS) {
        event.object_ = std::move(object);
        return ERROR_SUCCESS;
    }
    return error;
}

bool Event::Exists(std::string_view name)
{
    Event event;
    return Open(name, event) == ERROR_SUCCESS;
}

bool Event::IsOpen() const
{
    return object_ != nullptr;
}

void Event::Close()
{
    object_.reset();
}

DWORD Event::Set()
{
    return object_ ? object_->SetSignalled(true) : ERROR_INVALID_HANDLE;
}

DWORD Event::Reset()
{
    return object_ ? object_->SetSignalled(false) : ERROR_INVALID_HANDLE;
}

DWORD Event::Wait(DWORD timeoutMs)
{
    if (!object_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object_->Wait(timeoutMs);
}

}  // namespace win
