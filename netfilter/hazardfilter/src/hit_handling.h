// What happens to the hits of one scan: hits are grouped per identifier
// (auxiliary hits only lend their flag word, group hits count once their group
// is complete), each identifier kept is reported to the host once, and a
// disarmable detection in the raw view is overwritten with "X" instead of
// failing the receive.
#pragma once

#include "detection_database.h"
#include "multi_match.h"
#include "tracer.h"

#include <kit/scan_socket_state.h>
#include <kit/scan_view.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace hazard {

// Reports one detection and returns whether to block.
using ReportFunction = std::function<bool(std::uint32_t id, std::uint32_t subId, std::uint32_t action)>;

struct HitScope {
    const DetectionDatabase& database;
    CScanSocketState& state;
    const nfkit::ScanView& view;  // the view the hits were found in
    bool overwriteAllowed = false;
    const Tracer& trace;
    const ReportFunction& report;
    // Group members (identifier and sub-identifier) found by the first pass
    // of this receive. The first pass adds to it; the normalised pass sees
    // the same bytes again and must not advance a group with them twice.
    std::vector<std::uint64_t>* firstPassMembers = nullptr;
    bool isSecondPass = false;
};

// Updates group ID's progress on STATE with a hit of SUB_ID and returns
// whether the group is complete. Sub-identifiers outside the group's mask
// (unordered) are ignored.
bool AdvanceGroup(CScanSocketState& state, const DetectionDatabase& database, std::uint32_t id,
                  std::uint32_t subId, std::uint32_t flags);

// Returns the verdict: 0, or KELM_FILTER_BLOCKED.
int HandleHits(const std::vector<Hit>& hits, HitScope& scope);

}  // namespace hazard
