#include "hit_handling.h"

#include <kit/pattern_match.h>

#include <kelm/netfilter_plugin.h>

namespace hazard {

namespace {

using nfkit::kFlagAuxiliary;
using nfkit::kFlagDisarm;
using nfkit::kFlagGroup;
using nfkit::kFlagOrderedGroup;

constexpr std::uint32_t kMaxUnorderedMembers = 32;
constexpr std::uint8_t kOverwriteByte = 'X';

bool IsGroupHit(std::uint32_t flags)
{
    return (flags & (kFlagGroup | kFlagOrderedGroup)) != 0;
}

struct Kept {
    std::uint32_t id;
    std::uint32_t subId;
    std::uint32_t flags;
};

Kept* FindKept(std::vector<Kept>& kept, std::uint32_t id)
{
    for (Kept& k : kept) {
        if (k.id == id)
            return &k;
    }
    return nullptr;
}

bool Overwrite(const Hit& hit, HitScope& scope)
{
    const nfkit::DetectionRecord* record = scope.database.Find(hit.id, hit.subId);
    return record != nullptr && nfkit::MatchRecordAt(*record, scope.view, hit.position, kOverwriteByte);
}

// Disarms the detection ID: at every hit of a group, at the first hit of
// anything else. True when the last overwrite succeeded.
bool Disarm(const std::vector<Hit>& hits, std::uint32_t id, HitScope& scope)
{
    const Hit* first = nullptr;
    for (const Hit& hit : hits) {
        if (hit.id == id) {
            first = &hit;
            break;
        }
    }
    if (first == nullptr)
        return false;
    if (!IsGroupHit(first->flags))
        return Overwrite(*first, scope);
    bool ok = false;
    for (const Hit& hit : hits) {
        if (hit.id != id)
            continue;
        ok = Overwrite(hit, scope);
        if (!ok)
            break;
    }
    return ok;
}

bool SeenInFirstPass(const std::vector<std::uint64_t>& members, std::uint64_t key)
{
    for (std::uint64_t m : members) {
        if (m == key)
            return true;
    }
    return false;
}

// Whether the group of HIT is complete once HIT is counted.
bool CountGroupHit(const Hit& hit, HitScope& scope)
{
    const std::uint64_t key = (std::uint64_t(hit.id) << 32) | hit.subId;
    if (scope.firstPassMembers != nullptr) {
        if (!scope.isSecondPass) {
            scope.firstPassMembers->push_back(key);
        } else if (SeenInFirstPass(*scope.firstPassMembers, key)) {
            // Already counted from the raw bytes of this receive.
            auto* group = scope.state.Find(hit.id);
            return group != nullptr && group->progress == group->expected;
        }
    }
    return AdvanceGroup(scope.state, scope.database, hit.id, hit.subId, hit.flags);
}

}  // namespace

bool AdvanceGroup(CScanSocketState& state, const DetectionDatabase& database, std::uint32_t id,
                  std::uint32_t subId, std::uint32_t flags)
{
    auto* group = state.Find(id);
    if (group == nullptr) {
        const bool ordered = (flags & kFlagOrderedGroup) != 0;
        std::uint32_t members = database.GroupMembers(id);
        std::uint32_t expected;
        if (ordered) {
            expected = members;
        } else {
            // One bit per member; a mask holds at most 32.
            if (members > kMaxUnorderedMembers)
                members = kMaxUnorderedMembers;
            expected = members == 32 ? 0xFFFFFFFFu : (1u << members) - 1;
        }
        group = &state.Add(id, ordered, expected);
    }
    if (group->ordered) {
        if (group->expected <= 1)
            return true;  // a group of one member is complete at once
        if (subId == group->progress + 1 && group->progress < group->expected)
            ++group->progress;
    } else if (subId >= 1 && subId <= kMaxUnorderedMembers) {
        const std::uint32_t bit = 1u << (subId - 1);
        if (group->expected & bit)
            group->progress |= bit;
    }
    return group->progress == group->expected;
}

int HandleHits(const std::vector<Hit>& hits, HitScope& scope)
{
    scope.trace.Print(4, "KelmHazardFilter::LSPP_Recv MatchMultiSploit returned %d hits\n",
                      static_cast<int>(hits.size()));

    std::vector<Kept> kept;
    for (const Hit& hit : hits) {
        if (hit.flags & kFlagAuxiliary) {
            if (Kept* earlier = FindKept(kept, hit.id))
                earlier->flags = hit.flags & ~kFlagAuxiliary;
            continue;
        }
        if (IsGroupHit(hit.flags) && !CountGroupHit(hit, scope))
            continue;
        if (FindKept(kept, hit.id) != nullptr)
            continue;
        kept.push_back(Kept{hit.id, hit.subId, hit.flags});
    }

    const bool gzipHtml = (scope.state.classification & nfkit::kStreamGzipHtml) == nfkit::kStreamGzipHtml;
    int result = 0;
    for (const Kept& detection : kept) {
        if (scope.report(detection.id, detection.subId, nfkit::ActionOf(detection.flags))) {
            scope.trace.Print(3, "KelmHazardFilter::LSPP_Recv killing sploit %08X:%08X\n", detection.id,
                              detection.subId);
            result = KELM_FILTER_BLOCKED;
        }
        if (scope.overwriteAllowed && !gzipHtml && (detection.flags & kFlagDisarm)) {
            scope.trace.Print(3, "KelmHazardFilter::LSPP_Recv Will attempt to overwrite\n");
            if (Disarm(hits, detection.id, scope))
                result = 0;
        }
        if (result != 0)
            break;
    }
    return result;
}

}  // namespace hazard
