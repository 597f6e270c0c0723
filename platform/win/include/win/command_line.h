// Command lines as one text, the way the suite's programs read them: the
// whole line is split into tokens by the program itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

// The characters that separate tokens: blank, tab and line feed.
inline constexpr std::string_view kCommandLineSeparators = " \t\n";

// Splits COMMAND_LINE at blanks, tabs and line feeds; double quotes group
// text with separators into one token and are removed (a quote opens or
// closes a group wherever it stands, so /html:"a b" gives /html:a b). Runs
// of separators make no empty tokens, but "" makes an empty one. An
// unclosed quote groups to the end. There are no escapes.
std::vector<std::string> TokenizeCommandLine(std::string_view commandLine);

// Splits TEXT at every character of SEPARATORS, with no quote handling;
// empty pieces are dropped.
std::vector<std::string> SplitAtAny(std::string_view text, std::string_view separators = kCommandLineSeparators);

// One command line from separate arguments: arguments that are empty or hold
// a separator are put in double quotes, so TokenizeCommandLine gives them
// back (arguments holding a double quote themselves cannot round-trip).
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// This process's command line, program path first, joined as above (from
// /proc/self/cmdline; empty when that cannot be read).
std::string GetCommandLine();

}  // namespace win
