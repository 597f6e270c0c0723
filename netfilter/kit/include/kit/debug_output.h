// The debugger channel of the trace log and of the database readers.
//
// On the original platform a debug string reaches an attached debugger and is
// otherwise lost. Here a debug string goes to the handler installed with
// SetDebugOutputHandler (tests install one), and otherwise to standard error
// only when the environment variable KELM_DEBUG_OUTPUT is "1", so a program
// running under the socket shim is never disturbed by it.
#pragma once

#include <functional>
#include <string_view>

namespace nfkit {

using DebugOutputHandler = std::function<void(std::string_view text)>;

void OutputDebugString(std::string_view text);

// Installs HANDLER for the whole process (an empty one restores the default)
// and returns the previous handler.
DebugOutputHandler SetDebugOutputHandler(DebugOutputHandler handler);

}  // namespace nfkit
