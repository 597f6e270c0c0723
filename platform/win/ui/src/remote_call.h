// Calls into another process's window server: one short connection per
// call, blocking, usable from any thread (no event loop needed).
#pragma once

#include "wire_format.h"

#include <cstdint>
#include <optional>

namespace win::detail {

struct RemoteOutcome {
    // The server's answer, when one came in time and decoded.
    std::optional<wire::Reply> reply;
    // The request reached the server's socket (it will be read even if no
    // answer came in time).
    bool delivered = false;
};

// Sends REQUEST to the window server of PROCESS_ID and waits up to
// TIMEOUT_MS in all for its answer. A server that cannot be reached is
// checked for being dead, and its files removed if so.
RemoteOutcome CallWindowServer(std::uint32_t processId, wire::Request request, int timeoutMs);

}  // namespace win::detail
