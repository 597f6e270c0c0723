// The index the matcher walks: the records that apply to one stream class
// and pass, arranged so that most stream positions are never looked at.
//
// A record with a run of at least seven literal units, either at the start
// of its pattern or right after its only gap, is anchored: four consecutive
// 4-byte windows of that run, chosen where its bytes are least common in web
// text, go into a hash table (case bit cleared). Any occurrence of the record
// then puts one of those windows on a position that is a multiple of four,
// so the matcher hashes only every fourth position for them; a window after
// a gap leaves the start open by the gap's budget, and each start in that
// range is tried. Every other record is found through pairs of literal
// bytes chosen the same way: two consecutive pairs looked up at every second
// position when the run has three literals, one pair at every position
// otherwise (each distinct case combination once, so a case-insensitive
// record is never tried twice at one start). A candidate start is checked against up to eight leading pattern
// bytes with one masked compare before the full match runs.
#pragma once

#include <kit/detection_record.h>

#include <cstdint>
#include <span>
#include <vector>

namespace hazard {

struct IndexedRecord {
    const nfkit::DetectionRecord* record = nullptr;
    // ((bytes | orMask) & andMask) == value, on the 8 bytes at the record's
    // start read little-endian: the pattern's leading literals and skips.
    std::uint64_t orMask = 0;
    std::uint64_t andMask = 0;
    std::uint64_t value = 0;
};

// An anchored record reached through one of its windows: where the window
// is found at Q, the record can only start in [Q - offset - span,
// Q - offset]. SPAN is 0 for windows in the pattern's leading literals and
// the gap's budget for windows in the literals right after its one gap.
struct AnchorEntry {
    std::uint32_t record;  // index into Records()
    std::uint32_t offset;
    std::uint32_t span;
    // The whole literal run the window lies in, checked where the window was
    // found before any start is tried: it begins RUN_BACK bytes before the
    // window, at unit RUN_UNIT, and has RUN_LENGTH units.
    std::uint8_t runBack;
    std::uint8_t runUnit;
    std::uint8_t runLength;
};

class SignatureIndex {
public:
    static constexpr unsigned kStride = 4;       // anchored windows are looked for this far apart
    static constexpr unsigned kWindow = 4;       // bytes hashed per window
    static constexpr unsigned kMinAnchoredRun = kStride + kWindow - 1;
    // Larger gaps would mean too many starts to try for each window found.
    static constexpr unsigned kMaxAnchoredGap = 64;

    // Indexes the records of TABLE (in order) for which SELECTED is true.
    template <class Predicate>
    static SignatureIndex Build(std::span<const nfkit::DetectionRecord> table, Predicate selected)
    {
        std::vector<const nfkit::DetectionRecord*> chosen;
        for (const nfkit::DetectionRecord& record : table) {
            if (selected(record))
                chosen.push_back(&record);
        }
        return SignatureIndex(chosen);
    }

    explicit SignatureIndex(const std::vector<const nfkit::DetectionRecord*>& records);

    bool Empty() const { return m_records.empty(); }
    std::size_t Size() const { return m_records.size(); }
    const std::vector<IndexedRecord>& Records() const { return m_records; }

    static std::uint32_t Hash4(std::uint32_t fourBytes) { return (fourBytes | 0x20202020u) * 0x9E3779B1u; }

    bool HasAnchored() const { return m_hasAnchored; }
    const std::uint64_t* AnchorBloom() const { return m_anchorBloom.data(); }
    unsigned AnchorBloomShift() const { return m_bloomShift; }
    bool MayAnchor(std::uint32_t hash) const
    {
        const std::uint32_t bit = hash >> m_bloomShift;
        return (m_anchorBloom[bit >> 6] >> (bit & 63)) & 1;
    }
    std::span<const AnchorEntry> AnchorCandidates(std::uint32_t hash) const
    {
        const std::uint32_t bucket = hash >> m_bucketShift;
        return {m_anchorList.data() + m_anchorStart[bucket], m_anchorList.data() + m_anchorStart[bucket + 1]};
    }

    // Records found by a pair of bytes: table 0 looked up at every second
    // position, table 1 at every position.
    struct PairTable {
        unsigned stride = 1;
        bool any = false;
        std::vector<std::uint64_t> bloom;  // one bit per two-byte key
        std::vector<std::uint32_t> start;  // 65537 entries
        std::vector<AnchorEntry> list;
        bool May(std::uint16_t key) const { return (bloom[key >> 6] >> (key & 63)) & 1; }
        std::span<const AnchorEntry> Candidates(std::uint16_t key) const
        {
            return {list.data() + start[key], list.data() + start[key + 1u]};
        }
    };
    const PairTable& Pairs(int table) const { return m_pairs[table]; }

    std::size_t MemoryBytes() const;

private:
    std::vector<IndexedRecord> m_records;
    bool m_hasAnchored = false;
    unsigned m_bloomShift = 32;
    unsigned m_bucketShift = 32;
    std::vector<std::uint64_t> m_anchorBloom;
    std::vector<std::uint32_t> m_anchorStart;
    std::vector<AnchorEntry> m_anchorList;
    PairTable m_pairs[2];
};

}  // namespace hazard
