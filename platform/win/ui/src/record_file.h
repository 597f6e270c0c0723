// The record files of the sound and shut-down stand-ins: when an environment
// variable names a file, the call appends one line there instead of acting.
#pragma once

#include <string>

namespace win::detail {

enum class RecordResult {
    NotRequested,  // the variable is unset or empty: act for real
    Written,       // the line is in the file
    Failed,        // the variable is set but the file could not be written
};

// Appends LINE and a line feed to the file named by VARIABLE, in one write
// with O_APPEND, so lines of several threads and processes never mix.
RecordResult AppendRecordLine(const char* variable, const std::string& line);

}  // namespace win::detail
