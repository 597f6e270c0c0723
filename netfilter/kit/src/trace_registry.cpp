#include "kit/trace_registry.h"

#include <win/registry.h>

namespace nfkit {

namespace {

std::optional<std::uint32_t> ReadNumber(const win::RegKey& key, const char* name)
{
    win::DWORD value = 0;
    if (key.QueryDword(name, value) != win::ERROR_SUCCESS)
        return std::nullopt;  // missing, or of another type: ignored
    return value;
}

std::optional<std::string> ReadText(const win::RegKey& key, const char* name)
{
    std::string value;
    if (key.QueryString(name, value, /*expand=*/true) != win::ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<TraceRegistryValues> ReadTraceRegistry(std::string_view keyPath)
{
    const std::string_view path = keyPath.empty() ? std::string_view(kDefaultTraceKey) : keyPath;
    win::RegKey key;
    if (win::RegKey::Open(win::Hive::CurrentUser, path, key) != win::ERROR_SUCCESS &&
        win::RegKey::Open(win::Hive::LocalMachine, path, key) != win::ERROR_SUCCESS)
        return std::nullopt;

    TraceRegistryValues values;
    values.level = ReadNumber(key, "Level");
    values.outputToFile = ReadNumber(key, "OutputToFile");
    values.outputToDebug = ReadNumber(key, "OutputToDebug");
    values.outputToScreen = ReadNumber(key, "OutputToScreen");
    values.includeDateTime = ReadNumber(key, "IncludeDateTime");
    values.file = ReadText(key, "File");
    values.prefix = ReadText(key, "Prefix");
    return values;
}

}  // namespace nfkit
