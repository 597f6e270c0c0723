#include "signature_index.h"

#include <algorithm>
#include <bit>

namespace hazard {

namespace {

using nfkit::DetectionRecord;

// How unusual a byte is in web text (case folded): letters, digits, spaces
// and markup punctuation are everywhere; anything else is rarer.
int Rarity(std::uint8_t b)
{
    b = static_cast<std::uint8_t>(b | 0x20);  // folded as the hash folds it
    if ((b >= 'a' && b <= 'z') || b == ' ' || b == '<' || b == '>' || b == '/' || b == '=' || b == '"' ||
        b == '.' || b == ',' || b == ';' || b == ':' || b == '(' || b == ')' || b == '-' || b == '\'' ||
        b == '\n' || b == '\t' || b == '\r' || b == '&' || b == '#' || b == '\x7f')
        return 1;
    if (b >= '0' && b <= '9')
        return 2;
    if (b > 0x20 && b < 0x7F)
        return 3;
    return 4;
}

// The leading pattern bytes as a masked compare.
void BuildPrefix(const DetectionRecord& record, IndexedRecord& out)
{
    const bool noCase = (record.flags & nfkit::kFlagNoCase) != 0;
    int byte = 0;
    for (int u = 0; u < record.unitCount && byte < 8; ++u) {
        const std::uint16_t unit = record.units[u];
        if (nfkit::IsGapUnit(unit))
            break;
        if (nfkit::IsSkipUnit(unit)) {
            byte += nfkit::UnitCount(unit);  // those bytes may be anything: mask 0
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
        ++byte;
    }
}

std::uint16_t Key(std::uint8_t first, std::uint8_t second)
{
    return static_cast<std::uint16_t>(first | (second << 8));
}

// Entries for the pair of units at UNIT: its bytes as they are, and for a
// case-insensitive record each other distinct case combination.
void AddPairKeys(const DetectionRecord& record, int unit, AnchorEntry entry,
                 std::vector<std::pair<std::uint32_t, AnchorEntry>>& out)
{
    const std::uint8_t b0 = nfkit::UnitByte(record.units[unit]);
    const std::uint8_t b1 = nfkit::UnitByte(record.units[unit + 1]);
    std::uint16_t keys[4] = {Key(b0, b1), Key(b0, b1), Key(b0, b1), Key(b0, b1)};
    if (record.flags & nfkit::kFlagNoCase) {
        keys[1] = Key(b0, nfkit::OtherCase(b1));
        keys[2] = Key(nfkit::OtherCase(b0), b1);
        keys[3] = Key(nfkit::OtherCase(b0), nfkit::OtherCase(b1));
    }
    for (int k = 0; k < 4; ++k) {
        if (std::find(keys, keys + k, keys[k]) == keys + k)
            out.push_back({keys[k], entry});
    }
}

std::uint32_t Window(const DetectionRecord& record, int at)
{
    std::uint32_t x = 0;
    for (int i = 0; i < 4; ++i)
        x |= std::uint32_t(nfkit::UnitByte(record.units[at + i])) << (8 * i);
    return x;
}

// Where a record is anchored.
struct Anchor {
    int firstUnit = -1;  // the unit of the first window's first byte; -1: none
    int runStart = 0;    // the literal run holding the windows
    int runEnd = 0;
    std::uint32_t offset = 0;  // that byte's distance from the start (gap at 0)
    std::uint32_t span = 0;
    int score = -1;
};

// The best place for NEED bytes in the literal run of units [RUN_START,
// RUN_END): where they are rarest, the later one on a tie (the tail of a
// signature is usually the specific part).
void ConsiderRun(const DetectionRecord& record, int runStart, int runEnd, std::uint32_t runOffset,
                 std::uint32_t span, int need, Anchor& best)
{
    for (int u = runStart; u + need <= runEnd; ++u) {
        int score = 0;
        for (int i = 0; i < need; ++i)
            score += Rarity(nfkit::UnitByte(record.units[u + i]));
        // A window after a gap costs a try per start in its range: it has to
        // be rarer to be worth it.
        if (span > 0)
            score -= 1;
        if (score >= best.score) {
            best.score = score;
            best.firstUnit = u;
            best.offset = runOffset + static_cast<std::uint32_t>(u - runStart);
            best.span = span;
            best.runStart = runStart;
            best.runEnd = runEnd;
        }
    }
}

// The best run of NEED literals to find RECORD by: in its leading literals,
// or in the literals right after its only gap.
Anchor ChooseAnchor(const DetectionRecord& record, int need)
{
    Anchor best;
    // The leading literals.
    int u = 0;
    while (u < record.unitCount && nfkit::IsLiteralUnit(record.units[u]))
        ++u;
    ConsiderRun(record, 0, u, 0, 0, need, best);

    // The literals right after the only gap, with literals and skips before it.
    std::uint32_t width = 0;
    int gapAt = -1;
    for (int i = 0; i < record.unitCount; ++i) {
        const std::uint16_t unit = record.units[i];
        if (nfkit::IsGapUnit(unit)) {
            if (gapAt >= 0)
                return best;  // two gaps: the start is too loosely bound
            gapAt = i;
            break;
        }
        width += nfkit::IsSkipUnit(unit) ? nfkit::UnitCount(unit) : 1;
    }
    if (gapAt < 0)
        return best;
    const std::uint32_t budget = nfkit::UnitCount(record.units[gapAt]);
    if (budget == 0 || budget > SignatureIndex::kMaxAnchoredGap)
        return best;
    int end = gapAt + 1;
    while (end < record.unitCount && nfkit::IsLiteralUnit(record.units[end]))
        ++end;
    for (int i = end; i < record.unitCount; ++i) {
        if (nfkit::IsGapUnit(record.units[i]))
            return best;  // a later gap would reset the budget the range relies on
    }
    ConsiderRun(record, gapAt + 1, end, width, budget, need, best);
    return best;
}

AnchorEntry Entry(std::uint32_t record, const Anchor& anchor, int windowUnit, std::uint32_t offset)
{
    AnchorEntry entry;
    entry.record = record;
    entry.offset = offset;
    entry.span = anchor.span;
    entry.runBack = static_cast<std::uint8_t>(windowUnit - anchor.runStart);
    entry.runUnit = static_cast<std::uint8_t>(anchor.runStart);
    entry.runLength = static_cast<std::uint8_t>(anchor.runEnd - anchor.runStart);
    return entry;
}

unsigned Log2Ceil(std::size_t n)
{
    return n <= 1 ? 0 : static_cast<unsigned>(std::bit_width(n - 1));
}

template <class Entry>
void Bucketise(std::vector<std::pair<std::uint32_t, Entry>>& pairs, std::size_t buckets,
               std::vector<std::uint32_t>& start, std::vector<Entry>& list)
{
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    start.assign(buckets + 1, 0);
    for (const auto& p : pairs)
        ++start[p.first + 1];
    for (std::size_t i = 1; i <= buckets; ++i)
        start[i] += start[i - 1];
    list.clear();
    list.reserve(pairs.size());
    for (const auto& p : pairs)
        list.push_back(p.second);
}

}  // namespace

SignatureIndex::SignatureIndex(const std::vector<const DetectionRecord*>& records)
{
    std::vector<std::pair<std::uint32_t, AnchorEntry>> anchors;
    std::vector<std::pair<std::uint32_t, AnchorEntry>> pairs[2];

    m_records.reserve(records.size());
    for (const DetectionRecord* record : records) {
        IndexedRecord indexed;
        indexed.record = record;
        BuildPrefix(*record, indexed);
        const auto at = static_cast<std::uint32_t>(m_records.size());
        m_records.push_back(indexed);
        const Anchor anchor = ChooseAnchor(*record, static_cast<int>(kMinAnchoredRun));
        if (anchor.firstUnit >= 0) {
            for (unsigned j = 0; j < kStride; ++j) {
                const int window = anchor.firstUnit + static_cast<int>(j);
                anchors.push_back({Hash4(Window(*record, window)), Entry(at, anchor, window, anchor.offset + j)});
            }
        } else {
            // Pairs of bytes: every second position for a run of three or
            // more (two pairs, one of which lands on an even position), every
            // position for a run of two.
            Anchor pair = ChooseAnchor(*record, 3);
            const int table = pair.firstUnit >= 0 ? 0 : 1;
            if (table == 1)
                pair = ChooseAnchor(*record, 2);
            const unsigned windows = table == 0 ? 2 : 1;
            for (unsigned j = 0; j < windows; ++j)
                AddPairKeys(*record, pair.firstUnit + static_cast<int>(j),
                            Entry(at, pair, pair.firstUnit + static_cast<int>(j), pair.offset + j), pairs[table]);
        }
    }

    // About 64 bitmap bits per window keep the bitmap sparse; the buckets get
    // about a quarter of a window each.
    m_hasAnchored = !anchors.empty();
    const std::size_t windows = std::max<std::size_t>(anchors.size(), 1);
    const unsigned bloomBits = std::clamp(Log2Ceil(windows * 64), 12u, 22u);
    const unsigned bucketBits = std::clamp(Log2Ceil(windows * 4), 8u, 20u);
    m_bloomShift = 32 - bloomBits;
    m_bucketShift = 32 - bucketBits;
    m_anchorBloom.assign((std::size_t(1) << bloomBits) / 64, 0);
    for (auto& p : anchors) {
        const std::uint32_t bit = p.first >> m_bloomShift;
        m_anchorBloom[bit >> 6] |= std::uint64_t(1) << (bit & 63);
        p.first >>= m_bucketShift;
    }
    Bucketise(anchors, std::size_t(1) << bucketBits, m_anchorStart, m_anchorList);

    for (int t = 0; t < 2; ++t) {
        PairTable& table = m_pairs[t];
        table.stride = t == 0 ? 2 : 1;
        table.any = !pairs[t].empty();
        table.bloom.assign(65536 / 64, 0);
        for (const auto& p : pairs[t])
            table.bloom[p.first >> 6] |= std::uint64_t(1) << (p.first & 63);
        Bucketise(pairs[t], 65536, table.start, table.list);
    }
}

std::size_t SignatureIndex::MemoryBytes() const
{
    return m_records.capacity() * sizeof(IndexedRecord) +
           m_anchorBloom.capacity() * sizeof(std::uint64_t) + m_anchorStart.capacity() * sizeof(std::uint32_t) +
           m_anchorList.capacity() * sizeof(AnchorEntry) +
           [this] {
               std::size_t n = 0;
               for (const PairTable& t : m_pairs)
                   n += t.bloom.capacity() * sizeof(std::uint64_t) + t.start.capacity() * sizeof(std::uint32_t) +
                        t.list.capacity() * sizeof(AnchorEntry);
               return n;
           }();
}

}  // namespace hazard
