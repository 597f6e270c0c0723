#include "win/system_info.h"

#include "proc_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace win {
namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ReadLink(const std::string& path)
{
    std::string buffer(4096, '\0');
    const ssize_t size = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (size <= 0)
        return {};
    buffer.resize(static_cast<std::size_t>(size));
    return buffer;
}

std::optional<DWORD> ParseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<DWORD>(value);
}

std::uint64_t ClockMilliseconds()
{
    timespec now {};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}

DWORD GetParentProcessId()
{
    return static_cast<DWORD>(::getppid());
}

std::string GetProcessImagePath(DWORD pid)
{
    return ReadLink("/proc/" + std::to_string(pid) + "/exe");
}

std::vector<ProcessEntry> SnapshotProcesses()
{
    std::vector<ProcessEntry> entries;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return entries;
    while (const dirent* item = ::readdir(proc)) {
        const auto pid = ParseDecimal(item->d_name);
        if (!pid)
            continue;
        ProcessEntry entry;
        entry.processId = *pid;
        std::string name;
        if (!detail::ParseProcStat(ReadFile("/proc/" + std::to_string(*pid) + "/stat"), entry.parentProcessId, name))
            continue;  // ended meanwhile
        entry.imagePath = GetProcessImagePath(*pid);
        const std::size_t slash = entry.imagePath.rfind('/');
        entry.exeFile = slash == std::string::npos ? name : entry.imagePath.substr(slash + 1);
        entries.push_back(std::move(entry));
    }
    ::closedir(proc);
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.processId < b.processId; });
    return entries;
}

DWORD GetCurrentSessionId()
{
    std::string audit = ReadFile("/proc/self/sessionid");
    while (!audit.empty() && (audit.back() == '\n' || audit.back() == ' '))
        audit.pop_back();
    // 4294967295 is the kernel's "no audit session".
    if (const auto id = ParseDecimal(audit); id && *id != 0xFFFFFFFFu)
        return *id;
    if (const char* xdg = std::getenv("XDG_SESSION_ID")) {
        // Login managers use plain numbers ("3") or a letter and a number ("c2").
        std::string_view digits = xdg;
        while (!digits.empty() && (digits.front() < '0' || digits.front() > '9'))
            digits.remove_prefix(1);
        if (const auto id = ParseDecimal(digits))
            return *id;
    }
    return 0;
}

std::string GetCurrentUserSid()
{
    return "S-1-22-1-" + std::to_string(::getuid());
}

std::string GetUserName()
{
    std::string buffer(16384, '\0');
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && *found->pw_name != '\0')
        return found->pw_name;
    for (const char* variable : {"USER", "LOGNAME"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
            return value;
    }
    return std::to_string(::getuid());
}

std::string GetComputerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string GetDesktopName()
{
    return "Default";
}

OsInformation GetOSInformation()
{
    OsInformation os;
    utsname uts {};
    const bool haveUname = ::uname(&uts) == 0;
    std::string release = ReadFile("/etc/os-release");
    if (release.empty())
        release = ReadFile("/usr/lib/os-release");
    const auto fields = detail::ParseOsRelease(release);
    const auto field = [&](const char* key) {
        const auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    };
    os.platform = field("NAME");
    if (os.platform.empty() && haveUname)
        os.platform = uts.sysname;
    os.fullVersion = field("VERSION");
    if (os.fullVersion.empty())
        os.fullVersion = field("VERSION_ID");
    if (haveUname) {
        os.buildNumber = uts.release;
        if (os.fullVersion.empty())
            os.fullVersion = uts.release;
    }
    return os;
}

CpuInformation GetCPUInformation()
{
    CpuInformation cpu;
    utsname uts {};
    if (::uname(&uts) == 0)
        cpu.architecture = uts.machine;
    detail::ParseCpuInfo(ReadFile("/proc/cpuinfo"), cpu);
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    cpu.count = online > 0 ? static_cast<DWORD>(online) : 1;
    return cpu;
}

MemoryInformation GetMemoryInformation()
{
    return detail::ParseMemInfo(ReadFile("/proc/meminfo"));
}

ULONGLONG GetTickCount64()
{
    return ClockMilliseconds();
}

DWORD GetTickCount()
{
    return TickCountFromMilliseconds(ClockMilliseconds());
}

}  // namespace win
