#include "report_log.h"

#include "real_calls.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

extern char* program_invocation_short_name;

namespace lsp {
namespace {

void WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = Real().write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

void ReportLog::Open(std::string path)
{
    m_path = std::move(path);
}

void ReportLog::Write(ReportSeverity severity, std::string_view text)
{
    int savedErrno = errno;
    std::string body(text);
    syslog((severity == ReportSeverity::Warning ? LOG_WARNING : LOG_INFO) | LOG_USER, "kelmlsp: %s", body.c_str());
    if (!m_path.empty()) {
        int fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char stamp[32] = "";
            std::time_t now = std::time(nullptr);
            std::tm local{};
            if (localtime_r(&now, &local) != nullptr)
                std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
            std::string line = std::string(stamp) + " " + program_invocation_short_name + "[" +
                               std::to_string(::getpid()) + "]: " + body + "\n";
            WriteAll(fd, line);
            Real().close(fd);
        }
    }
    errno = savedErrno;
}

void ReportLog::WriteNotice(std::string_view text)
{
    Write(ReportSeverity::Warning, text);
    int savedErrno = errno;
    WriteAll(STDERR_FILENO, "libkelmlsp: " + std::string(text) + "\n");
    errno = savedErrno;
}

ReportLog& Log()
{
    static ReportLog* log = new ReportLog();  // never destroyed: used until the process ends
    return *log;
}

}  // namespace lsp
