#include "kit/trace_log.h"

#include "kit/debug_output.h"
#include "kit/trace_registry.h"

#include <win/state_root.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace nfkit {

namespace {

// Copies SRC into DST (SIZE bytes, NUL included), cutting what does not fit.
void CopyText(char* dst, std::size_t size, const char* src)
{
    if (src == nullptr)
        src = "";
    std::size_t n = std::strlen(src);
    if (n >= size)
        n = size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

constexpr int kFileOpenAttempts = 4;
constexpr auto kFileRetryDelay = std::chrono::milliseconds(25);

}  // namespace

const char* DefaultTraceFile()
{
    static const std::string path = [] {
        try {
            return (win::StateFolderPath(win::StateFolder::Logs) / "VRXTRACE.LOG").string();
        } catch (...) {
            return std::string("/tmp/VRXTRACE.LOG");
        }
    }();
    return path.c_str();
}

TraceSink::TraceSink(const char* filePath, const char* prefix)
{
    CopyText(m_filePath, sizeof m_filePath, filePath);
    CopyText(m_prefix, sizeof m_prefix, prefix);
}

void TraceSink::Output(const char* text)
{
    if (!enabled)
        return;
    if (m_filePath[0] == '\0')
        toFile = false;
    if (!toFile && !toScreen && !toDebugger)
        return;

    char line[kTraceLineSize];
    int head = 0;
    if (includeDateTime) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char clock[16];
        char date[16];
        std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
        std::strftime(date, sizeof date, "%m/%d/%y", &local);
        head = std::snprintf(line, sizeof line, "%s\t%s\t%s:\t", m_prefix, clock, date);
    } else {
        head = std::snprintf(line, sizeof line, "%.*s", static_cast<int>(kTraceHeadPrefixMax), m_prefix);
    }
    if (head < 0)
        head = 0;
    std::size_t length = static_cast<std::size_t>(head);
    if (length >= sizeof line)
        length = sizeof line - 1;
    std::snprintf(line + length, sizeof line - length, "%s", text);
    length += std::strlen(line + length);

    if (toScreen) {
        std::fwrite(line, 1, length, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (toDebugger)
        OutputDebugString(std::string_view(line, length));
    if (toFile)
        WriteToFile(line, length);
}

bool TraceSink::WriteToFile(const char* line, std::size_t length)
{
    // Opened exclusively: the advisory lock keeps two processes tracing into
    // one file from interleaving parts of lines.
    int fd = -1;
    for (int attempt = 0; attempt < kFileOpenAttempts; ++attempt) {
        fd = ::open(m_filePath, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        if (attempt + 1 < kFileOpenAttempts)
            std::this_thread::sleep_for(kFileRetryDelay);
    }
    if (fd < 0)
        return false;  // this line is lost; the other outputs already happened

    bool ok = ::lseek(fd, 0, SEEK_END) >= 0;
    std::string out(line, length);
    if (appendLineEnd)
        out += "\r\n";
    std::size_t written = 0;
    while (ok && written < out.size()) {
        const ssize_t n = ::write(fd, out.data() + written, out.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            written += static_cast<std::size_t>(n);
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return ok;
}

}  // namespace nfkit

GMCTraceLog::GMCTraceLog(std::uint32_t level, const char* prefix)
{
    Configure(nullptr, level, prefix);
}

GMCTraceLog::~GMCTraceLog()
{
    delete m_sink;
}

void GMCTraceLog::Configure(const char* keyPath, std::uint32_t level, const char* prefix)
{
    std::lock_guard<std::mutex> guard(m_lock);
    delete m_sink;
    m_sink = nullptr;
    m_enabled = false;
    m_repeatCount = 0;
    m_previous[0] = '\0';

    m_toDebugger = true;
    m_toFile = false;
    m_toScreen = false;
    m_includeDateTime = false;
    nfkit::CopyText(m_filePath, sizeof m_filePath, nfkit::DefaultTraceFile());

    if (keyPath == nullptr) {
        m_level = level;
        nfkit::CopyText(m_prefix, sizeof m_prefix, prefix);
    } else {
        std::uint32_t registryLevel = 0;
        m_prefix[0] = '\0';
        try {
            if (auto values = nfkit::ReadTraceRegistry(keyPath)) {
                registryLevel = values->level.value_or(0);
                if (values->outputToFile)
                    m_toFile = *values->outputToFile != 0;
                if (values->outputToDebug)
                    m_toDebugger = *values->outputToDebug != 0;
                if (values->outputToScreen)
                    m_toScreen = *values->outputToScreen != 0;
                if (values->includeDateTime)
                    m_includeDateTime = *values->includeDateTime != 0;
                if (values->file)
                    nfkit::CopyText(m_filePath, sizeof m_filePath, values->file->c_str());
                if (values->prefix)
                    nfkit::CopyText(m_prefix, sizeof m_prefix, values->prefix->c_str());
            }
        } catch (...) {
            // An unreadable registry leaves the defaults.
        }
        m_level = registryLevel > level ? registryLevel : level;
        if (m_prefix[0] == '\0')
            nfkit::CopyText(m_prefix, sizeof m_prefix, prefix);
    }

    if (m_level != 0) {
        m_sink = new (std::nothrow) nfkit::TraceSink(m_filePath, m_prefix);
        if (m_sink != nullptr) {
            m_sink->toFile = m_toFile;
            m_sink->toDebugger = m_toDebugger;
            m_sink->toScreen = m_toScreen;
            m_sink->includeDateTime = m_includeDateTime;
        }
    }
    m_enabled = m_sink != nullptr;
}

void GMCTraceLog::PrintTraceLog(std::uint32_t level, const char* text)
{
    if (!Wants(level))
        return;
    try {
        std::lock_guard<std::mutex> guard(m_lock);
        PrintLocked(level, text);
    } catch (...) {
        nfkit::OutputDebugString("GMCTraceLog:PrintTraceLog() exception\r\n");
    }
}

void GMCTraceLog::PrintLocked(std::uint32_t level, const char* text)
{
    if (m_sink == nullptr)
        return;
    char current[nfkit::kTraceMessageSize];
    nfkit::CopyText(current, sizeof current, text);
    if (std::strcmp(current, m_previous) == 0) {
        ++m_repeatCount;
        return;
    }
    if (m_repeatCount > 0) {
        char repeated[64];
        std::snprintf(repeated, sizeof repeated, "Last Message Repeated < %u > times\n", m_repeatCount);
        m_sink->Output(repeated);
        m_repeatCount = 0;
    }
    char line[nfkit::kTraceMessageSize + 16];
    std::snprintf(line, sizeof line, "[%u]\t%s", level, current);
    m_sink->Output(line);
    std::memcpy(m_previous, current, sizeof current);
}

void GMCTraceLog::PrintTraceLogF(std::uint32_t level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    PrintTraceLogV(level, format, args);
    va_end(args);
}

void GMCTraceLog::PrintTraceLogV(std::uint32_t level, const char* format, va_list args)
{
    if (!Wants(level))
        return;
    try {
        char text[nfkit::kTraceMessageSize];
        std::vsnprintf(text, sizeof text, format, args);
        std::lock_guard<std::mutex> guard(m_lock);
        PrintLocked(level, text);
    } catch (...) {
        nfkit::OutputDebugString("GMCTraceLog:PrintTraceLog(varlist) exception\r\n");
    }
}
