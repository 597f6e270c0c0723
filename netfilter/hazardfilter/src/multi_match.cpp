#include "multi_match.h"

#include <kit/pattern_match.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace hazard {

namespace {

using nfkit::DetectionRecord;
using nfkit::MatchExtent;
using nfkit::MatchOutcome;
using nfkit::ScanView;

inline std::uint32_t Load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline std::uint64_t Load64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// A hit before sorting: its position and the record's place in the index
// (which is table order).
using Found = std::pair<std::size_t, std::uint32_t>;

class Matcher {
public:
    Matcher(const ScanView& view, const SignatureIndex& index, std::vector<Found>& found)
        : m_view(view), m_index(index), m_found(found), m_total(view.TotalBytes())
    {
    }

    void Run()
    {
        const auto& pieces = m_view.Pieces();
        std::size_t base = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (m_index.HasAnchored())
                ScanAnchors(i, base);
            for (int t = 0; t < 2; ++t) {
                if (m_index.Pairs(t).any)
                    ScanPairs(m_index.Pairs(t), i, base);
            }
            base += pieces[i].length;
        }
        // Anchors find a record some bytes after its start, and a window after
        // a gap may be found twice for one start: put the hits in the order
        // of a scan by position, then by table order, each once.
        std::sort(m_found.begin(), m_found.end());
        m_found.erase(std::unique(m_found.begin(), m_found.end()), m_found.end());
    }

private:
    // Copies up to N bytes from view position AT into OUT; returns how many.
    std::size_t Gather(std::size_t at, std::uint8_t* out, std::size_t n) const
    {
        std::size_t have = 0;
        std::size_t base = 0;
        for (const nfkit::ViewPiece& piece : m_view.Pieces()) {
            if (at < base + piece.length) {
                std::size_t offset = at - base;
                while (offset < piece.length && have < n) {
                    out[have++] = piece.data[offset++];
                    ++at;
                }
                if (have == n)
                    break;
            }
            base += piece.length;
        }
        return have;
    }

    // Every fourth view position: the anchored records.
    void ScanAnchors(std::size_t pieceIndex, std::size_t base)
    {
        const nfkit::ViewPiece& piece = m_view.Pieces()[pieceIndex];
        constexpr std::size_t kStride = SignatureIndex::kStride;
        std::size_t q = (base + kStride - 1) / kStride * kStride;  // first grid point in the piece
        const std::size_t end = base + piece.length;
        // Kept in locals: the compiler cannot know that writing a hit leaves
        // the index alone.
        const std::uint64_t* bloom = m_index.AnchorBloom();
        const unsigned shift = m_index.AnchorBloomShift();
        const std::uint8_t* data = piece.data;
        std::size_t p = q - base;
        // Two grid points a round, one branch for both: most rounds find
        // nothing.
        for (; p + kStride + SignatureIndex::kWindow <= piece.length; p += 2 * kStride) {
            const std::uint32_t h0 = SignatureIndex::Hash4(Load32(data + p));
            const std::uint32_t h1 = SignatureIndex::Hash4(Load32(data + p + kStride));
            const std::uint32_t b0 = h0 >> shift;
            const std::uint32_t b1 = h1 >> shift;
            const std::uint64_t t0 = bloom[b0 >> 6] >> (b0 & 63);
            const std::uint64_t t1 = bloom[b1 >> 6] >> (b1 & 63);
            if (__builtin_expect((t0 | t1) & 1, 0)) {
                if (t0 & 1)
                    TryAnchors(h0, base + p, pieceIndex, base);
                if (t1 & 1)
                    TryAnchors(h1, base + p + kStride, pieceIndex, base);
            }
        }
        for (; p + SignatureIndex::kWindow <= piece.length; p += kStride) {
            const std::uint32_t hash = SignatureIndex::Hash4(Load32(data + p));
            const std::uint32_t bit = hash >> shift;
            if (__builtin_expect((bloom[bit >> 6] >> (bit & 63)) & 1, 0))
                TryAnchors(hash, base + p, pieceIndex, base);
        }
        q = base + p;
        // Grid points whose window runs into the next pieces.
        for (; q < end && q + SignatureIndex::kWindow <= m_total; q += kStride) {
            std::uint8_t window[4];
            Gather(q, window, 4);
            const std::uint32_t hash = SignatureIndex::Hash4(Load32(window));
            if (m_index.MayAnchor(hash))
                TryAnchors(hash, q, pieceIndex, base);
        }
    }

    __attribute__((noinline)) void TryAnchors(std::uint32_t hash, std::size_t q, std::size_t pieceIndex,
                                              std::size_t base)
    {
        TryEntries(m_index.AnchorCandidates(hash), q, pieceIndex, base);
    }

