#include "vault.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace korvad {

namespace {

bool Fail(std::string* error, const std::string& what, int code)
{
    if (error != nullptr)
        *error = what + ": " + std::strerror(code);
    return false;
}

void SyncFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string ParentOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

// Copies FROM to TO (created, must not exist) and syncs it. TO keeps the
// permission bits of FROM.
bool CopySynced(const std::string& from, const std::string& to, std::string* error)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return Fail(error, "cannot open " + from, errno);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int code = errno;
        ::close(in);
        return Fail(error, "cannot read " + from, code);
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        const int code = errno;
        ::close(in);
        return Fail(error, "cannot create " + to, code);
    }
    char buffer[1 << 16];
    bool ok = true;
    int code = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false;
            code = errno;
            break;
        }
        if (got == 0)
            break;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                ok = false;
                code = errno != 0 ? errno : EIO;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    ::close(in);
    if (ok && ::fsync(out) != 0) {
        ok = false;
        code = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(to.c_str());
        return Fail(error, "cannot copy " + from + " to " + to, code);
    }
    return true;
}

// Moves FROM to TO, which must not exist.
bool Move(const std::string& from, const std::string& to, std::string* error)
{
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return Fail(error, "something is already at " + to, EEXIST);
    // link() fails on an existing target, so unlike rename() it cannot
    // replace a file that appeared meanwhile.
    if (::link(from.c_str(), to.c_str()) == 0) {
        SyncFolder(ParentOf(to));
        if (::unlink(from.c_str()) != 0)
            return Fail(error, "cannot unlink " + from, errno);
        SyncFolder(ParentOf(from));
        return true;
    }
    if (errno != EXDEV && errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
        return Fail(error, "cannot move " + from, errno);
    // Another file system (or one without hard links): copy, sync, then
    // unlink the original.
    const std::string part = to + ".korvad-part";
    ::unlink(part.c_str());
    if (!CopySynced(from, part, error))
        return false;
    if (::link(part.c_str(), to.c_str()) != 0) {
        const int code = errno;
        ::unlink(part.c_str());
        return Fail(error, "cannot place " + to, code);
    }
    ::unlink(part.c_str());
    SyncFolder(ParentOf(to));
    if (::unlink(from.c_str()) != 0)
        return Fail(error, "cannot unlink " + from, errno);
    SyncFolder(ParentOf(from));
    return true;
}

}  // namespace

Vault::Vault(std::string folder) : m_folder(std::move(folder))
{
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    ::chmod(m_folder.c_str(), 0700);
}

bool Vault::Contains(const std::string& name) const
{
    struct stat st {};
    return !name.empty() && ::lstat(PathOf(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Vault::MoveIn(const std::string& original, const std::string& name, std::string* error)
{
    struct stat st {};
    if (::lstat(original.c_str(), &st) != 0)
        return Fail(error, "cannot find " + original, errno);
    if (!S_ISREG(st.st_mode))
        return Fail(error, original + " is not a regular file", EINVAL);
    return Move(original, PathOf(name), error);
}

bool Vault::MoveOut(const std::string& name, const std::string& original, std::string* error)
{
    if (!Contains(name))
        return Fail(error, "the vault has no copy " + name, ENOENT);
    std::error_code ec;
    std::filesystem::create_directories(ParentOf(original), ec);
    return Move(PathOf(name), original, error);
}

bool Vault::Purge(const std::string& name, std::string* error)
{
    if (!Contains(name))
        return true;
    if (::unlink(PathOf(name).c_str()) != 0)
        return Fail(error, "cannot delete " + PathOf(name), errno);
    SyncFolder(m_folder);
    return true;
}

}  // namespace korvad
