#include "signature_index.h"

#include <algorithm>
#include <bit>

namespace hazard {

namespace {

using nfkit::DetectionRecord;

// Leading pattern bytes as a masked compare. Returns how many leading bytes
// are literals before the first gap, skip or the end (for the long index).
int BuildPrefix(const DetectionRecord& record, IndexedRecord& out)
{
    const bool noCase = (record.flags & nfkit::kFlagNoCase) != 0;
    int byte = 0;
    int literalRun = 0;
    bool runOpen = true;
    for (int u = 0; u < record.unitCount && byte < 8; ++u) {
        const std::uint16_t unit = record.units[u];
        if (nfkit::IsGapUnit(unit))
            break;
        if (nfkit::IsSkipUnit(unit)) {
            byte += nfkit::UnitCount(unit);  // those bytes may be anything: mask 0
            runOpen = false;
            continue;
        }
        const std::uint8_t b = nfkit::UnitByte(unit);
        const unsigned shift = static_cast<unsigned>(byte) * 8;
        if (noCase && nfkit::IsAsciiLetter(b)) {
            out.orMask |= std::uint64_t(0x20) << shift;
            out.value |= std::uint64_t(b | 0x20) << shift;
        } else {
            out.value |= std::uint64_t(b) << shift;
        }
        out.andMask |= std::uint64_t(0xFF) << shift;
        if (runOpen)
            ++literalRun;
        ++byte;
    }
    return literalRun;
}

std::uint32_t Folded4(const DetectionRecord& record)
{
    std::uint32_t x = 0;
    for (int i = 0; i < 4; ++i)
        x |= std::uint32_t(nfkit::UnitByte(record.units[i])) << (8 * i);
    return x;
}

unsigned Log2Ceil(std::size_t n)
{
    return n <= 1 ? 0 : static_cast<unsigned>(std::bit_width(n - 1));
}

// Fills START/LIST from (bucket, record) pairs sorted by bucket then record.
void Bucketise(std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs, std::size_t buckets,
               std::vector<std::uint32_t>& start, std::vector<std::uint32_t>& list)
{
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    start.assign(buckets + 1, 0);
    for (const auto& p : pairs)
        ++start[p.first + 1];
    for (std::size_t i = 1; i <= buckets; ++i)
        start[i] += start[i - 1];
    list.resize(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        list[i] = pairs[i].second;
}

}  // namespace

SignatureIndex::SignatureIndex(const std::vector<const DetectionRecord*>& records)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> longPairs;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> shortPairs;
    std::vector<std::uint32_t> longHashes;

    m_records.reserve(records.size());
    for (const DetectionRecord* record : records) {
        IndexedRecord indexed;
        indexed.record = record;
        const int literals = BuildPrefix(*record, indexed);
        const auto at = static_cast<std::uint32_t>(m_records.size());
        m_records.push_back(indexed);
        if (literals >= 4) {
            longHashes.push_back(Hash4(Folded4(*record)));
            longPairs.emplace_back(longHashes.back(), at);
        } else {
            for (int k = 0; k < record->keyCount; ++k)
                shortPairs.emplace_back(record->keys[k], at);
        }
    }

    // About 64 bitmap bits per long record keep the bitmap sparse; the buckets
    // get about two records' worth of slots each.
    const std::size_t longCount = std::max<std::size_t>(longHashes.size(), 1);
    const unsigned bloomBits = std::clamp(Log2Ceil(longCount * 64), 12u, 20u);
    const unsigned bucketBits = std::clamp(Log2Ceil(longCount * 2), 8u, 16u);
    m_bloomShift = 32 - bloomBits;
    m_bucketShift = 32 - bucketBits;
    m_longBloom.assign((std::size_t(1) << bloomBits) / 64, 0);
    for (auto& p : longPairs) {
        const std::uint32_t bit = p.first >> m_bloomShift;
        m_longBloom[bit >> 6] |= std::uint64_t(1) << (bit & 63);
        p.first >>= m_bucketShift;
    }
    Bucketise(longPairs, std::size_t(1) << bucketBits, m_longStart, m_longList);

    m_hasShort = !shortPairs.empty();
    m_shortBloom.assign(65536 / 64, 0);
    for (const auto& p : shortPairs)
        m_shortBloom[p.first >> 6] |= std::uint64_t(1) << (p.first & 63);
    Bucketise(shortPairs, 65536, m_shortStart, m_shortList);
}

std::size_t SignatureIndex::MemoryBytes() const
{
    return m_records.capacity() * sizeof(IndexedRecord) +
           (m_longBloom.capacity() + m_shortBloom.capacity()) * sizeof(std::uint64_t) +
           (m_longStart.capacity() + m_longList.capacity() + m_shortStart.capacity() + m_shortList.capacity()) *
               sizeof(std::uint32_t);
}

}  // namespace hazard
