// /proc/<pid>/stat carries a name any process chooses; the other files are
// the kernel's, but all are parsed as untrusted text.
#include "proc_text.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    win::DWORD parent = 0;
    std::string name;
    win::detail::ParseProcStat(text, parent, name);
    win::detail::ParseOsRelease(text);
    win::CpuInformation cpu;
    win::detail::ParseCpuInfo(text, cpu);
    win::detail::ParseMemInfo(text);
    return 0;
}
