// GMCTraceLog: the levelled diagnostic trace of the plug-ins and their host.
//
// The host may create one and hand it to a plug-in (SetTrace); both sides
// then work on the same object, so the class has no virtual functions and a
// fixed layout built from plain arrays. A line is written when its level is at
// or below the configured level; runs of identical messages collapse into one
// "Last Message Repeated < n > times" line. Printing never throws.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <mutex>

namespace nfkit {

inline constexpr std::size_t kTraceTextSize = 260;     // file path and prefix, NUL included
inline constexpr std::size_t kTraceMessageSize = 1024; // one message, NUL included
inline constexpr std::size_t kTraceLineSize = 2177;    // one output line, NUL included
inline constexpr std::size_t kTraceHeadPrefixMax = 127;

// The default log file: "VRXTRACE.LOG" in the state root's log folder (the
// stand-in for the original's file at the root of the system drive).
const char* DefaultTraceFile();

// Where one line goes. Owned by GMCTraceLog; exists only while the configured
// level is above 0.
class TraceSink {
public:
    TraceSink(const char* filePath, const char* prefix);

    void Output(const char* text);

    bool enabled = true;
    bool toFile = false;
    bool toScreen = false;
    bool toDebugger = true;
    bool includeDateTime = false;
    bool keepFileOpen = false;   // the file is closed between lines
    bool appendLineEnd = true;
    std::uint32_t maxFileSize = 0;  // 0: no limit

private:
    bool WriteToFile(const char* line, std::size_t length);

    char m_filePath[kTraceTextSize];
    char m_prefix[kTraceTextSize];
    int m_file = -1;
};

}  // namespace nfkit

class GMCTraceLog {
public:
    // Configures without the registry: LEVEL, debugger output only, PREFIX
    // (may be null).
    GMCTraceLog(std::uint32_t level, const char* prefix);
    ~GMCTraceLog();
    GMCTraceLog(const GMCTraceLog&) = delete;
    GMCTraceLog& operator=(const GMCTraceLog&) = delete;

    // With KEY_PATH null: as the constructor. With a key path (empty means
    // "SOFTWARE\\Orlent\\Trace"): the registry's settings, the level being
    // the larger of the registry's and LEVEL, PREFIX used when the registry
    // gives none. Replaces any earlier configuration.
    void Configure(const char* keyPath, std::uint32_t level, const char* prefix);

    void PrintTraceLog(std::uint32_t level, const char* text);
    // printf-style; nothing is formatted when the line would not be written.
    void PrintTraceLogF(std::uint32_t level, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void PrintTraceLogV(std::uint32_t level, const char* format, va_list args);

    bool IsEnabled() const { return m_enabled; }
    std::uint32_t Level() const { return m_level; }
    // True when a line of LEVEL would be written.
    bool Wants(std::uint32_t level) const { return m_enabled && level <= m_level; }

    nfkit::TraceSink* Sink() { return m_sink; }
    const char* FilePath() const { return m_filePath; }
    const char* Prefix() const { return m_prefix; }

private:
    void PrintLocked(std::uint32_t level, const char* text);

    nfkit::TraceSink* m_sink = nullptr;
    std::uint32_t m_level = 0;
    bool m_toFile = false;
    bool m_toDebugger = true;
    bool m_toScreen = false;
    bool m_includeDateTime = false;
    char m_filePath[nfkit::kTraceTextSize] = {};
    char m_prefix[nfkit::kTraceTextSize] = {};
    char m_previous[nfkit::kTraceMessageSize] = {};
    std::uint32_t m_repeatCount = 0;
    std::mutex m_lock;
    bool m_enabled = false;
};
