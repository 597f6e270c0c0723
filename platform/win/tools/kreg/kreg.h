// kreg: a command-line tool for the suite's registry, in the spirit of `reg`.
//
//   kreg query  KEY [/v NAME | /ve] [/s]
//   kreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
//   kreg delete KEY [/v NAME | /ve | /va] [/f]
//   kreg export KEY FILE            (FILE "-" writes to standard output)
//
// KEY starts with HKCU\, HKLM\, HKEY_CURRENT_USER\ or HKEY_LOCAL_MACHINE\.
// The tool's logic lives here, apart from main(), so tests can run it in
// process with their own streams.
#pragma once

#include "win/registry.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace kreg {

// Runs one kreg command (ARGS without the program name). Output goes to OUT,
// messages to ERR; IN answers confirmation questions and may be null (then
// nothing is asked and a command that would ask is refused). Returns the
// process exit code: 0 on success, 1 on failure.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream* in);

// The data of a value as `query` prints it: text as is, REG_DWORD and
// REG_QWORD as 0x-hex, REG_MULTI_SZ joined with "\0", anything else as hex
// digits of its bytes.
std::string FormatData(win::DWORD type, const std::vector<std::uint8_t>& data);

// Parses DATA of TYPE as `add` takes it (numbers in decimal or 0x-hex,
// binary as hex digits, multi-string texts separated by "\0"). Returns false
// and sets ERROR to a message when DATA is no valid value of TYPE.
bool ParseData(win::DWORD type, const std::string& data, std::vector<std::uint8_t>& bytes, std::string& error);

// "REG_SZ" ... to the type number; false for names kreg does not know.
bool ParseTypeName(const std::string& name, win::DWORD& type);

}  // namespace kreg
