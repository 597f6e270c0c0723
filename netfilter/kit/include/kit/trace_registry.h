// Reads the trace settings of GMCTraceLog from the registry: one small
// function so the trace log itself knows nothing of how the registry works.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nfkit {

// The trace key used when a caller passes an empty key path.
inline constexpr const char* kDefaultTraceKey = "SOFTWARE\\Orlent\\Trace";

// What the key held. A field is empty when the value was missing or of
// another type than expected (32-bit number or text).
struct TraceRegistryValues {
    std::optional<std::uint32_t> level;
    std::optional<std::uint32_t> outputToFile;
    std::optional<std::uint32_t> outputToDebug;
    std::optional<std::uint32_t> outputToScreen;
    std::optional<std::uint32_t> includeDateTime;
    std::optional<std::string> file;    // expandable text already expanded
    std::optional<std::string> prefix;  // expandable text already expanded
};

// Opens KEY_PATH (the default key when empty) under the current user, or
// under the local machine when the user's key is missing. Without either key
// returns nothing.
std::optional<TraceRegistryValues> ReadTraceRegistry(std::string_view keyPath);

}  // namespace nfkit
