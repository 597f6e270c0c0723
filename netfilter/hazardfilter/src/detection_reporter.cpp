#include "detection_reporter.h"

#include <cstddef>
#include <cstring>

namespace hazard {

void MarkBlocked(SocketContext& context, std::uint32_t kind)
{
    context.stateFlags = (context.stateFlags & ~KELM_SOCKET_BLOCK_MASK) | kind;
}

void* DetectionConnectionReference(SocketContext& context)
{
    if (context.hostData == nullptr)
        return &context.connectionReference;
    return static_cast<char*>(context.hostData) + offsetof(SocketContext, connectionReference);
}

SocketContext* LookupSocketContext(const FilterHostContext* host, KelmSocket socket)
{
    if (host == nullptr || host->GetSocketContext == nullptr)
        return nullptr;
    SocketContext* context = nullptr;
    host->GetSocketContext(socket, &context);
    return context;
}

DetectionReporter::DetectionReporter(Clock clock) : m_clock(std::move(clock)) {}

void DetectionReporter::Forget()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_last = Last();
}

bool DetectionReporter::Report(const DetectionReport& report, const FilterHostContext* host, const Tracer& trace)
{
    std::uint8_t address[16] = {};
    if (report.remote != nullptr)
        std::memcpy(address, report.remote, sizeof address);
    const std::uint32_t now = m_clock();

    {
        std::unique_lock<std::mutex> guard(m_lock);
        trace.Print(3, "KelmHazardFilter::LSPP_Recv last=%08X:%08X (%08X) new=%08X:%08X (%08X)\n", m_last.id,
                    m_last.subId, m_last.tick, report.id, report.subId, now);
        if (report.id == m_last.id && report.subId == m_last.subId &&
            std::memcmp(address, m_last.address, sizeof address) == 0) {
            trace.Print(4, "KelmHazardFilter::LSPP_Recv same id and same address\n");
            if (now - m_last.tick < kRepeatWindowMs) {
                trace.Print(4, "KelmHazardFilter::LSPP_Recv tick count to short\n");
                const bool block = m_last.block;
                guard.unlock();
                if (block) {
                    if (SocketContext* context = LookupSocketContext(host, report.socket))
                        MarkBlocked(*context, KELM_SOCKET_BLOCKED_AS_EXPLOIT);
                }
                return block;
            }
        }
        m_last.id = report.id;
        m_last.subId = report.subId;
        std::memcpy(m_last.address, address, sizeof address);
        m_last.tick = now;
        // Until the host answers, a repeat from another thread gets what the
        // action alone says.
        m_last.block = report.action == KELM_ACTION_BLOCK;
    }

    std::int32_t blockFlag = report.action == KELM_ACTION_BLOCK ? 1 : 0;
    if (SocketContext* context = LookupSocketContext(host, report.socket)) {
        FilterDetectionRecord record{};
        record.size = sizeof record;
        record.detectionId = report.id;
        record.actionLevel = report.action;
        record.connectionReference = DetectionConnectionReference(*context);
        record.detectionValue = context->detectionValue;
        record.reserved = 0;
        if (host->callbacks != nullptr && host->callbacks->ReportDetection != nullptr)
            host->callbacks->ReportDetection(&record, &blockFlag);
        if (blockFlag != 0)
            MarkBlocked(*context, KELM_SOCKET_BLOCKED_AS_EXPLOIT);
    }
    const bool block = blockFlag != 0;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_last.id == report.id && m_last.subId == report.subId && std::memcmp(m_last.address, address, 16) == 0)
        m_last.block = block;
    return block;
}

}  // namespace hazard
