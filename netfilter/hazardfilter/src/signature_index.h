// The index the matcher walks: the records that apply to one stream class
// and pass, arranged so that most stream positions are rejected by one
// bitmap test.
//
// A record whose pattern starts with at least four literal units is found
// through a hash of its first four bytes with the case bit cleared; any other
// record through its two-byte start keys (each distinct key once, so a
// case-insensitive record with repeated keys is tried once). Each candidate
// is then checked against up to eight leading pattern bytes with one masked
// compare before the full match runs. At one position the candidates come
// out in table order, so hits are listed exactly as a record-by-record scan
// would list them.
#pragma once

#include <kit/detection_record.h>

#include <cstdint>
#include <span>
#include <vector>

namespace hazard {

struct IndexedRecord {
    const nfkit::DetectionRecord* record = nullptr;
    // ((bytes | orMask) & andMask) == value, on the 8 bytes at the position
    // read little-endian: the pattern's leading literals and skips.
    std::uint64_t orMask = 0;
    std::uint64_t andMask = 0;
    std::uint64_t value = 0;
};

class SignatureIndex {
public:
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

    bool MayStartLong(std::uint32_t hash) const
    {
        const std::uint32_t bit = hash >> m_bloomShift;
        return (m_longBloom[bit >> 6] >> (bit & 63)) & 1;
    }
    bool HasShort() const { return m_hasShort; }
    bool MayStartShort(std::uint16_t key) const { return (m_shortBloom[key >> 6] >> (key & 63)) & 1; }

    // Candidates (indexes into Records(), ascending).
    std::span<const std::uint32_t> LongCandidates(std::uint32_t hash) const
    {
        const std::uint32_t bucket = hash >> m_bucketShift;
        return {m_longList.data() + m_longStart[bucket], m_longList.data() + m_longStart[bucket + 1]};
    }
    std::span<const std::uint32_t> ShortCandidates(std::uint16_t key) const
    {
        return {m_shortList.data() + m_shortStart[key], m_shortList.data() + m_shortStart[key + 1u]};
    }

    std::size_t MemoryBytes() const;

private:
    std::vector<IndexedRecord> m_records;
    unsigned m_bloomShift = 32;
    unsigned m_bucketShift = 32;
    std::vector<std::uint64_t> m_longBloom;
    std::vector<std::uint32_t> m_longStart;
    std::vector<std::uint32_t> m_longList;
    bool m_hasShort = false;
    std::vector<std::uint64_t> m_shortBloom;
    std::vector<std::uint32_t> m_shortStart;
    std::vector<std::uint32_t> m_shortList;
};

}  // namespace hazard
