// The plug-in's handle on its trace object, which the host may replace at any
// time (SetTrace) while other threads are printing.
#pragma once

#include <kit/trace_log.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>

namespace hazard {

class Tracer {
public:
    GMCTraceLog* Get() const { return m_trace.load(std::memory_order_acquire); }
    void Set(GMCTraceLog* trace) { m_trace.store(trace, std::memory_order_release); }

    bool Wants(std::uint32_t level) const
    {
        GMCTraceLog* trace = Get();
        return trace != nullptr && trace->Wants(level);
    }

    void Print(std::uint32_t level, const char* format, ...) const __attribute__((format(printf, 3, 4)))
    {
        GMCTraceLog* trace = Get();
        if (trace == nullptr || !trace->Wants(level))
            return;
        va_list args;
        va_start(args, format);
        trace->PrintTraceLogV(level, format, args);
        va_end(args);
    }

private:
    std::atomic<GMCTraceLog*> m_trace{nullptr};
};

}  // namespace hazard
