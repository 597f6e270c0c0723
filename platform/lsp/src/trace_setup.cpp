#include "trace_setup.h"

#include "kit/trace_log.h"

#include <new>

namespace lsp {

GMCTraceLog* CreateTrace(uint32_t level)
{
    auto* trace = new (std::nothrow) GMCTraceLog(0, "KelmLsp");
    if (trace == nullptr)
        return nullptr;
    trace->Configure("", level, "KelmLsp");
    // A level asked for in the shim's configuration is meant to be read:
    // the debugger channel goes nowhere unless a developer turns it on.
    if (level > 0 && trace->Sink() != nullptr)
        trace->Sink()->toFile = true;
    return trace;
}

}  // namespace lsp
