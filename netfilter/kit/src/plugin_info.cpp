#include "kit/plugin_info.h"

#include <cstring>

namespace nfkit {

std::int32_t FillPluginInfo(FilterPluginInfo* info, const char* name, std::uint32_t build)
{
    if (info == nullptr)
        return KELM_FILTER_INVALID_PARAMETER;
    const std::size_t n = std::strlen(name);
    if (n < sizeof info->name) {
        std::memcpy(info->name, name, n + 1);
    }
    std::memcpy(info->vendor, kVendorName, sizeof kVendorName);
    info->version = KELM_FILTER_VERSION;
    info->build = build;
    return 0;
}

}  // namespace nfkit
