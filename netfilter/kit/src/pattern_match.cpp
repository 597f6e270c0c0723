#include "kit/pattern_match.h"

namespace nfkit {

namespace {

inline bool LiteralMatches(std::uint8_t data, std::uint8_t pattern, bool noCase)
{
    return data == pattern || (noCase && IsAsciiLetter(pattern) && (data ^ 0x20) == pattern);
}

// Bytes of one contiguous block.
struct ContiguousSource {
    std::uint8_t* data;
    std::size_t length;
    std::uint8_t* At(std::size_t pos) { return pos < length ? data + pos : nullptr; }
};

// Bytes of a view; positions only move forward, so the cursor walks on.
struct ViewSource {
    const std::vector<ViewPiece>& pieces;
    std::size_t index = 0;
    std::size_t base = 0;  // view position of pieces[index][0]
    std::uint8_t* At(std::size_t pos)
    {
        while (index < pieces.size() && pos >= base + pieces[index].length) {
            base += pieces[index].length;
            ++index;
        }
        if (index >= pieces.size() || pos < base)
            return nullptr;
        return pieces[index].data + (pos - base);
    }
};

template <class Source>
MatchOutcome MatchUnits(const DetectionRecord& record, Source& source, std::size_t pos, int unit,
                        std::uint8_t overwrite, MatchExtent* extent)
{
    const bool noCase = (record.flags & kFlagNoCase) != 0;
    const int count = record.unitCount;
    std::uint32_t gap = 0;
    int resume = 0;
    std::size_t literalEnd = pos;
    while (unit < count) {
        const std::uint16_t u = record.units[unit];
        if (IsSkipUnit(u)) {
            pos += UnitCount(u);
            ++unit;
            continue;
        }
        if (IsGapUnit(u)) {
            gap = UnitCount(u);
            resume = unit + 1;
            ++unit;
            continue;
        }
        std::uint8_t* byte = source.At(pos);
        if (byte == nullptr)
            return MatchOutcome::OutOfData;
        if (LiteralMatches(*byte, UnitByte(u), noCase)) {
            if (overwrite != 0)
                *byte = overwrite;
            if (gap > 0)
                --gap;
            ++unit;
            ++pos;
            literalEnd = pos;
        } else if (gap > 0) {
            --gap;
            ++pos;
            unit = resume;
        } else {
            return MatchOutcome::Fail;
        }
    }
    if (extent != nullptr) {
        extent->end = pos;
        extent->literalEnd = literalEnd;
    }
    return MatchOutcome::Match;
}

}  // namespace

MatchOutcome MatchUnitsContiguous(const DetectionRecord& record, std::uint8_t* data, std::size_t length,
                                  std::size_t pos, int firstUnit, std::uint8_t overwrite, MatchExtent* extent)
{
    ContiguousSource source{data, length};
    return MatchUnits(record, source, pos, firstUnit, overwrite, extent);
}

bool MatchUnitsInView(const DetectionRecord& record, const ScanView& view, std::size_t pos, int firstUnit,
                      std::uint8_t overwrite, MatchExtent* extent)
{
    ViewSource source{view.Pieces()};
    return MatchUnits(record, source, pos, firstUnit, overwrite, extent) == MatchOutcome::Match;
}

bool MatchRecordAt(const DetectionRecord& record, const ScanView& view, std::size_t pos, std::uint8_t overwrite,
                   MatchExtent* extent)
{
    if (overwrite != 0)
        return MatchUnitsInView(record, view, pos, 0, overwrite, extent);
    return MatchUnitsInView(record, view, pos + 2, 2, 0, extent);
}

bool FirstBufferSearch(const DetectionRecord& record, const std::uint8_t* data, std::size_t length)
{
    const bool noCase = (record.flags & kFlagNoCase) != 0;
    const int count = record.unitCount;
    if (count == 0)
        return false;
    std::size_t pos = 0;
    int unit = 0;
    std::uint32_t gap = 0;
    int resume = 0;
    while (unit < count) {
        const std::uint16_t u = record.units[unit];
        if (IsSkipUnit(u)) {
            pos += UnitCount(u);
            ++unit;
            continue;
        }
        if (IsGapUnit(u)) {
            gap = UnitCount(u);
            resume = unit + 1;
            ++unit;
            continue;
        }
        if (pos >= length)
            return false;
        if (LiteralMatches(data[pos], UnitByte(u), noCase)) {
            if (gap > 0)
                --gap;
            ++unit;
            ++pos;
        } else if (gap > 0) {
            --gap;
            ++pos;
            unit = resume;
        } else {
            if (unit == 0)
                ++pos;
            unit = 0;
            gap = 0;
        }
    }
    return true;
}

}  // namespace nfkit
