// The trace objects the shim hands the plug-ins (one each), so their trace
// lines go to one place at one level.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <cstdint>

namespace lsp {

// A trace object configured, through the kit, from the registry's trace key
// "SOFTWARE\\Orlent\\Trace" with at least LEVEL. A LEVEL above 0 also turns
// file output on (the registry's "File", or the kit's default log file in the
// state root's log folder). Null only when memory ran out.
GMCTraceLog* CreateTrace(uint32_t level);

}  // namespace lsp
