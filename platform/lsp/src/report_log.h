// Where the shim reports what the plug-ins did and what went wrong: one line
// per event, appended to the shim's log file and sent to syslog.
//
// Each line is written with one write() on a descriptor opened with
// O_APPEND, so the lines of several processes sharing the file never mix.
#pragma once

#include <string>
#include <string_view>

namespace lsp {

enum class ReportSeverity { Info, Warning };

class ReportLog {
public:
    // PATH: the log file (empty: syslog only).
    void Open(std::string path);
    // "<date> <time> <program>[<pid>]: <text>" to the file; TEXT to syslog.
    void Write(ReportSeverity severity, std::string_view text);
    // Also on the program's standard error, once: for the one message that
    // says why filtering is off.
    void WriteNotice(std::string_view text);

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The process's one log.
ReportLog& Log();

}  // namespace lsp
