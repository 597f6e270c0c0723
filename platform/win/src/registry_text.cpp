// Text helpers of the registry: rooted key paths, type names, %VAR% expansion.
#include "win/registry.h"

#include <cstdlib>
#include <cstdio>
#include <strings.h>

namespace win {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && ::strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

}  // namespace

bool ParseRootedKeyPath(std::string_view text, Hive& hive, std::string& path)
{
    static constexpr struct {
        std::string_view name;
        Hive hive;
    } kRoots[] = {
        {"HKEY_CURRENT_USER", Hive::CurrentUser},
        {"HKEY_LOCAL_MACHINE", Hive::LocalMachine},
        {"HKCU", Hive::CurrentUser},
        {"HKLM", Hive::LocalMachine},
    };
    for (const auto& root : kRoots) {
        if (!StartsWithNoCase(text, root.name))
            continue;
        std::string_view rest = text.substr(root.name.size());
        if (!rest.empty() && rest.front() != '\\')
            continue;  // "HKCUX" is no root
        while (!rest.empty() && rest.front() == '\\')
            rest.remove_prefix(1);
        hive = root.hive;
        path.assign(rest);
        return true;
    }
    return false;
}

const char* HiveName(Hive hive)
{
    return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string RegTypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: break;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "REG_0x%X", static_cast<unsigned>(type));
    return buffer;
}

std::string ExpandEnvironmentStrings(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));  // a lone "%"
            break;
        }
        const std::string name(text.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value != nullptr)
            out.append(value);
        else
            out.append(text.substr(open, close - open + 1));  // kept as written
        i = close + 1;
    }
    return out;
}

}  // namespace win
