#include "proc_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace win::detail {
namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Calls LINE for every line of TEXT.
template <typename Fn>
void ForEachLine(std::string_view text, Fn line)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        line(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text)
{
    text = Trim(text);
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    const std::string copy(text);
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(copy.c_str(), &end, 10);
    if (errno != 0)
        return std::nullopt;
    return value;
}

}  // namespace

bool ParseProcStat(std::string_view stat, DWORD& parentId, std::string& name)
{
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return false;
    name.assign(stat.substr(open + 1, close - open - 1));
    // After ") ": the state (one letter), a blank, then the parent id.
    std::string_view rest = stat.substr(close + 1);
    rest = Trim(rest);
    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos)
        return false;
    rest.remove_prefix(blank + 1);
    const std::size_t end = rest.find(' ');
    const auto parent = ParseUnsigned(rest.substr(0, end));
    if (!parent || *parent > 0xFFFFFFFFu)
        return false;
    parentId = static_cast<DWORD>(*parent);
    return true;
}

std::map<std::string, std::string> ParseOsRelease(std::string_view text)
{
    std::map<std::string, std::string> fields;
    ForEachLine(text, [&](std::string_view line) {
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            return;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0)
            return;
        std::string_view value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            unescaped += value[i];
        }
        fields[std::string(line.substr(0, equals))] = unescaped;
    });
    return fields;
}

void ParseCpuInfo(std::string_view text, CpuInformation& cpu)
{
    bool firstBlockDone = false;
    ForEachLine(text, [&](std::string_view line) {
        if (firstBlockDone)
            return;
        if (Trim(line).empty()) {
            // A blank line ends the first processor's block, once it had fields.
            firstBlockDone = !cpu.vendor.empty() || !cpu.modelName.empty() || cpu.speedMhz != 0;
            return;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        const std::string_view key = Trim(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (key == "vendor_id" && cpu.vendor.empty()) {
            cpu.vendor.assign(value);
        } else if (key == "model name" && cpu.modelName.empty()) {
            cpu.modelName.assign(value);
        } else if (key == "cpu MHz" && cpu.speedMhz == 0) {
            const std::string copy(value);
            char* end = nullptr;
            const double mhz = std::strtod(copy.c_str(), &end);
            if (end != copy.c_str() && std::isfinite(mhz) && mhz > 0 && mhz < 1e7)
                cpu.speedMhz = static_cast<DWORD>(std::lround(mhz));
        }
    });
}

MemoryInformation ParseMemInfo(std::string_view text)
{
    std::map<std::string, std::uint64_t, std::less<>> kb;
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        std::string_view value = Trim(line.substr(colon + 1));
        if (value.size() > 3 && value.substr(value.size() - 3) == " kB")
            value.remove_suffix(3);
        if (const auto number = ParseUnsigned(value))
            kb[std::string(Trim(line.substr(0, colon)))] = *number;
    });
    const auto get = [&](std::string_view key) -> std::uint64_t {
        const auto it = kb.find(key);
        // Saturate instead of overflowing on absurd figures.
        if (it == kb.end() || it->second > (UINT64_MAX >> 10))
            return 0;
        return it->second << 10;
    };
    MemoryInformation memory;
    memory.physicalInstalled = get("MemTotal");
    memory.physicalAvailable =
        kb.count("MemAvailable") ? get("MemAvailable") : get("MemFree") + get("Buffers") + get("Cached");
    memory.virtualTotal = memory.physicalInstalled + get("SwapTotal");
    memory.virtualAvailable = memory.physicalAvailable + get("SwapFree");
    return memory;
}

}  // namespace win::detail
