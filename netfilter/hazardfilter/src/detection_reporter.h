// Reports detections to the host, once per exploit and address within three
// seconds: a repeat inside that time gets the earlier decision without a
// second report. The memory of the last report is shared by every socket and
// thread, so it sits behind a lock.
#pragma once

#include "tracer.h"

#include <kelm/netfilter_plugin.h>

#include <cstdint>
#include <functional>
#include <mutex>

namespace hazard {

inline constexpr std::uint32_t kRepeatWindowMs = 3000;

struct DetectionReport {
    KelmSocket socket = 0;
    std::uint32_t id = 0;
    std::uint32_t subId = 0;
    std::uint32_t action = 0;
    const struct sockaddr_in* remote = nullptr;  // may be null
};

class DetectionReporter {
public:
    // The host's socket context lookup (null result: no context).
    using ContextLookup = std::function<SocketContext*(KelmSocket)>;
    using Clock = std::function<std::uint32_t()>;

    explicit DetectionReporter(Clock clock);

    // Returns the decision: true blocks. HOST may be null (nothing reported;
    // the decision is "block" exactly for action 3).
    bool Report(const DetectionReport& report, const FilterHostContext* host, const Tracer& trace);

    void Forget();

private:
    struct Last {
        std::uint32_t id = 0xFFFFFFFFu;
        std::uint32_t subId = 0xFFFFFFFFu;
        std::uint8_t address[16] = {};
        std::uint32_t tick = 0;
        bool block = false;
    };

    Clock m_clock;
    std::mutex m_lock;
    Last m_last;
};

// Marks CONTEXT blocked with KIND (one of KELM_SOCKET_BLOCKED_*): the kind
// word is cleared first, so the kind recorded is exactly KIND.
void MarkBlocked(SocketContext& context, std::uint32_t kind);

// The connection reference of a detection: the host's data pointer moved to
// the connection reference field (the context's own field when the host
// keeps no data pointer).
void* DetectionConnectionReference(SocketContext& context);

SocketContext* LookupSocketContext(const FilterHostContext* host, KelmSocket socket);

}  // namespace hazard
