// The plug-in information block both plug-ins fill in GetPluginInfo.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <cstdint>

namespace nfkit {

// The vendor's name: 37 characters, so 38 bytes are written with the NUL.
inline constexpr const char kVendorName[] = "Orlent Internet Protection Laboratory";
static_assert(sizeof kVendorName == 38);

// Writes NAME (NUL-terminated), the vendor, KELM_FILTER_VERSION and BUILD;
// the first word is left alone. Returns KELM_FILTER_INVALID_PARAMETER for a
// null INFO, else 0.
std::int32_t FillPluginInfo(FilterPluginInfo* info, const char* name, std::uint32_t build);

}  // namespace nfkit
