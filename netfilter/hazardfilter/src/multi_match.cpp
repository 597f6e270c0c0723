#include "multi_match.h"

#include <kit/pattern_match.h>

#include <cstring>
#include <new>

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

class Matcher {
public:
    Matcher(const ScanView& view, const SignatureIndex& index, std::vector<Hit>& hits)
        : m_view(view), m_index(index), m_hits(hits)
    {
    }

    void Run()
    {
        const auto& pieces = m_view.Pieces();
        std::size_t base = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            ScanPiece(i, base);
            base += pieces[i].length;
        }
    }

private:
    // Positions with eight bytes left in the piece are tested straight from
    // memory; the last seven, whose bytes may continue in the next pieces, go
    // through the slower view path.
    void ScanPiece(std::size_t pieceIndex, std::size_t base)
    {
        const nfkit::ViewPiece& piece = m_view.Pieces()[pieceIndex];
        std::uint8_t* data = piece.data;
        const std::size_t length = piece.length;
        const std::size_t fastEnd = length >= 8 ? length - 7 : 0;
        const bool hasShort = m_index.HasShort();

        for (std::size_t p = 0; p < fastEnd; ++p) {
            const std::uint32_t four = Load32(data + p);
            const std::uint32_t hash = SignatureIndex::Hash4(four);
            const bool maybeLong = m_index.MayStartLong(hash);
            const bool maybeShort = hasShort && m_index.MayStartShort(static_cast<std::uint16_t>(four));
            if (__builtin_expect(!maybeLong && !maybeShort, 1))
                continue;
            TryCandidates(data, length, p, base, Load64(data + p), maybeLong ? hash : 0, maybeLong,
                          static_cast<std::uint16_t>(four), maybeShort, /*fast=*/true);
        }

        const std::size_t total = m_view.TotalBytes();
        for (std::size_t p = fastEnd; p < length; ++p) {
            const std::size_t at = base + p;
            if (at + 1 >= total)
                break;  // a start key needs two bytes
            std::uint8_t tail[8] = {};
            const std::size_t have = Gather(at, tail);
            const std::uint32_t four = Load32(tail);
            const std::uint32_t hash = SignatureIndex::Hash4(four);
            const bool maybeLong = have >= 4 && m_index.MayStartLong(hash);
            const bool maybeShort = hasShort && m_index.MayStartShort(static_cast<std::uint16_t>(four));
            if (!maybeLong && !maybeShort)
                continue;
            TryCandidates(data, length, p, base, Load64(tail), hash, maybeLong, static_cast<std::uint16_t>(four),
                          maybeShort, /*fast=*/false);
        }
    }

    // Copies up to eight bytes from view position AT; returns how many.
    std::size_t Gather(std::size_t at, std::uint8_t* out) const
    {
        std::size_t have = 0;
        std::size_t base = 0;
        for (const nfkit::ViewPiece& piece : m_view.Pieces()) {
            if (at < base + piece.length) {
                std::size_t offset = at > base ? at - base : 0;
                while (offset < piece.length && have < 8) {
                    out[have++] = piece.data[offset++];
                    ++at;
                }
                if (have == 8)
                    break;
            }
            base += piece.length;
        }
        return have;
    }

    void TryCandidates(std::uint8_t* data, std::size_t length, std::size_t p, std::size_t base,
                       std::uint64_t eight, std::uint32_t hash, bool useLong, std::uint16_t key, bool useShort,
                       bool fast)
    {
        std::span<const std::uint32_t> longs;
        std::span<const std::uint32_t> shorts;
        if (useLong)
            longs = m_index.LongCandidates(hash);
        if (useShort)
            shorts = m_index.ShortCandidates(key);
        // Merge the two ascending lists so candidates come in table order.
        std::size_t a = 0;
        std::size_t b = 0;
        while (a < longs.size() || b < shorts.size()) {
            std::uint32_t next;
            if (b >= shorts.size() || (a < longs.size() && longs[a] < shorts[b]))
                next = longs[a++];
            else
                next = shorts[b++];
            const IndexedRecord& candidate = m_index.Records()[next];
            if (fast && ((eight | candidate.orMask) & candidate.andMask) != candidate.value)
                continue;
            Verify(*candidate.record, data, length, p, base);
        }
    }

    void Verify(const DetectionRecord& record, std::uint8_t* data, std::size_t length, std::size_t p,
                std::size_t base)
    {
        MatchExtent extent;
        MatchOutcome outcome = nfkit::MatchUnitsContiguous(record, data, length, p, 0, 0, &extent);
        std::size_t offset = base;
        if (outcome == MatchOutcome::OutOfData) {
            outcome = nfkit::MatchUnitsInView(record, m_view, base + p, 0, 0, &extent) ? MatchOutcome::Match
                                                                                     : MatchOutcome::Fail;
            offset = 0;
        }
        if (outcome != MatchOutcome::Match)
            return;
        const std::size_t literalEnd = extent.literalEnd + offset;
        if (literalEnd <= m_view.CarriedBytes())
            return;  // found in the previous receive already
        m_hits.push_back(Hit{record.id, record.subId, record.flags, base + p});
    }

    const ScanView& m_view;
    const SignatureIndex& m_index;
    std::vector<Hit>& m_hits;
};

}  // namespace

int MatchMultiSploit(const ScanView& view, const SignatureIndex& index, std::vector<Hit>& hits)
{
    const std::size_t before = hits.size();
    if (view.TotalBytes() <= 7 || view.Pieces().empty() || index.Empty())
        return 0;
    try {
        Matcher(view, index, hits).Run();
    } catch (const std::bad_alloc&) {
        hits.resize(before);
        return 0;
    }
    return static_cast<int>(hits.size() - before);
}

}  // namespace hazard
