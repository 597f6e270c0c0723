// Parsers for the text files of /proc and /etc the system facts read. They
// take the file content, so tests feed them samples; malformed text gives
// empty or zero fields, never an error.
#pragma once

#include "win/system_info.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace win::detail {

// The parent id and the command name from /proc/<pid>/stat. The name sits in
// parentheses and may itself hold ")" and blanks, so the fields after it are
// found from the last ")".
bool ParseProcStat(std::string_view stat, DWORD& parentId, std::string& name);

// KEY=VALUE lines of os-release, with the quotes of quoted values removed.
std::map<std::string, std::string> ParseOsRelease(std::string_view text);

// Vendor, model and speed of the first processor block of /proc/cpuinfo.
void ParseCpuInfo(std::string_view text, CpuInformation& cpu);

// The figures of /proc/meminfo ("MemTotal:  16318412 kB" lines) in bytes.
MemoryInformation ParseMemInfo(std::string_view text);

}  // namespace win::detail
