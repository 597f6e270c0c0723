#include "record_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace win::detail {

RecordResult AppendRecordLine(const char* variable, const std::string& line)
{
    const char* path = std::getenv(variable);
    if (path == nullptr || *path == '\0')
        return RecordResult::NotRequested;
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return RecordResult::Failed;
    const std::string text = line + '\n';
    ssize_t written;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    ::close(fd);
    return written == static_cast<ssize_t>(text.size()) ? RecordResult::Written : RecordResult::Failed;
}

}  // namespace win::detail
