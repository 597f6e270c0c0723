#include "kit/file_check.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace nfkit {

FileReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FileReadResult::CannotOpen;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileReadResult::CannotOpen;
    }
    if (static_cast<std::uint64_t>(info.st_size) > kMaxDatabaseFileSize) {
        ::close(fd);
        return FileReadResult::TooLarge;
    }
    try {
        bytes.resize(static_cast<std::size_t>(info.st_size));
    } catch (...) {
        ::close(fd);
        return FileReadResult::ReadError;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // the file shrank while being read: keep what is there
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return FileReadResult::Ok;
}

std::uint32_t Crc32From(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    constexpr std::size_t kStep = 256 * 1024;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t at = offset; at < bytes.size(); at += kStep) {
        const std::size_t n = bytes.size() - at < kStep ? bytes.size() - at : kStep;
        crc = crc32(crc, bytes.data() + at, static_cast<uInt>(n));
    }
    return static_cast<std::uint32_t>(crc);
}

}  // namespace nfkit