    // Each record of ENTRIES whose window (or pair) was found at Q, at each
    // start its entry allows. Kept out of line so the scanning loops stay
    // tight.
    __attribute__((noinline)) void TryEntries(std::span<const AnchorEntry> entries, std::size_t q, std::size_t pieceIndex, std::size_t base)
    {
        const nfkit::ViewPiece& piece = m_view.Pieces()[pieceIndex];
        for (const AnchorEntry& entry : entries) {
            if (entry.offset > q)
                continue;  // the record would start before the view
            if (!RunMayMatch(entry, q, piece, base))
                continue;
            const std::size_t latest = q - entry.offset;
            const std::size_t earliest = latest > entry.span ? latest - entry.span : 0;
            for (std::size_t start = earliest; start <= latest; ++start)
                Verify(entry.record, start, pieceIndex, base);
        }
    }

    // Every view position (stride 1) or every second one (stride 2): the
    // records found by a pair of bytes.
    void ScanPairs(const SignatureIndex::PairTable& table, std::size_t pieceIndex, std::size_t base)
    {
        const nfkit::ViewPiece& piece = m_view.Pieces()[pieceIndex];
        const std::uint8_t* data = piece.data;
        const std::size_t stride = table.stride;
        const std::uint64_t* bloom = table.bloom.data();
        std::size_t p = (base + stride - 1) / stride * stride - base;  // first grid point
        for (; p + 2 <= piece.length; p += stride) {
            std::uint16_t key;
            std::memcpy(&key, data + p, 2);
            if (__builtin_expect((bloom[key >> 6] >> (key & 63)) & 1, 0))
                TryEntries(table.Candidates(key), base + p, pieceIndex, base);
        }
        // A grid point on the last byte of the piece pairs it with the next.
        const std::size_t q = base + p;
        if (p < piece.length && q + 1 < m_total) {
            std::uint8_t pair[2];
            Gather(q, pair, 2);
            std::uint16_t key;
            std::memcpy(&key, pair, 2);
            if (table.May(key))
                TryEntries(table.Candidates(key), q, pieceIndex, base);
        }
    }

    // Whether the literal run around a window found at Q matches, as far as
    // it lies in the piece (what lies outside is left to the full match).
    bool RunMayMatch(const AnchorEntry& entry, std::size_t q, const nfkit::ViewPiece& piece, std::size_t base) const
    {
        if (q - base < entry.runBack)
            return true;
        const std::size_t from = q - base - entry.runBack;
        if (from + entry.runLength > piece.length)
            return true;
        const DetectionRecord& record = *m_index.Records()[entry.record].record;
        const bool noCase = (record.flags & nfkit::kFlagNoCase) != 0;
        for (unsigned i = 0; i < entry.runLength; ++i) {
            const std::uint8_t want = nfkit::UnitByte(record.units[entry.runUnit + i]);
            const std::uint8_t have = piece.data[from + i];
            if (have != want && !(noCase && nfkit::IsAsciiLetter(want) && (have ^ 0x20) == want))
                return false;
        }
        return true;
    }

    // The full match of record INDEX from view position START.
    void Verify(std::uint32_t index, std::size_t start, std::size_t pieceIndex, std::size_t base)
    {
        if (start + 1 >= m_total)
            return;
        const IndexedRecord& candidate = m_index.Records()[index];
        const nfkit::ViewPiece& piece = m_view.Pieces()[pieceIndex];
        MatchExtent extent;
        MatchOutcome outcome = MatchOutcome::OutOfData;
        if (start >= base && start - base < piece.length) {
            const std::size_t p = start - base;
            if (p + 8 <= piece.length &&
                ((Load64(piece.data + p) | candidate.orMask) & candidate.andMask) != candidate.value)
                return;
            outcome = nfkit::MatchUnitsContiguous(*candidate.record, piece.data, piece.length, p, 0, 0, &extent);
            extent.literalEnd += base;
        }
        if (outcome == MatchOutcome::OutOfData) {
            // The match starts in an earlier piece or runs into a later one.
            outcome = nfkit::MatchUnitsInView(*candidate.record, m_view, start, 0, 0, &extent) ? MatchOutcome::Match
                                                                                             : MatchOutcome::Fail;
        }
        if (outcome != MatchOutcome::Match)
            return;
        if (extent.literalEnd <= m_view.CarriedBytes())
            return;  // found in the previous receive already
        m_found.emplace_back(start, index);
    }

    const ScanView& m_view;
    const SignatureIndex& m_index;
    std::vector<Found>& m_found;
    const std::size_t m_total;
};

}  // namespace

int MatchMultiSploit(const ScanView& view, const SignatureIndex& index, std::vector<Hit>& hits)
{
    const std::size_t before = hits.size();
    if (view.TotalBytes() <= 7 || view.Pieces().empty() || index.Empty())
        return 0;
    try {
        thread_local std::vector<Found> found;
        found.clear();
        Matcher(view, index, found).Run();
        hits.reserve(before + found.size());
        for (const Found& f : found) {
            const DetectionRecord& r = *index.Records()[f.second].record;
            hits.push_back(Hit{r.id, r.subId, r.flags, f.first});
        }
    } catch (const std::bad_alloc&) {
        hits.resize(before);
        return 0;
    }
    return static_cast<int>(hits.size() - before);
}

}  // namespace hazard
